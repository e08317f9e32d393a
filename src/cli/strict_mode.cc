#include "cli/strict_mode.h"

#include <cstddef>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "cli/commands.h"
#include "component/component_state.h"
#include "nerolin/diagnostics.h"

namespace nerolin::cli {

namespace {

class CountingListener : public DiagnosticListener {
 public:
  void OnDiagnostic(const Diagnostic& /*diagnostic*/) override { ++count; }
  std::size_t count = 0;
};

}  // namespace

int RunStrictIf(bool strict, const std::function<int()>& command) {
  if (!strict) return command();
  const std::shared_ptr<ComponentState>& state = ComponentState::Process();
  auto listener = std::make_shared<CountingListener>();
  state->set_diagnostic_listener(listener);
  const int status = command();
  state->set_diagnostic_listener(nullptr);
  if (status != kExitOk || listener->count == 0) return status;
  // One form whatever the count, for scripts that read it.
  const std::string line =
      "strict: " + std::to_string(listener->count) + " problems\n";
  std::fputs(line.c_str(), stderr);
  return kExitStrict;
}

}  // namespace nerolin::cli
