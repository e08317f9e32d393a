#include "component/component_state.h"

#include <algorithm>
#include <cstdint>
#include <exception>
#include <string>
#include <vector>

#include "nerolin/automation_error.h"
#include "platform/files.h"

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
  // Held for the call: the sink may put another in its place meanwhile.
  const std::shared_ptr<MessageSink> sink = message_sink_;
  sink->Show(text, title, icon);
}

void ComponentState::Diagnose(DiagnosticKind kind, std::string_view subject,
                              std::string_view detail,
                              std::string_view context) const {
  if (!diagnostic_listener_) return;
  // Held for the call: the listener may remove itself meanwhile.
  const std::shared_ptr<DiagnosticListener> listener = diagnostic_listener_;
  listener->OnDiagnostic(
      {kind, std::string(subject), std::string(detail), std::string(context)});
}

const Variant* ComponentState::ReportValue(std::string_view key) const {
  for (const auto& [kept_key, value] : report_values_) {
    if (kept_key == key) return &value;
  }
  return nullptr;
}

void ComponentState::KeepReportValue(std::string_view key, Variant value) {
  if (report_values_holders_ == 0 ||
      report_values_.size() >= kMaxReportValues ||
      ReportValue(key) != nullptr) {
    return;
  }
  report_values_.emplace_back(std::string(key), std::move(value));
}

void ComponentState::ReportFileNotWritten(std::string_view path,
                                          std::string_view reason) const {
  if (report_depth_ > 0) {
    if (std::find(unwritten_report_files_.begin(),
                  unwritten_report_files_.end(),
                  path) != unwritten_report_files_.end()) {
      return;
    }
    unwritten_report_files_.emplace_back(path);
  }
  Diagnose(DiagnosticKind::kReportFileNotWritten, path, reason);
  const std::shared_ptr<MessageSink> sink = message_sink_;
  sink->Show("The report file " + std::string(path) +
                 " was not written: " + std::string(reason),
             kComponentName, MessageIcon::kCritical);
}

namespace {

// Why the write that is failing now failed: the system's reason where the
// platform gives one, else the description.
std::string WriteFailureReason() {
  try {
    throw;
  } catch (const platform::FileAccessError& error) {
    return error.reason();
  } catch (...) {
    return AsAutomationError(std::current_exception(), kComponentName)
        .description();
  }
}

}  // namespace

void WriteReportFile(const ComponentState& state, const std::string& path,
                     std::string_view text, ReportFileWrite write) {
  std::vector<std::string>& created = state.created_report_files_;
  const auto earlier = std::find(created.begin(), created.end(), path);
  try {
    if (platform::WriteReportFile(path, text) && state.report_depth_ > 0 &&
        earlier == created.end()) {
      created.push_back(path);
    }
  } catch (...) {
    if (write == ReportFileWrite::kWholeReport && earlier != created.end()) {
      // A piece of this report, never a file of the caller's.
      try {
        platform::DeleteFile(path);
      } catch (const AutomationError&) {
        // Gone already; the message below still says what was not written.
      }
      created.erase(earlier);
    }
    if (!path.empty()) state.ReportFileNotWritten(path, WriteFailureReason());
    throw;
  }
}

NestedReportScope::NestedReportScope(ComponentState& state,
                                     std::string_view template_path)
    : state_(state) {
  if (state_.nesting_depth_ >= kMaxNestedReportDepth) {
    const std::string text =
        "The report " + std::string(template_path) + " is not made: it would " +
        "be nested more than " + std::to_string(kMaxNestedReportDepth) +
        " reports deep, as a template that includes itself would";
    state_.ShowMessage(text, kComponentName, MessageIcon::kExclamation);
    throw AutomationError(errors::kInvalidArgument,
                          "Invalid procedure call or argument: " + text,
                          std::string(kComponentName));
  }
  ++state_.nesting_depth_;
}

ExtraDetailBudget::ExtraDetailBudget(ComponentState& state) : state_(state) {
  if (state_.extra_details_.holders++ == 0) {
    state_.extra_details_.limit = kExtraDetailAllowance;
    state_.extra_details_.added = 0;
    state_.extra_details_.spent_shown = false;
  }
}

void ExtraDetailBudget::AddReportText(std::size_t size) {
  auto& budget = state_.extra_details_;
  const std::size_t more = size > SIZE_MAX / kExtraDetailGrowthFactor
                               ? SIZE_MAX
                               : size * kExtraDetailGrowthFactor;
  budget.limit =
      more > SIZE_MAX - budget.limit ? SIZE_MAX : budget.limit + more;
}

bool ExtraDetailBudget::Take(std::size_t size) {
  auto& budget = state_.extra_details_;
  if (size <= budget.limit - budget.added) {
    budget.added += size;
    return true;
  }
  if (!budget.spent_shown) {
    budget.spent_shown = true;
    state_.ShowMessage("The extra details of this report would add more than " +
                           std::to_string(budget.limit) +
                           " bytes to it; the remaining ones stay as written",
                       kComponentName, MessageIcon::kExclamation);
  }
  return false;
}

}  // namespace nerolin
