// A build without printing: every way to print, preview or export a PDF
// ends in the one error, and opening a report still reaches the desktop.
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "nerolin/automation_error.h"
#include "nerolin/cls_main.h"
#include "printing/default_printer.h"
#include "printing/printer_info.h"
#include "printing/printer_jobs.h"
#include "support/private_display.h"
#include "support/test_database.h"
#include "support/test_support.h"

namespace nerolin {
namespace {

using ::nerolin::testing::TempDir;

constexpr char kErrorLine[] =
    "Error -2147221380: printing is not part of this build\n";

#define EXPECT_NOT_BUILT(statement)                            \
  EXPECT_AUTOMATION_ERROR_MSG(statement, kErrPrintingNotBuilt, \
                              std::string(kPrintingNotBuiltText))

TEST(WithoutPrinting, EveryMemberThatPrintsRaisesTheOneError) {
  TempDir dir;
  const std::string report = dir.Write("r.html", "<p>Hola</p>");
  auto engine = clsMain::Create();
  EXPECT_NOT_BUILT(engine->PrintReport(report));
  EXPECT_NOT_BUILT(engine->WebBrowserPreviewReport(report));
  EXPECT_NOT_BUILT(engine->OpenReport(report, true));
  Arguments by_name = {Variant(report)};
  EXPECT_NOT_BUILT(engine->Invoke("PrintReport", InvokeKind::kMethod, by_name));
  engine->SetobjPrinterName("Almacen");
  EXPECT_NOT_BUILT(engine->PrintReport(report));

  EXPECT_NOT_BUILT(printing::GetDefaultPrinterName());
  printing::CPrinterInfo printer;
  EXPECT_NOT_BUILT(printer.SetDeviceName("Almacen"));
  EXPECT_NOT_BUILT(printer.IsDefault());
  printing::CPrinterJobs jobs;
  EXPECT_NOT_BUILT(jobs.Refresh());
}

TEST(WithoutPrinting, TheCommandLineSaysSoAndExitsOne) {
  TempDir dir;
  const std::string report = dir.Write("r.html", "<p>Hola</p>");
  const std::string db = ::nerolin::testing::MakeTestDatabase(
      dir, "CREATE TABLE doc (Folio TEXT); INSERT INTO doc VALUES ('A');");
  const std::vector<std::string> batch = {"--db",
                                          db,
                                          "batch",
                                          "--keys",
                                          "SELECT Folio FROM doc",
                                          "--sql",
                                          "SELECT * FROM doc",
                                          "--template",
                                          report,
                                          "--out-dir",
                                          dir.File("out")};
  std::vector<std::vector<std::string>> commands = {
      {"print", report},
      {"preview", report},
      {"open", report, "--preview"},
      {"pdf", report, "--out-dir", dir.File("pdfs")},
      batch,
      batch};
  commands[4].push_back("--pdf");
  commands[5].push_back("--print");
  for (std::vector<std::string>& arguments : commands) {
    SCOPED_TRACE(arguments[arguments.size() - 1]);
    arguments.insert(arguments.begin(), NEROLIN_REPORT_BINARY);
    const auto run = ::nerolin::testing::RunProgram(arguments);
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.err, kErrorLine);
    EXPECT_EQ(run.out, "");
  }
  // Refused before any of it was written.
  EXPECT_FALSE(std::filesystem::exists(dir.File("out")));
  EXPECT_FALSE(std::filesystem::exists(dir.File("pdfs")));
}

TEST(WithoutPrinting, OpenStillHandsTheReportToTheDesktop) {
  std::string why;
  auto opener = ::nerolin::testing::RecordingOpener::Start(&why);
  if (!opener) GTEST_SKIP() << why;
  TempDir dir;
  const std::string report = dir.Write("r.html", "<p>Hola</p>");
  const auto run =
      ::nerolin::testing::RunProgram({NEROLIN_REPORT_BINARY, "open", report});
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(opener->WaitForRecords(1, std::chrono::seconds(10)),
            std::vector<std::string>{report});
}

}  // namespace
}  // namespace nerolin
