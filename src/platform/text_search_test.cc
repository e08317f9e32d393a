#include "platform/text_search.h"

#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace nerolin::platform {
namespace {

constexpr std::size_t kNone = std::string_view::npos;

TEST(FindText, EdgesOfTheTextAndOfTheSearch) {
  const std::string text = "<img src=\"\"><td>x</td><img src=\"\">";
  EXPECT_EQ(FindText(text, "<img src=\"\">"), 0u);
  EXPECT_EQ(FindText(text, "<img src=\"\">", 1), 22u);
  EXPECT_EQ(FindText(text, "<img src=\"\">", 22), 22u);
  EXPECT_EQ(FindText(text, "<img src=\"\">", 23), kNone);
  EXPECT_EQ(FindText(text, "", 5), 5u);
  EXPECT_EQ(FindText(text, "", text.size()), text.size());
  EXPECT_EQ(FindText(text, "x", text.size() + 1), kNone);
  EXPECT_EQ(FindText("ab", "abc"), kNone);
  EXPECT_EQ(FindText("", "a"), kNone);
  // Past the false starts of a first byte that stands everywhere, the search
  // goes on from where it was, and ends at the end.
  const std::string markup = std::string(40, '<') + "<p>" + "<";
  EXPECT_EQ(FindText(markup, "<p>"), 40u);
  EXPECT_EQ(FindText(markup, "<p>", 41), kNone);
  EXPECT_EQ(FindText(markup, "<<p>", 3), 39u);
  EXPECT_EQ(FindText(text, "x"), 16u);
  EXPECT_EQ(FindText(text, "</td>"), 17u);
  // A near match only.
  EXPECT_EQ(FindText("<tdx<ta>", "<td>"), kNone);
  const std::string long_what(100, 'a');
  EXPECT_EQ(FindText(std::string(99, 'a') + "b" + long_what, long_what), 100u);
}

TEST(FindText, FindsWhatFindFindsAtEveryPlaceAndLength) {
  // Small alphabets give near matches everywhere.
  std::mt19937 random(7);
  for (int round = 0; round < 3000; ++round) {
    const std::size_t alphabet = 2 + round % 3;
    std::string text(random() % 120, 'a');
    for (char& c : text) c = static_cast<char>('a' + random() % alphabet);
    std::string what(1 + random() % 70, 'a');
    for (char& c : what) c = static_cast<char>('a' + random() % alphabet);
    if (round % 4 == 0 && what.size() <= text.size()) {
      // Plant it, often near the end.
      const std::size_t at = text.size() - what.size() -
                             random() % 3 % (text.size() - what.size() + 1);
      text.replace(at, what.size(), what);
    }
    const std::size_t from = text.empty() ? 0 : random() % (text.size() + 2);
    SCOPED_TRACE(text);
    SCOPED_TRACE(what);
    SCOPED_TRACE(from);
    ASSERT_EQ(
        FindText(text, what, from),
        from > text.size() ? kNone : std::string_view(text).find(what, from));
  }
}

TEST(TextSearch, ReplaceAllAndRemoveAllWorkLeftToRightWithoutLookingBack) {
  const struct {
    std::string text;
    std::string_view what;
    std::string_view with;
    std::size_t from;
    std::string replaced;
    std::size_t count;
  } kCases[] = {
      {"a<>b<>", "<>", "", 0, "ab", 2},
      // What a replacement joins is not searched again.
      {"<<>>", "<>", "", 0, "<>", 1},
      {"xx-xx", "x", "yy", 0, "yyyy-yyyy", 4},
      {"xx-xx", "xx", "z", 1, "xx-z", 1},
      {"abc", "d", "e", 0, "abc", 0},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.text);
    std::string text = c.text;
    EXPECT_EQ(ReplaceAll(text, c.what, c.with, c.from), c.count);
    EXPECT_EQ(text, c.replaced);
    if (c.with.empty()) {
      text = c.text;
      EXPECT_EQ(RemoveAll(text, c.what, c.from),
                c.count == 0 ? kNone : c.text.find(c.what, c.from));
      EXPECT_EQ(text, c.replaced);
    }
  }
}

// Texts of every length around the 16- and 64-byte blocks of the fast
// paths, with the byte sought at every place, or nowhere; the fast and the
// portable searches must both give the plain loop's answer.
std::vector<std::string> TextsAroundBlocks(char filler, std::string_view mark) {
  std::vector<std::string> texts;
  for (std::size_t size = 0; size <= 140; ++size) {
    texts.emplace_back(size, filler);
    for (std::size_t at = 0; at + mark.size() <= size; ++at) {
      std::string text(size, filler);
      text.replace(at, mark.size(), mark);
      texts.push_back(std::move(text));
    }
  }
  return texts;
}

TEST(TextSearch, AsciiRunEndStopsAtTheFirstByteFromTheUpperHalf) {
  for (const std::string_view mark : {"\x80", "\xC3\xA9", "\xFF"}) {
    for (const std::string& text : TextsAroundBlocks('<', mark)) {
      for (const std::size_t from :
           {std::size_t{0}, std::size_t{1}, std::size_t{17}, std::size_t{65}}) {
        if (from > text.size()) continue;
        std::size_t expected = from;
        while (expected < text.size() &&
               static_cast<unsigned char>(text[expected]) < 0x80) {
          ++expected;
        }
        SCOPED_TRACE(text.size());
        SCOPED_TRACE(from);
        ASSERT_EQ(AsciiRunEnd(text, from), expected);
        ASSERT_EQ(portable::AsciiRunEnd(text, from), expected);
      }
    }
  }
}

TEST(TextSearch, FindBytePairTakesTheSecondByteAsFolded) {
  const struct {
    std::string_view mark;
    char second;
    unsigned char fold;
  } kCases[] = {
      {"<i", 'i', 0x20}, {"<I", 'i', 0x20},    {"<I", 'I', 0},
      {"=\"", '"', 0},   {"<\xC9", 'i', 0x20},  // É folds to no letter
  };
  for (const auto& c : kCases) {
    for (const std::string& text : TextsAroundBlocks('<', c.mark)) {
      for (const std::size_t from : {std::size_t{0}, std::size_t{3},
                                     std::size_t{16}, std::size_t{200}}) {
        std::size_t expected = kNone;
        for (std::size_t at = from; at + 1 < text.size(); ++at) {
          if (text[at] == c.mark[0] &&
              (static_cast<unsigned char>(text[at + 1]) | c.fold) ==
                  static_cast<unsigned char>(c.second)) {
            expected = at;
            break;
          }
        }
        SCOPED_TRACE(c.mark);
        SCOPED_TRACE(text.size());
        SCOPED_TRACE(from);
        ASSERT_EQ(FindBytePair(text, from, c.mark[0], c.second, c.fold),
                  expected);
        ASSERT_EQ(
            portable::FindBytePair(text, from, c.mark[0], c.second, c.fold),
            expected);
      }
    }
  }
}

TEST(TextSearch, PositionsOfByteListsEveryOneInOrder) {
  for (const std::string& text : TextsAroundBlocks('\xC3', "a\xC3\xC3z")) {
    for (const char byte : {'\xC3', 'z'}) {
      std::vector<std::size_t> expected;
      for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] == byte) expected.push_back(at);
      }
      SCOPED_TRACE(text.size());
      ASSERT_EQ(PositionsOfByte(text, byte), expected);
      ASSERT_EQ(portable::PositionsOfByte(text, byte), expected);
    }
  }
}

}  // namespace
}  // namespace nerolin::platform
