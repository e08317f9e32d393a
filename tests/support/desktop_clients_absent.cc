#include "nerolin/automation_error.h"
#include "support/desktop_clients.h"

namespace nerolin::testing {

void ReloadCupsClient() {}

bool ManagesNewWindows() { return false; }

std::string PrintingUnavailable() { return std::string(kPrintingNotBuiltText); }

}  // namespace nerolin::testing
