#pragma once

#include <functional>

namespace nerolin::cli {

// The method returned, but something failed on the way (--strict).
inline constexpr int kExitStrict = 3;

// Runs `command`, which gives an exit status. Under `strict` the
// diagnostics channel of the process-wide component state is listened to
// meanwhile, and when the command
// gives kExitOk and the channel heard anything (a message shown, a
// placeholder's failure result, a report file not written, a step skipped),
// standard error gets "strict: N problems" as its last line and the result
// is kExitStrict; otherwise the command's own status.
int RunStrictIf(bool strict, const std::function<int()>& command);

}  // namespace nerolin::cli
