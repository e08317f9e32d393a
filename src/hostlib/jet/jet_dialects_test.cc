#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "hostlib/jet/jet_server_sql.h"
#include "hostlib/jet/jet_sql.h"

namespace nerolin::jet {
namespace {

struct RewriteCase {
  const char* given;
  const char* expected;
};

// The names of a small catalog, made on first use.
const NameSpellings& Catalog() {
  static const NameSpellings catalog = {
      {"docdocument", "docDocument"},
      {"documentid", "DocumentID"},
      {"total", "Total"},
      {"name", "Name"},
      {"engparameter", "engParameter"},
      {"key", "Key"},
      {"value", "Value"},
      {"text", "Text"},
      {"date", "Date"},
      {"first", "First"},
  };
  return catalog;
}

// Each case, and the rewritten text rewritten again, which must stay as it
// is: the library rewrites a statement the engine has had rewritten.
void ExpectRewrites(const RewriteCase* begin, const RewriteCase* end,
                    Dialect dialect, const NameSpellings* names) {
  for (const RewriteCase* c = begin; c != end; ++c) {
    SCOPED_TRACE(c->given);
    EXPECT_EQ(RewriteJetSql(c->given, dialect, names), c->expected);
    EXPECT_EQ(RewriteJetSql(c->expected, dialect, names), c->expected)
        << "rewritten twice";
  }
}

TEST(RewriteJetSqlForPostgreSql, QuotesNamesAsTheCatalogSpellsThem) {
  const RewriteCase with_catalog[] = {
      {"SELECT documentid, d.TOTAL, [Name] FROM DocDocument d",
       "SELECT \"DocumentID\", d.\"Total\", \"Name\" FROM \"docDocument\" d"},
      // Aliases keep their spelling, also where referred to later; in ORDER
      // BY the alias wins over the column of the same name.
      {"SELECT Total * 2 AS total, Name AS [Full Name] FROM t "
       "WHERE Total > 0 ORDER BY TOTAL, [full name]",
       "SELECT \"Total\" * 2 AS \"total\", \"Name\" AS \"Full Name\" FROM t "
       "WHERE \"Total\" > 0 ORDER BY \"total\" NULLS FIRST, \"Full Name\" "
       "NULLS FIRST"},
      // "..." names what the catalog knows and is Jet's text otherwise.
      {"SELECT \"Value\" FROM engParameter WHERE \"Key\" = \"it's\"",
       "SELECT \"Value\" FROM \"engParameter\" WHERE \"Key\" = 'it''s'"},
      {"SELECT Nz(Total, \"\"), Nz(Total, 0) FROM t",
       "SELECT COALESCE(CAST(\"Total\" AS text), ''), COALESCE(\"Total\", 0) "
       "FROM t"},
      // The engine's {tokens} and bracketed references the catalog does not
      // know stay for it to replace after the rewrite.
      {"SELECT CAST(Total AS text) AS x, [odd\"name] FROM t "
       "WHERE DocumentID = {DocumentID} AND {x & #2024-01-31#}",
       "SELECT CAST(\"Total\" AS text) AS \"x\", [odd\"name] FROM t "
       "WHERE \"DocumentID\" = {DocumentID} AND {x & #2024-01-31#}"},
      // A subquery's alias named from outside, before its definition.
      {"SELECT s.BaseIVA16, s.[total], s.x FROM (SELECT SUM(Total) AS "
       "baseiva16, Total, 1 AS [X] FROM t GROUP BY Total) s",
       "SELECT s.\"baseiva16\", s.\"Total\", s.\"X\" FROM (SELECT "
       "SUM(\"Total\") AS \"baseiva16\", \"Total\", 1 AS \"X\" FROM t "
       "GROUP BY \"Total\") s"},
      // Columns named as the words of the forms written for Jet's.
      {"SELECT [Date] FROM t WHERE date >= #2024-01-31# ORDER BY [First]",
       "SELECT \"Date\" FROM t WHERE \"Date\" >= DATE '2024-01-31' ORDER BY "
       "\"First\" NULLS FIRST"},
      // GROUP BY takes the column, ORDER BY the alias.
      {"SELECT name AS NAME FROM t GROUP BY name ORDER BY name",
       "SELECT \"Name\" AS \"NAME\" FROM t GROUP BY \"Name\" ORDER BY \"NAME\" "
       "NULLS FIRST"},
  };
  ExpectRewrites(std::begin(with_catalog), std::end(with_catalog),
                 Dialect::kPostgreSql, &Catalog());
  const RewriteCase without_catalog[] = {
      {"SELECT [Key], \"Value\", Total FROM engParameter AS P WHERE p.x = 1",
       "SELECT \"Key\", \"Value\", Total FROM engParameter AS \"P\" WHERE "
       "\"P\".x = 1"},
      {"SELECT [odd\"name], {DocumentID} FROM t",
       "SELECT \"odd\"\"name\", {DocumentID} FROM t"},
  };
  ExpectRewrites(std::begin(without_catalog), std::end(without_catalog),
                 Dialect::kPostgreSql, nullptr);
}

TEST(RewriteJetSqlForPostgreSql, ConcatenatesWhatJetBindsTighterThanAmpersand) {
  const RewriteCase cases[] = {
      {"SELECT a & b FROM t", "SELECT CONCAT(a, b) FROM t"},
      {"SELECT -a + 1 & 'x' & f(b, c) * 2 AS l, d & e x FROM t",
       "SELECT CONCAT(-a + 1, 'x', f(b, c) * 2) AS \"l\", CONCAT(d, e) x "
       "FROM t"},
      {"SELECT a FROM t WHERE a & b = c & (d & 'e') AND x",
       "SELECT a FROM t WHERE CONCAT(a, b) = CONCAT(c, (CONCAT(d, 'e'))) AND "
       "x"},
      {"SELECT Nz(a & b) FROM t",
       "SELECT COALESCE(CAST(CONCAT(a, b) AS text), '') FROM t"},
      // An & without an operand on either side is left for the server.
      {"SELECT & a, b & FROM t", "SELECT & a, b & FROM t"},
      {"SELECT 'a & b' -- c & d", "SELECT 'a & b' -- c & d"},
  };
  ExpectRewrites(std::begin(cases), std::end(cases), Dialect::kPostgreSql,
                 nullptr);
}

TEST(RewriteJetSqlForPostgreSql, RewritesJetFunctionsInline) {
  const RewriteCase cases[] = {
      {"SELECT Nz(a, 0), Len(a), UCase(LCase(a)), Trim(a) FROM t",
       "SELECT COALESCE(a, 0), CHAR_LENGTH(CAST(a AS text)), "
       "UPPER(CAST(LOWER(CAST(a AS text)) AS text)), BTRIM(CAST(a AS text)) "
       "FROM t"},
      {"SELECT IIf(a > 1, Mid(b, 2), Mid('xyz', 2, 1)), Left(b, 1) FROM t",
       "SELECT CASE WHEN a > 1 THEN SUBSTRING(CAST(b AS text) FROM 2) ELSE "
       "SUBSTRING('xyz' FROM 2 FOR 1) END, LEFT(CAST(b AS text), 1) FROM t"},
      {"SELECT CLng(a), CDbl(a), CStr(a), Year(d), Date(), now ( ) FROM t",
       "SELECT CAST(CAST(a AS double precision) AS integer), CAST(a AS double "
       "precision), CAST(a AS text), CAST(EXTRACT(YEAR FROM CAST(d AS "
       "timestamp)) AS integer), CURRENT_DATE, LOCALTIMESTAMP(0) FROM t"},
      {"SELECT InStr(a, 'x'), InStr(1, a, 'x'), InStr(2, a, 'x') FROM t",
       "SELECT STRPOS(CAST(a AS text), 'x'), STRPOS(CAST(a AS text), 'x'), "
       "InStr(2, a, 'x') FROM t"},
      // Calls of other arities and other functions stay, their arguments
      // rewritten all the same.
      {"SELECT Nz(), Mid(a), COUNT(*), SUM(Nz(a,0)) FROM t",
       "SELECT Nz(), Mid(a), COUNT(*), SUM(COALESCE(a, 0)) FROM t"},
  };
  ExpectRewrites(std::begin(cases), std::end(cases), Dialect::kPostgreSql,
                 nullptr);
}

TEST(RewriteJetSqlForPostgreSql, RewritesDatesTopAndNullOrder) {
  const RewriteCase cases[] = {
      {"SELECT * FROM t WHERE d >= #1/31/2024# AND s < #2024-01-31 5:30 PM#",
       "SELECT * FROM t WHERE d >= DATE '2024-01-31' AND s < TIMESTAMP "
       "'2024-01-31 17:30:00'"},
      {"SELECT DISTINCTROW TOP 3 a FROM t WHERE b = True ORDER BY a DESC, b;",
       "SELECT DISTINCT a FROM t WHERE b = TRUE ORDER BY a DESC NULLS LAST, b "
       "NULLS FIRST LIMIT 3;"},
      {"SELECT a FROM t WHERE a IN (SELECT TOP 1 b FROM u ORDER BY b ASC)",
       "SELECT a FROM t WHERE a IN (SELECT b FROM u ORDER BY b ASC NULLS "
       "FIRST LIMIT 1)"},
      {"SELECT a FROM t ORDER BY a NULLS LAST, b",
       "SELECT a FROM t ORDER BY a NULLS LAST, b"},
      {"Foo(\"a\" & #2024-01-31#)", "Foo(\"a\" & #2024-01-31#)"},
  };
  ExpectRewrites(std::begin(cases), std::end(cases), Dialect::kPostgreSql,
                 nullptr);
}

TEST(RewriteJetSqlForSqlServer, RewritesJetOnlyFormsAndKeepsTheRest) {
  const RewriteCase cases[] = {
      {"SELECT TOP 2 [a b], a & b FROM t WHERE d = #1/31/2024# OR "
       "s = #2024-01-31 17:30# OR f = False",
       "SELECT TOP 2 [a b], a & b FROM t WHERE d = '20240131' OR "
       "s = '2024-01-31T17:30:00' OR f = 0"},
      {"SELECT Nz(a), Nz(a, 0), Mid(a, 2), Mid(a, 2, 3), Trim(UCase(a)) FROM t",
       "SELECT ISNULL(a, ''), ISNULL(a, 0), SUBSTRING(a, 2, 2147483647), "
       "SUBSTRING(a, 2, 3), LTRIM(RTRIM(UPPER(a))) FROM t"},
      {"SELECT CLng(a), CStr(a), CDbl(a), InStr(2, a, 'x'), IIf(a, 1, 2), "
       "Date(), Now() FROM t",
       "SELECT CAST(ROUND(a, 0) AS int), CAST(a AS nvarchar(max)), CAST(a AS "
       "float), CHARINDEX('x', a, 2), IIf(a, 1, 2), CAST(GETDATE() AS date), "
       "GETDATE() FROM t"},
  };
  ExpectRewrites(std::begin(cases), std::end(cases), Dialect::kSqlServer,
                 nullptr);
  const RewriteCase with_catalog[] = {
      {"SELECT \"Value\" FROM engParameter WHERE \"Key\" = \"A1\"",
       "SELECT \"Value\" FROM engParameter WHERE \"Key\" = 'A1'"},
  };
  ExpectRewrites(std::begin(with_catalog), std::end(with_catalog),
                 Dialect::kSqlServer, &Catalog());
}

TEST(RewriteJetSqlForPostgreSql, KeepsTheOrderOfWhatItAddsAfterATerm) {
  const RewriteCase cases[] = {
      {"SELECT TOP 1 a FROM t ORDER BY a & b -- last\n;",
       "SELECT a FROM t ORDER BY CONCAT(a, b) NULLS FIRST LIMIT 1 -- last\n;"},
      {"SELECT a FROM (SELECT b FROM u ORDER BY b) ORDER BY x -- c\n& y DESC",
       "SELECT a FROM (SELECT b FROM u ORDER BY b NULLS FIRST) ORDER BY "
       "CONCAT(x -- c\n, y) DESC NULLS LAST"},
  };
  ExpectRewrites(std::begin(cases), std::end(cases), Dialect::kPostgreSql,
                 nullptr);
}

TEST(RewriteJetSql, LeavesUnfinishedTextAsWrittenForEveryServer) {
  const char* cases[] = {
      "SELECT Nz(a",     "SELECT [Total",
      "SELECT \"Total",  "SELECT 'a & b",
      "SELECT a /* & b", "SELECT a FROM t WHERE (b = #2024-02-30#",
      "SELECT {x",
  };
  for (Dialect dialect : {Dialect::kPostgreSql, Dialect::kSqlServer}) {
    for (const char* text : cases) {
      SCOPED_TRACE(text);
      EXPECT_EQ(RewriteJetSql(text, dialect, &Catalog()), text);
    }
  }
}

std::string Repeated(std::string_view text, int times) {
  std::string repeated;
  for (int i = 0; i < times; ++i) repeated += text;
  return repeated;
}

TEST(RewriteJetSql, LeavesNestingPastTheBoundAsWritten) {
  const std::string deep =
      "SELECT " + Repeated("Nz(", 100) + "a" + Repeated(")", 100);
  const int left = 100 - kMaxNesting;
  const std::string rest = Repeated("Nz(", left) + "a" + Repeated(")", left);
  EXPECT_EQ(RewriteJetSql(deep, Dialect::kPostgreSql),
            "SELECT " + Repeated("COALESCE(CAST(", kMaxNesting) + rest +
                Repeated(" AS text), '')", kMaxNesting));
  EXPECT_EQ(RewriteJetSql(deep, Dialect::kSqlServer),
            "SELECT " + Repeated("ISNULL(", kMaxNesting) + rest +
                Repeated(", '')", kMaxNesting));
  // A hundred thousand open parentheses take no more stack than the bound.
  const std::string open = "SELECT " + std::string(100000, '(');
  EXPECT_EQ(RewriteJetSql(open, Dialect::kPostgreSql), open);
  EXPECT_EQ(RewriteJetSql(open + "#2024-01-31#", Dialect::kSqlServer),
            open + "#2024-01-31#");
}

TEST(DialectOfDbms, NamesTheServersItKnows) {
  EXPECT_EQ(DialectOfDbms("PostgreSQL"), Dialect::kPostgreSql);
  EXPECT_EQ(DialectOfDbms("Microsoft SQL Server"), Dialect::kSqlServer);
  EXPECT_EQ(DialectOfDbms("postgresql"), Dialect::kPostgreSql);
  EXPECT_EQ(DialectOfDbms("SQLite"), Dialect::kSqlite);
  EXPECT_EQ(DialectOfDbms("MySQL"), Dialect::kSqlite);
}

}  // namespace
}  // namespace nerolin::jet
