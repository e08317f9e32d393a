#include "render/template_reader.h"

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "nerolin/automation_error.h"
#include "support/test_support.h"

namespace nerolin::render {
namespace {

using testing::TempDir;

TEST(ReadTemplate, DecodesByByteOrderMark) {
  struct Case {
    std::string name;
    std::string bytes;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"UTF-8 mark keeps line breaks", "\xEF\xBB\xBFuno\r\ndos\rtres\n",
       "uno\r\ndos\rtres\n"},
      {"no mark drops CR and CR LF", "uno\r\ndos\rtres\n", "unodostres\n"},
      {"no mark, UTF-8 text", "a\xC3\xB1o\r\n", "a\xC3\xB1o"},
      {"no mark, ANSI text", "a\xF1o\r\n", "a\xC3\xB1o"},
      {"UTF-16 LE keeps line breaks",
       std::string("\xFF\xFE"
                   "a\0\r\0\n\0\xF1\0",
                   10),
       "a\r\n\xC3\xB1"},
      {"UTF-16 BE keeps line breaks",
       std::string("\xFE\xFF\0a\0\r\0\n\0\xF1", 10), "a\r\n\xC3\xB1"},
      {"EF BB without BF is ANSI", "\xEF\xBBz\r\n", "\xC3\xAF\xC2\xBBz"},
      {"empty file", "", ""},
  };
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ReadTemplate(dir.Write("t.html", c.bytes)), c.expected);
  }
}

TEST(ReadTemplate, MissingFileRaises53AndCreatesNothing) {
  TempDir dir;
  const std::string path = dir.File("none.html");
  EXPECT_AUTOMATION_ERROR_MSG(ReadTemplate(path), errors::kFileNotFound, path);
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_AUTOMATION_ERROR(ReadTemplate(dir.path().string()),
                          errors::kPathFileAccess);
  EXPECT_AUTOMATION_ERROR(ReadTemplate(""), errors::kBadFileName);
}

// Refused at once: nothing waits for a FIFO's writer or reads a device or a
// huge file.
TEST(ReadTemplate, OnlyARegularFileWithinTheLimitIsRead) {
  TempDir dir;
  const std::string fifo = dir.File("pipe");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& path : {fifo, std::string("/dev/zero")}) {
    EXPECT_AUTOMATION_ERROR_MSG(ReadTemplate(path), errors::kPathFileAccess,
                                path + " (not a regular file)");
  }
  const std::string huge = dir.Write("huge.html", "");
  std::filesystem::resize_file(huge, kMaxTemplateSize + 1);
  EXPECT_AUTOMATION_ERROR_MSG(ReadTemplate(huge), errors::kPathFileAccess,
                              huge + " (the file is larger than 256 MiB)");
}

}  // namespace
}  // namespace nerolin::render
