#include "fiscal/resolve_addenda.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "component/component_state.h"
#include "fiscal/statement_text.h"
#include "nerolin/diagnostics.h"
#include "nerolin/recordset.h"
#include "nerolin/sqlite_library.h"
#include "support/test_database.h"
#include "support/test_support.h"
#include "template/sections.h"

namespace nerolin::fiscal {
namespace {

using ado::Column;
using ado::Recordset;
using ado::RowSet;
using testing::MakeTestDatabase;
using testing::TempDir;

// Document 7 of customer 30, issued by company 5, with one line (70).
// Notes exists in both docDocument and docDocumentCFD so that the order of
// the tables shows.
constexpr std::string_view kHostRows = R"sql(
ALTER TABLE docDocumentCFD ADD COLUMN Notes TEXT;
INSERT INTO engParameter VALUES ('DocSalesUnitPriceDecimals', '2');
INSERT INTO engParameter VALUES ('OwnedBusinessEntityID', '5');
INSERT INTO docDocument (DocumentID, ModuleID, BusinessEntityID,
  OwnedBusinessEntityID, Serie, Folio, Notes)
  VALUES (7, 1, 30, 5, 'A', '1001', 'from the document');
INSERT INTO docDocumentCFD (DocumentID, UsoCFDI33, Notes)
  VALUES (7, 'G03', 'from the CFDI');
INSERT INTO docDocumentExtra (DocumentID, OrdenCompra)
  VALUES (7, 'OC-' || char(13) || char(10) || '42');
INSERT INTO docDocumentTaxSum (DocumentID, IVATrasladado) VALUES (7, 160);
INSERT INTO docDocumentItem (DocumentItemID, DocumentID, LineNumber,
  ClaveProdServ, Cantidad, ValorUnitario)
  VALUES (70, 7, 1, '01010101', 2, 10);
INSERT INTO engAddendaDefinicion (AddendaDefinicionID, Nombre)
  VALUES (1, 'Emisor');
INSERT INTO engAddendaDefinicionItem (AddendaDefinicionItemID,
  AddendaDefinicionID, Referencia, ModuleTypeID)
  VALUES (11, 1, 'GLNEmisor', 5);
INSERT INTO orgAddendaValor (AddendaDefinicionItemID, ID, Valor)
  VALUES (11, 5, '7501234567890');
INSERT INTO orgAddendaValor (AddendaDefinicionItemID, ID, Valor)
  VALUES (11, 6, 'another company');
)sql";

class ResolveAddendaTest : public ::testing::Test {
 protected:
  void SetUp() override { Connect(kHostRows); }

  void Connect(std::string_view rows, std::string_view name = "host.db") {
    auto library = sqlite::HostDataLibrary::Create();
    library->Datalayer()->CreateConnection(MakeTestDatabase(dir_, rows, name));
    state_->set_host_library(library);
    state_->set_find_match_if_field_doesnt_exists(true);
  }

  // A one-row recordset.
  static std::shared_ptr<Recordset> Row(std::vector<std::string> names,
                                        std::vector<Variant> values) {
    std::vector<Column> columns;
    for (auto& name : names) columns.push_back(Column{std::move(name)});
    return Recordset::Create(RowSet(std::move(columns), {values}));
  }

  static tmpl::Section Named(std::string name) {
    tmpl::Section section;
    section.SetName(std::move(name));
    return section;
  }

  std::string Resolve(std::string_view name,
                      const std::shared_ptr<Recordset>& row,
                      const tmpl::Section* section = nullptr) {
    return ResolveAddenda(*state_, name, row, section);
  }

  TempDir dir_;
  std::shared_ptr<ComponentState> state_ = std::make_shared<ComponentState>();
};

TEST_F(ResolveAddendaTest, RowColumnsAnswerWhateverTheFlagSays) {
  const auto row =
      Row({"Folio", "Notes", "Empty"},
          {Variant("1001"), Variant("one\r\ntwo\nthree"), Variant::Null()});
  for (bool flag : {false, true}) {
    SCOPED_TRACE(flag);
    state_->set_find_match_if_field_doesnt_exists(flag);
    EXPECT_EQ(Resolve("folio", row), "1001");
    EXPECT_EQ(Resolve("Notes", row), "one<BR>two\nthree");
    EXPECT_EQ(Resolve("Empty", row), "");
  }
}

TEST_F(ResolveAddendaTest, AppendingLeavesTheTextBeforeAsItWas) {
  const auto row = Row({"Notes", "Number"},
                       {Variant("\nA\r\nB\r"), Variant(std::int32_t{12})});
  // A CR before the value and an LF at its start make no line break.
  std::string out = "x\r";
  AppendResolvedAddenda(out, *state_, "Notes", row, nullptr);
  EXPECT_EQ(out, "x\r\nA<BR>B\r");
  AppendResolvedAddenda(out, *state_, "number", row, nullptr);
  EXPECT_EQ(out, "x\r\nA<BR>B\r12");
  // Past the last row a column has no value: nothing is added.
  row->MoveNext();
  AppendResolvedAddenda(out, *state_, "Number", row, nullptr);
  EXPECT_EQ(out, "x\r\nA<BR>B\r12");
}

TEST_F(ResolveAddendaTest, ImporteIsQuantityTimesTheRoundedUnitPrice) {
  struct Case {
    std::string decimals;
    double quantity;
    double unit_price;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"0", 3, 2.5, "6"},       // 2.5 rounds to 2
      {"0", 2, 3.5, "8"},       // 3.5 rounds to 4
      {"2", 3, 2.675, "8.04"},  // 2.675 rounds to 2.68, as written
      {"2", 1, 2.665, "2.66"},
      {"2", 1.5, 10.004999, "15"},
      {"4", 2, 1.23456, "2.4692"},
      {"2", 4, -1.005, "-4"},
      {"2", 1, 99.995, "100"},
      // Prices below 1 (a negative exponent) and prices whose digits run
      // on past 15.
      {"2", 1, 0.125, "0.12"},
      {"2", 1, 0.135, "0.14"},
      {"0", 1, 0.5, "0"},
      {"2", 1, 0.0049, "0"},
      {"3", 2, 1.0 / 3, "0.666"},
      // Fifteen significant digits, the last a half; a whole number.
      {"2", 1, 123456789012.345, "123456789012.34"},
      {"0", 1, 12345.5, "12346"},
      {"6", 1, 0.0000125, "1.2E-05"},
  };
  int file = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.decimals + " " + std::to_string(c.unit_price));
    Connect("INSERT INTO engParameter VALUES ('DocSalesUnitPriceDecimals', '" +
                c.decimals + "');",
            "importe" + std::to_string(++file) + ".db");
    const auto row =
        Row({"Importe", "Cantidad", "ValorUnitario"},
            {Variant(999.0), Variant(c.quantity), Variant(c.unit_price)});
    EXPECT_EQ(Resolve("Importe", row), c.expected);
    // Written in another case the name is a plain column.
    EXPECT_EQ(Resolve("importe", row), "999");
  }
}

TEST_F(ResolveAddendaTest, AReportReadsTheUnitPriceDecimalsOnce) {
  const std::string path = MakeTestDatabase(
      dir_,
      "INSERT INTO engParameter VALUES ('DocSalesUnitPriceDecimals', '0');",
      "decimals.db");
  auto library = sqlite::HostDataLibrary::Create();
  library->Datalayer()->CreateConnection(path);
  state_->set_host_library(library);
  const auto row = Row({"Importe", "Cantidad", "ValorUnitario"},
                       {Variant(1.0), Variant(3.0), Variant(2.5)});
  auto set_decimals = [&](std::string_view decimals) {
    sqlite3* writer = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &writer), SQLITE_OK);
    const std::string sql = "UPDATE engParameter SET Value='" +
                            std::string(decimals) +
                            "' WHERE [Key]='DocSalesUnitPriceDecimals'";
    EXPECT_EQ(sqlite3_exec(writer, sql.c_str(), nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(writer);
  };
  {
    const ReportValuesScope report(*state_);
    EXPECT_EQ(Resolve("Importe", row), "6");
    // Another program's change during the report is not seen by its
    // later lines, nor by a report nested in it.
    set_decimals("2");
    {
      const ReportValuesScope nested(*state_);
      EXPECT_EQ(Resolve("Importe", row), "6");
    }
    EXPECT_EQ(Resolve("Importe", row), "6");
  }
  // The next report, and a look-up outside any report, read it again.
  {
    const ReportValuesScope report(*state_);
    EXPECT_EQ(Resolve("Importe", row), "7.5");
  }
  set_decimals("0");
  EXPECT_EQ(Resolve("Importe", row), "6");
  // So does a report after the library was replaced.
  const ReportValuesScope report(*state_);
  EXPECT_EQ(Resolve("Importe", row), "6");
  Connect(kHostRows, "other.db");
  EXPECT_EQ(Resolve("Importe", row), "7.5");
}

TEST_F(ResolveAddendaTest, ImporteFallsBackOrFailsAsItsInputsSay) {
  // Without a unit price column the stored amount stands.
  EXPECT_EQ(Resolve("Importe", Row({"Importe", "Cantidad"},
                                   {Variant(12.5), Variant(1.0)})),
            "12.5");
  const auto row = Row({"Importe", "Cantidad", "ValorUnitario"},
                       {Variant(1.0), Variant(2.0), Variant(3.0)});
  // A parameter that is missing, no number or negative gives nothing.
  for (std::string_view setting : {"",
                                   "INSERT INTO engParameter VALUES "
                                   "('DocSalesUnitPriceDecimals', 'dos');",
                                   "INSERT INTO engParameter VALUES "
                                   "('DocSalesUnitPriceDecimals', '-1');"}) {
    SCOPED_TRACE(setting);
    Connect(setting, "p" + std::to_string(setting.size()) + ".db");
    EXPECT_EQ(Resolve("Importe", row), "");
  }
  // A Null quantity gives nothing either.
  Connect(kHostRows, "again.db");
  EXPECT_EQ(
      Resolve("Importe", Row({"Importe", "Cantidad", "ValorUnitario"},
                             {Variant(1.0), Variant::Null(), Variant(3.0)})),
      "");
}

TEST_F(ResolveAddendaTest, ImporteOfValuesThatOpenTheRowsAgainIsWhole) {
  // Both values are objects, so whichever is read first opens the rows
  // again, with more columns than before, under the other.
  auto value = std::make_shared<testing::ReopeningFieldLike>(Variant(3.0));
  std::vector<Column> columns{{"Importe"}, {"Cantidad"}, {"ValorUnitario"}};
  const auto row = Recordset::Create(
      RowSet(columns, {{Variant(1.0), Variant(value), Variant(value)}}), "",
      [columns]() mutable {
        std::vector<Variant> values{Variant(1.0), Variant(3.0), Variant(3.0)};
        for (int extra = 0; extra < 61; ++extra) {
          columns.push_back({"Extra" + std::to_string(extra)});
          values.emplace_back(extra);
        }
        return RowSet(columns, {values});
      });
  value->rows = row;
  EXPECT_EQ(Resolve("Importe", row), "9");
}

TEST_F(ResolveAddendaTest, UnknownNamesKeepTheDefaultWithTheFlagOff) {
  state_->set_find_match_if_field_doesnt_exists(false);
  const auto row = Row({"ID"}, {Variant(7)});
  EXPECT_EQ(Resolve("UsoCFDI33", row), "??UsoCFDI33??");
  EXPECT_EQ(Resolve("", row), "????");
  EXPECT_EQ(Resolve("a[b]c", row), "??abc??");
}

TEST_F(ResolveAddendaTest, HeaderBlocksSearchTheDocumentTablesInOrder) {
  const auto row = Row({"ID"}, {Variant(7)});
  const tmpl::Section header = Named("Cliente");
  const tmpl::Section mixed_case_detail = Named("Detail");
  for (const tmpl::Section* section :
       {static_cast<const tmpl::Section*>(nullptr), &header,
        &mixed_case_detail}) {
    SCOPED_TRACE(section ? section->Name() : "no section");
    EXPECT_EQ(Resolve("Notes", row, section), "from the document");
    EXPECT_EQ(Resolve("UsoCFDI33", row, section), "G03");
    EXPECT_EQ(Resolve("OrdenCompra", row, section), "OC-<BR>42");
    EXPECT_EQ(Resolve("IVATrasladado", row, section), "160");
    // A column of the tables that is Null for this document.
    EXPECT_EQ(Resolve("Serie", Row({"ID"}, {Variant(8)}), section), "");
  }
}

TEST_F(ResolveAddendaTest, HeaderBlocksReadTheIssuersOwnData) {
  const auto row = Row({"ID"}, {Variant(7)});
  // Referencia is a column of the issuer view, so the name is looked up
  // there for the company in OwnedBusinessEntityID.
  EXPECT_EQ(Resolve("Referencia", row), "");
  EXPECT_EQ(Resolve("Valor", row), "");
  Connect(std::string(kHostRows) +
              "ALTER TABLE orgAddendaValor ADD COLUMN GLNEmisor TEXT;"
              "DROP VIEW vwCFDAddendaDatosEmisor;"
              "CREATE VIEW vwCFDAddendaDatosEmisor AS SELECT v.ID AS ID, "
              "i.Referencia AS Referencia, v.Valor AS Valor, "
              "v.GLNEmisor AS GLNEmisor, NULL AS \"Clave d'Emisor\" "
              "FROM orgAddendaValor v JOIN "
              "engAddendaDefinicionItem i USING (AddendaDefinicionItemID);"
              "INSERT INTO engAddendaDefinicionItem (AddendaDefinicionItemID,"
              " AddendaDefinicionID, Referencia, ModuleTypeID)"
              " VALUES (12, 1, 'Clave d''Emisor', 5);"
              "INSERT INTO orgAddendaValor (AddendaDefinicionItemID, ID, Valor)"
              " VALUES (12, 5, 'E-1');",
          "issuer.db");
  EXPECT_EQ(Resolve("GLNEmisor", row), "7501234567890");
  // An apostrophe in the name is looked up, not a broken statement.
  EXPECT_EQ(Resolve("Clave d'Emisor", row), "E-1");
}

TEST_F(ResolveAddendaTest, HeaderBlocksNeedTheRowsId) {
  // No ID once a look-up needs it, and an ID that is no document number.
  EXPECT_EQ(Resolve("UsoCFDI33", Row({"Folio"}, {Variant("1")})), "");
  EXPECT_EQ(Resolve("UsoCFDI33", Row({"ID"}, {Variant("seven")})), "");
  // A name found nowhere still needs the ID as a document number.
  EXPECT_EQ(Resolve("Nowhere", Row({"Folio"}, {Variant("1")})), "");
  EXPECT_EQ(Resolve("Nowhere", Row({"ID"}, {Variant(7)})), "??Nowhere??");
  EXPECT_EQ(Resolve("UsoCFDI33", nullptr), "");
}

TEST_F(ResolveAddendaTest, DetailBlocksSearchTheDocumentLine) {
  const tmpl::Section detail = Named("DETAIL");
  const auto line = Row({"ID", "DocumentItemID"}, {Variant(7), Variant(70)});
  EXPECT_EQ(Resolve("ClaveProdServ", line, &detail), "01010101");
  // Document columns are not searched in detail blocks.
  EXPECT_EQ(Resolve("UsoCFDI33", line, &detail), "??UsoCFDI33??");
  // Without a line identifier the search stops before any database access:
  // with no library at all the default still comes back.
  state_->set_host_library(nullptr);
  EXPECT_EQ(Resolve("ClaveProdServ", Row({"ID"}, {Variant(7)}), &detail),
            "??ClaveProdServ??");
  EXPECT_EQ(Resolve("ClaveProdServ", line, &detail), "");
}

TEST(SqlLiteral, NumbersGoInAsWrittenAndAnythingElseAsQuotedText) {
  const std::pair<const char*, const char*> kCases[] = {
      {"12", "12"},
      {"-3.5", "-3.5"},
      {"1e3", "1e3"},
      {"", "''"},
      {" 12", "' 12'"},
      {"O'Brien", "'O''Brien'"},
      {"0 UNION SELECT name FROM sqlite_master",
       "'0 UNION SELECT name FROM sqlite_master'"},
  };
  for (const auto& [text, literal] : kCases) {
    EXPECT_EQ(SqlLiteral(text), literal);
  }
}

TEST_F(ResolveAddendaTest, ValuesThatAreNoValuesReachTheDiagnostics) {
  auto listener = std::make_shared<RecordingDiagnosticListener>();
  state_->set_diagnostic_listener(listener);
  const tmpl::Section detail = Named("DETAIL");
  // Found, even when Null: nothing to report.
  EXPECT_EQ(Resolve("UsoCFDI33", Row({"ID"}, {Variant(7)})), "G03");
  EXPECT_EQ(Resolve("Serie", Row({"ID"}, {Variant(8)})), "");
  EXPECT_TRUE(listener->diagnostics.empty());

  EXPECT_EQ(Resolve("Nowhere", Row({"ID"}, {Variant(7)})), "??Nowhere??");
  EXPECT_EQ(Resolve("UsoCFDI33", Row({"Other"}, {Variant(7)})), "");
  state_->set_find_match_if_field_doesnt_exists(false);
  EXPECT_EQ(Resolve("Nowhere", Row({"ID"}, {Variant(7)}), &detail),
            "??Nowhere??");
  const std::vector<Diagnostic>& seen = listener->diagnostics;
  ASSERT_EQ(seen.size(), 3u);
  for (const Diagnostic& diagnostic : seen) {
    EXPECT_EQ(diagnostic.kind, DiagnosticKind::kPlaceholderFailed);
  }
  EXPECT_EQ(seen[0].subject, "Nowhere");
  EXPECT_EQ(seen[0].detail,
            "ENCABEZADO: no column, table, stored statement or addenda value "
            "has it");
  EXPECT_EQ(seen[1].subject, "UsoCFDI33");
  EXPECT_EQ(seen[1].detail.rfind("ENCABEZADO: ", 0), 0u) << seen[1].detail;
  EXPECT_EQ(seen[2].detail, "DETAIL: the rows have no such column");
}

}  // namespace
}  // namespace nerolin::fiscal
