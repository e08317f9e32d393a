#include <string>

#include "nerolin/automation_error.h"
#include "platform/printing_build.h"

namespace nerolin::platform {

void RaisePrintingNotBuilt() {
  throw AutomationError(kErrPrintingNotBuilt,
                        std::string(kPrintingNotBuiltText),
                        std::string(kComponentName));
}

void RequirePrinting() { RaisePrintingNotBuilt(); }

}  // namespace nerolin::platform
