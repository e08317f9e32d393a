#include "platform/regex.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace nerolin::platform {
namespace {

std::vector<std::string> Values(const std::vector<RegexMatch>& matches) {
  std::vector<std::string> values;
  for (const RegexMatch& match : matches) values.push_back(match.value);
  return values;
}

// The patterns the stored call expressions are parsed with.
constexpr std::string_view kCallPattern = R"(\b[^()]+\((.*)\)$)";
constexpr std::string_view kMemberPattern =
    R"((?![a-z])[^\:,>,\.]([a-z,A-Z]+[_]*[a-z,A-Z]*))";
constexpr std::string_view kReferencePattern = R"(\[.*?\])";

TEST(Regex, CallPatternTakesTheTextBetweenTheFirstAndTheLastParenthesis) {
  struct Case {
    std::string text;
    std::string match;  // "" for no match
    std::string arguments;
  };
  const std::vector<Case> cases = {
      {R"(ConcatRelated("UUID", "docRel", "ID = 7"))",
       R"(ConcatRelated("UUID", "docRel", "ID = 7"))",
       R"("UUID", "docRel", "ID = 7")"},
      {"F(a) + G(b)", "F(a) + G(b)", "a) + G(b"},
      {"  Call()", "Call()", ""},
      // "$" is the end of the text, not the place before a final line feed.
      {"F(a)\n", "", ""},
      {"F(a) x", "", ""},
      {"SELECT 1", "", ""},
  };
  const Regex regex(kCallPattern);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const auto matches = regex.Execute(c.text);
    if (c.match.empty()) {
      EXPECT_TRUE(matches.empty());
      continue;
    }
    ASSERT_EQ(matches.size(), 1u);
    EXPECT_EQ(matches[0].value, c.match);
    ASSERT_EQ(matches[0].sub_matches.size(), 1u);
    EXPECT_EQ(matches[0].sub_matches[0], c.arguments);
  }
}

TEST(Regex, MemberPatternSkipsLeadingLowerCaseLetters) {
  struct Case {
    std::string text;
    std::string member;
    std::string group;
  };
  const std::vector<Case> cases = {
      {R"(ConcatRelated("a", "b"))", "ConcatRelated", "oncatRelated"},
      {R"(concatRelated("a"))", "Related", "elated"},
      {"Concat_Related(x)", "Concat_Related", "oncat_Related"},
      {"A(x)", "(x", "x"},
  };
  const Regex regex(kMemberPattern);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const auto matches = regex.Execute(c.text);
    ASSERT_EQ(matches.size(), 1u);
    EXPECT_EQ(matches[0].value, c.member);
    EXPECT_EQ(matches[0].sub_matches[0], c.group);
  }
  EXPECT_TRUE(regex.Execute("abc").empty());
}

TEST(Regex, ReferencePatternFindsEveryBracketedRunLazily) {
  const Regex regex(kReferencePattern, {.ignore_case = true, .global = true});
  const auto matches =
      regex.Execute("SELECT [a] FROM t WHERE x = [CartaPorte_Placa] + [a]");
  EXPECT_EQ(Values(matches),
            (std::vector<std::string>{"[a]", "[CartaPorte_Placa]", "[a]"}));
  EXPECT_EQ(matches[1].first_index, 28u);
  EXPECT_TRUE(regex.Execute("no brackets [ here").empty());
}

TEST(Regex, OptionsChooseCaseAndHowManyMatches) {
  EXPECT_FALSE(Regex("select").Test("SELECT 1"));
  EXPECT_TRUE(Regex("select", {.ignore_case = true}).Test("SELECT 1"));
  EXPECT_TRUE(Regex("ñ", {.ignore_case = true}).Test("AÑO"));
  EXPECT_EQ(Values(Regex("a.").Execute("a1 a2 a3")),
            std::vector<std::string>{"a1"});
  EXPECT_EQ(Values(Regex("a.", {.global = true}).Execute("a1 a2 a3")),
            (std::vector<std::string>{"a1", "a2", "a3"}));
  // "." stops at a line feed and nowhere else.
  EXPECT_EQ(Values(Regex("a.", {.global = true}).Execute("a\na\ra")),
            std::vector<std::string>{"a\r"});
}

TEST(Regex, EmptyMatchesMoveOnByOneCharacter) {
  EXPECT_EQ(Values(Regex("a*", {.global = true}).Execute("baaac")),
            (std::vector<std::string>{"", "aaa", "", ""}));
  // A two-byte letter is one character: no search starts inside it.
  const auto matches = Regex("x*", {.global = true}).Execute("ñ");
  ASSERT_EQ(matches.size(), 2u);
  EXPECT_EQ(matches[1].first_index, 2u);
  // Bytes that are no UTF-8 are searched, not rejected.
  EXPECT_EQ(Values(Regex("b").Execute("a\xff"
                                      "b")),
            std::vector<std::string>{"b"});
}

TEST(Regex, BadPatternsAndRunawaySearchesRaise) {
  EXPECT_AUTOMATION_ERROR_MSG(Regex("a(b"), kErrRegexSyntax, "a(b");
  EXPECT_AUTOMATION_ERROR_MSG(Regex("[z-a]"), kErrRegexSyntax, "offset");
  const Regex runaway("^(a|aa)+$");
  EXPECT_AUTOMATION_ERROR_MSG(runaway.Execute(std::string(60, 'a') + "!"),
                              errors::kInvalidArgument, "^(a|aa)+$");
}

}  // namespace
}  // namespace nerolin::platform
