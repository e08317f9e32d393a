// The host schema and the demo's documents on a private PostgreSQL server.

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "support/private_postgres.h"
#include "support/test_database.h"
#include "support/test_support.h"

namespace nerolin::testing {
namespace {

namespace fs = std::filesystem;

// Rows of a statement on a SQLite file, every value as text.
std::vector<std::vector<std::string>> SqliteRows(const std::string& path,
                                                 const std::string& sql) {
  std::vector<std::vector<std::string>> rows;
  sqlite3* db = nullptr;
  sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                  nullptr);
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) !=
      SQLITE_OK) {
    ADD_FAILURE() << sqlite3_errmsg(db) << ": " << sql;
  }
  while (statement && sqlite3_step(statement) == SQLITE_ROW) {
    std::vector<std::string> row;
    for (int c = 0; c < sqlite3_column_count(statement); ++c) {
      const auto* text = sqlite3_column_text(statement, c);
      row.emplace_back(text ? reinterpret_cast<const char*>(text) : "");
    }
    rows.push_back(std::move(row));
  }
  sqlite3_finalize(statement);
  sqlite3_close(db);
  return rows;
}

ProgramRun RunTool(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), NEROLIN_REPORT_BINARY);
  return RunProgram(arguments, {}, std::chrono::minutes(2));
}

class PostgresTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    server_ = SharedPostgres(&why);
    if (server_ == nullptr) GTEST_SKIP() << why;
  }
  PrivatePostgres* server_ = nullptr;
  TempDir dir_;
};

// Each table and view with its columns, spelled as declared, and each
// column's type in PostgreSQL's words, from the two schema files loaded
// into their servers.
TEST_F(PostgresTest, SchemaHasTheSqliteTablesColumnsAndTypes) {
  const std::string sqlite_path = dir_.File("schema.db");
  SqliteRows(sqlite_path, "SELECT 1");  // creates the file
  {
    sqlite3* db = nullptr;
    sqlite3_open(sqlite_path.c_str(), &db);
    const std::string schema = ReadFile(SourcePath("data/schema.sql"));
    ASSERT_EQ(sqlite3_exec(db, schema.c_str(), nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
  }
  // The declared types of data/schema.sql and what each must be here.
  const std::map<std::string, std::set<std::string>> kTypes = {
      {"INTEGER", {"integer", "bigint"}},
      {"REAL", {"double precision"}},
      {"MONEY", {"numeric"}},
      {"TEXT", {"text", "citext"}},
      {"DATE", {"date"}},
      {"DATETIME", {"timestamp without time zone"}},
      {"BOOLEAN", {"boolean"}},
      {"", {}},  // an expression in a view: any type
  };
  std::map<std::string, std::string> sqlite_columns;
  for (const auto& row : SqliteRows(
           sqlite_path,
           "SELECT m.name || '.' || c.name, upper(c.type) FROM sqlite_master "
           "m, "
           "pragma_table_info(m.name) c WHERE m.type IN ('table', 'view')")) {
    sqlite_columns[row[0]] = row[1];
  }
  server_->CreateHostDatabase("schema_check");
  std::map<std::string, std::string> postgres_columns;
  for (const std::string& line : [&] {
         std::vector<std::string> lines;
         std::string out = server_->Psql(
             "schema_check",
             "SELECT c.table_name || '.' || c.column_name || '|' || "
             "CASE WHEN c.data_type = 'USER-DEFINED' THEN c.udt_name "
             "ELSE c.data_type END FROM information_schema.columns c "
             "WHERE c.table_schema = 'public'");
         std::size_t at = 0;
         while (at < out.size()) {
           std::size_t end = out.find('\n', at);
           if (end == std::string::npos) end = out.size();
           if (end > at) lines.push_back(out.substr(at, end - at));
           at = end + 1;
         }
         return lines;
       }()) {
    const std::size_t bar = line.find('|');
    postgres_columns[line.substr(0, bar)] = line.substr(bar + 1);
  }
  std::set<std::string> sqlite_names;
  std::set<std::string> postgres_names;
  for (const auto& [name, type] : sqlite_columns) sqlite_names.insert(name);
  for (const auto& [name, type] : postgres_columns) postgres_names.insert(name);
  EXPECT_EQ(postgres_names, sqlite_names);
  for (const auto& [name, type] : sqlite_columns) {
    auto found = postgres_columns.find(name);
    auto allowed = kTypes.find(type);
    if (found == postgres_columns.end()) continue;
    ASSERT_NE(allowed, kTypes.end()) << name << " has the new type " << type;
    if (allowed->second.empty()) continue;
    EXPECT_TRUE(allowed->second.contains(found->second))
        << name << ": " << type << " became " << found->second;
  }
}

// The demo's three documents, rendered from PostgreSQL through the ODBC
// library by a fresh nerolin-report each, are the SQLite demo's byte for
// byte.
TEST_F(PostgresTest, DemoDocumentsEqualTheSqliteOnes) {
  const std::string sqlite_out = dir_.File("sqlite");
  ProgramRun demo = RunTool({"demo", "--out", sqlite_out});
  ASSERT_EQ(demo.exit_code, 0) << demo.err;
  const std::string demo_db = sqlite_out + "/demo.db";
  server_->CreateHostDatabase("demo");
  server_->CopySqliteDatabase(demo_db, "demo");
  const std::string connection = server_->ConnectionString("demo");
  const auto reports = SqliteRows(
      demo_db,
      "SELECT r.Name, r.SQL, (SELECT FileName FROM engModulePrintFormat f "
      "WHERE f.FormatIsDefault <> 0 AND f.ModuleID = (CASE WHEN r.SQL LIKE "
      "'%FinancialOperation%' THEN 30 ELSE (SELECT ModuleID FROM docDocument "
      "d WHERE r.SQL LIKE '% ' || d.DocumentID || ' %') END)) "
      "FROM demoReport r ORDER BY r.Position");
  ASSERT_EQ(reports.size(), 3u);
  fs::create_directory(dir_.File("postgres"));
  for (const auto& report : reports) {
    SCOPED_TRACE(report[0]);
    const std::string destination =
        dir_.File("postgres/" + report[0] + ".html");
    ProgramRun run = RunTool({"--connection", connection, "--find-match",
                              "--strict", "generate", "--sql", report[1],
                              "--template", report[2], "--dest", destination});
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const std::string expected =
        ReadFile(sqlite_out + "/" + report[0] + ".html");
    const std::string actual = ReadFile(destination);
    EXPECT_TRUE(actual == expected)
        << "the report differs from the SQLite demo's";
  }
}

// Whole-report scenarios whose data and statements are plain enough for any
// database (group totals by number, date and text, Null groups, a GROUP BY,
// the detail filter over a print view), run through PostgreSQL: the same
// standard output as from SQLite.
TEST_F(PostgresTest, GoldenScenariosGiveTheSameReports) {
  const char* const kScenarios[] = {"get_html_groups", "get_html_group_by_date",
                                    "get_html3_bare_groups",
                                    "render_detail_filter"};
  for (const char* name : kScenarios) {
    SCOPED_TRACE(name);
    const fs::path folder = SourcePath(std::string("tests/golden/") + name);
    TempDir sqlite;
    const std::string database = std::string("g_") + name;
    server_->CreateHostDatabase(database);
    server_->CopySqliteDatabase(
        MakeTestDatabase(sqlite, ReadFile((folder / "data.sql").string())),
        database);
    std::vector<std::string> arguments;
    std::string lines = ReadFile((folder / "command").string());
    for (std::size_t at = 0; at < lines.size();) {
      std::size_t end = lines.find('\n', at);
      if (end == std::string::npos) end = lines.size();
      std::string argument = lines.substr(at, end - at);
      if (const std::size_t dir = argument.find("{dir}");
          dir != std::string::npos) {
        argument.replace(dir, 5, folder.string());
      }
      arguments.push_back(argument);
      at = end + 1;
    }
    ASSERT_GE(arguments.size(), 2u);
    ASSERT_EQ(arguments[0], "--db");
    arguments[0] = "--connection";
    arguments[1] = server_->ConnectionString(database);
    const ProgramRun run = RunTool(arguments);
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_TRUE(run.out == ReadFile((folder / "expected/stdout").string()))
        << run.out;
  }
}

}  // namespace
}  // namespace nerolin::testing
