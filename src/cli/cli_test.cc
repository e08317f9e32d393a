#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/private_cups.h"
#include "support/private_display.h"
#include "support/test_database.h"
#include "support/test_support.h"

namespace nerolin::cli {
namespace {

using ::nerolin::testing::MakeTestDatabase;
using ::nerolin::testing::TempDir;

using Outcome = ::nerolin::testing::ProgramRun;

// Runs nerolin-report with `arguments` and collects what it wrote and its
// exit status.
Outcome RunTool(const std::vector<std::string>& arguments) {
  std::vector<std::string> command = {NEROLIN_REPORT_BINARY};
  command.insert(command.end(), arguments.begin(), arguments.end());
  return ::nerolin::testing::RunProgram(command);
}

std::string Joined(const std::vector<std::string>& arguments) {
  std::string text;
  for (const std::string& argument : arguments) {
    text += " '" + argument + "'";
  }
  return text;
}

constexpr char kUsageHint[] = "Run with --help for more information.\n";
constexpr char kNoConnection[] =
    "Error -2147221381: La cadena de conexión no fué establecida\n";

TEST(NerolinReport, HelpNamesEveryCommandAndTheExitStatuses) {
  const Outcome outcome = RunTool({"--help"});
  EXPECT_EQ(outcome.exit_code, 0);
  EXPECT_EQ(outcome.err, "");
  for (const char* name :
       {"get-html", "get-html2", "get-html3", "generate-report", "render",
        "generate", "open", "print", "preview", "pdf", "demo", "--db",
        "--connection", "--find-match", "--url-images", "--printer",
        "--copies"}) {
    EXPECT_NE(outcome.out.find(name), std::string::npos) << name;
  }
  EXPECT_NE(outcome.out.find("2 for a usage error"), std::string::npos);
}

TEST(NerolinReport, EachCommandHasItsOwnHelp) {
  struct Case {
    const char* command;
    std::vector<const char*> options;
  };
  const std::vector<Case> cases = {
      {"get-html", {"--sql", "--template", "--dest"}},
      {"get-html2", {"--sql", "--template", "--dest"}},
      {"get-html3", {"--sql", "--template-text", "--template"}},
      {"generate-report", {"--sql", "--template", "--dest"}},
      {"render",
       {"--sql", "--template", "--dest", "--extra-detail-id", "--sdk"}},
      {"generate", {"--sql", "--template", "--dest", "--sdk"}},
      {"open", {"FILE", "--preview"}},
      {"print", {"FILE", "--printer", "--copies"}},
      {"preview", {"FILE"}},
      {"pdf", {"FILE", "--out", "--out-dir", "--jobs"}},
      {"batch",
       {"--keys", "--sql", "--template", "--out-dir", "--pdf", "--print",
        "--jobs"}},
      {"demo", {"--out"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    const Outcome outcome = RunTool({c.command, "--help"});
    EXPECT_EQ(outcome.exit_code, 0);
    EXPECT_EQ(outcome.err, "");
    EXPECT_NE(outcome.out.find(c.command), std::string::npos);
    for (const char* option : c.options) {
      EXPECT_NE(outcome.out.find(option), std::string::npos) << option;
    }
  }
}

TEST(NerolinReport, UsageErrorsExitTwoWithAMessageAndNoOutput) {
  struct Case {
    std::vector<std::string> arguments;
    std::string first_line;
  };
  const std::vector<Case> cases = {
      {{}, "A command is required"},
      {{"bogus"}, "The following argument was not expected: bogus"},
      {{"--bogus", "get-html", "--sql", "s", "--template", "t"},
       "The following argument was not expected: --bogus"},
      {{"get-html", "--sql", "s", "--template", "t", "--bogus"},
       "The following argument was not expected: --bogus"},
      {{"get-html", "--template", "t"}, "--sql is required"},
      {{"get-html", "--sql", "s"}, "--template is required"},
      {{"print"}, "FILE is required"},
      {{"pdf"}, "FILE is required"},
      {{"batch", "--keys", "k", "--sql", "s", "--template", "t"},
       "--out-dir is required"},
      {{"generate", "--sql", "s", "--template", "t"}, "--dest is required"},
      {{"generate-report", "--sql", "s", "--template", "t"},
       "--dest is required"},
      {{"get-html3", "--sql", "s"},
       "Exactly 1 option from [--template-text,--template] is required"},
      {{"get-html3", "--sql", "s", "--template", "t", "--template-text", "x"},
       "Exactly 1 option from [--template-text,--template] is required and 2 "
       "were given"},
      {{"--copies", "40000", "get-html", "--sql", "s", "--template", "t"},
       "Could not convert: --copies = 40000"},
      {{"--copies", "two", "get-html", "--sql", "s", "--template", "t"},
       "Could not convert: --copies = two"},
      // Options that the command line accepts but the method cannot do
      // without.
      {{"get-html2", "--sql", "s", "--template", "t"},
       "nerolin-report get-html2: needs --connection"},
      {{"generate-report", "--sql", "s", "--template", "t", "--dest", "d"},
       "nerolin-report generate-report: needs --connection or --db"},
      {{"render", "--sql", "s", "--template", "t"},
       "nerolin-report render: needs --connection or --db"},
      {{"generate", "--sql", "s", "--template", "t", "--dest", "d"},
       "nerolin-report generate: needs --connection or --db"},
      {{"batch", "--keys", "k", "--sql", "s", "--template", "t", "--out-dir",
        "d"},
       "nerolin-report batch: needs --connection or --db"},
      {{"pdf", "a.html", "b.html", "--out", "x.pdf"},
       "nerolin-report pdf: --out takes a single FILE; use --out-dir for "
       "several"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Joined(c.arguments));
    const Outcome outcome = RunTool(c.arguments);
    EXPECT_EQ(outcome.exit_code, 2);
    EXPECT_EQ(outcome.out, "");
    EXPECT_EQ(outcome.err, c.first_line + "\n" + kUsageHint);
  }
}

TEST(NerolinReport, DatabaseThatCannotBeOpenedExitsOneWithTheError) {
  TempDir dir;
  const std::string junk = dir.Write("junk.db", "this is no database at all");
  const std::string missing = dir.File("missing.db");
  struct Case {
    std::string path;
    std::string err;
  };
  const std::vector<Case> cases = {
      {junk, "Error -2147467259: Cannot open the database \"" + junk +
                 "\": file is not a database\n"},
      {missing, "Error -2147467259: Cannot open the database \"" + missing +
                    "\": the file does not exist\n"},
      {dir.path().string(), "Error -2147467259: Cannot open the database \"" +
                                dir.path().string() +
                                "\": it is no regular file\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    const Outcome outcome =
        RunTool({"--db", c.path, "get-html", "--sql", "s", "--template", "t"});
    EXPECT_EQ(outcome.exit_code, 1);
    EXPECT_EQ(outcome.out, "");
    EXPECT_EQ(outcome.err, c.err);
  }
}

TEST(NerolinReport, EmptyConnectionReachesTheEngineInEitherSpelling) {
  // Without --db the rows come from a library that ConnectionString opens,
  // and the engine refuses the empty text.
  for (const std::vector<std::string>& connection :
       {std::vector<std::string>{"--connection", ""},
        std::vector<std::string>{"--connection="}}) {
    std::vector<std::string> arguments = connection;
    arguments.insert(arguments.end(),
                     {"render", "--sql", "SELECT 1", "--template", "t"});
    SCOPED_TRACE(Joined(arguments));
    const Outcome outcome = RunTool(arguments);
    EXPECT_EQ(outcome.exit_code, 1);
    EXPECT_EQ(outcome.out, "");
    EXPECT_EQ(outcome.err, kNoConnection);
  }
}

TEST(NerolinReport, EmptyValueAfterEqualsDoesNotSwallowTheNextArgument) {
  // "--sql=" is the empty statement; the following --template stays an
  // option, so the command line parses and runs.
  TempDir dir;
  const std::string db = MakeTestDatabase(dir);
  const Outcome outcome =
      RunTool({"--db", db, "get-html3", "--sql=", "--template-text", "x"});
  EXPECT_EQ(outcome.exit_code, 0) << outcome.err;
}

TEST(NerolinReport, StatementTheDatabaseRejectsExitsOneOnOneLine) {
  TempDir dir;
  const std::string db = MakeTestDatabase(dir);
  for (const char* command : {"render", "generate"}) {
    SCOPED_TRACE(command);
    const Outcome outcome =
        RunTool({"--db", db, command, "--sql", "SELEC nothing\nFROM nowhere",
                 "--template", "t", "--dest", dir.File("out.html")});
    EXPECT_EQ(outcome.exit_code, 1);
    EXPECT_EQ(outcome.out, "");
    EXPECT_TRUE(outcome.err.starts_with("Error -2147217900: ")) << outcome.err;
    EXPECT_NE(outcome.err.find("SELEC nothing FROM nowhere"), std::string::npos)
        << outcome.err;
    EXPECT_EQ(outcome.err.find('\n'), outcome.err.size() - 1) << outcome.err;
  }
}

TEST(NerolinReport, TemplateFileOfGetHtml3ThatIsMissingExitsOne) {
  TempDir dir;
  const std::string missing = dir.File("missing.html");
  const Outcome outcome =
      RunTool({"get-html3", "--sql", "SELECT 1", "--template", missing});
  EXPECT_EQ(outcome.exit_code, 1);
  EXPECT_EQ(outcome.out, "");
  EXPECT_EQ(outcome.err, "Error 53: File not found: " + missing + "\n");
}

TEST(NerolinReport, DatabasePathIsOpenedAsGiven) {
  // Blanks, "=", ";" and quotes belong to the file name, not to a
  // connection string.
  TempDir dir;
  const std::string db = MakeTestDatabase(dir, {}, "a=b; c \"d\".db");
  const Outcome outcome = RunTool(
      {"--db", db, "render", "--sql", "SELECT 1 AS n", "--template", "t"});
  EXPECT_EQ(outcome.exit_code, 0) << outcome.err;
}

// A table of customers whose values hold characters outside ASCII, and a
// template without line breaks (read as ANSI lines, it would lose them).
constexpr char kCustomers[] =
    "CREATE TABLE Customer(Name TEXT, City TEXT);"
    "INSERT INTO Customer VALUES ('Ana', 'Zürich'), ('Luis', 'Puebla');";
constexpr char kCustomersTemplate[] =
    "<h1>Customers</h1><DETAIL><p>[Name], [City]</p></DETAIL><hr>";
constexpr char kCustomersReport[] =
    "<h1>Customers</h1><p>Ana, Zürich</p><p>Luis, Puebla</p><hr>";
constexpr char kCustomersSql[] = "SELECT Name, City FROM Customer";

TEST(NerolinReport, EveryRenderingCommandPrintsTheFilledTemplateAsItIs) {
  TempDir dir;
  const std::string db = MakeTestDatabase(dir, kCustomers);
  const std::string page = dir.Write("customers.html", kCustomersTemplate);
  const std::string dest = dir.File("report.html");
  const std::vector<std::vector<std::string>> cases = {
      {"--db", db, "render", "--sql", kCustomersSql, "--template", page},
      {"--db", db, "render", "--sdk", "--sql", kCustomersSql, "--template",
       page},
      {"--db", db, "get-html", "--sql", kCustomersSql, "--template", page},
      {"--connection", "Data Source=" + db, "get-html", "--sql", kCustomersSql,
       "--template", page},
      {"--connection", "Data Source=" + db, "get-html2", "--sql", kCustomersSql,
       "--template", page},
      {"--db", db, "get-html3", "--sql", kCustomersSql, "--template", page},
      {"--db", db, "get-html3", "--sql", kCustomersSql, "--template-text",
       kCustomersTemplate},
      {"--db", db, "generate-report", "--sql", kCustomersSql, "--template",
       page, "--dest", dest},
      {"--db", db, "generate", "--sql", kCustomersSql, "--template", page,
       "--dest", dest},
      {"--db", db, "generate", "--sdk", "--sql", kCustomersSql, "--template",
       page, "--dest", dest},
  };
  for (const std::vector<std::string>& arguments : cases) {
    SCOPED_TRACE(Joined(arguments));
    const Outcome outcome = RunTool(arguments);
    EXPECT_EQ(outcome.exit_code, 0);
    EXPECT_EQ(outcome.out, kCustomersReport);
    EXPECT_EQ(outcome.err, "");
  }
}

TEST(NerolinReport, ExtraDetailIdReachesTheDetailFilter) {
  // Consignment-note lines of an ordinary voucher belong to the transport
  // sub-report only.
  TempDir dir;
  const std::string db =
      MakeTestDatabase(dir,
                       "CREATE TABLE Line(Name TEXT, TipoComprobante33 TEXT, "
                       "IsConsignmentNote BOOLEAN);"
                       "INSERT INTO Line VALUES ('bolt', 'I - Ingreso', 0),"
                       " ('truck', 'I - Ingreso', 1);");
  const std::string page = dir.Write("lines.html", "<DETAIL>[Name];</DETAIL>");
  struct Case {
    std::vector<std::string> extra;
    std::string out;
  };
  const std::vector<Case> cases = {
      {{}, "bolt;"},
      {{"--extra-detail-id", "complementocartaporte_7"}, "truck;"},
      {{"--extra-detail-id", "complementocartaporte_7", "--sdk"}, "truck;"},
      {{"--extra-detail-id", "otro_7"}, ""},
  };
  for (const Case& c : cases) {
    std::vector<std::string> arguments = {
        "--db",       db,  "render", "--sql", "SELECT * FROM Line",
        "--template", page};
    arguments.insert(arguments.end(), c.extra.begin(), c.extra.end());
    SCOPED_TRACE(Joined(arguments));
    const Outcome outcome = RunTool(arguments);
    EXPECT_EQ(outcome.exit_code, 0);
    EXPECT_EQ(outcome.out, c.out);
    EXPECT_EQ(outcome.err, "");
  }
}

TEST(NerolinReport, GlobalSwitchesReachTheEngine) {
  TempDir dir;
  const std::string db =
      MakeTestDatabase(dir,
                       "CREATE TABLE Pic(PictureSourceDocument TEXT);"
                       "INSERT INTO Pic VALUES ('C:\\img\\logo.png');");
  const Outcome outcome =
      RunTool({"--db", db, "--url-images", "http://img.example/x", "get-html3",
               "--sql", "SELECT * FROM Pic", "--template-text",
               "<img src=\"[PictureSourceDocument]\">"});
  EXPECT_EQ(outcome.exit_code, 0);
  EXPECT_EQ(outcome.out, "<img src=\"http://img.example/x/logo.png\">");
  EXPECT_EQ(outcome.err, "");
}

TEST(NerolinReport, EngineMessagesAreLinesOnStandardErrorAndExitZero) {
  TempDir dir;
  const std::string db = MakeTestDatabase(dir, kCustomers);
  const std::string missing = dir.File("missing.html");
  {
    SCOPED_TRACE("a template that does not exist");
    const Outcome outcome = RunTool(
        {"--db", db, "render", "--sql", kCustomersSql, "--template", missing});
    EXPECT_EQ(outcome.exit_code, 0);
    EXPECT_EQ(outcome.out, "");
    EXPECT_EQ(outcome.err, "File not found: " + missing + "\n");
  }
  {
    SCOPED_TRACE("a statement over two lines that the database rejects");
    const Outcome outcome =
        RunTool({"--db", db, "get-html3", "--sql", "SELECT x\r\nFROM nowhere",
                 "--template-text", "[x]"});
    EXPECT_EQ(outcome.exit_code, 0);
    EXPECT_EQ(outcome.out, "");
    EXPECT_NE(outcome.err.find("SELECT x FROM nowhere\n"), std::string::npos)
        << outcome.err;
    EXPECT_EQ(outcome.err.find('\n'), outcome.err.size() - 1) << outcome.err;
  }
  {
    // Pictures look up their settings in the host database; one without
    // the engine's tables makes that step report under its own title.
    const std::string bare = dir.Write("bare.db", "");
    SCOPED_TRACE("a message with a title");
    const Outcome outcome =
        RunTool({"--db", bare, "get-html3", "--sql", "SELECT 'a.png' AS p",
                 "--template-text", "<img src=\"[p]\">"});
    EXPECT_EQ(outcome.exit_code, 0);
    EXPECT_TRUE(outcome.err.starts_with("ConvertImagesToBase64: "))
        << outcome.err;
    EXPECT_EQ(outcome.err.find('\n'), outcome.err.size() - 1) << outcome.err;
  }
}

TEST(NerolinReport, AReportFileThatCannotBeWrittenIsOneMessageNamingIt) {
  TempDir dir;
  const std::string db = MakeTestDatabase(dir, kCustomers);
  const std::string page = dir.Write("customers.html", kCustomersTemplate);
  const std::string file = dir.Write("file", "");
  const std::string fifo = dir.File("pipe");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const struct {
    std::string dest;
    std::string reason;
  } destinations[] = {
      {dir.path().string(), "Is a directory"},
      {file + "/x.html", "Not a directory"},
      {fifo, "No such device or address"},  // a FIFO nobody reads
  };
  for (const char* command : {"get-html", "generate-report", "generate"}) {
    for (const auto& d : destinations) {
      const std::vector<std::string> run = {
          NEROLIN_REPORT_BINARY, "--db",       db,   command,  "--sql",
          kCustomersSql,         "--template", page, "--dest", d.dest};
      SCOPED_TRACE(Joined(run));
      const Outcome outcome =
          ::nerolin::testing::RunProgram(run, {}, std::chrono::seconds(10));
      EXPECT_EQ(outcome.exit_code, 0);
      EXPECT_EQ(outcome.out, kCustomersReport);
      EXPECT_EQ(outcome.err, "NerolinHTMLReport: The report file " + d.dest +
                                 " was not written: " + d.reason + "\n");
    }
  }
}

TEST(NerolinReport, GenerateReportsTheTemplatePathThatThePrintFormatSet) {
  // Only the SDK twin takes a print format that is not the module's
  // default.
  struct Case {
    bool is_default;
    bool sdk;
    bool changed;
  };
  const std::vector<Case> cases = {
      {true, false, true},
      {true, true, true},
      {false, false, false},
      {false, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << "default " << c.is_default << ", sdk " << c.sdk);
    TempDir dir;
    const std::string format = dir.Write("invoice.html", "<p>[Folio]</p>");
    const std::string db = MakeTestDatabase(
        dir,
        "INSERT INTO docDocument(DocumentID, ModuleID, Folio) VALUES (7, 3, "
        "'A-7');"
        "INSERT INTO engModulePrintFormat(PrintFormatID, ModuleID, FileName, "
        "FormatIsDefault) VALUES (1, 3, '" +
            format + "', " + (c.is_default ? "1" : "0") + ");");
    const std::string page = dir.Write("document.html", "<p>Doc [Folio]</p>");
    const std::string dest = dir.File("out.html");
    std::vector<std::string> arguments = {
        "--db",
        db,
        "generate",
        "--sql",
        "SELECT DocumentID AS ID, Folio FROM docDocument",
        "--template",
        page,
        "--dest",
        dest};
    if (c.sdk) arguments.push_back("--sdk");
    const Outcome outcome = RunTool(arguments);
    EXPECT_EQ(outcome.exit_code, 0);
    EXPECT_EQ(outcome.out, "<p>Doc A-7</p>");
    EXPECT_EQ(outcome.err, c.changed ? "HTMLSourceFile: " + format + "\n" : "");
    EXPECT_EQ(::nerolin::testing::ReadFile(dest), "<p>Doc A-7</p>\r\n");
  }
}

TEST(NerolinReport, GetHtml2WithAnEmptyConnectionExitsOne) {
  TempDir dir;
  const Outcome outcome =
      RunTool({"--connection", "", "get-html2", "--sql", "SELECT 1",
               "--template", dir.Write("t.html", "x")});
  EXPECT_EQ(outcome.exit_code, 1);
  EXPECT_EQ(outcome.out, "");
  EXPECT_EQ(outcome.err, kNoConnection);
}

// Printing, PDF export and desktop open, against a private CUPS server and
// a recording desktop opener.
TEST(NerolinReport, PrintsExportsAndOpensReportFiles) {
  std::string why;
  auto cups = ::nerolin::testing::PrivateCups::Start(&why);
  if (!cups) GTEST_SKIP() << why;
  if (access("/usr/lib/chromium/chromium", X_OK) != 0) {
    GTEST_SKIP() << "Chromium is not installed";
  }
  cups->AddQueue("Almacen", ::nerolin::testing::PrivateCups::Driver::kPdf);
  TempDir dir;
  const std::string report = dir.Write(
      "r.html", "<html><body><p>Facturación de prueba</p></body></html>");

  // The demo's invoice, as a host prints it.
  Outcome outcome = RunTool({"demo", "--out", dir.File("demo")});
  ASSERT_EQ(outcome.exit_code, 0) << outcome.err;
  const std::string invoice = dir.File("demo/factura-A-1187.html");
  const auto start = std::chrono::steady_clock::now();
  outcome =
      RunTool({"--printer", "Almacen", "--copies", "2", "print", invoice});
  const std::chrono::duration<double> took =
      std::chrono::steady_clock::now() - start;
  std::printf("[ figures  ] demo invoice, 2 copies to completed jobs: %.2f s\n",
              took.count());
  EXPECT_EQ(outcome.exit_code, 0) << outcome.err;
  EXPECT_EQ(outcome.out, "");
  const std::string completed = cups->Run("lpstat -W completed -o Almacen");
  EXPECT_EQ(std::count(completed.begin(), completed.end(), '\n'), 2)
      << completed;
  const std::string printed = dir.Write(
      "printed.pdf", ::nerolin::testing::ReadFile(cups->OutputPath("Almacen")));
  const std::string text = ::nerolin::testing::PdfText(printed);
  EXPECT_NE(text.find("Puerta del Bajío"), std::string::npos) << text;
  EXPECT_NE(text.find("3E1A9B42-F5FB-49F0-AD1B-05D97491BC66"),
            std::string::npos);

  outcome = RunTool({"--printer", "Bodega", "print", report});
  EXPECT_EQ(outcome.exit_code, 1);
  EXPECT_EQ(outcome.err.rfind("Error 482: ", 0), 0u) << outcome.err;

  const std::string pdf = dir.File("r.pdf");
  outcome = RunTool({"pdf", report, "--out", pdf});
  EXPECT_EQ(outcome.exit_code, 0) << outcome.err;
  EXPECT_EQ(::nerolin::testing::ReadFile(pdf).rfind("%PDF-", 0), 0u);
  // A report that declares UTF-8 keeps every character on paper.
  const std::string symbols = "1/2” acero 90° ±5% €12 — Ω Facturación";
  const std::string utf8_report = dir.File("utf8.html");
  outcome =
      RunTool({"--db", dir.File("demo/demo.db"), "generate-report", "--sql",
               "SELECT 1 AS X", "--template",
               dir.Write("utf8-template.html",
                         "<html><head><meta charset=\"utf-8\"></head><body>"
                         "<DETAIL><p>" +
                             symbols + "</p></DETAIL></body></html>"),
               "--dest", utf8_report});
  ASSERT_EQ(outcome.exit_code, 0) << outcome.err;
  outcome = RunTool({"pdf", utf8_report, "--out", pdf});
  EXPECT_EQ(outcome.exit_code, 0) << outcome.err;
  EXPECT_NE(::nerolin::testing::PdfText(pdf).find(symbols), std::string::npos)
      << ::nerolin::testing::PdfText(pdf);
  outcome = RunTool({"pdf", dir.File("missing.html"), "--out", pdf});
  EXPECT_EQ(outcome.exit_code, 1);
  EXPECT_EQ(outcome.err.rfind("Error 53: ", 0), 0u) << outcome.err;

  auto opener = ::nerolin::testing::RecordingOpener::Start(&why);
  if (!opener) GTEST_SKIP() << why;
  outcome = RunTool({"open", report});
  EXPECT_EQ(outcome.exit_code, 0) << outcome.err;
  EXPECT_EQ(opener->WaitForRecords(1, std::chrono::seconds(10)),
            std::vector<std::string>{report});
}

// The pages of a PDF as pdftotext reads them, which ends every page with a
// form feed.
std::vector<std::string> PdfPages(const std::string& pdf) {
  const std::string text = ::nerolin::testing::PdfText(pdf);
  std::vector<std::string> pages;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\f', start)) != std::string::npos;
       start = end + 1) {
    pages.push_back(text.substr(start, end - start));
  }
  return pages;
}

// Every QR code a scanner reads on the pages of a PDF, page by page, from
// the pages printed at 200 dpi (150 is the least at which the demo's codes
// still read).
std::vector<std::string> QrCodesOf(const std::string& pdf) {
  const TempDir dir;
  const Outcome raster = ::nerolin::testing::RunProgram(
      {"pdftoppm", "-r", "200", "-gray", pdf, dir.File("pagina")});
  EXPECT_EQ(raster.exit_code, 0) << raster.err;
  std::vector<std::string> command = {"zbarimg", "--nodbus", "--raw", "-q"};
  std::vector<std::string> pictures;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    pictures.push_back(entry.path().string());
  }
  std::sort(pictures.begin(), pictures.end());
  command.insert(command.end(), pictures.begin(), pictures.end());
  // zbarimg exits with 4 when any one page holds no code.
  const Outcome scan = ::nerolin::testing::RunProgram(command);
  EXPECT_TRUE(scan.exit_code == 0 || scan.exit_code == 4) << scan.err;
  std::vector<std::string> codes;
  std::istringstream lines(scan.out);
  for (std::string line; std::getline(lines, line);) codes.push_back(line);
  return codes;
}

// The invoice and the transfer voucher of the demo as their customer gets
// them in a PDF: the QR codes read back as the texts demo.sql stores, the
// page numbers and the document in the margin of every page, and the
// stamp (certificates, seals, original string) whole on one page.
TEST(NerolinReport, DemoPdfsCarryReadableQrCodesAndNumberedPages) {
  if (const std::string why = ::nerolin::testing::ChromiumUnavailable();
      !why.empty()) {
    GTEST_SKIP() << why;
  }
  TempDir dir;
  Outcome outcome = RunTool({"demo", "--out", dir.File("demo")});
  ASSERT_EQ(outcome.exit_code, 0) << outcome.err;
  struct Case {
    std::string report;
    std::vector<std::string> qr_codes;
    std::string document;
    std::string uuid;
    std::string words;
  };
  const std::vector<Case> cases = {
      {"factura-A-1187",
       {"https://verificacfdi.facturaelectronica.sat.gob.mx/"
        "default.aspx?id=3E1A9B42-F5FB-49F0-AD1B-05D97491BC66&re=AHP150318KT7"
        "&rr=ESM120904PL3&tt=60982.36&fe=7tmH9A=="},
       "Factura · serie A · folio 1187",
       "3E1A9B42-F5FB-49F0-AD1B-05D97491BC66",
       "SESENTA MIL NOVECIENTOS OCHENTA Y DOS PESOS 36/100 M.N."},
      {"traslado-T-87",
       {"https://verificacfdi.facturaelectronica.sat.gob.mx/verificaccp/"
        "default.aspx?IdCCP=CCC9C45A-2C0D-4D1E-9602-22FBF88701FF"
        "&FechaOrig=2024-05-16T07:30:00&FechaTimb=2024-05-16T07:03:15",
        "https://verificacfdi.facturaelectronica.sat.gob.mx/"
        "default.aspx?id=043EE98B-BC6A-4718-9C46-F3A9155DC0E2&re=AHP150318KT7"
        "&rr=AHP150318KT7&tt=0&fe=D+i+7g=="},
       "Traslado · serie T · folio 87",
       "043EE98B-BC6A-4718-9C46-F3A9155DC0E2",
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.report);
    const std::string pdf = dir.File(c.report + ".pdf");
    outcome =
        RunTool({"pdf", dir.File("demo/" + c.report + ".html"), "--out", pdf});
    ASSERT_EQ(outcome.exit_code, 0) << outcome.err;
    EXPECT_EQ(QrCodesOf(pdf), c.qr_codes);

    const std::vector<std::string> pages = PdfPages(pdf);
    ASSERT_FALSE(pages.empty());
    if (!c.words.empty()) {
      EXPECT_NE(::nerolin::testing::PdfText(pdf).find(c.words),
                std::string::npos);
    }
    const std::string of = " de " + std::to_string(pages.size());
    std::size_t stamp_pages = 0;
    for (std::size_t i = 0; i < pages.size(); ++i) {
      SCOPED_TRACE(i + 1);
      const std::string& page = pages[i];
      EXPECT_NE(page.find("Página " + std::to_string(i + 1) + of),
                std::string::npos);
      EXPECT_NE(page.find(c.document), std::string::npos);
      EXPECT_NE(page.find("Folio fiscal " + c.uuid), std::string::npos);
      // The seals wrap anywhere; joined lines put them back together.
      std::string joined = page;
      std::erase(joined, '\n');
      const bool has_stamp_part =
          page.find("Certificado del emisor") != std::string::npos ||
          page.find("SELLO DIGITAL DEL") != std::string::npos ||
          joined.find("|00001000000705250068||") != std::string::npos;
      if (!has_stamp_part) continue;
      ++stamp_pages;
      for (const char* part :
           {"Certificado del emisor", "SELLO DIGITAL DEL CFDI",
            "SELLO DIGITAL DEL SAT", "CADENA ORIGINAL DEL COMPLEMENTO"}) {
        EXPECT_NE(page.find(part), std::string::npos) << part;
      }
      EXPECT_NE(joined.find("|00001000000705250068||"), std::string::npos);
    }
    EXPECT_EQ(stamp_pages, 1u);
  }
}

}  // namespace
}  // namespace nerolin::cli
