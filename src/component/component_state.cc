#include "component/component_state.h"

#include <string>

#include "nerolin/automation_error.h"

namespace nerolin {

const std::shared_ptr<ComponentState>& ComponentState::Process() {
  // Never destroyed: host objects may still hold it while the process exits.
  static auto* state =
      new std::shared_ptr<ComponentState>(std::make_shared<ComponentState>());
  return *state;
}

ComponentState::ComponentState()
    : message_sink_(std::make_shared<StderrMessageSink>()) {}

void ComponentState::set_message_sink(std::shared_ptr<MessageSink> sink) {
  message_sink_ =
      sink ? std::move(sink) : std::make_shared<StderrMessageSink>();
}

void ComponentState::ShowMessage(std::string_view text, std::string_view title,
                                 MessageIcon icon) const {
  Diagnose(DiagnosticKind::kMessage, title, text);
  message_sink_->Show(text, title, icon);
}

void ComponentState::Diagnose(DiagnosticKind kind, std::string_view subject,
                              std::string_view detail) const {
  if (!diagnostic_listener_) return;
  diagnostic_listener_->OnDiagnostic(
      {kind, std::string(subject), std::string(detail)});
}

void ComponentState::ReportFileNotWritten(std::string_view path,
                                          std::string_view reason) const {
  Diagnose(DiagnosticKind::kReportFileNotWritten, path, reason);
  message_sink_->Show("The report file " + std::string(path) +
                          " was not written: " + std::string(reason),
                      kComponentName, MessageIcon::kCritical);
}

NestedReportScope::NestedReportScope(ComponentState& state,
                                     std::string_view template_path)
    : state_(state) {
  if (state_.nesting_depth_ >= kMaxNestedReportDepth) {
    throw AutomationError(
        errors::kInvalidArgument,
        "Invalid procedure call or argument: the report " +
            std::string(template_path) + " is nested " +
            std::to_string(kMaxNestedReportDepth) +
            " reports deep; a template that includes itself goes no deeper",
        std::string(kComponentName));
  }
  ++state_.nesting_depth_;
}

}  // namespace nerolin
