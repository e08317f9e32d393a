#include "engine/report_viewing.h"

#include <chrono>
#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "component/component_state.h"
#include "nerolin/automation_error.h"
#include "nerolin/cls_main.h"
#include "platform/browser.h"
#include "platform/windows.h"
#include "printing/default_printer.h"
#include "printing/print_service.h"
#include "support/private_cups.h"
#include "support/private_display.h"
#include "support/test_support.h"

namespace nerolin::engine {
namespace {

using Cups = testing::PrivateCups;

constexpr const char* kReport =
    "<html><head><meta charset=\"utf-8\"><title>Factura A-7</title></head>"
    "<body><h1>Facturación</h1><p>Ñandú número 7</p></body></html>";

// The real print service, with every change of the default printer written
// down on its way.
class RecordingPrintService : public printing::PrintService {
 public:
  explicit RecordingPrintService(std::shared_ptr<printing::PrintService> real)
      : real_(std::move(real)) {}

  std::vector<std::string> PrinterNames() override {
    return real_->PrinterNames();
  }
  printing::PrinterReading ReadPrinter(const std::string& name) override {
    return real_->ReadPrinter(name);
  }
  std::string DefaultPrinterName() override {
    return real_->DefaultPrinterName();
  }
  bool SetDefaultPrinter(const std::string& name) override {
    defaults_set.push_back(name);
    return real_->SetDefaultPrinter(name);
  }
  printing::CommandOutcome ControlPrinter(
      const std::string& name, printing::PrinterCommand command) override {
    return real_->ControlPrinter(name, command);
  }
  bool CanAdminister(const std::string& name) override {
    return real_->CanAdminister(name);
  }
  void ShowPropertiesDialog(const std::string& name,
                            std::int32_t parent) override {
    real_->ShowPropertiesDialog(name, parent);
  }
  printing::JobCountReading JobCount(const std::string& name) override {
    return real_->JobCount(name);
  }
  printing::JobsReading ReadJobs(const std::string& name) override {
    return real_->ReadJobs(name);
  }
  printing::CommandOutcome ControlJob(const std::string& name,
                                      std::int32_t job_id,
                                      printing::JobCommand command) override {
    return real_->ControlJob(name, job_id, command);
  }
  bool MoveJob(const std::string& name, std::int32_t job_id,
               std::int32_t delta) override {
    return real_->MoveJob(name, job_id, delta);
  }
  std::string ErrorText(std::int32_t code) override {
    return real_->ErrorText(code);
  }

  std::vector<std::string> defaults_set;

 private:
  std::shared_ptr<printing::PrintService> real_;
};

bool ChromiumRuns(std::string* why) {
  const std::string path =
      platform::BrowserSettings::FromEnvironment().chromium_path;
  if (access(path.c_str(), X_OK) != 0) {
    *why = "Chromium is not installed at " + path;
    return false;
  }
  return true;
}

// One private CUPS server for the suite, with two PDF printers whose
// devices are files; "Oficina" is the user's default at the start of each
// test.
class ReportViewingTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::string why;
    if (!ChromiumRuns(&why)) {
      skip_reason_ = new std::string(why);
      return;
    }
    cups_ = Cups::Start(&why).release();
    if (cups_ == nullptr) {
      skip_reason_ = new std::string(why);
      return;
    }
    cups_->AddQueue("Oficina", Cups::Driver::kPdf);
    cups_->AddQueue("Almacen", Cups::Driver::kPdf);
  }
  static void TearDownTestSuite() {
    UnloadBrowserHost();
    delete cups_;
    cups_ = nullptr;
    delete skip_reason_;
    skip_reason_ = nullptr;
  }

  void SetUp() override {
    if (skip_reason_ != nullptr) GTEST_SKIP() << *skip_reason_;
    cups_->Run("cancel -a -x", false);
    cups_->Run("lpoptions -d Oficina");
    for (const char* queue : {"Oficina", "Almacen"}) {
      std::remove(cups_->OutputPath(queue).c_str());
    }
    engine_ = clsMain::Create(std::make_shared<ComponentState>());
    report_ = dir_.Write("factura.html", kReport);
  }
  void TearDown() override { UnloadBrowserHost(); }

  // The jobs of `queue` that completed, one line each.
  static std::vector<std::string> CompletedJobs(const std::string& queue) {
    std::istringstream lines(cups_->Run("lpstat -W completed -o " + queue));
    std::vector<std::string> jobs;
    for (std::string line; std::getline(lines, line);) {
      if (!line.empty()) jobs.push_back(line);
    }
    return jobs;
  }

  // The text of the PDF the printer `queue` wrote.
  std::string PrintedText(const std::string& queue) const {
    const std::string output = testing::ReadFile(cups_->OutputPath(queue));
    EXPECT_NE(output.find("%PDF-"), std::string::npos);
    const std::string pdf = dir_.Write(queue + ".pdf", output);
    return cups_->Run("pdftotext " + Cups::Quote(pdf) + " -");
  }

  static std::string* skip_reason_;
  static Cups* cups_;
  testing::TempDir dir_;
  std::shared_ptr<clsMain> engine_;
  std::string report_;
};

std::string* ReportViewingTest::skip_reason_ = nullptr;
Cups* ReportViewingTest::cups_ = nullptr;

TEST_F(ReportViewingTest, PrintsOneCopyWhenAskedForNoneAndKeepsThatCount) {
  engine_->SetobjPrinterName("Almacen");
  const auto start = std::chrono::steady_clock::now();
  engine_->PrintReport(report_);
  const std::chrono::duration<double> took =
      std::chrono::steady_clock::now() - start;
  std::printf("PrintReport to a completed job: %.2f s\n", took.count());

  EXPECT_EQ(engine_->NbrCopies(), 1);
  EXPECT_EQ(CompletedJobs("Almacen").size(), 1u);
  EXPECT_TRUE(CompletedJobs("Oficina").empty());
  const std::string text = PrintedText("Almacen");
  EXPECT_NE(text.find("Facturación"), std::string::npos) << text;
  EXPECT_NE(text.find("Ñandú número 7"), std::string::npos) << text;
  EXPECT_EQ(printing::GetDefaultPrinterName(), "Oficina");
  EXPECT_FALSE(BrowserHostLoaded());
}

TEST_F(ReportViewingTest,
       PrintsEachCopyAsItsOwnJobAndNothingForANegativeCount) {
  engine_->SetobjPrinterName("Almacen");
  engine_->SetNbrCopies(3);
  engine_->PrintReport(report_);
  EXPECT_EQ(CompletedJobs("Almacen").size(), 3u);
  EXPECT_EQ(engine_->NbrCopies(), 3);

  cups_->Run("cancel -a -x", false);
  auto service =
      std::make_shared<RecordingPrintService>(printing::SharedPrintService());
  printing::ScopedPrintService scoped(service);
  engine_->SetNbrCopies(-2);
  engine_->PrintReport(report_);
  EXPECT_TRUE(CompletedJobs("Almacen").empty());
  EXPECT_TRUE(CompletedJobs("Oficina").empty());
  EXPECT_EQ(engine_->NbrCopies(), -2);
  // The report's printer was still made the default, then the saved one.
  EXPECT_EQ(service->defaults_set,
            (std::vector<std::string>{"Almacen", "Oficina"}));
}

TEST_F(ReportViewingTest, SwapsTheDefaultOnlyForAnotherName) {
  auto service =
      std::make_shared<RecordingPrintService>(printing::SharedPrintService());
  printing::ScopedPrintService scoped(service);

  engine_->SetobjPrinterName("Oficina");
  engine_->PrintReport(report_);
  EXPECT_TRUE(service->defaults_set.empty());
  EXPECT_EQ(CompletedJobs("Oficina").size(), 1u);

  // Another letter case names the same printer, which is set and put back.
  engine_->SetobjPrinterName("OFICINA");
  engine_->PrintReport(report_);
  EXPECT_EQ(service->defaults_set,
            (std::vector<std::string>{"OFICINA", "Oficina"}));
  EXPECT_EQ(CompletedJobs("Oficina").size(), 2u);

  // No name: the system keeps its default, which prints.
  service->defaults_set.clear();
  engine_->SetobjPrinterName("");
  engine_->PrintReport(report_);
  EXPECT_EQ(service->defaults_set, (std::vector<std::string>{"", "Oficina"}));
  EXPECT_EQ(CompletedJobs("Oficina").size(), 3u);
  EXPECT_EQ(printing::GetDefaultPrinterName(), "Oficina");
}

TEST_F(ReportViewingTest, APrinterThatCannotBeTheDefaultPrintsNothing) {
  engine_->SetobjPrinterName("Bodega");
  try {
    engine_->PrintReport(report_);
    ADD_FAILURE() << "printed on a printer that does not exist";
  } catch (const AutomationError& error) {
    EXPECT_EQ(error.number(), 482);
    EXPECT_NE(error.description().find("\"Bodega\""), std::string::npos);
  }
  EXPECT_TRUE(CompletedJobs("Oficina").empty());
  EXPECT_EQ(printing::GetDefaultPrinterName(), "Oficina");
  EXPECT_FALSE(BrowserHostLoaded());
}

TEST_F(ReportViewingTest, AnErrorAfterTheSwapPutsTheDefaultBack) {
  engine_->SetobjPrinterName("Almacen");
  EXPECT_THROW(engine_->PrintReport(dir_.File("no-such-report.html")),
               AutomationError);
  EXPECT_EQ(printing::GetDefaultPrinterName(), "Oficina");
  EXPECT_FALSE(BrowserHostLoaded());

  // A queue that stops on every job: the print fails after its time limit.
  testing::ScopedEnvironment environment;
  environment.Set("NEROLIN_PRINT_TIMEOUT_MS", "1500");
  UnloadBrowserHost();
  cups_->Run("cupsdisable Almacen");
  EXPECT_THROW(engine_->PrintReport(report_), AutomationError);
  cups_->Run("cupsenable Almacen");
  EXPECT_EQ(printing::GetDefaultPrinterName(), "Oficina");
}

TEST_F(ReportViewingTest, WithoutADefaultPrinterTheReportsPrinterStaysDefault) {
  std::remove((cups_->HomePath() + "/.cups/lpoptions").c_str());
  ASSERT_EQ(printing::GetDefaultPrinterName(), "");
  auto service =
      std::make_shared<RecordingPrintService>(printing::SharedPrintService());
  printing::ScopedPrintService scoped(service);

  engine_->SetobjPrinterName("Almacen");
  engine_->PrintReport(report_);
  EXPECT_EQ(CompletedJobs("Almacen").size(), 1u);
  // The restore asks for the printer with the empty name, which is none.
  EXPECT_EQ(service->defaults_set, (std::vector<std::string>{"Almacen", ""}));
  EXPECT_EQ(printing::GetDefaultPrinterName(), "Almacen");
}

// The preview window, read back from the display.
class PreviewTest : public ReportViewingTest,
                    public ::testing::WithParamInterface<bool> {};

TEST_P(PreviewTest, ShowsThePreviewAtItsPlaceAndLeavesTheDefault) {
  std::string why;
  auto display = testing::PrivateDisplay::Start(&why, GetParam());
  if (!display) GTEST_SKIP() << why;

  engine_->SetobjPrinterName("Almacen");
  const auto start = std::chrono::steady_clock::now();
  engine_->WebBrowserPreviewReport(report_);
  const std::chrono::duration<double> took =
      std::chrono::steady_clock::now() - start;
  std::printf("Preview window shown and placed: %.2f s\n", took.count());

  const platform::WindowHandle window =
      platform::FindWindowByCaption(platform::kPreviewCaption);
  ASSERT_NE(window, 0u);
  EXPECT_EQ(platform::WindowFrame(window),
            (platform::WindowRect{1, 1, 700, 700}));
  EXPECT_TRUE(BrowserHostLoaded());
  EXPECT_TRUE(PreviewWindowShown());
  EXPECT_EQ(printing::GetDefaultPrinterName(), "Oficina");

  UnloadBrowserHost();
  EXPECT_FALSE(PreviewWindowShown());
}

INSTANTIATE_TEST_SUITE_P(WithAndWithoutWindowManager, PreviewTest,
                         ::testing::Bool(), [](const auto& info) {
                           return info.param ? "UnderOpenbox" : "Bare";
                         });

TEST_F(ReportViewingTest, OpenHandsTheFileToTheDesktopOrPreviews) {
  std::string why;
  auto opener = testing::RecordingOpener::Start(&why);
  if (!opener) GTEST_SKIP() << why;

  Arguments args = {Variant(report_)};
  engine_->Invoke("OpenReport", InvokeKind::kMethod, args);
  EXPECT_EQ(opener->WaitForRecords(1, std::chrono::seconds(10)),
            std::vector<std::string>{report_});
  EXPECT_FALSE(BrowserHostLoaded());

  auto display = testing::PrivateDisplay::Start(&why);
  if (!display) GTEST_SKIP() << why;
  engine_->OpenReport(report_, true);
  EXPECT_TRUE(PreviewWindowShown());
  EXPECT_EQ(opener->Recorded().size(), 1u);
}

TEST(WaitAndMoveWindow, FindsNothingWithoutADisplay) {
  testing::ScopedEnvironment environment;
  environment.Unset("DISPLAY");
  platform::WindowHandle window = 0;
  EXPECT_TRUE(WaitAndMoveWindow(window, "Vista previa de impresión").IsEmpty());
  EXPECT_EQ(window, 0u);
}

}  // namespace
}  // namespace nerolin::engine
