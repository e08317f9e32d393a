#include "template/sections.h"

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "nerolin/automation_error.h"
#include "nerolin/sum_fields.h"
#include "support/test_support.h"

namespace nerolin::tmpl {
namespace {

TEST(Sections, KeepInsertionOrderAndFindByKeyOrPosition) {
  Sections sections;
  std::shared_ptr<Section> report = sections.Add("Report", "Report");
  std::shared_ptr<Section> unkeyed = sections.Add("Loose");
  std::shared_ptr<Section> detail = sections.Add("DETAIL", "DETAIL");
  EXPECT_EQ(report->Key(), "Report");
  EXPECT_EQ(unkeyed->Key(), "Loose");
  EXPECT_EQ(sections.Count(), 3);
  EXPECT_EQ(sections.Item("detail"), detail);
  EXPECT_EQ(sections.Item(2), unkeyed);
  EXPECT_EQ(sections.Item("Loose"), nullptr);

  std::vector<std::string> keys;
  for (const std::shared_ptr<Section>& section : sections) {
    keys.push_back(section->Key());
  }
  EXPECT_EQ(keys, (std::vector<std::string>{"Report", "Loose", "DETAIL"}));
}

TEST(Sections, MissingItemIsNullAndMissingRemoveFails) {
  Sections sections;
  sections.Add("G", "G");
  EXPECT_EQ(sections.Item("H"), nullptr);
  EXPECT_EQ(sections.Item(0), nullptr);
  EXPECT_EQ(sections.Item(2), nullptr);
  EXPECT_AUTOMATION_ERROR_MSG(sections.Remove("H"), errors::kInvalidArgument,
                              "Sections has no item under the key \"H\"");
  EXPECT_AUTOMATION_ERROR(sections.Remove(2), errors::kInvalidArgument);
  EXPECT_AUTOMATION_ERROR(sections.Add("g", "g"), errors::kDuplicateKey);
  sections.Remove("g");
  EXPECT_EQ(sections.Count(), 0);
}

TEST(Section, SumFieldsAreMadeOnFirstRead) {
  Section section;
  SumFields* const first = section.SumFields().get();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->Count(), 0);
  first->Add("A", "A");
  EXPECT_EQ(section.SumFields().get(), first);
}

}  // namespace
}  // namespace nerolin::tmpl
