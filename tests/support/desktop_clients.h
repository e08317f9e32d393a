#pragma once

#include <string>

namespace nerolin::testing {

// What the private servers ask of this process's own clients of the print
// system and the display. A build without printing links neither client
// library: there the first does nothing and the second is false, and
// PrintingUnavailable says why the tests that need them skip.

// Makes libcups read its server from the environment again, with a
// password callback that never prompts.
void ReloadCupsClient();

// True once the window manager of $DISPLAY has framed and shown a window
// mapped now.
bool ManagesNewWindows();

// Why this build cannot print, preview or export PDF (the description of
// the error it raises); "" when it can.
std::string PrintingUnavailable();

}  // namespace nerolin::testing
