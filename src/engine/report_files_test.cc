#include "engine/report_files.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "automation/conversions.h"
#include "component/component_state.h"
#include "nerolin/cls_main.h"
#include "nerolin/diagnostics.h"
#include "nerolin/message_sink.h"
#include "nerolin/sqlite_library.h"
#include "support/test_database.h"
#include "support/test_support.h"

namespace nerolin::engine {
namespace {

using testing::MakeTestDatabase;
using testing::ReadFile;
using testing::RunInChild;
using testing::TempDir;

constexpr std::string_view kTag120 =
    "<img border=\"0\" src=\"\" width=\"120\">";
constexpr std::string_view kTag100 =
    "<img border=\"0\" src=\"\" width=\"100\">";

// Document 15 (module 3) and financial operation 15 (module 8) share their
// number, so the table the module comes from decides the print format.
// Module 3 has a default format; module 8 only one that is not the default.
// Document 16 belongs to module 8, documents 17 and 18 to module 5, which
// has no format; they carry retention complements of types 2 and Null. The
// formats' files lie in `folder`.
std::string Documents(const std::string& folder) {
  return R"sql(
INSERT INTO docDocument (DocumentID, ModuleID, Folio) VALUES (15, 3, 'F-15');
INSERT INTO docDocument (DocumentID, ModuleID, Folio) VALUES (16, 8, 'F-16');
INSERT INTO docDocument (DocumentID, ModuleID, Folio) VALUES (17, 5, 'R-17');
INSERT INTO docDocument (DocumentID, ModuleID, Folio) VALUES (18, 5, 'R-18');
INSERT INTO docDocumentExtra (DocumentID, RetentionComplementTypeID)
  VALUES (17, 2);
INSERT INTO docDocumentExtra (DocumentID, RetentionComplementTypeID)
  VALUES (18, NULL);
INSERT INTO docFinancialOperation (FinancialOperationID, ModuleID, Reference)
  VALUES (15, 8, 'P-15');
INSERT INTO engModulePrintFormat VALUES
  (4, 3, 'Factura', ')sql" +
         folder + R"sql(/formatos/factura.html', 1),
  (6, 8, 'Pago', ')sql" +
         folder + R"sql(/formatos/pago.html', 0);
)sql";
}

class ReportFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    state_->set_message_sink(messages_);
    library_ = sqlite::HostDataLibrary::Create();
    database_ = MakeTestDatabase(dir_, Documents(dir_.path().string()));
    library_->Datalayer()->CreateConnection(database_);
    engine_->SetNerolinLib(library_);
  }

  std::shared_ptr<ado::Recordset> Rows(std::string_view sql) {
    return library_->Datalayer()->GetRecordset(sql);
  }

  std::string Template(std::string_view name, std::string_view text) {
    return dir_.Write(name, text);
  }

  ReportEngine& engine() { return engine_->AsReportEngine(); }

  // GenerateReport, the caller's variables made from the arguments.
  std::string FromSql(std::string_view connection, std::string sql,
                      std::string source, std::string destination) {
    return GenerateReport(engine(), connection, sql, source, destination);
  }

  struct Outcome {
    std::string text;
    std::string source;  // the caller's HTMLSourceFile afterwards
  };
  // GenerateReportBasedOnRecordset, or its SDK twin, over `rst`.
  Outcome FromRows(bool sdk, std::shared_ptr<ado::Recordset> rst,
                   const std::string& source, const std::string& destination) {
    if (sdk) {
      Variant rows(ObjectRef(std::move(rst)));
      Variant source_file(source);
      Variant destination_file(destination);
      std::string text = SDKGenerateReportBasedOnRecordset(
          engine(), rows, source_file, destination_file);
      return {std::move(text), TextOf(source_file)};
    }
    std::string source_file = source;
    std::string destination_file = destination;
    std::string text = GenerateReportBasedOnRecordset(
        engine(), rst, source_file, destination_file);
    return {std::move(text), std::move(source_file)};
  }
  Outcome FromRows(bool sdk, std::string_view sql, const std::string& source,
                   const std::string& destination) {
    return FromRows(sdk, Rows(sql), source, destination);
  }

  TempDir dir_;
  std::string database_;
  std::shared_ptr<CapturingMessageSink> messages_ =
      std::make_shared<CapturingMessageSink>();
  std::shared_ptr<ComponentState> state_ = std::make_shared<ComponentState>();
  std::shared_ptr<clsMain> engine_ = clsMain::Create(state_);
  std::shared_ptr<sqlite::HostDataLibrary> library_;
};

// Empty picture tags --------------------------------------------------------

// Two 120-pixel tags, one 100-pixel tag, one that only appears once a
// 120-pixel tag inside it is gone, and an upper-case tag that is no match.
std::string WithEmptyPictureTags() {
  return "<html><body>[Folio]:" + std::string(kTag120) + "a" +
         std::string(kTag100) + "b" + std::string(kTag120) +
         "<img border=\"0\" src=\"\" width=\"1" + std::string(kTag120) +
         "00\">c<IMG border=\"0\" src=\"\" width=\"120\"></body></html>";
}
constexpr std::string_view kWithoutEmptyPictureTags =
    "<html><body>F-15:abc<IMG border=\"0\" src=\"\" width=\"120\"></body>"
    "</html>";

TEST_F(ReportFilesTest, EmptyPictureTagsAreRemovedFromEveryReportFile) {
  const std::string source = Template("t.html", WithEmptyPictureTags());
  const std::string destination = dir_.File("out.html");
  const std::string sql =
      "SELECT Folio, 99 AS ID FROM docDocument WHERE DocumentID=15";
  const struct {
    const char* method;
    std::function<std::string()> run;
  } methods[] = {
      {"GenerateReport", [&] { return FromSql("", sql, source, destination); }},
      {"GenerateReportBasedOnRecordset",
       [&] { return FromRows(false, sql, source, destination).text; }},
      {"SDKGenerateReportBasedOnRecordset",
       [&] { return FromRows(true, sql, source, destination).text; }},
  };
  for (const auto& m : methods) {
    SCOPED_TRACE(m.method);
    EXPECT_EQ(m.run(), kWithoutEmptyPictureTags);
    EXPECT_EQ(ReadFile(destination),
              std::string(kWithoutEmptyPictureTags) + "\r\n");
  }
  EXPECT_TRUE(messages_->messages.empty());
}

// Connections -----------------------------------------------------------------

constexpr std::string_view kFolio16 =
    "SELECT Folio FROM docDocument WHERE DocumentID=16";

TEST_F(ReportFilesTest, GenerateReportKeepsTheAssignedLibrary) {
  const std::string source = Template("t.html", "<p>[Folio]</p>");
  const std::string destination = dir_.File("out.html");
  EXPECT_EQ(FromSql("Data Source=/no/such.db", std::string(kFolio16), source,
                    destination),
            "<p>F-16</p>");
  EXPECT_EQ(engine_->ConnectionString(), "");
  EXPECT_EQ(state_->host_library(), library_);
  EXPECT_EQ(ReadFile(destination), "<p>F-16</p>\r\n");
}

TEST_F(ReportFilesTest, GenerateReportOpensTheConnectionGivenWhenNoLibrary) {
  state_->set_host_library(nullptr);
  const std::string source = Template("t.html", "<p>[Folio]</p>");
  const std::string connection = "Data Source=" + database_;
  EXPECT_EQ(
      FromSql(connection, std::string(kFolio16), source, dir_.File("out.html")),
      "<p>F-16</p>");
  EXPECT_EQ(engine_->ConnectionString(), connection);
  EXPECT_NE(state_->host_library(), nullptr);
  EXPECT_NE(state_->host_library(), library_);
}

TEST_F(ReportFilesTest, GenerateReportWithoutConnectionStillWritesTheFile) {
  state_->set_host_library(nullptr);
  const std::string source = Template("t.html", "<p>[Folio]</p>");
  const std::string destination = dir_.Write("out.html", "an older report");
  // The rendering fails in its own way, without a library; whatever it
  // gives is written.
  EXPECT_EQ(FromSql("", std::string(kFolio16), source, destination), "");
  EXPECT_EQ(ReadFile(destination), "\r\n");
  EXPECT_EQ(state_->host_library(), nullptr);
}

TEST_F(ReportFilesTest, GetHTML2NeedsAConnectionString) {
  state_->set_host_library(nullptr);
  Variant connection("");
  Variant sql("SELECT Folio FROM docDocument");
  Variant source(Template("t.html", "<p>[Folio]</p>"));
  Variant destination("");
  try {
    GetHTML2(engine(), connection, sql, source, destination);
    ADD_FAILURE() << "GetHTML2 raised nothing";
  } catch (const AutomationError& error) {
    EXPECT_EQ(error.number(), kErrNoConnectionString);
    EXPECT_EQ(error.description(), kNoConnectionStringText);
  }
  EXPECT_EQ(state_->host_library(), nullptr);
}

TEST_F(ReportFilesTest, GetHTML2AlwaysOpensItsOwnConnection) {
  Variant connection("Data Source=" + database_);
  Variant sql("SELECT Folio FROM docDocument WHERE DocumentID=17");
  Variant source(Template("t.html", "<p>[Folio]</p>"));
  Variant destination(dir_.File("out.html"));
  EXPECT_EQ(GetHTML2(engine(), connection, sql, source, destination),
            Variant("<p>R-17</p>"));
  EXPECT_EQ(engine_->ConnectionString(), "Data Source=" + database_);
  EXPECT_NE(state_->host_library(), library_);

  Variant missing("Data Source=" + dir_.File("missing.db"));
  EXPECT_AUTOMATION_ERROR(GetHTML2(engine(), missing, sql, source, destination),
                          sqlite::kUnspecifiedError);
}

// Print formats ---------------------------------------------------------------

TEST_F(ReportFilesTest, PrintFormatOfTheDocumentsModuleBecomesTheSource) {
  const std::string source = Template("t.html", "<p>[ID]</p>");
  const std::string& caller_source = source;
  const struct {
    const char* name;
    bool sdk;
    const char* sql;
    std::string source_after;
  } cases[] = {
      {"document, default format", false,
       "SELECT * FROM vwVADDocDocumentPrint WHERE ID=15",
       dir_.File("formatos/factura.html")},
      // The operation's module 8 has no default format.
      {"financial operation", false,
       "SELECT * FROM vwVADDocFinancialOperationPrint WHERE ID=15",
       caller_source},
      {"module without a default format", false,
       "SELECT * FROM vwVADDocDocumentPrint WHERE ID=16", caller_source},
      {"module without format", false,
       "SELECT * FROM vwVADDocDocumentPrint WHERE ID=17", caller_source},
      {"no such document", false,
       "SELECT * FROM vwVADDocDocumentPrint WHERE ID=99", caller_source},
      // The SDK twin takes every recordset for a document and any format.
      {"SDK, financial operation", true,
       "SELECT * FROM vwVADDocFinancialOperationPrint WHERE ID=15",
       dir_.File("formatos/factura.html")},
      {"SDK, module without a default format", true,
       "SELECT * FROM vwVADDocDocumentPrint WHERE ID=16",
       dir_.File("formatos/pago.html")},
      {"SDK, module without format", true,
       "SELECT * FROM vwVADDocDocumentPrint WHERE ID=17", caller_source},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string destination = dir_.File("out.html");
    const Outcome outcome = FromRows(c.sdk, c.sql, caller_source, destination);
    EXPECT_EQ(outcome.source, c.source_after);
    EXPECT_EQ(ReadFile(destination), outcome.text + "\r\n");
  }
}

TEST_F(ReportFilesTest, ExtraDetailsComeFromTheFolderOfThePrintFormat) {
  std::filesystem::create_directory(dir_.path() / "formatos");
  dir_.Write("formatos/linea.html", "<i>linea [Folio]</i>");
  // The element takes the character after it along.
  std::string source_file = Template(
      "t.html",
      "<p>[Folio]<span name=\"extradetail\" id=\"linea_1\">linea.html</span>."
      "</p>");
  std::string destination = dir_.File("out.html");
  auto rst = Rows(
      "SELECT DocumentID AS ID, Folio FROM docDocument "
      "WHERE DocumentID=15");
  EXPECT_EQ(
      GenerateReportBasedOnRecordset(engine(), rst, source_file, destination),
      "<p>F-15<i>linea F-15</i></p>");
  EXPECT_EQ(source_file, dir_.File("formatos/factura.html"));
  EXPECT_EQ(ReadFile(destination), "<p>F-15<i>linea F-15</i></p>\r\n");
}

// Retention complements ----------------------------------------------------

constexpr std::string_view kPaymentTemplate =
    "<!DOCTYPE html><html><body><DETAIL>[Folio]</DETAIL>"
    "<div name=\"complementretention\" id=\"1\">Dividendos</div>"
    "<div name=\"complementretention\" id=\"2\">Intereses</div>"
    "<div name=\"complementretention\" id=\"3\">Arrendamiento</div>"
    "</body></html>";

TEST_F(ReportFilesTest, OnlyTheDocumentsRetentionBlockStays) {
  const std::string blocks =
      "<div name=\"complementretention\" id=\"1\">Dividendos</div>"
      "<div name=\"complementretention\" id=\"2\">Intereses</div>"
      "<div name=\"complementretention\" id=\"3\">Arrendamiento</div>";
  const struct {
    const char* name;
    std::string template_text;
    int document;
    std::string text;
  } cases[] = {
      {"type 2", std::string(kPaymentTemplate), 17,
       "<html><body>R-17<div name=\"complementretention\" id=\"2\">Intereses"
       "</div></body></html>"},
      // Nothing is removed, yet the text is written back from the document.
      {"Null type", std::string(kPaymentTemplate), 18,
       "<html><body>R-18" + blocks + "</body></html>"},
      {"id that is no number",
       "<!DOCTYPE html><html><body><DETAIL>[Folio]</DETAIL>" + blocks +
           "<div name=\"complementretention\" id=\"x\">?</div></body></html>",
       17,
       "<!DOCTYPE html><html><body>R-17" + blocks +
           "<div name=\"complementretention\" id=\"x\">?</div></body></html>"},
      {"no rows", std::string(kPaymentTemplate), 99, "No hay registro"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string source = Template("pago.html", c.template_text);
    const std::string sql = "SELECT * FROM vwVADDocDocumentPrint WHERE ID=" +
                            std::to_string(c.document);
    for (const bool sdk : {false, true}) {
      SCOPED_TRACE(sdk ? "SDK" : "standard");
      const std::string destination = dir_.File("out.html");
      EXPECT_EQ(FromRows(sdk, sql, source, destination).text, c.text);
      EXPECT_EQ(ReadFile(destination), c.text + "\r\n");
    }
  }
}

// A step left out shows nowhere in the report; a listener hears which one
// and why.
TEST_F(ReportFilesTest, ASkippedStepIsReportedByName) {
  const std::string source = Template("t.html", "<p>[Folio]</p>");
  const std::string destination = dir_.File("out.html");
  const struct {
    const char* name;
    bool sdk;
    std::vector<std::pair<std::string, std::string>> skipped;
  } cases[] = {
      {"standard",
       false,
       {{"Source", "Error 91: Object variable not set: rst"},
        {"ModuleID", "Error 91: Object variable not set: rst"}}},
      {"SDK",
       true,
       {{"SDKGetHTMLBasedOnRecordset",
         "Error 13: Type mismatch: rst holds no Recordset"},
        {"ModuleID", "Error 13: Type mismatch: rst holds no Recordset"}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto listener = std::make_shared<RecordingDiagnosticListener>();
    state_->set_diagnostic_listener(listener);
    FromRows(c.sdk, std::shared_ptr<ado::Recordset>(), source, destination);
    std::vector<std::pair<std::string, std::string>> skipped;
    for (const Diagnostic& diagnostic : listener->diagnostics) {
      if (diagnostic.kind == DiagnosticKind::kStepSkipped) {
        skipped.emplace_back(diagnostic.subject, diagnostic.detail);
      }
    }
    EXPECT_EQ(skipped, c.skipped);
  }
}

// Bad input -----------------------------------------------------------------

TEST_F(ReportFilesTest, DestinationInAMissingFolderWritesNothing) {
  const std::string source = Template("t.html", "<p>[Folio]</p>");
  const std::string destination = dir_.File("missing/out.html");
  EXPECT_EQ(FromSql("", "SELECT Folio FROM docDocument WHERE DocumentID=15",
                    source, destination),
            "<p>F-15</p>");
  for (const bool sdk : {false, true}) {
    EXPECT_EQ(FromRows(sdk, "SELECT * FROM vwVADDocDocumentPrint WHERE ID=17",
                       source, destination)
                  .text,
              "<p>R-17</p>");
  }
  EXPECT_FALSE(std::filesystem::exists(dir_.path() / "missing"));
}

// On a full disk each method still gives its text, leaves no partial file
// (nor what the extra-detail step of GetHTML wrote there on the way) and
// says once which file it could not write and why.
TEST_F(ReportFilesTest, AReportFileThatDoesNotFitIsRemovedAndReportedOnce) {
  const std::string source = Template(
      "t.html", "<DETAIL><p>[Folio]</p></DETAIL>" + std::string(20000, 'x'));
  const std::string destination = dir_.File("out.html");
  const std::string sql =
      "SELECT Folio, 99 AS ID FROM docDocument WHERE DocumentID=15";
  const std::string expected = "<p>F-15</p>" + std::string(20000, 'x');
  const std::function<std::string()> methods[] = {
      [&] { return FromSql("", sql, source, destination); },
      [&] { return FromRows(false, sql, source, destination).text; },
      [&] { return FromRows(true, sql, source, destination).text; },
  };
  for (const auto& method : methods) {
    const int failed = RunInChild(
        [&] {
          const bool text_kept = method() == expected;
          const auto& shown = messages_->messages;
          const bool said_once =
              shown.size() == 1 &&
              shown[0].text == "The report file " + destination +
                                   " was not written: File too large";
          return (text_kept ? 0 : 1) + (said_once ? 0 : 2);
        },
        4096);
    EXPECT_EQ(failed, 0);
    EXPECT_FALSE(std::filesystem::exists(destination));
  }
}

TEST_F(ReportFilesTest, ARecordsetThatIsMissingOrClosedGivesAnEmptyReport) {
  const std::string source = Template("t.html", "<p>[Folio]</p>");
  const std::string destination = dir_.File("out.html");
  auto closed = Rows("SELECT * FROM vwVADDocDocumentPrint WHERE ID=15");
  closed->Close();
  for (const bool sdk : {false, true}) {
    SCOPED_TRACE(sdk ? "SDK" : "standard");
    for (const auto& rst : {std::shared_ptr<ado::Recordset>(), closed}) {
      const Outcome outcome = FromRows(sdk, rst, source, destination);
      EXPECT_EQ(outcome.text, "");
      EXPECT_EQ(outcome.source, source);
      EXPECT_EQ(ReadFile(destination), "\r\n");
    }
  }
  // The SDK twin given something other than a recordset.
  Variant rst("no recordset");
  Variant source_file(source);
  Variant destination_file(destination);
  EXPECT_EQ(SDKGenerateReportBasedOnRecordset(engine(), rst, source_file,
                                              destination_file),
            "");
}

}  // namespace
}  // namespace nerolin::engine
