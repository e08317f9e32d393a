#include <filesystem>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "automation/conversions.h"
#include "automation/locale.h"
#include "nerolin/automation_error.h"
#include "nerolin/registry.h"
#include "nerolin/sqlite_library.h"
#include "support/private_postgres.h"
#include "support/test_database.h"
#include "support/test_support.h"

namespace nerolin::sqlite {
namespace {

using ::nerolin::testing::MakeTestDatabase;
using ::nerolin::testing::PrivatePostgres;
using ::nerolin::testing::ReadFile;
using ::nerolin::testing::SharedPostgres;
using ::nerolin::testing::TempDir;

constexpr const char* kHostRows = R"sql(
INSERT INTO engParameter VALUES ('OwnedBusinessEntityID', '42');
INSERT INTO engParameter VALUES ('ConvertImagesToBase64', 'False');
INSERT INTO engParameter VALUES ('DocSalesUnitPriceDecimals', '4');
INSERT INTO engCurrency VALUES (1, 'MXN', '$', 2);
INSERT INTO engCurrency VALUES (2, 'EUR', 'EUR ', 3);
CREATE TABLE tstDocument (DocumentID INTEGER PRIMARY KEY, ModuleID INTEGER,
  Folio TEXT, IssuedOn DATE, Paid BOOLEAN);
INSERT INTO tstDocument VALUES (15, 3, 'F-15', '2024-01-31', 1);
INSERT INTO tstDocument VALUES (16, NULL, 'F-16', '2024-02-01', 0);
CREATE VIEW vwTstFolio AS SELECT DocumentID, Folio AS FolioText FROM tstDocument;
)sql";

// The shapes of statement the engine builds, over a few of the host's
// tables.
constexpr const char* kJetShapes = R"sql(
CREATE TABLE tstDefinicion (AddendaDefinicionID INTEGER, DeletedOn DATE);
CREATE TABLE tstDefinicionItem (AddendaDefinicionItemID INTEGER,
  AddendaDefinicionID INTEGER, ModuleTypeID INTEGER, ListaSencilla TEXT,
  ClaveLista TEXT, CampoExistente TEXT, Referencia TEXT);
CREATE TABLE tstCustomer (AddendaDefinicionID INTEGER,
  OwnedBusinessEntityID INTEGER, BusinessEntityID INTEGER);
CREATE TABLE tstDoc (DocumentID INTEGER, OwnedBusinessEntityID INTEGER,
  BusinessEntityID INTEGER, IssuedOn DATE, Total MONEY);
CREATE TABLE tstRefCombo (cboGroupName TEXT, ItemData INTEGER, Custom1 TEXT,
  ItemValue TEXT);
CREATE TABLE tstFieldRef (FieldRefKey TEXT, "SQL" TEXT, DeletedOn DATE);
INSERT INTO tstDefinicion VALUES (3, NULL);
INSERT INTO tstDefinicionItem VALUES (30, 3, 1, 'S', 'Unidades', '', 'Pedido');
INSERT INTO tstCustomer VALUES (3, 1, 7);
INSERT INTO tstDoc VALUES (15, 1, 7, '2024-01-31', 10.5);
INSERT INTO tstDoc VALUES (16, 1, 7, '2024-01-31', 4.5);
INSERT INTO tstRefCombo VALUES ('Unidades', 5, 'PZA', 'Pieza');
INSERT INTO tstFieldRef VALUES ('Pedido', 'SELECT 1', '2024-01-01');
INSERT INTO tstFieldRef VALUES ('Pedido', 'SELECT 2', NULL);
)sql";

// The databases the library reaches: a SQLite file, and PostgreSQL through
// ODBC with the same rows copied in.
enum class Backend { kSqlite, kPostgreSql };

std::string BackendName(const ::testing::TestParamInfo<Backend>& info) {
  return info.param == Backend::kSqlite ? "Sqlite" : "PostgreSql";
}

// The library as the engine reaches it: created by ProgID, every member
// called by name.
class HostDataLibraryTest : public ::testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    RegisterSqliteHostLibrary();
    library_ = CreateObject(kProgId);
    path_ = MakeTestDatabase(dir_, std::string(kHostRows) + kJetShapes);
    Variant connection("Provider=SQLite;Data Source=" + path_);
    if (GetParam() == Backend::kPostgreSql) {
      std::string why;
      server_ = SharedPostgres(&why);
      if (server_ == nullptr) GTEST_SKIP() << why;
      const std::string database = "h" + std::to_string(++databases_);
      server_->CreateHostDatabase(database);
      server_->CopySqliteDatabase(path_, database);
      server_->Psql(database,
                    "CREATE VIEW \"vwTstFolio\" AS SELECT \"DocumentID\", "
                    "\"Folio\" AS \"FolioText\" FROM \"tstDocument\"");
      connection = Variant(server_->ConnectionString(database));
      database_ = database;
    }
    Call(Layer(), "CreateConnection", {connection});
  }

  bool OnPostgreSql() const { return GetParam() == Backend::kPostgreSql; }

  // Commits `sqlite_sql` or `postgresql_sql` through a connection of
  // another program.
  void WriteElsewhere(const char* sqlite_sql, const char* postgresql_sql) {
    if (OnPostgreSql()) {
      server_->Psql(database_, postgresql_sql);
      return;
    }
    sqlite3* writer = nullptr;
    ASSERT_EQ(sqlite3_open(path_.c_str(), &writer), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(writer, sqlite_sql, nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(writer);
  }

  ObjectRef Layer() { return library_->Get("Datalayer").AsObject(); }

  static Variant Call(const ObjectRef& object, std::string_view member,
                      Arguments args) {
    return object->Invoke(member, InvokeKind::kMethod, args);
  }
  Variant Library(std::string_view member, Arguments args) {
    return Call(library_, member, std::move(args));
  }

  TempDir dir_;
  std::string path_;
  ObjectRef library_;
  PrivatePostgres* server_ = nullptr;
  std::string database_;
  static inline int databases_ = 0;
};

INSTANTIATE_TEST_SUITE_P(Both, HostDataLibraryTest,
                         ::testing::Values(Backend::kSqlite,
                                           Backend::kPostgreSql),
                         BackendName);

// Members that read no database, and SQLite's own behaviour.
using HostDataLibrarySqliteTest = HostDataLibraryTest;
INSTANTIATE_TEST_SUITE_P(Sqlite, HostDataLibrarySqliteTest,
                         ::testing::Values(Backend::kSqlite), BackendName);

TEST_P(HostDataLibraryTest, CreatedByProgIdWithOneDatalayer) {
  EXPECT_EQ(library_->TypeName(), "clsMain");
  EXPECT_EQ(Layer(), Layer());
  EXPECT_EQ(Layer()->TypeName(), "clsDatalayer");
  EXPECT_NE(CreateObject("nerolinlib.CLSMAIN"), library_);  // a new object
}

TEST_P(HostDataLibraryTest, DLookupGivesFirstMatchOrNull) {
  for (const ObjectRef& object : {library_, Layer()}) {
    SCOPED_TRACE(object->TypeName());
    EXPECT_EQ(
        Call(object, "DLookup", {"Folio", "tstDocument", "DocumentID=15"}),
        Variant("F-15"));
    EXPECT_TRUE(
        Call(object, "DLookup", {"Folio", "tstDocument", "DocumentID=99"})
            .IsNull());
    EXPECT_EQ(Call(object, "DLookup", {"IssuedOn", "tstDocument", ""}),
              Variant(Date::FromParts(2024, 1, 31)));
  }
  EXPECT_EQ(
      CLng(Library("DLookup", {"count(*)", "tstDocument",
                               "IssuedOn >= #2024-02-01# AND Folio <> '#x#'"})),
      1);
}

TEST_P(HostDataLibraryTest, DLookUpValueIsANumberAndZeroForNothing) {
  struct Case {
    const char* expression;
    const char* criteria;
    Variant expected;
  };
  const Case cases[] = {
      {"ModuleID", "DocumentID=15", Variant(std::int32_t{3})},
      {"ModuleID", "DocumentID=16", Variant(std::int32_t{0})},  // Null
      {"ModuleID", "DocumentID=99", Variant(std::int32_t{0})},  // no row
      {"Paid", "DocumentID=15", Variant(std::int32_t{-1})},
      {"'12.5'", "DocumentID=15", Variant(12.5)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expression + std::string(" ") + c.criteria);
    EXPECT_EQ(
        Library("DLookUpValue", {c.expression, "tstDocument", c.criteria}),
        c.expected);
  }
  EXPECT_AUTOMATION_ERROR_MSG(
      Library("DLookUpValue", {"Folio", "tstDocument", "DocumentID=15"}),
      errors::kTypeMismatch, "Folio in tstDocument is no number: F-15");
}

TEST_P(HostDataLibraryTest, GetRecordsetReopensOnTheSameStatement) {
  const char* sql =
      "SELECT DocumentID, Folio FROM tstDocument WHERE "
      "IssuedOn < #2024-12-31# ORDER BY DocumentID";
  Variant result = Call(Layer(), "GetRecordset", {sql, true, true});
  auto recordset = std::dynamic_pointer_cast<ado::Recordset>(result.AsObject());
  ASSERT_NE(recordset, nullptr);
  EXPECT_EQ(recordset->Source(), sql);
  EXPECT_EQ(recordset->Value(Variant("folio")), Variant("F-15"));
  recordset->MoveNext();
  EXPECT_EQ(recordset->Value(Variant(std::int32_t{0})),
            Variant(std::int32_t{16}));
  recordset->MovePrevious();
  EXPECT_EQ(recordset->Value(Variant("Folio")), Variant("F-15"));
  recordset->Close();
  recordset->Open();
  EXPECT_EQ(recordset->RecordCount(), 2);
  EXPECT_EQ(recordset->Value(Variant("Folio")), Variant("F-15"));
}

// The library keeps answers of repeated statements; what another program
// commits must show in the next answer, while a recordset already read
// keeps its rows until it is opened again.
TEST_P(HostDataLibraryTest, AnswersFollowWhatAnotherProgramCommits) {
  const char* sql = "SELECT Folio FROM tstDocument ORDER BY DocumentID";
  auto read = [&] {
    return std::dynamic_pointer_cast<ado::Recordset>(
        Call(Layer(), "GetRecordset", {sql}).AsObject());
  };
  const Arguments lookup = {"Folio", "tstDocument", "DocumentID=15"};
  const std::shared_ptr<ado::Recordset> before = read();
  EXPECT_EQ(Library("DLookup", lookup), Variant("F-15"));
  EXPECT_EQ(Library("DLookup", lookup), Variant("F-15"));

  WriteElsewhere("UPDATE tstDocument SET Folio = 'G-15' WHERE DocumentID = 15",
                 "UPDATE \"tstDocument\" SET \"Folio\" = 'G-15' WHERE "
                 "\"DocumentID\" = 15");

  EXPECT_EQ(Library("DLookup", lookup), Variant("G-15"));
  EXPECT_EQ(read()->Value(Variant("Folio")), Variant("G-15"));
  EXPECT_EQ(before->Value(Variant("Folio")), Variant("F-15"));
  before->Close();
  before->Open();
  EXPECT_EQ(before->Value(Variant("Folio")), Variant("G-15"));
}

// A recordset opened again after another program changed the table's
// columns reads the new shape, with the values typed by the new columns.
TEST_P(HostDataLibrarySqliteTest, ReopenedRecordsetTakesANewSchema) {
  auto recordset = std::dynamic_pointer_cast<ado::Recordset>(
      Call(Layer(), "GetRecordset",
           {"SELECT * FROM tstDocument ORDER BY DocumentID"})
          .AsObject());
  ASSERT_NE(recordset, nullptr);
  EXPECT_EQ(recordset->GetFields()->Count(), 5);
  EXPECT_EQ(recordset->Value(Variant("IssuedOn")),
            Variant(Date::FromParts(2024, 1, 31)));
  sqlite3* writer = nullptr;
  ASSERT_EQ(sqlite3_open(path_.c_str(), &writer), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(writer,
                         "ALTER TABLE tstDocument ADD COLUMN Big BIGINT "
                         "DEFAULT 9007199254740993; "
                         "ALTER TABLE tstDocument ADD COLUMN Note TEXT "
                         "DEFAULT 'nota'",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(writer);
  recordset->Close();
  recordset->Open();
  EXPECT_EQ(recordset->GetFields()->Count(), 7);
  EXPECT_EQ(recordset->Value(Variant("Big")),
            Variant(std::int64_t{9007199254740993}));
  EXPECT_EQ(recordset->GetField(Variant("Big"))->Type(),
            ado::DataType::kBigInt);
  recordset->MoveNext();
  EXPECT_EQ(recordset->Value(Variant("Note")), Variant("nota"));
  EXPECT_EQ(recordset->Value(Variant("Folio")), Variant("F-16"));
}

TEST_P(HostDataLibraryTest, RunsTheStatementShapesTheEngineBuilds) {
  auto layer = std::dynamic_pointer_cast<DataLayer>(Layer());
  ASSERT_NE(layer, nullptr);
  auto definition = layer->GetRecordset(
      "SELECT tstDefinicionItem.ModuleTypeID, "
      "tstDefinicionItem.ClaveLista FROM tstDoc INNER JOIN "
      "((tstDefinicion INNER JOIN tstDefinicionItem ON "
      "tstDefinicion.AddendaDefinicionID = "
      "tstDefinicionItem.AddendaDefinicionID) INNER JOIN tstCustomer ON "
      "tstDefinicion.AddendaDefinicionID = "
      "tstCustomer.AddendaDefinicionID) ON (tstDoc.OwnedBusinessEntityID = "
      "tstCustomer.OwnedBusinessEntityID) AND (tstDoc.BusinessEntityID = "
      "tstCustomer.BusinessEntityID) WHERE "
      "(((tstDefinicionItem.Referencia)='Pedido') AND "
      "((tstDoc.DocumentID)=15) AND ((tstDefinicion.DeletedOn) Is "
      "Null));");
  ASSERT_EQ(definition->RecordCount(), 1);
  EXPECT_EQ(definition->Value(Variant("ClaveLista")), Variant("Unidades"));
  EXPECT_EQ(layer->ExecuteScalar("SELECT ItemValue FROM tstRefCombo WHERE "
                                 "[cboGroupName]='Unidades' AND ItemData=5"),
            Variant("Pieza"));
  EXPECT_EQ(layer->DLookup("SQL", "tstFieldRef",
                           "DeletedOn is Null AND FieldRefKey='Pedido'"),
            Variant("SELECT 2"));
  // A group total: the statement, then the group's date condition.
  auto total = layer->GetRecordset(
      "SELECT DocumentID, Total FROM tstDoc WHERE OwnedBusinessEntityID=1 AND "
      "IssuedOn=#2024-01-31# AND BusinessEntityID=7");
  EXPECT_EQ(total->RecordCount(), 2);
  EXPECT_EQ(total->GetField(Variant("Total"))->Type(),
            ado::DataType::kCurrency);
}

TEST_P(HostDataLibraryTest, DisposeClosesAndSetsNothing) {
  Variant recordset =
      Call(Layer(), "GetRecordset", {"SELECT * FROM tstDocument"});
  auto held = std::dynamic_pointer_cast<ado::Recordset>(recordset.AsObject());
  Arguments args{recordset};
  Layer()->Invoke("Dispose", InvokeKind::kMethod, args);
  EXPECT_TRUE(args[0].IsObject());
  EXPECT_EQ(args[0].AsObject(), nullptr);
  EXPECT_EQ(held->State(), ado::kStateClosed);
  Layer()->Invoke("Dispose", InvokeKind::kMethod, args);  // Nothing again
  EXPECT_EQ(args[0].AsObject(), nullptr);
}

TEST_P(HostDataLibraryTest, ExecuteScalarGivesFirstColumnOrNull) {
  EXPECT_EQ(Call(Layer(), "ExecuteScalar",
                 {"SELECT Folio, ModuleID FROM tstDocument ORDER BY 1 DESC"}),
            Variant("F-16"));
  EXPECT_TRUE(Call(Layer(), "ExecuteScalar",
                   {"SELECT Folio FROM tstDocument WHERE 1 = 0"})
                  .IsNull());
}

TEST_P(HostDataLibraryTest, RejectedStatementRaisesErrorsInCommand) {
  EXPECT_AUTOMATION_ERROR_MSG(
      Call(Layer(), "GetRecordset", {"SELECT Nope FROM tstDocument"}),
      kErrorsInCommand,
      OnPostgreSql() ? "PostgreSQL rejected the statement (ERROR: column "
                       "\"nope\" does not exist"
                     : "no such column: Nope): SELECT Nope FROM tstDocument");
  EXPECT_AUTOMATION_ERROR_MSG(
      Library("DLookup", {"Folio", "tstDocument", "Folio = 'O'Brien'"}),
      kErrorsInCommand,
      "SELECT Folio FROM tstDocument WHERE Folio = 'O'Brien'");
}

// Each database gets the statement in its own form: PostgreSQL's with the
// names spelled as its catalog spells them.
TEST_P(HostDataLibraryTest, GetSqlForThisDbEngineRewritesOnlyStatements) {
  const Variant rewritten =
      Library("GetSQLForThisDBEngine",
              {"SELECT folio FROM TSTDOCUMENT WHERE IssuedOn=#2024-01-31# "
               "AND Folio<>'#2024-01-31#'"});
  if (OnPostgreSql()) {
    EXPECT_TRUE(TextOf(rewritten).starts_with(
        "SELECT \"Folio\" FROM \"tstDocument\" WHERE \"IssuedOn\""))
        << TextOf(rewritten);
    EXPECT_NE(TextOf(rewritten).find("'#2024-01-31#'"), std::string::npos);
  } else {
    EXPECT_EQ(
        rewritten,
        Variant("SELECT folio FROM TSTDOCUMENT WHERE IssuedOn='2024-01-31' "
                "AND Folio<>'#2024-01-31#'"));
  }
  EXPECT_EQ(Library("GetSQLForThisDBEngine", {"ConcatRelated(\"A\", \"B\")"}),
            Variant("ConcatRelated(\"A\", \"B\")"));
}

TEST_P(HostDataLibraryTest, FieldExistsChecksRecordsetFields) {
  Variant recordset =
      Call(Layer(), "GetRecordset", {"SELECT * FROM vwTstFolio"});
  EXPECT_EQ(Library("FieldExists", {"foliotext", recordset}), Variant(true));
  EXPECT_EQ(Library("FieldExists", {"Folio", recordset}), Variant(false));
  EXPECT_EQ(Library("FieldExists", {Variant::Null(), recordset}),
            Variant(false));
  EXPECT_EQ(Library("FieldExists", {"Folio", Variant(ObjectRef{})}),
            Variant(false));
  EXPECT_EQ(Library("FieldExists", {"Folio", Variant::Null()}), Variant(false));
}

TEST_P(HostDataLibraryTest, FieldExistsInTableSeesTablesAndViewsInAnyCase) {
  struct Case {
    const char* column;
    const char* table;
    bool expected;
  };
  const Case cases[] = {
      {"FolioText", "vwTstFolio", true}, {"foliotext", "VWTSTFOLIO", true},
      {"Folio", "vwTstFolio", false},    {"ISSUEDON", "TstDocument", true},
      {"Folio", "docNowhere", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.table) + "." + c.column);
    EXPECT_EQ(Library("FieldExistsInTable", {c.column, c.table}),
              Variant(c.expected));
  }
}

TEST_P(HostDataLibraryTest, SettingsComeFromEngParameter) {
  EXPECT_EQ(Library("GetDefaultValue", {"convertimagestobase64"}),
            Variant("False"));
  EXPECT_TRUE(Library("GetDefaultValue", {"NoSuchSetting"}).IsNull());
  EXPECT_EQ(
      Library("GetDefaultValue", {"Folio", "tstDocument", "DocumentID=16"}),
      Variant("F-16"));
  EXPECT_AUTOMATION_ERROR(Library("GetDefaultValue", {"Folio", "tstDocument"}),
                          errors::kWrongArgumentCount);
  EXPECT_EQ(library_->Get("OwnedBusinessEntityID"), Variant("42"));
}

TEST_P(HostDataLibraryTest, GetValueUnwrapsFieldsAndNull) {
  Variant recordset =
      Call(Layer(), "GetRecordset",
           {"SELECT ModuleID, Folio FROM tstDocument WHERE DocumentID = 16"});
  auto rows = std::dynamic_pointer_cast<ado::Recordset>(recordset.AsObject());
  EXPECT_EQ(Library("GetValue", {Variant(rows->GetField(Variant("Folio")))}),
            Variant("F-16"));
  EXPECT_TRUE(
      Library("GetValue", {Variant(rows->GetField(Variant("ModuleID")))})
          .IsEmpty());
  EXPECT_TRUE(Library("GetValue", {Variant::Null()}).IsEmpty());
  EXPECT_EQ(Library("GetValue", {Variant(std::int32_t{7})}),
            Variant(std::int32_t{7}));
  // An object without a value of its own comes back as it is.
  EXPECT_EQ(Library("GetValue", {recordset}), recordset);
}

TEST_P(HostDataLibraryTest, FormatCurrencyUsesTheCurrencyRowOrTheLocale) {
  Locale::SetCurrent(Locale::SpanishMexico());
  struct Case {
    double amount;
    Variant currency;
    const char* expected;
  };
  const Case cases[] = {
      {1234.5, Variant(std::int32_t{1}), "$1,234.50"},
      {-1234.5, Variant(std::int32_t{1}), "-$1,234.50"},
      {0.0005, Variant(std::int32_t{2}), "EUR 0.001"},
      {1234567.125, Variant("2"), "EUR 1,234,567.125"},
      {1234.555, Variant(std::int32_t{99}), "$1,234.56"},  // unknown: locale
      {-2.5, Variant::Null(), "-$2.50"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    EXPECT_EQ(Library("FormatCurrency", {c.amount, c.currency}),
              Variant(c.expected));
  }
}

TEST_P(HostDataLibrarySqliteTest, GetPathGivesTheFolderWithSlash) {
  const std::pair<const char*, const char*> cases[] = {
      {"/srv/templates/invoice.html", "/srv/templates/"},
      {"C:\\Plantillas\\factura.html", "C:\\Plantillas/"},
      {"mixed\\dir/sub\\a.html", "mixed\\dir/sub/"},
      {"invoice.html", "./"},
      {"/invoice.html", "/"},
      {"", "./"},
  };
  for (const auto& [path, folder] : cases) {
    SCOPED_TRACE(path);
    EXPECT_EQ(Library("GetPath", {path}), Variant(folder));
  }
}

TEST_P(HostDataLibrarySqliteTest, DownloadUrlImageAnswersWithTextNeverRaising) {
  std::string picture = dir_.Write("a.png", "PNGDATA");
  Arguments args{Variant("file://" + picture), Variant(dir_.path().string()),
                 Variant("")};
  EXPECT_EQ(library_->Invoke("DownloadURLImage", InvokeKind::kMethod, args),
            Variant(""));
  std::string copy = args[2].AsString();
  EXPECT_NE(copy, picture);
  EXPECT_EQ(ReadFile(copy), "PNGDATA");
  std::filesystem::remove(copy);

  Arguments failing{Variant("http://127.0.0.1:1/none.png"), Variant(""),
                    Variant("unchanged")};
  Variant answer =
      library_->Invoke("DownloadURLImage", InvokeKind::kMethod, failing);
  ASSERT_TRUE(answer.IsString());
  EXPECT_TRUE(answer.AsString().starts_with(
      "Cannot download \"http://127.0.0.1:1/none.png\": "))
      << answer.AsString();
  EXPECT_EQ(failing[2], Variant("unchanged"));
}

TEST(HostDataLibrary, ConnectionFailuresAreClearErrors) {
  RegisterSqliteHostLibrary();
  ObjectRef library = CreateObject(kProgId);
  ObjectRef layer = library->Get("Datalayer").AsObject();
  EXPECT_AUTOMATION_ERROR_MSG(
      layer->Call("ExecuteScalar", {"SELECT 1"}), errors::kObjectClosed,
      "Operation is not allowed when the object is closed. (no database is "
      "open: call Datalayer.CreateConnection first)");
  EXPECT_AUTOMATION_ERROR(library->Call("DLookup", {"a", "b", "c"}),
                          errors::kObjectClosed);
  EXPECT_AUTOMATION_ERROR(library->Get("OwnedBusinessEntityID"),
                          errors::kObjectClosed);

  TempDir dir;
  std::string missing = dir.File("missing.db");
  EXPECT_AUTOMATION_ERROR_MSG(
      layer->Call("CreateConnection",
                  {"Data Source=" + missing + ";Mode=Read"}),
      kUnspecifiedError, missing);
  EXPECT_FALSE(std::filesystem::exists(missing));
  EXPECT_AUTOMATION_ERROR_MSG(layer->Call("CreateConnection", {"Mode=Read"}),
                              kUnspecifiedError, "names no database file");
  EXPECT_AUTOMATION_ERROR(layer->Call("GetRecordset", {"SELECT 1"}),
                          errors::kObjectClosed);
}

}  // namespace
}  // namespace nerolin::sqlite
