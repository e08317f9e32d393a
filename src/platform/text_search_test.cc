#include "platform/text_search.h"

#include <random>
#include <string>

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

}  // namespace
}  // namespace nerolin::platform
