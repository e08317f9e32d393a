#include "platform/browser.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <signal.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "platform/warm_chromium.h"
#include "platform/warm_chromium_testing.h"
#include "platform/windows.h"
#include "support/private_cups.h"
#include "support/private_display.h"
#include "support/test_support.h"

namespace nerolin::platform {
namespace {

using nerolin::testing::ChromiumUnavailable;
using nerolin::testing::PdfText;
using nerolin::testing::PrivateCups;
using nerolin::testing::PrivateDisplay;
using nerolin::testing::ReadFile;
using nerolin::testing::ScopedEnvironment;
using nerolin::testing::TempDir;
using std::chrono::milliseconds;
using std::chrono::seconds;
using Clock = std::chrono::steady_clock;
using nerolin::platform::testing::OpenPages;

constexpr const char* kReport =
    "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">"
    "<title>Factura</title></head><body><h1>Facturación</h1>"
    "<p>Cliente: Ñandú Comercial</p></body></html>\n";

#define SKIP_WITHOUT_CHROMIUM()                        \
  do {                                                 \
    const std::string why_not = ChromiumUnavailable(); \
    if (!why_not.empty()) GTEST_SKIP() << why_not;     \
  } while (false)

std::string PdfInfo(const std::string& pdf) {
  return nerolin::testing::RunProgram({"pdfinfo", pdf}).out;
}

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Polls ReadyState as the engine does until 4; the seconds it took.
double WaitComplete(Browser& browser) {
  const auto start = Clock::now();
  while (browser.ReadyState() != kReadyStateComplete) {
    if (Clock::now() - start > seconds(120)) {
      ADD_FAILURE() << "ReadyState never reached 4";
      break;
    }
    std::this_thread::sleep_for(milliseconds(10));
  }
  return SecondsSince(start);
}

// Polls ReadyState until it raises (or 4, or the bound); the error.
std::optional<AutomationError> WaitFailure(Browser& browser,
                                           seconds bound = seconds(60)) {
  const auto start = Clock::now();
  try {
    while (browser.ReadyState() != kReadyStateComplete &&
           Clock::now() - start < bound) {
      std::this_thread::sleep_for(milliseconds(10));
    }
  } catch (const AutomationError& error) {
    return error;
  }
  return std::nullopt;
}

// Live processes whose command line mentions `text`.
int ProcessesMentioning(const std::string& text) {
  int count = 0;
  DIR* proc = opendir("/proc");
  if (proc == nullptr) return 0;
  while (dirent* entry = readdir(proc)) {
    if (entry->d_name[0] < '0' || entry->d_name[0] > '9') continue;
    std::ifstream in(std::string("/proc/") + entry->d_name + "/cmdline");
    std::string command((std::istreambuf_iterator<char>(in)),
                        std::istreambuf_iterator<char>());
    if (command.find(text) != std::string::npos) ++count;
  }
  closedir(proc);
  return count;
}

// The PDF inside a printer's output file (a driver may put a header
// before it), written out for pdftotext.
std::string PdfOfOutput(const TempDir& dir, const std::string& output) {
  const std::string bytes = ReadFile(output);
  const std::size_t start = bytes.find("%PDF-");
  if (start == std::string::npos) return {};
  return dir.Write("printed.pdf", bytes.substr(start));
}

BrowserSettings Quick(milliseconds load = milliseconds(60000)) {
  BrowserSettings settings = BrowserSettings::FromEnvironment();
  settings.load_timeout = load;
  return settings;
}

TEST(BrowserSettings, ReadsTheEnvironmentAndKeepsDefaultsForBadValues) {
  ScopedEnvironment environment;
  for (const char* name :
       {"NEROLIN_CHROMIUM", "NEROLIN_LOAD_TIMEOUT_MS",
        "NEROLIN_PRINT_TIMEOUT_MS", "NEROLIN_PREVIEW_TIMEOUT_MS"}) {
    environment.Unset(name);
  }
  BrowserSettings settings = BrowserSettings::FromEnvironment();
  EXPECT_EQ(settings.chromium_path, "/usr/lib/chromium/chromium");
  EXPECT_EQ(settings.load_timeout, milliseconds(60000));
  EXPECT_EQ(settings.print_timeout, milliseconds(120000));
  EXPECT_EQ(settings.preview_timeout, milliseconds(30000));

  environment.Set("NEROLIN_CHROMIUM", "/opt/chromium/chrome");
  environment.Set("NEROLIN_LOAD_TIMEOUT_MS", "2500");
  environment.Set("NEROLIN_PRINT_TIMEOUT_MS", "1");
  environment.Set("NEROLIN_PREVIEW_TIMEOUT_MS", "90000");
  settings = BrowserSettings::FromEnvironment();
  EXPECT_EQ(settings.chromium_path, "/opt/chromium/chrome");
  EXPECT_EQ(settings.load_timeout, milliseconds(2500));
  EXPECT_EQ(settings.print_timeout, milliseconds(1));
  EXPECT_EQ(settings.preview_timeout, milliseconds(90000));

  for (const char* bad :
       {"", "0", "-5", "12x", "abc", " 100", "99999999999999999999999"}) {
    SCOPED_TRACE(bad);
    environment.Set("NEROLIN_LOAD_TIMEOUT_MS", bad);
    EXPECT_EQ(BrowserSettings::FromEnvironment().load_timeout,
              milliseconds(60000));
  }
}

TEST(FileUrl, PercentEncodesEverythingAUrlWouldReadOtherwise) {
  EXPECT_EQ(FileUrl("/tmp/r/factura.html"), "file:///tmp/r/factura.html");
  EXPECT_EQ(FileUrl("/tmp/a b#1?x=%&\"<.html"),
            "file:///tmp/a%20b%231%3Fx%3D%25%26%22%3C.html");
  EXPECT_EQ(FileUrl("/tmp/Facturación.html"),
            "file:///tmp/Facturaci%C3%B3n.html");
}

TEST(Browser, LoadsAReportToAPdfWithItsText) {
  SKIP_WITHOUT_CHROMIUM();
  TempDir dir;
  // A name that a URL would cut short or misread if it were not encoded.
  const std::string report = dir.Write("Facturación #7 50%.html", kReport);
  Browser browser(Quick());
  EXPECT_EQ(browser.ReadyState(), kReadyStateUninitialized);
  EXPECT_EQ(browser.PdfPath(), "");
  browser.Navigate(report);
  EXPECT_EQ(browser.ReadyState(), kReadyStateLoading);
  const double cold = WaitComplete(browser);
  EXPECT_EQ(browser.ReadyState(), kReadyStateComplete);
  ASSERT_TRUE(ReadFile(browser.PdfPath()).starts_with("%PDF-"));
  const std::string text = PdfText(browser.PdfPath());
  EXPECT_NE(text.find("Facturación"), std::string::npos) << text;
  EXPECT_NE(text.find("Ñandú"), std::string::npos) << text;

  // Without an @page size the paper is Letter.
  EXPECT_NE(PdfInfo(browser.PdfPath()).find("612 x 792 pts (letter)"),
            std::string::npos);

  // A second document in the same browser, through a relative path, with
  // its own paper size.
  const std::string first_pdf = browser.PdfPath();
  dir.Write("second.html",
            "<!DOCTYPE html><meta charset=\"utf-8\">"
            "<style>@page { size: A4 }</style><p>Remisión 2</p>");
  const std::string previous = std::filesystem::current_path().string();
  std::filesystem::current_path(dir.path());
  browser.Navigate("second.html");
  std::filesystem::current_path(previous);
  const double warm = WaitComplete(browser);
  EXPECT_NE(browser.PdfPath(), first_pdf);
  EXPECT_NE(PdfText(browser.PdfPath()).find("Remisión 2"), std::string::npos);
  EXPECT_NE(PdfInfo(browser.PdfPath()).find("(A4)"), std::string::npos);
  std::printf(
      "[ figures  ] Navigate to ReadyState 4: %.2f s cold, %.2f s warm\n", cold,
      warm);
}

TEST(Browser, LoadsWhenTheHostIgnoresChildSignals) {
  SKIP_WITHOUT_CHROMIUM();
  TempDir dir;
  // The system then reaps Chromium itself and its exit status is lost.
  struct sigaction ignore {
  }, previous{};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGCHLD, &ignore, &previous);
  {
    Browser browser(Quick());
    browser.Navigate(dir.Write("factura.html", kReport));
    WaitComplete(browser);
    EXPECT_TRUE(ReadFile(browser.PdfPath()).starts_with("%PDF-"));
    browser.Navigate(dir.File("missing.html"));
    const auto error = WaitFailure(browser);
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->number(), errors::kFileNotFound);
  }
  sigaction(SIGCHLD, &previous, nullptr);
}

TEST(Browser, AMissingDocumentRaisesFileNotFoundOnEveryPoll) {
  SKIP_WITHOUT_CHROMIUM();
  TempDir dir;
  Browser browser(Quick());
  browser.Navigate(dir.File("nowhere.html"));
  const auto error = WaitFailure(browser);
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->number(), errors::kFileNotFound);
  EXPECT_EQ(error->description(),
            "File not found: " + dir.File("nowhere.html"));
  EXPECT_AUTOMATION_ERROR(browser.ReadyState(), errors::kFileNotFound);
  EXPECT_AUTOMATION_ERROR(browser.ExecWB(kCommandPrint, 2, 3, 0),
                          errors::kFileNotFound);
  EXPECT_EQ(browser.PdfPath(), "");
}

TEST(Browser, APageThatNeverLoadsEndsAtTheLoadTimeoutWithItsProcesses) {
  SKIP_WITHOUT_CHROMIUM();
  TempDir dir;
  const std::string endless =
      dir.Write("endless.html", "<!DOCTYPE html><script>for (;;) {}</script>");
  Browser browser(Quick(milliseconds(1500)));
  const auto start = Clock::now();
  browser.Navigate(endless);
  const auto error = WaitFailure(browser);
  const double took = SecondsSince(start);
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->number(), browser_errors::kFailed);
  EXPECT_EQ(error->description(), "The browser did not finish loading " +
                                      endless + " within 1500 ms");
  EXPECT_GE(took, 1.5);
  EXPECT_LT(took, 10.0);
  EXPECT_EQ(ProcessesMentioning(browser.TempFolder()), 0);

  // The next Navigate starts afresh: its own outcome (here too slow for
  // the short timeout, or not found), not the old error.
  browser.Navigate(dir.File("missing.html"));
  EXPECT_EQ(browser.ReadyState(), kReadyStateLoading);
  const auto next = WaitFailure(browser);
  ASSERT_TRUE(next.has_value());
  EXPECT_NE(next->description().find("missing.html"), std::string::npos);
}

TEST(Browser, DestroyedWhileLoadingLeavesNoProcessAndNoFolder) {
  SKIP_WITHOUT_CHROMIUM();
  TempDir dir;
  const std::string endless =
      dir.Write("endless.html", "<!DOCTYPE html><script>for (;;) {}</script>");
  const std::string endless_url = FileUrl(endless);
  const auto showing = [&] {
    const std::vector<std::string> pages = OpenPages();
    return std::count(pages.begin(), pages.end(), endless_url);
  };
  std::string folder;
  {
    Browser browser(Quick());
    folder = browser.TempFolder();
    browser.Navigate(endless);
    // The warm browser outlives the object; the page is what is its own.
    const auto start = Clock::now();
    while (showing() == 0 && Clock::now() - start < seconds(10)) {
      browser.ReadyState();
      std::this_thread::sleep_for(milliseconds(50));
    }
    EXPECT_EQ(showing(), 1);
  }
  EXPECT_FALSE(std::filesystem::exists(folder));
  EXPECT_EQ(ProcessesMentioning(folder), 0);
  const auto start = Clock::now();
  while (showing() > 0 && Clock::now() - start < seconds(10)) {
    std::this_thread::sleep_for(milliseconds(100));
  }
  EXPECT_EQ(showing(), 0);
}

TEST(Browser, ChromiumThatCannotStartRaises429) {
  BrowserSettings settings = Quick();
  settings.chromium_path = "/nonexistent/chromium";
  Browser browser(settings);
  EXPECT_AUTOMATION_ERROR_MSG(
      browser.Navigate("report.html"), errors::kCantCreateObject,
      "Chromium cannot be started: /nonexistent/chromium");
  EXPECT_AUTOMATION_ERROR(browser.Navigate(""), errors::kBadFileName);
}

TEST(Browser, ExecWBRefusesOtherCommandsAndAnUnloadedDocument) {
  Browser browser(Quick());
  for (int command : {0, 1, 5, 8, 10, -1}) {
    SCOPED_TRACE(command);
    EXPECT_AUTOMATION_ERROR(browser.ExecWB(command, 2, 3, 0),
                            browser_errors::kCommandNotSupported);
  }
  EXPECT_AUTOMATION_ERROR_MSG(browser.ExecWB(kCommandPrint, 2, 3, 0),
                              browser_errors::kFailed, "No document is loaded");
  EXPECT_AUTOMATION_ERROR_MSG(browser.ExecWB(kCommandPrintPreview, 2, 3, 0),
                              browser_errors::kFailed, "No document is loaded");
}

TEST(ExportPdf, WritesThePdfAndLeavesTheOldOneWhenLoadingFails) {
  SKIP_WITHOUT_CHROMIUM();
  TempDir dir;
  const std::string report = dir.Write("report.html", kReport);
  const std::string pdf = dir.File("Factura.pdf");
  ExportPdf(report, pdf, Quick());
  const std::string exported = ReadFile(pdf);
  ASSERT_TRUE(exported.starts_with("%PDF-"));
  EXPECT_NE(PdfText(pdf).find("Ñandú"), std::string::npos);

  EXPECT_AUTOMATION_ERROR(ExportPdf(dir.File("missing.html"), pdf, Quick()),
                          errors::kFileNotFound);
  EXPECT_EQ(ReadFile(pdf), exported);
  EXPECT_AUTOMATION_ERROR(
      ExportPdf(report, dir.File("no/such/folder/x.pdf"), Quick()),
      errors::kPathFileAccess);
  // Nothing but the report and its PDF: no partial file left behind.
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    (void)entry;
    ++files;
  }
  EXPECT_EQ(files, 2);
}

// Printing needs a private CUPS server; the default destination is the
// user's lpoptions default in the server's private HOME.
class BrowserPrint : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const std::string why = ChromiumUnavailable(); !why.empty()) {
      GTEST_SKIP() << why;
    }
    std::string why;
    cups_ = PrivateCups::Start(&why);
    if (cups_ == nullptr) GTEST_SKIP() << why;
    report_ = dir_.Write("factura.html", kReport);
  }

  void Load(Browser& browser) {
    browser.Navigate(report_);
    WaitComplete(browser);
  }

  TempDir dir_;
  std::unique_ptr<PrivateCups> cups_;
  std::string report_;
};

TEST_F(BrowserPrint, PrintsOneCompletedJobHoldingTheDocument) {
  cups_->AddQueue("Oficina", PrivateCups::Driver::kPdf);
  cups_->Run("lpoptions -d Oficina");
  Browser browser(Quick());
  Load(browser);
  const auto start = Clock::now();
  browser.ExecWB(kCommandPrint, 2, 3, 0);
  std::printf("[ figures  ] print to completed job: %.2f s\n",
              SecondsSince(start));
  const std::string completed = cups_->Run("lpstat -W completed -o Oficina");
  EXPECT_EQ(std::count(completed.begin(), completed.end(), '\n'), 1)
      << completed;
  EXPECT_EQ(cups_->Run("lpstat -o Oficina"), "");
  const std::string printed = PdfOfOutput(dir_, cups_->OutputPath("Oficina"));
  ASSERT_FALSE(printed.empty()) << "no PDF in the printer's output";
  const std::string text = PdfText(printed);
  EXPECT_NE(text.find("Facturación"), std::string::npos) << text;
  EXPECT_NE(text.find("Ñandú"), std::string::npos) << text;
}

TEST_F(BrowserPrint, AStoppedQueueEndsAtThePrintTimeoutAndCancelsTheJob) {
  cups_->AddQueue("Parada");
  cups_->Run("cupsdisable Parada");
  cups_->Run("lpoptions -d Parada");
  BrowserSettings settings = Quick();
  settings.print_timeout = milliseconds(1500);
  Browser browser(settings);
  Load(browser);
  const auto start = Clock::now();
  try {
    browser.ExecWB(kCommandPrint, 2, 3, 0);
    ADD_FAILURE() << "printing on a stopped queue reported success";
  } catch (const AutomationError& error) {
    EXPECT_EQ(error.number(), browser_errors::kFailed);
    EXPECT_NE(error.description().find("did not complete within 1500 ms"),
              std::string::npos)
        << error.description();
    EXPECT_NE(error.description().find("was canceled"), std::string::npos);
  }
  const double took = SecondsSince(start);
  EXPECT_GE(took, 1.5);
  EXPECT_LT(took, 5.0);
  // Nothing is left to come out when the queue starts again.
  EXPECT_EQ(cups_->Run("lpstat -o Parada"), "");
}

TEST_F(BrowserPrint, NoDefaultPrinterRaises) {
  cups_->AddQueue("Oficina");
  Browser browser(Quick());
  Load(browser);
  EXPECT_AUTOMATION_ERROR_MSG(browser.ExecWB(kCommandPrint, 2, 3, 0),
                              browser_errors::kFailed,
                              "There is no default printer");
  EXPECT_EQ(cups_->Run("lpstat -W all -o"), "");
}

TEST(BrowserPreview, ShowsTheCaptionedWindowUntilTheBrowserGoes) {
  SKIP_WITHOUT_CHROMIUM();
  for (const bool window_manager : {false, true}) {
    SCOPED_TRACE(window_manager ? "under openbox" : "without window manager");
    std::string why;
    auto display = PrivateDisplay::Start(&why, window_manager);
    if (display == nullptr) GTEST_SKIP() << why;
    TempDir dir;
    const std::string report = dir.Write("factura.html", kReport);
    std::string folder;
    {
      Browser browser(Quick());
      folder = browser.TempFolder();
      browser.Navigate(report);
      WaitComplete(browser);
      const auto start = Clock::now();
      browser.ExecWB(kCommandPrintPreview, 2, 3, 0);
      std::printf("[ figures  ] preview window (%s): %.2f s\n",
                  window_manager ? "openbox" : "no manager",
                  SecondsSince(start));
      // One search right after the command finds it, as the engine's does.
      const WindowHandle window = FindWindowByCaption(kPreviewCaption);
      ASSERT_NE(window, 0u);
      ASSERT_TRUE(browser.PreviewProcess().has_value());
      EXPECT_EQ(WindowProcessId(window), *browser.PreviewProcess());
      for (int i = 0; i < 5000 && !IsWindowVisible(window); ++i) {
        ProcessPendingWindowEvents();
      }
      EXPECT_TRUE(IsWindowVisible(window));
      EXPECT_TRUE(MoveWindow(window, 1, 1, 700, 700));
      EXPECT_EQ(WindowFrame(window), (WindowRect{1, 1, 700, 700}));
    }
    EXPECT_EQ(FindWindowByCaption(kPreviewCaption), 0u);
    EXPECT_EQ(ProcessesMentioning(folder), 0);
    EXPECT_FALSE(std::filesystem::exists(folder));
  }
}

TEST(BrowserPreview, AWindowThatDoesNotAppearInTimeRaisesAndIsClosed) {
  SKIP_WITHOUT_CHROMIUM();
  std::string why;
  auto display = PrivateDisplay::Start(&why);
  if (display == nullptr) GTEST_SKIP() << why;
  TempDir dir;
  BrowserSettings settings = Quick();
  settings.preview_timeout = milliseconds(50);
  Browser browser(settings);
  browser.Navigate(dir.Write("factura.html", kReport));
  WaitComplete(browser);
  const auto start = Clock::now();
  EXPECT_AUTOMATION_ERROR_MSG(
      browser.ExecWB(kCommandPrintPreview, 2, 3, 0), browser_errors::kFailed,
      "did not appear on display " + display->name() + " within 50 ms");
  EXPECT_LT(SecondsSince(start), 6.0);
  EXPECT_FALSE(browser.PreviewProcess().has_value());
  EXPECT_EQ(ProcessesMentioning(browser.TempFolder() + "/preview"), 0);
}

TEST(BrowserPreview, WithoutADisplayRaises) {
  SKIP_WITHOUT_CHROMIUM();
  TempDir dir;
  ScopedEnvironment environment;
  environment.Unset("DISPLAY");
  Browser browser(Quick());
  browser.Navigate(dir.Write("factura.html", kReport));
  WaitComplete(browser);
  EXPECT_AUTOMATION_ERROR_MSG(browser.ExecWB(kCommandPrintPreview, 2, 3, 0),
                              browser_errors::kFailed, "DISPLAY is not set");
  EXPECT_FALSE(browser.PreviewProcess().has_value());
}

}  // namespace
}  // namespace nerolin::platform
