#include "check/source_map.h"

#include <string>
#include <string_view>

#include <gtest/gtest.h>

namespace nerolin::check {
namespace {

// "LINE:COLUMN" of the first `marker` in the text the renderers work on.
std::string Where(const SourceMap& map, std::string_view marker) {
  const std::size_t offset = map.text().find(marker);
  EXPECT_NE(offset, std::string::npos) << marker;
  const SourcePosition position = map.PositionOf(offset);
  return std::to_string(position.line) + ":" + std::to_string(position.column);
}

TEST(SourceMap, CountsTheLinesTheAnsiReadingJoins) {
  // CR LF and CR are gone from the text, LF stays; empty lines count.
  const SourceMap map("ab\r\ncd\r\r\nef\ngh\rij");
  EXPECT_EQ(map.text(), "abcdef\nghij");
  EXPECT_EQ(Where(map, "a"), "1:1");
  EXPECT_EQ(Where(map, "d"), "2:2");
  EXPECT_EQ(Where(map, "e"), "4:1");
  EXPECT_EQ(Where(map, "g"), "5:1");
  EXPECT_EQ(Where(map, "j"), "6:2");
}

TEST(SourceMap, CountsColumnsInCharactersOfEachReading) {
  struct Case {
    std::string_view name;
    std::string bytes;
    std::string_view marker;
    std::string expected;
  } cases[] = {
      // Windows-1252: each byte one character, decoded to two UTF-8 bytes.
      {"ansi", "x\r\n\xF1\xE1[A]", "[A]", "2:3"},
      // A file that is valid UTF-8 without a mark is read as UTF-8.
      {"utf-8 without mark", "x\r\nñá[A]", "[A]", "2:3"},
      {"utf-8 with mark", "\xEF\xBB\xBFx\r\nñá[A]", "[A]", "2:3"},
      {"utf-16", std::string("\xFF\xFEx\0\n\0\xF1\0[\0A\0]\0", 14), "[A]",
       "2:2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const SourceMap map(c.bytes);
    EXPECT_EQ(Where(map, c.marker), c.expected);
  }
}

TEST(SourceMap, PlacesOnOneLongLineComeInAnyOrder) {
  const SourceMap map("ab\r\n" + std::string(1000, 'x') + "yz");
  EXPECT_EQ(Where(map, "z"), "2:1002");
  EXPECT_EQ(Where(map, "y"), "2:1001");
  EXPECT_EQ(Where(map, "z"), "2:1002");
  EXPECT_EQ(Where(map, "b"), "1:2");
}

}  // namespace
}  // namespace nerolin::check
