#include "hostlib/sqlite/connection.h"

#include <filesystem>
#include <string>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "nerolin/automation_error.h"
#include "nerolin/sqlite_library.h"
#include "support/test_database.h"
#include "support/test_support.h"

namespace nerolin::sqlite {
namespace {

using ::nerolin::testing::MakeTestDatabase;
using ::nerolin::testing::TempDir;

constexpr const char* kTypedRows = R"sql(
CREATE TABLE typed (
  i INTEGER, b BIGINT, r REAL, f DOUBLE PRECISION, t VARCHAR(20), x BLOB,
  d DATE, dt DATETIME, ok BOOLEAN, bit BIT, m MONEY, n DECIMAL(10,2));
INSERT INTO typed VALUES (
  7, 9, 1.5, 2.25, 'abc', x'414243', '2024-01-31', '2024-01-31 13:45:10',
  1, 0, 12.3456, 99.5);
INSERT INTO typed VALUES (
  5000000000, 1, NULL, NULL, NULL, NULL, 'pending', NULL, 'false', NULL, NULL,
  NULL);
CREATE VIEW vwTyped AS SELECT i AS Ident, d FROM typed;
CREATE TABLE tstDocument (DocumentID INTEGER PRIMARY KEY, Folio TEXT,
  IssuedOn DATE, Total MONEY);
INSERT INTO tstDocument VALUES (1, 'A-1', '2024-01-31', 100);
INSERT INTO tstDocument VALUES (2, 'A-2', '2024-02-01', 250.5);
INSERT INTO tstDocument VALUES (3, '#2024-01-31#', '2024-02-02', 0);
CREATE TABLE dated (k INTEGER PRIMARY KEY, d DATETIME);
INSERT INTO dated (d) VALUES ('2024-01-31'), ('2024-01-31'), (NULL),
  ('2024-01-31'), ('2024-02-01 10:20'), ('pending'), ('pending'),
  ('2024-02-01 10:20'), ('2024-02-01 10:20:00');
)sql";

class ConnectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    connection_ = Connection::Open(MakeTestDatabase(dir_, kTypedRows));
  }

  TempDir dir_;
  std::shared_ptr<Connection> connection_;
};

TEST(DatabasePath, ReadsDataSourceOrABarePath) {
  struct Case {
    const char* connection_string;
    const char* path;
  };
  const Case cases[] = {
      {"Data Source=/var/db/host.db", "/var/db/host.db"},
      {"Provider=SQLite; data source = /var/db/host.db ;Mode=Read",
       "/var/db/host.db"},
      {"DATA SOURCE=\"/var/my db;1.db\";Timeout=5", "/var/my db;1.db"},
      {"Data Source='/var/it''s.db'", "/var/it's.db"},
      {"Database=/x.db", "/x.db"},
      {"  /var/db/host.db  ", "/var/db/host.db"},
      {"C:\\Datos\\host.db", "C:\\Datos\\host.db"},
      {"\tData Source\t=\t/var/db/tab.db\t;", "/var/db/tab.db"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.connection_string);
    EXPECT_EQ(DatabasePath(c.connection_string), c.path);
  }
  for (const char* no_file :
       {"", "   ", "Provider=SQLite;Mode=Read", "Data Source=;User=x"}) {
    SCOPED_TRACE(no_file);
    EXPECT_AUTOMATION_ERROR_MSG(DatabasePath(no_file), kUnspecifiedError,
                                "names no database file");
  }
}

TEST(Connection, MissingFileRaisesWithThePathAndCreatesNothing) {
  TempDir dir;
  std::string path = dir.File("absent.db");
  EXPECT_AUTOMATION_ERROR_MSG(Connection::Open(path), kUnspecifiedError,
                              "\"" + path + "\": the file does not exist");
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_AUTOMATION_ERROR_MSG(Connection::Open(dir.path().string()),
                              kUnspecifiedError, "no regular file");
  std::string text =
      dir.Write("notes.db", "these are no database pages at all");
  EXPECT_AUTOMATION_ERROR_MSG(Connection::Open(text), kUnspecifiedError,
                              "file is not a database");
}

TEST_F(ConnectionTest, OpensReadOnly) {
  EXPECT_AUTOMATION_ERROR_MSG(connection_->Query("DELETE FROM tstDocument"),
                              kErrorsInCommand, "readonly database");
  EXPECT_EQ(connection_->Query("SELECT * FROM tstDocument").size(), 3u);
}

TEST_F(ConnectionTest, ColumnTypesFollowDeclaredTypes) {
  ado::RowSet rows = connection_->Query("SELECT * FROM typed");
  using ado::DataType;
  const DataType types[] = {
      DataType::kInteger, DataType::kBigInt,   DataType::kDouble,
      DataType::kDouble,  DataType::kVarWChar, DataType::kLongVarBinary,
      DataType::kDate,    DataType::kDate,     DataType::kBoolean,
      DataType::kBoolean, DataType::kCurrency, DataType::kNumeric};
  ASSERT_EQ(rows.columns().size(), std::size(types));
  for (std::size_t c = 0; c < rows.columns().size(); ++c) {
    SCOPED_TRACE(rows.columns()[c].name);
    EXPECT_EQ(rows.columns()[c].type, types[c]);
  }
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows.Value(0, 0), Variant(std::int32_t{7}));
  EXPECT_EQ(rows.Value(0, 1), Variant(std::int64_t{9}));
  EXPECT_EQ(rows.Value(0, 2), Variant(1.5));
  EXPECT_EQ(rows.Value(0, 3), Variant(2.25));
  EXPECT_EQ(rows.Value(0, 4), Variant("abc"));
  EXPECT_EQ(rows.Value(0, 5), Variant("ABC"));
  EXPECT_EQ(rows.Value(0, 6), Variant(Date::FromParts(2024, 1, 31)));
  EXPECT_EQ(rows.Value(0, 7),
            Variant(Date::FromParts(2024, 1, 31, 13, 45, 10)));
  EXPECT_EQ(rows.Value(0, 8), Variant(true));
  EXPECT_EQ(rows.Value(0, 9), Variant(false));
  EXPECT_EQ(rows.Value(0, 10), Variant(Currency{123456}));
  EXPECT_EQ(rows.Value(0, 11), Variant(99.5));
  EXPECT_EQ(rows.Value(1, 0),
            Variant(std::int64_t{5000000000}));  // past 32 bits
  EXPECT_TRUE(rows.Value(1, 2).IsNull());
  EXPECT_TRUE(rows.Value(1, 4).IsNull());
  EXPECT_EQ(rows.Value(1, 6), Variant("pending"));  // no date: stays a text
  EXPECT_EQ(rows.Value(1, 8), Variant(false));
}

TEST_F(ConnectionTest, EachDateOfAColumnIsReadFromItsOwnText) {
  const ado::RowSet rows = connection_->Query("SELECT d FROM dated ORDER BY k");
  const Variant jan(Date::FromParts(2024, 1, 31));
  const Variant feb(Date::FromParts(2024, 2, 1, 10, 20, 0));
  const Variant pending("pending");
  const Variant expected[] = {
      jan, jan, Variant::Null(), jan, feb, pending, pending, feb, feb};
  ASSERT_EQ(rows.size(), std::size(expected));
  for (std::size_t row = 0; row < rows.size(); ++row) {
    SCOPED_TRACE(row);
    EXPECT_EQ(rows.Value(row, 0), expected[row]);
  }
}

TEST_F(ConnectionTest, ExpressionColumnsTakeTheTypeOfTheirValues) {
  ado::RowSet rows = connection_->Query(
      "SELECT count(*) AS n, sum(Total) / 2.0 AS half, max(Folio) AS last, "
      "NULL AS none, Ident FROM tstDocument, vwTyped WHERE Ident = 7");
  using ado::DataType;
  ASSERT_EQ(rows.columns().size(), 5u);
  EXPECT_EQ(rows.columns()[0].type, DataType::kInteger);
  EXPECT_EQ(rows.columns()[1].type, DataType::kDouble);
  EXPECT_EQ(rows.columns()[2].type, DataType::kVarWChar);
  EXPECT_EQ(rows.columns()[3].type, DataType::kVarWChar);
  EXPECT_EQ(rows.columns()[4].type, DataType::kInteger);  // through the view
  EXPECT_EQ(rows.columns()[4].name, "Ident");
  EXPECT_EQ(rows.Value(0, 0), Variant(std::int32_t{3}));
  EXPECT_EQ(rows.Value(0, 1), Variant(175.25));
  EXPECT_TRUE(rows.Value(0, 3).IsNull());
}

TEST_F(ConnectionTest, RejectedStatementNamesSqliteMessageAndStatement) {
  EXPECT_AUTOMATION_ERROR_MSG(connection_->Query("SELECT * FROM Nowhere"),
                              kErrorsInCommand,
                              "SQLite rejected the statement (no such table: "
                              "Nowhere): SELECT * FROM Nowhere");
  EXPECT_AUTOMATION_ERROR_MSG(
      connection_->Query("SELECT * FROM Nowhere WHERE d = #2024-01-31#"),
      kErrorsInCommand,
      "(run as: SELECT * FROM Nowhere WHERE d = '2024-01-31')");
  EXPECT_AUTOMATION_ERROR_MSG(connection_->Query("SELECT 1; SELECT 2"),
                              kErrorsInCommand, "more than one statement");
  EXPECT_AUTOMATION_ERROR_MSG(connection_->Query(" -- nothing"),
                              kErrorsInCommand, "The statement is empty");
  EXPECT_AUTOMATION_ERROR_MSG(connection_->Query("SELECT CLng('abc')"),
                              kErrorsInCommand, "The statement failed (CLng: ");
  // A trailing semicolon and comment are no second statement.
  EXPECT_EQ(connection_->Query("SELECT 1; -- done").size(), 1u);
}

TEST_F(ConnectionTest, JetDateLiteralsMatchStoredDates) {
  ado::RowSet rows = connection_->Query(
      "SELECT Folio FROM tstDocument WHERE IssuedOn = #2024-01-31# OR "
      "Folio = '#2024-01-31#' ORDER BY DocumentID");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows.Value(0, 0), Variant("A-1"));
  EXPECT_EQ(rows.Value(1, 0), Variant("#2024-01-31#"));
  EXPECT_EQ(
      connection_->QueryFirst(
          "SELECT count(*) FROM tstDocument WHERE IssuedOn > #1/31/2024#"),
      Variant(std::int32_t{2}));
}

TEST_F(ConnectionTest, JetFunctionsRunInStatements) {
  struct Case {
    const char* expression;
    Variant expected;
  };
  const Case cases[] = {
      {"Nz(NULL)", Variant("")},
      {"Nz(NULL, 0)", Variant(std::int32_t{0})},
      {"Nz('a', 'b')", Variant("a")},
      {"Len('año')", Variant(std::int32_t{3})},
      {"Len(NULL)", Variant::Null()},
      {"UCase('señor')", Variant("SEÑOR")},
      {"LCase('ÁRBOL')", Variant("árbol")},
      {"Left('añorar', 2)", Variant("añ")},
      {"Right('añorar', 3)", Variant("rar")},
      {"Right('ab', 5)", Variant("ab")},
      {"Mid('añorar', 2, 3)", Variant("ñor")},
      {"Mid('añorar', 4)", Variant("rar")},
      {"InStr(3, 'abcabc', 'b')", Variant(std::int32_t{5})},
      {"InStr('abcabc', 'c')", Variant(std::int32_t{3})},
      {"CStr(0.5)", Variant("0.5")},
      {"CLng('2.5')", Variant(std::int32_t{2})},
      {"CLng(3.5)", Variant(std::int32_t{4})},
      {"CDbl('1.25')", Variant(1.25)},
      {"Val(' 12.5abc')", Variant(12.5)},
      {"Val('abc')", Variant(0.0)},
      {"Year('2024-03-09') * 100 + Month('2024-03-09')",
       Variant(std::int32_t{202403})},
      {"Day('2024-03-09 10:00:00')", Variant(std::int32_t{9})},
      {"IIf(1 > 0, 'yes', 'no')", Variant("yes")},
      {"'a' & 'b' & 1", Variant("ab1")},
      {"Len(Date()) + Len(Now())", Variant(std::int32_t{29})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expression);
    EXPECT_EQ(connection_->QueryFirst(std::string("SELECT ") + c.expression),
              c.expected);
  }
  EXPECT_EQ(connection_->QueryFirst("SELECT date('2024-01-31', '+1 day')"),
            Variant("2024-02-01"));  // SQLite's own date() stays
  EXPECT_AUTOMATION_ERROR_MSG(connection_->QueryFirst("SELECT CInt(40000)"),
                              kErrorsInCommand, "CInt: Overflow");
  EXPECT_AUTOMATION_ERROR_MSG(connection_->QueryFirst("SELECT Left('a', -1)"),
                              kErrorsInCommand, "Left length below 0");
}

TEST_F(ConnectionTest, PreparedStatementsAreReusedAndBounded) {
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(connection_->Query("SELECT Folio FROM tstDocument").size(), 3u);
  }
  EXPECT_EQ(connection_->prepared_statements(), 1u);
  for (std::size_t i = 0; i < Connection::kStatementCacheSize + 10; ++i) {
    connection_->QueryFirst("SELECT " + std::to_string(i));
  }
  EXPECT_EQ(connection_->prepared_statements(),
            Connection::kStatementCacheSize);
  EXPECT_EQ(connection_->QueryFirst("SELECT Folio FROM tstDocument WHERE "
                                    "DocumentID = ?",
                                    {Variant(std::int32_t{2})}),
            Variant("A-2"));
  EXPECT_FALSE(connection_->QueryFirst("SELECT 1 WHERE 0").has_value());
}

TEST_F(ConnectionTest, TableHasColumnReadsTablesAndViewsInAnyCase) {
  EXPECT_TRUE(connection_->TableHasColumn("DOCDOCUMENT", "folio"));
  EXPECT_TRUE(connection_->TableHasColumn("[tstDocument]", "[IssuedOn]"));
  EXPECT_TRUE(connection_->TableHasColumn("vwtyped", "IDENT"));
  EXPECT_FALSE(connection_->TableHasColumn("vwTyped", "i"));
  EXPECT_FALSE(connection_->TableHasColumn("tstDocument", "Nothing"));
  EXPECT_FALSE(connection_->TableHasColumn("Nowhere", "Folio"));
}

TEST(Connection, ColumnNamesMatchAsSqliteMatchesThem) {
  TempDir dir;
  const std::shared_ptr<Connection> connection = Connection::Open(
      MakeTestDatabase(dir, "CREATE TABLE tstYear (\"Año\" INTEGER);"));
  EXPECT_TRUE(connection->TableHasColumn("TSTYEAR", "AñO"));
  // SQLite folds ASCII letters only: it would not run a statement that
  // names this column so.
  EXPECT_FALSE(connection->TableHasColumn("tstYear", "AÑO"));
  EXPECT_FALSE(connection->TableHasColumn("tstYear", std::string("Añ\0", 4)));
}

// Another program of the host: a read-write connection of its own that
// commits each statement.
class Writer {
 public:
  explicit Writer(const std::string& path) {
    EXPECT_EQ(sqlite3_open(path.c_str(), &db_), SQLITE_OK);
  }
  ~Writer() { sqlite3_close(db_); }
  Writer(const Writer&) = delete;
  Writer& operator=(const Writer&) = delete;

  void Run(const std::string& sql) {
    char* message = nullptr;
    EXPECT_EQ(sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message),
              SQLITE_OK)
        << (message ? message : "") << ": " << sql;
    sqlite3_free(message);
  }

 private:
  sqlite3* db_ = nullptr;
};

constexpr const char* kFolio =
    "SELECT Folio FROM tstDocument WHERE DocumentID=1";

TEST_F(ConnectionTest, RepeatedStatementsAreAnsweredFromMemory) {
  const std::uint64_t before = connection_->statements_run();
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(connection_->QueryFirst(kFolio), Variant("A-1"));
    EXPECT_EQ(connection_->Query("SELECT Folio FROM tstDocument").size(), 3u);
    EXPECT_EQ(connection_->QueryFirst("SELECT Folio FROM tstDocument WHERE "
                                      "DocumentID = ?",
                                      {Variant(std::int32_t{2})}),
              Variant("A-2"));
  }
  EXPECT_EQ(connection_->statements_run() - before, 3u);
  // Statements whose answers are not kept leave the others kept.
  EXPECT_TRUE(connection_->TableHasColumn("tstDocument", "Folio"));
  connection_->Query("SELECT name FROM pragma_table_info('typed')");
  connection_->Query("SELECT Now()");
  const std::uint64_t after_others = connection_->statements_run();
  EXPECT_EQ(connection_->QueryFirst(kFolio), Variant("A-1"));
  EXPECT_TRUE(connection_->TableHasColumn("tstDocument", "IssuedOn"));
  EXPECT_EQ(connection_->statements_run(), after_others);
  // Other parameters are another statement.
  EXPECT_EQ(connection_->QueryFirst("SELECT Folio FROM tstDocument WHERE "
                                    "DocumentID = ?",
                                    {Variant("3")}),
            Variant("#2024-01-31#"));
  EXPECT_EQ(connection_->statements_run() - after_others, 1u);
}

TEST_F(ConnectionTest, LargeAnswersAreNotKept) {
  const std::string many =
      "WITH RECURSIVE k(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM k WHERE "
      "n < " +
      std::to_string(AnswerCache::kMaxAnswerCells + 1) + ") SELECT n FROM k";
  const std::uint64_t before = connection_->statements_run();
  EXPECT_EQ(connection_->Query(many).size(), AnswerCache::kMaxAnswerCells + 1);
  EXPECT_EQ(connection_->Query(many).size(), AnswerCache::kMaxAnswerCells + 1);
  EXPECT_EQ(connection_->Query(kFolio).size(), 1u);
  EXPECT_EQ(connection_->Query(kFolio).size(), 1u);
  EXPECT_EQ(connection_->statements_run() - before, 3u);
}

TEST(ConnectionAnswers, FollowWhatAnotherConnectionCommits) {
  for (const bool wal : {false, true}) {
    SCOPED_TRACE(wal ? "WAL" : "rollback journal");
    testing::TempDir dir;
    const std::string path = testing::MakeTestDatabase(dir, kTypedRows);
    Writer writer(path);
    if (wal) writer.Run("PRAGMA journal_mode=WAL");
    const std::shared_ptr<Connection> connection = Connection::Open(path);
    EXPECT_EQ(connection->QueryFirst(kFolio), Variant("A-1"));
    const ado::RowSet before = connection->Query("SELECT * FROM tstDocument");

    writer.Run("UPDATE tstDocument SET Folio = 'B-1' WHERE DocumentID = 1");
    EXPECT_EQ(connection->QueryFirst(kFolio), Variant("B-1"));
    writer.Run("INSERT INTO tstDocument VALUES (4, 'A-4', '2024-02-03', 1)");
    EXPECT_EQ(connection->Query("SELECT * FROM tstDocument").size(), 4u);
    EXPECT_EQ(before.size(), 3u);
    // A statement whose rows changed their shape.
    writer.Run("ALTER TABLE tstDocument ADD COLUMN Serie TEXT DEFAULT 'A'");
    EXPECT_EQ(connection->Query("SELECT * FROM tstDocument").columns().size(),
              5u);
    EXPECT_TRUE(connection->TableHasColumn("tstDocument", "Serie"));
    writer.Run("DROP VIEW vwTyped");
    writer.Run(
        "CREATE VIEW vwTyped AS SELECT i AS Ident, date('now') AS d "
        "FROM typed");
    EXPECT_FALSE(connection->TableHasColumn("vwTyped", "i"));
    const std::uint64_t run = connection->statements_run();
    connection->Query("SELECT d FROM vwTyped");
    connection->Query("SELECT d FROM vwTyped");
    // The view now reads the clock.
    EXPECT_EQ(connection->statements_run() - run, 2u);
  }
}

TEST_F(ConnectionTest, AnswersThatDependOnMoreThanTheDatabaseAreNotKept) {
  for (const char* sql :
       {"SELECT Now()", "SELECT random()", "SELECT date('now')",
        "SELECT CURRENT_TIMESTAMP", "SELECT CStr(1.5)",
        "SELECT name FROM pragma_table_info('tstDocument')",
        "PRAGMA schema_version"}) {
    SCOPED_TRACE(sql);
    const std::uint64_t before = connection_->statements_run();
    connection_->Query(sql);
    connection_->Query(sql);
    EXPECT_EQ(connection_->statements_run() - before, 2u);
  }
}

TEST_F(ConnectionTest, StatementsThatChangeTheConnectionDropWhatIsKept) {
  constexpr const char* kLike =
      "SELECT count(*) FROM tstDocument WHERE Folio LIKE 'a-%'";
  EXPECT_EQ(connection_->QueryFirst(kLike), Variant(std::int32_t{2}));
  connection_->Query("PRAGMA case_sensitive_like = 1");
  EXPECT_EQ(connection_->QueryFirst(kLike), Variant(std::int32_t{0}));

  // A temporary table of the same name hides the database's own.
  EXPECT_EQ(connection_->QueryFirst(kFolio), Variant("A-1"));
  connection_->Query(
      "CREATE TEMP TABLE tstDocument AS SELECT 1 AS DocumentID, 'T-1' AS "
      "Folio");
  EXPECT_EQ(connection_->QueryFirst(kFolio), Variant("T-1"));
  connection_->Query("INSERT INTO temp.tstDocument VALUES (1, 'T-2')");
  EXPECT_EQ(connection_->Query(kFolio).size(), 2u);
  EXPECT_FALSE(connection_->TableHasColumn("tstDocument", "IssuedOn"));
}

}  // namespace
}  // namespace nerolin::sqlite
