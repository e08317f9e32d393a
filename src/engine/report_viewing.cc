#include "engine/report_viewing.h"

#include <chrono>
#include <memory>
#include <thread>

#include "automation/vb_text.h"
#include "component/report_engine.h"
#include "nerolin/automation_error.h"
#include "nerolin/cls_main.h"
#include "platform/browser.h"
#include "platform/shell.h"
#include "printing/default_printer.h"

namespace nerolin::engine {

namespace {

constexpr int kMaxVisibilityWaits = 5000;
constexpr int kWindowLeft = 1;
constexpr int kWindowTop = 1;
constexpr int kWindowSize = 700;
// How the engine gives the browser its print and preview commands: without
// asking, without the dialog, returning when done.
constexpr int kDontPromptUser = 2;
constexpr int kSilentAndWait = 3;
constexpr std::int32_t kErrPrinter = 482;

// The one browser host of the process: created on first use, gone after a
// print, kept after a preview so its window stays.
std::unique_ptr<platform::Browser>& BrowserSlot() {
  static std::unique_ptr<platform::Browser> browser;
  return browser;
}

platform::Browser& LoadedBrowser() {
  auto& browser = BrowserSlot();
  if (!browser) browser = std::make_unique<platform::Browser>();
  return *browser;
}

// Loads `file` into the browser host and waits until it is complete. The
// browser ends a load that takes longer than its limit with an error, so
// the wait is bounded.
platform::Browser& LoadReport(const std::string& file) {
  platform::Browser& browser = LoadedBrowser();
  browser.Navigate(file);
  while (browser.ReadyState() != platform::kReadyStateComplete) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return browser;
}

// Makes the report's printer the default for the length of a print or a
// preview and puts the saved one back when it goes, also when an error
// ends the method early.
class DefaultPrinterSwap {
 public:
  explicit DefaultPrinterSwap(const std::string& printer)
      : printer_(printer), saved_(printing::GetDefaultPrinterName()) {
    if (!Swapped()) return;
    printing::SetDefaultPrinterByName(printer_);
    // Printing on whatever else is the default and reporting success would
    // put an invoice on the wrong printer without a word.
    if (!printer_.empty() &&
        !EqualsIgnoreCase(printing::GetDefaultPrinterName(), printer_)) {
      Restore();
      throw AutomationError(
          kErrPrinter,
          "Printer error: \"" + printer_ +
              "\" could not be made the default "
              "printer (no such printer, or no right to use it)",
          std::string(kComponentName));
    }
  }
  ~DefaultPrinterSwap() {
    try {
      Restore();
    } catch (...) {
      // A failed restore must not replace the error that is on its way.
    }
  }
  DefaultPrinterSwap(const DefaultPrinterSwap&) = delete;
  DefaultPrinterSwap& operator=(const DefaultPrinterSwap&) = delete;

  // Puts the saved default back now (once); errors reach the caller.
  void Restore() {
    if (!Swapped() || restored_) return;
    restored_ = true;
    printing::SetDefaultPrinterByName(saved_);
  }

 private:
  bool Swapped() const { return printer_ != saved_; }

  std::string printer_;
  std::string saved_;
  bool restored_ = false;
};

}  // namespace

void OpenReport(ReportEngine& engine, const std::string& file,
                bool web_browser_preview) {
  if (web_browser_preview) {
    engine.WebBrowserPreviewReport(file);
    return;
  }
  ShellExecuteFile("open", file, {}, {}, 1);
}

void PrintReport(ReportEngine& engine, const std::string& file) {
  DefaultPrinterSwap swap(engine.objPrinterName());
  try {
    platform::Browser& browser = LoadReport(file);
    if (engine.NbrCopies() == 0) engine.SetNbrCopies(1);
    for (int copy = 1; copy <= engine.NbrCopies(); ++copy) {
      browser.ExecWB(platform::kCommandPrint, kDontPromptUser, kSilentAndWait,
                     0);
    }
  } catch (...) {
    UnloadBrowserHost();
    throw;
  }
  UnloadBrowserHost();
  swap.Restore();
}

void WebBrowserPreviewReport(ReportEngine& engine, const std::string& file) {
  DefaultPrinterSwap swap(engine.objPrinterName());
  platform::Browser& browser = LoadReport(file);
  browser.ExecWB(platform::kCommandPrintPreview, kDontPromptUser,
                 kSilentAndWait, 0);
  platform::WindowHandle window = 0;
  WaitAndMoveWindow(window, platform::kPreviewCaption);
  if (window != 0) platform::RaiseWindow(window);
  swap.Restore();
}

void ShellExecuteFile(std::string_view operation, std::string_view file,
                      std::string_view parameters, std::string_view directory,
                      int show_command) {
  platform::ShellExecute(operation, file, parameters, directory, show_command);
}

Variant WaitAndMoveWindow(platform::WindowHandle& window,
                          std::string_view caption) {
  if (!caption.empty()) window = platform::FindWindowByCaption(caption);
  if (window != 0) {
    int waits = 0;
    while (!platform::IsWindowVisible(window) && waits < kMaxVisibilityWaits) {
      platform::ProcessPendingWindowEvents();
      ++waits;
    }
    platform::MoveWindow(window, kWindowLeft, kWindowTop, kWindowSize,
                         kWindowSize);
  }
  return Variant();
}

bool PreviewWindowShown() {
  const auto& browser = BrowserSlot();
  return browser && browser->PreviewProcess().has_value() &&
         platform::FindWindowByCaption(platform::kPreviewCaption) != 0;
}

bool BrowserHostLoaded() { return BrowserSlot() != nullptr; }

void UnloadBrowserHost() { BrowserSlot().reset(); }

}  // namespace nerolin::engine
