#include "hostlib/jet/jet_sql.h"

#include <gtest/gtest.h>

#include "hostlib/jet/stored_dates.h"

namespace nerolin::jet {
namespace {

struct RewriteCase {
  const char* given;
  const char* expected;
};

TEST(RewriteJetSql, RewritesDateLiteralsOutsideQuotesOnly) {
  const RewriteCase cases[] = {
      {"SELECT * FROM t WHERE d=#2024-01-31#",
       "SELECT * FROM t WHERE d='2024-01-31'"},
      {"SELECT * FROM t WHERE d>=#2024-01-31 08:05:09#",
       "SELECT * FROM t WHERE d>='2024-01-31 08:05:09'"},
      {"SELECT * FROM t WHERE d=#2024/1/5#",
       "SELECT * FROM t WHERE d='2024-01-05'"},
      {"SELECT * FROM t WHERE d=#1/31/2024#",
       "SELECT * FROM t WHERE d='2024-01-31'"},
      {"SELECT * FROM t WHERE d=#1/31/2024 5:30 PM#",
       "SELECT * FROM t WHERE d='2024-01-31 17:30:00'"},
      {"SELECT * FROM t WHERE d=#12/31/2024 12:00:00 AM#",
       "SELECT * FROM t WHERE d='2024-12-31'"},
      // Midnight is the date alone, as dates without a time are stored.
      {"SELECT * FROM t WHERE d=#2024-01-31 00:00:00#",
       "SELECT * FROM t WHERE d='2024-01-31'"},
      // Quoted texts, bracketed names and comments stay as written.
      {"SELECT '#2024-01-31#' AS a, \"#2024-01-31#\" FROM t",
       "SELECT '#2024-01-31#' AS a, \"#2024-01-31#\" FROM t"},
      {"SELECT [#2024-01-31#] FROM t -- #2024-01-31#",
       "SELECT [#2024-01-31#] FROM t -- #2024-01-31#"},
      {"SELECT 'it''s #2024-01-31#', #2024-02-01# FROM t",
       "SELECT 'it''s #2024-01-31#', '2024-02-01' FROM t"},
      // No valid date: left for SQLite to reject.
      {"SELECT * FROM t WHERE d=#2024-02-30#",
       "SELECT * FROM t WHERE d=#2024-02-30#"},
      {"SELECT * FROM t WHERE d=#hello#", "SELECT * FROM t WHERE d=#hello#"},
  };
  for (const RewriteCase& c : cases) {
    SCOPED_TRACE(c.given);
    EXPECT_EQ(RewriteJetSql(c.given), c.expected);
  }
}

TEST(RewriteJetSql, RewritesConcatenationTopAndDistinctRow) {
  const RewriteCase cases[] = {
      {"SELECT Name & ' & ' & Code FROM t",
       "SELECT Name || ' & ' || Code FROM t"},
      {"SELECT TOP 1 Name FROM t ORDER BY Name;",
       "SELECT Name FROM t ORDER BY Name LIMIT 1;"},
      {"SELECT DISTINCT TOP 10 a FROM t -- first ten",
       "SELECT DISTINCT a FROM t LIMIT 10 -- first ten"},
      {"SELECT a FROM t WHERE a IN (SELECT TOP 2 b FROM u WHERE (c=1)) AND d=1",
       "SELECT a FROM t WHERE a IN (SELECT b FROM u WHERE (c=1) LIMIT 2) AND "
       "d=1"},
      {"SELECT DISTINCTROW a FROM t", "SELECT DISTINCT a FROM t"},
      // Left and Right are join keywords to SQLite unless renamed.
      {"SELECT Left(a, 2), right (a,1) FROM t LEFT JOIN u ON t.k=u.k",
       "SELECT JetLeft(a, 2), JetRight (a,1) FROM t LEFT JOIN u ON t.k=u.k"},
      // TOP n PERCENT has no SQLite form: left for SQLite to reject.
      {"SELECT TOP 5 PERCENT a FROM t", "SELECT TOP 5 PERCENT a FROM t"},
      // What SQLite reads as written stays.
      {"SELECT [Key], \"Value\" FROM engParameter WHERE DeletedOn Is Null AND "
       "FormatIsDefault<>0",
       "SELECT [Key], \"Value\" FROM engParameter WHERE DeletedOn Is Null AND "
       "FormatIsDefault<>0"},
  };
  for (const RewriteCase& c : cases) {
    SCOPED_TRACE(c.given);
    EXPECT_EQ(RewriteJetSql(c.given), c.expected);
  }
}

TEST(RewriteJetSql, LeavesTextThatIsNoStatementUnchanged) {
  const char* cases[] = {
      "ConcatRelated(\"A\", \"B\", \"C=#2024-01-31#\")",
      "Foo [Bar] & #2024-01-31#",
      "",
      "   ",
  };
  for (const char* text : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(RewriteJetSql(text), text);
  }
  EXPECT_EQ(RewriteJetSql("  (select #2024-01-31#)"),
            "  (select '2024-01-31')");
}

TEST(ParseIsoDateTime, ReadsStoredDatesAndRejectsOtherTexts) {
  struct Case {
    const char* text;
    bool valid;
    CivilDateTime parts;
  };
  const Case cases[] = {
      {"2024-02-29", true, {2024, 2, 29, 0, 0, 0}},
      {"2024-02-29 13:45:10", true, {2024, 2, 29, 13, 45, 10}},
      {"2024-02-29T13:45", true, {2024, 2, 29, 13, 45, 0}},
      {"2024-02-29 13:45:10.250", true, {2024, 2, 29, 13, 45, 10}},
      {"2023-02-29", false, {}},
      {"2024-13-01", false, {}},
      {"2024-01-01 24:00:00", false, {}},
      {"2024-01-01 10:00:00 x", false, {}},
      {"24-01-01", false, {}},
      {"Bodega Norte", false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::optional<CivilDateTime> parts = ParseIsoDateTime(c.text);
    ASSERT_EQ(parts.has_value(), c.valid);
    if (!parts) continue;
    EXPECT_EQ(parts->year, c.parts.year);
    EXPECT_EQ(parts->month, c.parts.month);
    EXPECT_EQ(parts->day, c.parts.day);
    EXPECT_EQ(parts->hour, c.parts.hour);
    EXPECT_EQ(parts->minute, c.parts.minute);
    EXPECT_EQ(parts->second, c.parts.second);
  }
}

}  // namespace
}  // namespace nerolin::jet
