#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>

#include "automation/conversions.h"
#include "component/component_state.h"
#include "hostlib/odbc/connection.h"
#include "hostlib/odbc/wide_text.h"
#include "nerolin/automation_error.h"
#include "nerolin/cls_main.h"
#include "nerolin/message_sink.h"
#include "nerolin/sqlite_library.h"
#include "support/private_postgres.h"
#include "support/test_support.h"

namespace nerolin::odbc {
namespace {

using ::nerolin::testing::PrivatePostgres;
using ::nerolin::testing::SharedPostgres;
using ::nerolin::testing::TempDir;
using sqlite::HostDataLibrary;
using sqlite::kErrorsInCommand;

using sqlite::kUnspecifiedError;

// Each test gets a database of its own on the program's server.
// A driver reports a name's whole length even when it cut the name to fit
// the buffer; nothing past what it wrote is read.
TEST(WideText, ABufferIsReadNoFurtherThanItWasWritten) {
  const unsigned short buffer[4] = {'a', 'b', 'c', 0};
  EXPECT_EQ(Utf8FromWideBuffer(buffer, 4, 3), "abc");
  EXPECT_EQ(Utf8FromWideBuffer(buffer, 4, 300), "abc");
  EXPECT_EQ(Utf8FromWideBuffer(buffer, 4, -1), "");
}

class OdbcConnectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    server_ = SharedPostgres(&why);
    if (server_ == nullptr) GTEST_SKIP() << why;
    database_ = "t" + std::to_string(++count_);
    server_->Psql("postgres", "CREATE DATABASE " + database_);
  }

  std::shared_ptr<Connection> Open(std::string_view extra = {}) {
    return Connection::Open(server_->ConnectionString(database_, extra));
  }

  PrivatePostgres* server_ = nullptr;
  std::string database_;
  static inline int count_ = 0;
};

TEST_F(OdbcConnectionTest, ValuesArriveAsTheEngineTypesThem) {
  server_->Psql(database_, R"sql(
CREATE EXTENSION citext;
CREATE TABLE "tstValue" ("ID" integer, "Big" bigint, "Amount" numeric(24,4),
  "Rate" numeric(12,6), "Ratio" double precision, "Day" date,
  "Moment" timestamp, "Paid" boolean, "Name" text, "Code" citext,
  "Picture" bytea);
INSERT INTO "tstValue" VALUES (1, 9007199254740993, -1234.5678, 0.1234567,
  0.1, '2024-01-31', '2024-01-31 17:30:05', true, 'Ñandú ✓ 😀', 'AbC',
  '\x00ff41'::bytea);
INSERT INTO "tstValue" VALUES (2, NULL, 922337203685477.5807 * 10, NULL,
  NULL, NULL, NULL, false, repeat('é', 5000), NULL, NULL);
)sql");
  auto connection = Open();
  const ado::RowSet rows =
      connection->Query("SELECT * FROM tstValue ORDER BY ID");
  ASSERT_EQ(rows.size(), 2u);
  const std::pair<const char*, ado::DataType> types[] = {
      {"ID", ado::DataType::kInteger},
      {"Big", ado::DataType::kBigInt},
      {"Amount", ado::DataType::kCurrency},
      {"Rate", ado::DataType::kNumeric},
      {"Ratio", ado::DataType::kDouble},
      {"Day", ado::DataType::kDate},
      {"Moment", ado::DataType::kDate},
      {"Paid", ado::DataType::kBoolean},
      {"Name", ado::DataType::kVarWChar},
      {"Code", ado::DataType::kVarWChar},
      {"Picture", ado::DataType::kLongVarBinary},
  };
  ASSERT_EQ(rows.columns().size(), std::size(types));
  for (std::size_t c = 0; c < std::size(types); ++c) {
    SCOPED_TRACE(types[c].first);
    EXPECT_EQ(rows.columns()[c].name, types[c].first);
    EXPECT_EQ(rows.columns()[c].type, types[c].second);
  }
  EXPECT_EQ(rows.Value(0, 0), Variant(std::int32_t{1}));
  EXPECT_EQ(rows.Value(0, 1), Variant(std::int64_t{9007199254740993}));
  EXPECT_EQ(rows.Value(0, 2), Variant(Currency{-12345678}));
  EXPECT_EQ(rows.Value(0, 3), Variant(0.123457));  // rounded by the column
  EXPECT_EQ(rows.Value(0, 4), Variant(0.1));
  EXPECT_EQ(rows.Value(0, 5), Variant(Date::FromParts(2024, 1, 31)));
  EXPECT_EQ(rows.Value(0, 6).AsDate().serial,
            Date::FromParts(2024, 1, 31).serial +
                (17 * 3600 + 30 * 60 + 5) / 86400.0);
  EXPECT_EQ(rows.Value(0, 7), Variant(true));
  EXPECT_EQ(rows.Value(0, 8), Variant("Ñandú ✓ 😀"));
  EXPECT_EQ(rows.Value(0, 9), Variant("AbC"));
  EXPECT_EQ(rows.Value(0, 10), Variant(std::string("\0\xff"
                                                   "A",
                                                   3)));
  // Beyond Currency's range an amount is a Double; long texts come whole.
  EXPECT_EQ(rows.Value(1, 2), Variant(9223372036854775.807));
  EXPECT_EQ(rows.Value(1, 7), Variant(false));
  EXPECT_EQ(rows.Value(1, 8).AsString().size(), 10000u);
  for (std::size_t c : {1, 3, 4, 5, 6, 9, 10}) {
    EXPECT_TRUE(rows.Value(1, c).IsNull()) << c;
  }
}

// The library's promise: nothing the engine sends changes the database.
TEST_F(OdbcConnectionTest, StatementsThatWriteAreRefused) {
  server_->Psql(database_, "CREATE TABLE \"tstNote\" (\"Text\" text)");
  auto connection = Open();
  for (const char* sql :
       {"INSERT INTO tstNote VALUES ('x')", "UPDATE tstNote SET Text = 'y'",
        "CREATE TABLE tstOther (a integer)"}) {
    SCOPED_TRACE(sql);
    EXPECT_AUTOMATION_ERROR_MSG(connection->Query(sql), kErrorsInCommand,
                                "read-only transaction");
  }
  EXPECT_EQ(server_->Psql(database_, "SELECT count(*) FROM \"tstNote\""),
            "0\n");
}

TEST_F(OdbcConnectionTest, StatementsArePreparedOnceAndReused) {
  server_->Psql(database_, "CREATE TABLE \"tstNote\" (\"Text\" text)");
  auto connection = Open();
  const std::size_t before = connection->prepared_statements();
  for (int i = 0; i < 3; ++i) {
    EXPECT_FALSE(
        connection->QueryFirst("SELECT Text FROM tstNote").has_value());
    EXPECT_EQ(
        connection->QueryFirst("SELECT count(*) FROM tstNote WHERE Text = ?",
                               {Variant("a")}),
        Variant(std::int64_t{0}));
  }
  EXPECT_EQ(connection->prepared_statements(), before + 2);
  // A rejected statement is not kept, and its message says what and where.
  EXPECT_AUTOMATION_ERROR_MSG(
      connection->Query("SELECT Nope FROM tstNote"), kErrorsInCommand,
      "PostgreSQL rejected the statement (ERROR: column \"nope\" does not "
      "exist");
  EXPECT_EQ(connection->prepared_statements(), before + 2);
}

// Names are spelled as the current schema spells them, whatever another
// schema holds; FieldExistsInTable answers from the same names.
TEST_F(OdbcConnectionTest, NamesComeFromTheCurrentSchema) {
  server_->Psql(database_,
                "CREATE SCHEMA aside; CREATE TABLE aside.\"tstNote\" "
                "(\"TEXT\" text, \"Hidden\" text); CREATE TABLE "
                "\"tstNote\" (\"Text\" text); INSERT INTO \"tstNote\" "
                "VALUES ('visible')");
  auto connection = Open();
  const ado::RowSet rows = connection->Query("SELECT [text] FROM TSTNOTE");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows.columns()[0].name, "Text");
  EXPECT_EQ(rows.Value(0, 0), Variant("visible"));
  EXPECT_TRUE(connection->TableHasColumn("[tstnote]", "TEXT"));
  EXPECT_FALSE(connection->TableHasColumn("tstNote", "Hidden"));
}

TEST_F(OdbcConnectionTest, ConnectionFailuresNameTheirReason) {
  struct Case {
    std::string connection_string;
    const char* message;
  };
  const Case cases[] = {
      {server_->ConnectionString(database_, "Pwd=wrong-password;",
                                 PrivatePostgres::kPasswordRole),
       "password authentication failed for user \"nerolin_pw\""},
      {server_->ConnectionString("nowhere"), "\"nowhere\" does not exist"},
      {"Driver=/nonexistent/libnothing.so;Database=x", "libnothing.so"},
      {server_->ConnectionString(database_, "QueryTimeout=soon;"),
       "QueryTimeout=soon is no whole number of seconds"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.connection_string);
    try {
      Connection::Open(c.connection_string);
      ADD_FAILURE() << "no error";
    } catch (const AutomationError& error) {
      EXPECT_EQ(error.number(), kUnspecifiedError);
      EXPECT_NE(error.description().find(c.message), std::string::npos)
          << error.description();
      EXPECT_EQ(error.description().find("wrong-password"), std::string::npos);
    }
  }
  // The right password opens.
  EXPECT_NE(
      Connection::Open(server_->ConnectionString(
          database_, "Pwd=" + std::string(PrivatePostgres::kPassword) + ";",
          PrivatePostgres::kPasswordRole)),
      nullptr);
}

// A server that takes the connection and never answers: CreateConnection
// gives up after LoginTimeout.
TEST_F(OdbcConnectionTest, LoginTimeoutEndsAConnectionNobodyAnswers) {
  TempDir dir;
  const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(listener, 0);
  sockaddr_un address = {};
  address.sun_family = AF_UNIX;
  const std::string path = dir.File(".s.PGSQL.5432");
  ASSERT_LT(path.size(), sizeof address.sun_path);
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  ASSERT_EQ(
      bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(listen(listener, 4), 0);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_AUTOMATION_ERROR(
      Connection::Open(
          "Driver={PostgreSQL Unicode};Servername=" + dir.path().string() +
          ";Port=5432;Database=x;Uid=x;LoginTimeout=2"),
      kUnspecifiedError);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(6));
  close(listener);
}

// A statement that runs past QueryTimeout is cancelled by the server.
TEST_F(OdbcConnectionTest, QueryTimeoutEndsALongStatement) {
  auto connection = Open("QueryTimeout=1;");
  const auto start = std::chrono::steady_clock::now();
  EXPECT_AUTOMATION_ERROR_MSG(connection->Query("SELECT pg_sleep(20)"),
                              kErrorsInCommand, "statement timeout");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  // The connection serves the next statement.
  EXPECT_EQ(connection->QueryFirst("SELECT 7"), Variant(std::int32_t{7}));
}

// The server going away while a report runs: the renderer's own failure
// (its message, an empty result), naming the server's error, soon.
TEST_F(OdbcConnectionTest, ServerStoppedDuringAReportFailsTheReport) {
  auto library = HostDataLibrary::Create();
  library->Datalayer()->CreateConnection(server_->ConnectionString(database_));
  auto state = std::make_shared<ComponentState>();
  auto messages = std::make_shared<CapturingMessageSink>();
  state->set_message_sink(messages);
  auto engine = clsMain::Create(state);
  engine->SetNerolinLib(library);

  std::thread stopper([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    server_->Kill();
  });
  const auto start = std::chrono::steady_clock::now();
  const Variant html =
      engine->GetHTML3(Variant("SELECT 1 AS n, pg_sleep(20) AS pause"),
                       Variant("<DETAIL>[n]</DETAIL>"));
  const auto elapsed = std::chrono::steady_clock::now() - start;
  stopper.join();
  std::string why;
  ASSERT_TRUE(server_->Restart(&why)) << why;

  EXPECT_EQ(TextOf(html), "");
  EXPECT_LT(elapsed, std::chrono::seconds(10));
  ASSERT_EQ(messages->messages.size(), 1u);
  const std::string& text = messages->messages[0].text;
  EXPECT_NE(text.find("PostgreSQL rejected the statement ("), std::string::npos)
      << text;
  EXPECT_NE(text.find("pg_sleep(20)"), std::string::npos) << text;
  // The library reconnects on the next CreateConnection.
  library->Datalayer()->CreateConnection(server_->ConnectionString(database_));
  EXPECT_EQ(library->Datalayer()->ExecuteScalar("SELECT 2"),
            Variant(std::int32_t{2}));
}

}  // namespace
}  // namespace nerolin::odbc
