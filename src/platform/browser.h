#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <sys/types.h>

#include "nerolin/automation_error.h"

namespace nerolin::platform {

// The browser that hosts a report for printing and preview: headless
// Chromium renders the HTML file to PDF (the paper size is the page's CSS
// `@page` size, Letter without one), CUPS prints that PDF, and a Chromium
// window in app mode shows it as the print preview.

// Error numbers the browser raises besides 53 (the document to load does not
// exist) and 429 (Chromium cannot be started).
namespace browser_errors {
// A load, print or preview that failed or ran out of time (E_FAIL).
inline constexpr std::int32_t kFailed = -2147467259;
// An ExecWB command other than print (6) and print preview (7)
// (OLECMDERR_E_NOTSUPPORTED).
inline constexpr std::int32_t kCommandNotSupported = -2147221248;
}  // namespace browser_errors

// ExecWB commands the browser carries out.
inline constexpr int kCommandPrint = 6;
inline constexpr int kCommandPrintPreview = 7;
// ReadyState values.
inline constexpr int kReadyStateUninitialized = 0;
inline constexpr int kReadyStateLoading = 1;
inline constexpr int kReadyStateComplete = 4;

// The caption of the preview window.
inline constexpr const char* kPreviewCaption = "Vista previa de impresión";

// Where Chromium is, how long each step may take and how long the warm
// browser stays without work: the one place for them. FromEnvironment reads
// NEROLIN_CHROMIUM (default /usr/lib/chromium/chromium); in milliseconds,
// NEROLIN_LOAD_TIMEOUT_MS (60000), NEROLIN_PRINT_TIMEOUT_MS (120000) and
// NEROLIN_PREVIEW_TIMEOUT_MS (30000), where a value that is not a whole
// number above 0 keeps the default; and in seconds NEROLIN_BROWSER_IDLE_S
// (60), where 0 ends the browser after every use and a value that is not a
// whole number keeps the default.
struct BrowserSettings {
  std::string chromium_path;
  std::chrono::milliseconds load_timeout;
  std::chrono::milliseconds print_timeout;
  std::chrono::milliseconds preview_timeout;
  std::chrono::seconds idle;

  static BrowserSettings FromEnvironment();
};

// Chromium's command line for the process's warm headless browser, driven
// over the DevTools pipe, and for showing `file_url` in an app window; each
// with its own profile folder.
std::vector<std::string> HeadlessCommand(const BrowserSettings& settings,
                                         const std::string& profile_dir);
std::vector<std::string> WindowCommand(const BrowserSettings& settings,
                                       const std::string& profile_dir,
                                       const std::string& file_url);

// "file://" and the absolute path, each byte outside the unreserved set and
// "/" percent-encoded.
std::string FileUrl(const std::string& absolute_path);

class PdfJob;

// The browser control that hosts one report at a time. Its documents are
// rendered by the process's warm Chromium (see PdfJob), which outlives the
// object. Not copyable; one thread at a time.
class Browser {
 public:
  explicit Browser(
      BrowserSettings settings = BrowserSettings::FromEnvironment());
  // Closes its page of a render under way, ends the preview window it
  // started and removes its temporary folder.
  ~Browser();
  Browser(const Browser&) = delete;
  Browser& operator=(const Browser&) = delete;

  // Starts loading the HTML file at `path` (relative paths against the
  // current folder): the warm Chromium renders it to a PDF in the
  // browser's temporary folder. A load still under way is abandoned; an
  // open preview stays. Raises 429 when Chromium cannot be started and 52
  // for an empty path.
  void Navigate(const std::string& path);

  // 0 before Navigate, 1 while loading, 4 once the document is completely
  // loaded (the PDF exists and starts with "%PDF-"). Never blocks. Raises
  // when loading failed: 53 when the file does not exist, kFailed when
  // Chromium could not load or print it or took longer than load_timeout
  // (its page is then closed). The same error is raised again on every
  // call until the next Navigate, so a polling caller cannot miss it.
  int ReadyState();

  // kCommandPrint: prints the loaded document silently to the current
  // default CUPS destination, one job, and returns once the job is
  // completed. Raises kFailed when there is no default destination, when
  // the job is refused, canceled or aborted, and when it is not completed
  // within print_timeout (the job is then canceled, so that it does not
  // come out later after the caller was told it failed).
  // kCommandPrintPreview: opens the preview window, a Chromium app window
  // over a page titled kPreviewCaption that embeds the PDF, and returns
  // once that window exists on the display; a preview already open is
  // closed first. Raises kFailed without a display, when Chromium ends
  // early or when the window does not appear within preview_timeout.
  // Both raise kFailed when no document is completely loaded (ReadyState
  // is not 4). Any other command raises kCommandNotSupported. `option`,
  // `input` and `output` are accepted as the control takes them and not
  // otherwise used.
  void ExecWB(int command, int option, int input, int output);

  // The PDF of the loaded document; valid once ReadyState() is 4, "" before.
  const std::string& PdfPath() const { return pdf_path_; }

  // The folder of the browser's temporary files (created by the
  // constructor).
  const std::string& TempFolder() const { return temp_dir_; }

  // The process of the preview window; nullopt when none is open.
  std::optional<pid_t> PreviewProcess() const;

 private:
  void Print();
  void Preview();
  void ClosePreview();
  [[noreturn]] void Fail(AutomationError error);

  BrowserSettings settings_;
  std::string temp_dir_;
  std::string document_;  // the absolute path being loaded
  std::string pdf_path_;
  std::string pending_pdf_;
  int state_ = kReadyStateUninitialized;
  std::optional<AutomationError> failure_;
  std::unique_ptr<PdfJob> render_;
  pid_t preview_pid_ = -1;
  int generation_ = 0;
};

// Renders the HTML file `html_path` to `pdf_path` as printing renders it.
// Raises what Navigate and ReadyState raise, 52 for an empty `pdf_path` and
// 75 when `pdf_path` cannot be written (a file already there is replaced
// only once the PDF exists).
void ExportPdf(
    const std::string& html_path, const std::string& pdf_path,
    const BrowserSettings& settings = BrowserSettings::FromEnvironment());

}  // namespace nerolin::platform
