#pragma once

namespace nerolin::platform {

// Printing, preview and PDF export reach CUPS, Xlib and Chromium. A build
// configured with NEROLIN_WITH_PRINTING=OFF links none of them: its browser
// and print service are stand-ins whose every entry point raises
// kErrPrintingNotBuilt ("printing is not part of this build"), and its
// desktop windows are those of a session without a display.

// Returns in a build with printing; raises kErrPrintingNotBuilt otherwise.
// For a caller that must refuse before it starts work that would end in a
// print or a PDF.
void RequirePrinting();

// Raises kErrPrintingNotBuilt, from the component. Defined only in a build
// without printing, where it is the one place that error comes from.
[[noreturn]] void RaisePrintingNotBuilt();

}  // namespace nerolin::platform
