#include "platform/base64.h"

#include <string>

#include <gtest/gtest.h>

namespace nerolin::platform {
namespace {

TEST(Base64, EncodesAndDecodesTheTestVectorsOfTheStandard) {
  const struct {
    std::string bytes;
    std::string text;
  } kCases[] = {
      {"", ""},
      {"f", "Zg=="},
      {"fo", "Zm8="},
      {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="},
      {"fooba", "Zm9vYmE="},
      {"foobar", "Zm9vYmFy"},
      // The last two letters of the alphabet and bytes with the top bit set.
      {"\xFB\xFF\xBF", "+/+/"},
      {std::string("\0\0\0", 3), "AAAA"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(Base64Encode(c.bytes), c.text);
    EXPECT_EQ(Base64Decode(c.text), c.bytes);
  }
}

TEST(Base64, EveryByteValueSurvivesARoundTripAtEveryRemainder) {
  std::string bytes;
  for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
  for (std::size_t cut = 0; cut < 3; ++cut) {
    const std::string part = bytes.substr(cut);
    const std::string text = Base64Encode(part);
    SCOPED_TRACE(cut);
    EXPECT_EQ(text.size(), (part.size() + 2) / 3 * 4);
    EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos);
    EXPECT_EQ(Base64Decode(text), part);
  }
}

TEST(Base64, DecodeRejectsAnythingButTheExactEncodedForm) {
  const char* kBad[] = {
      "Zg",        // length not a multiple of four
      "Zg=",       // same, with padding
      "Zm9v\r\n",  // a line break
      "Zm 9",      // a blank
      "Zm9-",      // the URL-safe alphabet
      "Zm9_",      //
      "Z===",      // three padding characters
      "====",      // padding alone
      "Zg==Zm9v",  // padding before the end
      "Z=g=",      // padding between letters
      "Zh==",      // padding bits not zero ("Zg==" is the form)
      "Zm9=",      // same for two bytes ("Zm8=")
      "Zm9v\xC3\xA1\xC3\xA1",
  };
  for (const char* text : kBad) {
    SCOPED_TRACE(text);
    EXPECT_EQ(Base64Decode(text), std::nullopt);
  }
}

}  // namespace
}  // namespace nerolin::platform
