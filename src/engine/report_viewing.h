#pragma once

#include <string>
#include <string_view>

#include "nerolin/variant.h"
#include "platform/windows.h"

namespace nerolin {
class ReportEngine;
}

namespace nerolin::engine {

// Opening, printing and previewing a written report. Every error reaches
// the caller; the default printer swapped for the report's printer is put
// back before it does.

// With `web_browser_preview` the engine's own WebBrowserPreviewReport;
// otherwise the desktop opens `file` with its registered program.
void OpenReport(ReportEngine& engine, const std::string& file,
                bool web_browser_preview);

// Prints `file` NbrCopies times (0 is made 1 and kept; a negative count
// prints nothing) on objPrinterName, made the default printer for the
// duration. Raises 482 when objPrinterName is not empty and could not be
// made the default, rather than printing elsewhere.
void PrintReport(ReportEngine& engine, const std::string& file);

// Shows `file` in the print-preview window, placed at 1,1 with 700 by 700
// and raised; the window stays open.
void WebBrowserPreviewReport(ReportEngine& engine, const std::string& file);

// The shell's `operation` on `file`; its result is not looked at.
void ShellExecuteFile(std::string_view operation, std::string_view file,
                      std::string_view parameters, std::string_view directory,
                      int show_command);

// Finds the window captioned `caption` (one search, when the caption is not
// empty), waits at most 5,000 times for it to become visible and moves it to
// 1,1 with 700 by 700, visible or not. Returns Empty.
Variant WaitAndMoveWindow(platform::WindowHandle& window,
                          std::string_view caption);

// Whether the browser host is loaded (created by printing or previewing,
// gone after printing).
bool BrowserHostLoaded();

// Whether the print-preview window is on the display.
bool PreviewWindowShown();

// Ends the browser host and whatever it shows.
void UnloadBrowserHost();

}  // namespace nerolin::engine
