#include "platform/printing_build.h"

namespace nerolin::platform {

void RequirePrinting() {}

}  // namespace nerolin::platform
