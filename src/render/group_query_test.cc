#include "render/group_query.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "nerolin/recordset.h"
#include "nerolin/variant.h"

namespace nerolin::render {
namespace {

using ado::DataType;

constexpr GroupDialect kFile = GroupDialect::kTemplateFile;
constexpr GroupDialect kText = GroupDialect::kTemplateText;

TEST(AppendGroupTerm, TermsFollowTheTypeClassOfEachDialect) {
  struct Case {
    DataType type;
    Variant value;
    std::string file_term;
    std::string text_term;
  };
  const Variant kNull = Variant::Null();
  const Date day = Date::FromParts(2024, 1, 31, 10, 30);
  const std::vector<Case> cases = {
      {DataType::kInteger, Variant(12), "c=12 AND ", "c=12 AND "},
      {DataType::kDouble, Variant(-1.5), "c=-1.5 AND ", "c=-1.5 AND "},
      {DataType::kCurrency, Variant(Currency{123456}), "c=12.3456 AND ",
       "c=12.3456 AND "},
      {DataType::kDecimal, Variant(2.25), "c=2.25 AND ", "c=2.25 AND "},
      {DataType::kUnsignedBigInt, Variant(std::int64_t{1} << 40),
       "c=1099511627776 AND ", "c=1099511627776 AND "},
      {DataType::kBoolean, Variant(true), "c=True AND ", "c=True AND "},
      {DataType::kNumeric, kNull, "c is Null AND ", "c is Null AND "},
      {DataType::kDate, Variant(day), "c=#2024-01-31# AND ",
       "c=#2024-01-31# AND "},
      {DataType::kDBTimeStamp, Variant(day), "c=#2024-01-31# AND ",
       "c=#2024-01-31# AND "},
      {DataType::kDBDate, kNull, "c is Null AND ", "c is Null AND "},
      {DataType::kVarWChar, Variant("O'Brien's"), "c='O''Brien''s' AND ",
       "c='O''Brien''s' AND "},
      {DataType::kChar, kNull, "c is Null AND ", "c='' AND "},
      {DataType::kBSTR, Variant(""), "c='' AND ", "c='' AND "},
      {DataType::kVariant, Variant("v"), "c='v' AND ", ""},
      {DataType::kVariant, kNull, "c is Null AND ", ""},
      {DataType::kLongVarBinary, Variant("b"), "c='b' AND ", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.type));
    std::string file_condition = "W";
    AppendGroupTerm(file_condition, "c", c.value, c.type, kFile);
    EXPECT_EQ(file_condition, "W" + c.file_term);
    std::string text_condition = "W";
    AppendGroupTerm(text_condition, "c", c.value, c.type, kText);
    EXPECT_EQ(text_condition, "W" + c.text_term);
  }
}

TEST(JoiningWord, FileTemplatesLookForGroupByTextTemplatesOnlyForWhere) {
  struct Case {
    std::string statement;
    std::string file_word;
    std::string text_word;
  };
  const std::vector<Case> cases = {
      {"SELECT * FROM T", " WHERE ", " WHERE "},
      {"SELECT * FROM T WHERE x=1", " AND ", " AND "},
      {"SELECT * FROM T where x=1", " WHERE ", " WHERE "},
      {"SELECT a FROM T GROUP BY a", " HAVING ", " WHERE "},
      {"SELECT a FROM T WHERE x=1 GROUP BY a", " HAVING ", " AND "},
      {"SELECT a FROM T GROUP BY a HAVING COUNT(*)>1", " AND ", " WHERE "},
      {"SELECT a FROM T group by a", " WHERE ", " WHERE "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.statement);
    EXPECT_EQ(JoiningWord(c.statement, kFile), c.file_word);
    EXPECT_EQ(JoiningWord(c.statement, kText), c.text_word);
  }
}

TEST(OrderForGroups, GroupFieldsFirstThenTheStatementsOwnOrdering) {
  struct Case {
    std::string sql;
    std::vector<std::string> groups;
    std::string statement;
    std::string order;
  };
  const std::vector<Case> cases = {
      {"SELECT * FROM T", {}, "SELECT * FROM T", ""},
      {"SELECT * FROM T", {"[A]", "B"}, "SELECT * FROM T", " ORDER BY [A],B"},
      {"SELECT * FROM T order by x", {}, "SELECT * FROM T ", " ORDER BY x"},
      {"SELECT * FROM T Order By x, y DESC",
       {"[A]"},
       "SELECT * FROM T ",
       " ORDER BY [A],x, y DESC"},
      {"SELECT * FROM T ORDER BY",
       {"[A]"},
       "SELECT * FROM T ",
       " ORDER BY [A],"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sql);
    const OrderedStatement ordered = OrderForGroups(c.sql, c.groups);
    EXPECT_EQ(ordered.statement, c.statement);
    EXPECT_EQ(ordered.order, c.order);
  }
}

}  // namespace
}  // namespace nerolin::render
