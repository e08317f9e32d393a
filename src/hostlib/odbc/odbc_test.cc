#include <chrono>
#include <filesystem>
#include <set>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "hostlib/odbc/connection.h"
#include "nerolin/automation_error.h"
#include "nerolin/sqlite_library.h"
#include "support/private_postgres.h"
#include "support/test_database.h"
#include "support/test_support.h"

namespace nerolin::odbc {
namespace {

using ::nerolin::testing::PrivatePostgres;
using ::nerolin::testing::SharedPostgres;
using ::nerolin::testing::TempDir;
using sqlite::kErrorsInCommand;
using sqlite::kUnspecifiedError;

// Each test gets a database of its own on the program's server.
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

}  // namespace
}  // namespace nerolin::odbc
