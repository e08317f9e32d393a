#include "template/template_split.h"

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "nerolin/automation_error.h"
#include "nerolin/sum_fields.h"
#include "support/test_support.h"

namespace nerolin::tmpl {
namespace {

struct ExpectedSection {
  std::string name;
  std::int32_t group_type;
  std::string header;
  std::string footer;
  std::string field;
};

void ExpectSections(const Sections& sections,
                    const std::vector<ExpectedSection>& expected) {
  ASSERT_EQ(sections.Count(), static_cast<std::int32_t>(expected.size()));
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const ExpectedSection& want = expected[i];
    SCOPED_TRACE("section " + std::to_string(i + 1) + " " + want.name);
    std::shared_ptr<Section> got =
        sections.Item(static_cast<std::int32_t>(i + 1));
    EXPECT_EQ(got->Name(), want.name);
    EXPECT_EQ(got->GroupType(), want.group_type);
    EXPECT_EQ(got->TextHeader(), want.header);
    EXPECT_EQ(got->TextFooter(), want.footer);
    EXPECT_EQ(got->FieldGroup(), want.field);
  }
}

std::vector<std::string> SumNames(const Section& section) {
  std::vector<std::string> names;
  for (const std::shared_ptr<SumField>& total : *section.SumFields()) {
    EXPECT_EQ(total->Total(), Variant("0")) << total->Name();
    names.push_back(total->Name());
  }
  return names;
}

TEST(ExtractBetween, FindsMarkersWithoutRegardToCase) {
  struct Case {
    const char* text;
    const char* start;
    const char* end;
    const char* expected;
  };
  const Case cases[] = {
      {"abc<detail>x</DETAIL>", "<DETAIL>", "</DETAIL>", "x"},
      {"<b>Keep Case</B>", "<B>", "</b>", "Keep Case"},
      {"<b></b>", "<b>", "</b>", ""},
      {"abc</DETAIL>", "<DETAIL>", "</DETAIL>", ""},
      {"abc<DETAIL>x", "<DETAIL>", "</DETAIL>", ""},
      {"", "<DETAIL>", "</DETAIL>", ""},
      // Both markers are looked for from the beginning of the text.
      {"[a]b]c", "[", "]", "a"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ExtractBetween(c.text, c.start, c.end), c.expected);
  }
}

TEST(ExtractBetween, EndBeforeStartFails) {
  EXPECT_AUTOMATION_ERROR_MSG(
      ExtractBetween("</DETAIL>x<DETAIL>", "<DETAIL>", "</DETAIL>"),
      errors::kInvalidArgument, "\"</DETAIL>\" begins before");
  // The end marker starting inside the start marker fails too.
  EXPECT_AUTOMATION_ERROR(ExtractBetween("abcd", "abc", "c"),
                          errors::kInvalidArgument);
}

TEST(SplitTemplate, TemplateWithoutBlocksIsAllReportHeader) {
  SplitResult split = SplitTemplate("<html>[Nombre]</html>");
  ExpectSections(split.sections,
                 {{"Report", 1, "<html>[Nombre]</html>", "", ""}});
  EXPECT_FALSE(split.sums_present);
  EXPECT_EQ(SplitTemplate("").sections.Item(1)->TextHeader(), "");
}

TEST(SplitTemplate, SingleGroupHeader) {
  SplitResult split = SplitTemplate("<GROUPH G [F]>x</GROUPH G>");
  ExpectSections(split.sections,
                 {{"Report", 1, "", "", ""}, {"G", 2, "x", "", "[F]"}});
  EXPECT_EQ(split.sections.Item("g")->Key(), "G");
}

TEST(SplitTemplate, SectionOrderAndTexts) {
  const std::string text =
      "head"
      "<GROUPH A [A]>ha</GROUPH A>between1"
      "<GROUPH B  [B] >hb-ignored</GROUPH B>"
      "<GROUPH C [C]>hc</GROUPH C>between2"
      "<DETAIL>d[Importe]</DETAIL>between3"
      "<GROUPF C [C2]>fc</GROUPF C>"
      "<GROUPF X [X]>fx</GROUPF X>between4"
      "<GROUPF A [A]>fa</GROUPF A>"
      "tail</GROUPF A>more";
  // B's tag has a doubled space, so its text is empty; the lenient policy
  // goes on after its closing tag.
  SplitResult split =
      SplitTemplate(text, OnEmptyGroupText::kContinueAfterClosingTag);
  ExpectSections(split.sections,
                 {{"Report", 1, "head", "tail</GROUPF A>more", ""},
                  {"A", 2, "ha", "fa", "[A]"},
                  {"B", 2, "", "", "[B]"},
                  {"C", 2, "hc", "fc", "[C2]"},
                  {"DETAIL", 3, "d[Importe]", "", ""},
                  {"X", 2, "", "fx", "[X]"}});
  for (const std::shared_ptr<Section>& section : split.sections) {
    for (const std::string& piece :
         {section->TextHeader(), section->TextFooter()}) {
      EXPECT_EQ(piece.find("between"), std::string::npos) << piece;
    }
  }
}

TEST(SplitTemplate, OneCharacterTextsDoNotFindTheirOwnTagAgain) {
  SplitResult split = SplitTemplate(
      "<GROUPH A [a]>x</GROUPH A><GROUPH B [b]>y</GROUPH B>"
      "<GROUPF B [b]>z</GROUPF B>");
  ExpectSections(split.sections, {{"Report", 1, "", "", ""},
                                  {"A", 2, "x", "", "[a]"},
                                  {"B", 2, "y", "z", "[b]"}});
}

TEST(SplitTemplate, EmptyGroupTextFailsUnderStrictPolicy) {
  const char* const texts[] = {
      "<GROUPH G  [F]>x</GROUPH G>",  // doubled space
      "<GROUPH G [F] >x</GROUPH G>",  // space before ">"
      "<GROUPH G [F]></GROUPH G>",    // nothing inside
      "<GROUPH G [F]>x",              // no closing tag
  };
  for (const char* text : texts) {
    SCOPED_TRACE(text);
    try {
      SplitTemplate(text);
      ADD_FAILURE() << "expected EmptyGroupTextError";
    } catch (const EmptyGroupTextError& error) {
      EXPECT_EQ(error.number(), errors::kInvalidArgument);
      EXPECT_NE(error.description().find("group header \"G\""),
                std::string::npos)
          << error.description();
    }
  }
  EXPECT_AUTOMATION_ERROR_MSG(
      SplitTemplate("<DETAIL>d</DETAIL><GROUPF G  [F]>x</GROUPF G>"),
      errors::kInvalidArgument, "group footer \"G\"");
}

TEST(SplitTemplate, EmptyGroupTextContinuesAfterClosingTagWhenLenient) {
  constexpr OnEmptyGroupText kLenient =
      OnEmptyGroupText::kContinueAfterClosingTag;
  // The next group after the closing tag is still read.
  SplitResult split = SplitTemplate(
      "r<GROUPH G  [F]>x</GROUPH G><GROUPH H [h]>y</GROUPH H>"
      "<DETAIL>d</DETAIL>t",
      kLenient);
  ExpectSections(split.sections, {{"Report", 1, "r", "t", ""},
                                  {"G", 2, "", "", "[F]"},
                                  {"H", 2, "y", "", "[h]"},
                                  {"DETAIL", 3, "d", "", ""}});
  // Without a closing tag the block is the last of its kind.
  split = SplitTemplate("<GROUPH G  [F]>x<GROUPH H [h]>y</GROUPH H>", kLenient);
  ASSERT_EQ(split.sections.Count(), 2);
  EXPECT_EQ(split.sections.Item(2)->Name(), "G");
  // Other failures still fail.
  EXPECT_AUTOMATION_ERROR(
      SplitTemplate("<GROUPH G [F]>[SUM(A</GROUPH G>", kLenient),
      errors::kInvalidArgument);
}

TEST(SplitTemplate, SumsRegisteredFromBothMarkersInEitherOrder) {
  struct Case {
    const char* block;
    std::vector<std::string> names;
  };
  const Case cases[] = {
      {"[FORMAT(SUM(B),#,##0.00)] [SUM(A)]", {"B", "A"}},
      {"[SUM(A)] [FORMAT(SUM(B),0)]", {"A", "B"}},
      // A repeated sum keeps its first key and takes the last spelling.
      {"[sum(Importe)] [Format(Sum(importe),0)] [SUM(IVA)]",
       {"importe", "IVA"}},
      {"[SUM( Total )]", {"Total"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.block);
    SplitResult split =
        SplitTemplate(std::string("<GROUPH G [F]>") + c.block + "</GROUPH G>");
    EXPECT_TRUE(split.sums_present);
    EXPECT_EQ(SumNames(*split.sections.Item("G")), c.names);
  }
}

TEST(SplitTemplate, SumsCountOnlyInGroupTexts) {
  SplitResult split = SplitTemplate(
      "[SUM(R)]<DETAIL>[SUM(D)]</DETAIL>[SUM(F)]"
      "<GROUPF G [F]>[SUM(Total)]</GROUPF G>");
  EXPECT_TRUE(split.sums_present);
  EXPECT_EQ(split.sections.Item("Report")->SumFields()->Count(), 0);
  EXPECT_EQ(split.sections.Item("DETAIL")->SumFields()->Count(), 0);
  EXPECT_EQ(SumNames(*split.sections.Item("G")),
            std::vector<std::string>{"Total"});
  EXPECT_FALSE(SplitTemplate("<DETAIL>[SUM(D)]</DETAIL>").sums_present);
}

TEST(SplitTemplate, ReportFooterStartsAfterFirstClosingTag) {
  SplitResult split = SplitTemplate("a<DETAIL>d</DETAIL>b</DETAIL>c");
  ExpectSections(split.sections, {{"Report", 1, "a", "b</DETAIL>c", ""},
                                  {"DETAIL", 3, "d", "", ""}});
}

TEST(SplitTemplate, LowerCaseDetailTakesTheWholeHeader) {
  // The detail block is found in any case, the report boundaries only in
  // upper case.
  SplitResult split = SplitTemplate("a<detail>d</detail>b");
  ExpectSections(split.sections,
                 {{"Report", 1, "a<detail>d</detail>b", ">d</detail>b", ""},
                  {"DETAIL", 3, "d", "", ""}});
}

TEST(SplitTemplate, MalformedTemplatesFail) {
  struct Case {
    const char* text;
    std::int32_t number;
    const char* message;
  };
  const Case cases[] = {
      {"<grouph G [F]>x</grouph G>", errors::kInvalidArgument,
       "not written \"<GROUPH\" in upper case"},
      {"<DETAIL>d</DETAIL><groupf G [F]>x</groupf G>", errors::kInvalidArgument,
       "not written \"<GROUPF\" in upper case"},
      {"<GROUPH G>x", errors::kInvalidArgument, "no space after the group"},
      {"<GROUPH G [F]x", errors::kInvalidArgument, "no closing \">\""},
      {"<GROUPH G [F]>[SUM(A</GROUPH G>", errors::kInvalidArgument,
       "\"[SUM(A\" has no closing \")\""},
      {"<GROUPH G [F]>x[FORMAT(SUM(</GROUPH G>", errors::kInvalidArgument,
       "has no closing \")\""},
      {"<GROUPH G  [F]>x</GROUPH G><GROUPH G [F]>y</GROUPH G>",
       errors::kInvalidArgument, "begins before"},
      {"<GROUPH Detail [F]>x</GROUPH Detail><DETAIL>d</DETAIL>",
       errors::kDuplicateKey, "group named \"Detail\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_AUTOMATION_ERROR_MSG(SplitTemplate(c.text), c.number, c.message);
  }
}

// Random mixtures of tags, names, spaces, brackets and sums: each split
// must come back or raise AutomationError, under either policy, and never
// run without end.
TEST(SplitTemplate, NoInputMakesItHangOrFailOtherwise) {
  const std::vector<std::string_view> pieces = {
      "<GROUPH",     "<grouph",
      "<GROUPF",     "<Groupf",
      "</GROUPH",    "</GROUPF",
      "</grouph",    "<DETAIL>",
      "<detail>",    "</DETAIL>",
      "<DETAIL",     " ",
      "  ",          ">",
      "<",           "[",
      "]",           "(",
      ")",           "[SUM(",
      "[sum(",       "[FORMAT(SUM(",
      "G",           "H",
      "DETAIL",      "Report",
      "x",           "texto ",
      "\n",          "á",
      "[F]",         "<GROUPH G [F]>",
      "</GROUPH G>", "<GROUPF G [F]>",
      "</GROUPF G>", "<GROUPH H  [h]>",
      "</GROUPH H>", "<GROUPF H [h] >",
      "</GROUPF H>"};
  std::mt19937 random(20240131);
  std::uniform_int_distribution<std::size_t> piece_of(0, pieces.size() - 1);
  std::uniform_int_distribution<int> length_of(0, 24);
  int returned = 0;
  int raised = 0;
  for (int round = 0; round < 20'000; ++round) {
    std::string text;
    for (int n = length_of(random); n > 0; --n)
      text += pieces[piece_of(random)];
    for (OnEmptyGroupText policy :
         {OnEmptyGroupText::kFail,
          OnEmptyGroupText::kContinueAfterClosingTag}) {
      try {
        SplitResult split = SplitTemplate(text, policy);
        ASSERT_GE(split.sections.Count(), 1) << text;
        ASSERT_EQ(split.sections.Item(1)->Name(), "Report") << text;
        ++returned;
      } catch (const AutomationError&) {
        ++raised;
      }
    }
  }
  // Both outcomes are exercised, so the mixture is not degenerate.
  EXPECT_GT(returned, 1000);
  EXPECT_GT(raised, 1000);
}

}  // namespace
}  // namespace nerolin::tmpl
