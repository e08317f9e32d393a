#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "hostlib/host_library.h"
#include "nerolin/diagnostics.h"
#include "nerolin/message_sink.h"
#include "nerolin/object.h"

namespace nerolin {

// What a write of a report file stands for, which decides what a failed
// write leaves at the path.
enum class ReportFileWrite {
  // A pass over what is written there already (the extra-detail step, the
  // retention filter): that stays whole.
  kPass,
  // A method's finished report, after its renderer deleted the old file:
  // what the report's own steps wrote there on the way goes too.
  kWholeReport,
};

// What every clsMain, clsModWrapper and engine routine of one component
// shares: the host data library slot, the two switches a host sets and the
// folder of the last template GetHTML opened. Not locked: the component is
// used from the host's one thread.
class ComponentState {
 public:
  // The one instance the engine's public objects share for the life of the
  // process. Tests make their own with std::make_shared<ComponentState>().
  static const std::shared_ptr<ComponentState>& Process();

  ComponentState();

  // The host data library slot. Assigning replaces (and releases) what it
  // held.
  const ObjectRef& host_library() const { return host_library_; }
  void set_host_library(ObjectRef library) {
    // What the report kept came from the library it replaces.
    if (library != host_library_) report_values_.clear();
    host_library_ = std::move(library);
  }
  // Typed calls on the object now in the slot.
  hostlib::HostLibrary Library() const {
    return hostlib::HostLibrary(host_library_);
  }

  bool find_match_if_field_doesnt_exists() const { return find_match_; }
  void set_find_match_if_field_doesnt_exists(bool on) { find_match_ = on; }

  // Base URL of document pictures; "" until set.
  const std::string& image_base_url() const { return image_base_url_; }
  void set_image_base_url(std::string url) { image_base_url_ = std::move(url); }

  // Folder of the template GetHTML last opened, ending with a separator;
  // "" until then.
  const std::string& template_folder() const { return template_folder_; }
  void set_template_folder(std::string folder) {
    template_folder_ = std::move(folder);
  }

  // Where failure messages go; standard error until a host installs its own.
  // A null sink restores the default.
  void set_message_sink(std::shared_ptr<MessageSink> sink);
  // Shows a message and reports it to the diagnostics listener.
  void ShowMessage(std::string_view text, std::string_view title = {},
                   MessageIcon icon = MessageIcon::kCritical) const;

  // The diagnostics channel. A null listener removes the one installed.
  void set_diagnostic_listener(std::shared_ptr<DiagnosticListener> listener) {
    diagnostic_listener_ = std::move(listener);
  }
  const std::shared_ptr<DiagnosticListener>& diagnostic_listener() const {
    return diagnostic_listener_;
  }
  // Whether anyone listens: a caller that must build its texts first asks.
  bool diagnostics_wanted() const { return diagnostic_listener_ != nullptr; }
  void Diagnose(DiagnosticKind kind, std::string_view subject,
                std::string_view detail, std::string_view context = {}) const;

  // A report file that could not be written whole: one message naming the
  // path and the reason, and its diagnostic. While a ReportScope lasts, each
  // path is reported once, however many of the report's steps fail on it.
  void ReportFileNotWritten(std::string_view path,
                            std::string_view reason) const;

  // A value the report being rendered (see ReportValuesScope) reads once
  // for all its lines, under the key its reader chose: the host's settings
  // that every line of a document asks for. Null outside a render and until
  // it is kept; keeping outside a render, or past kMaxReportValues keys,
  // keeps nothing.
  const Variant* ReportValue(std::string_view key) const;
  void KeepReportValue(std::string_view key, Variant value);
  static constexpr std::size_t kMaxReportValues = 64;

  // Nested reports (the HTML placeholder, an extra detail's sub-report)
  // started and not yet ended, shared by every engine on this state.
  int nesting_depth() const { return nesting_depth_; }

 private:
  friend class NestedReportScope;
  friend class ExtraDetailBudget;
  friend class ReportScope;
  friend class ReportValuesScope;
  friend void WriteReportFile(const ComponentState& state,
                              const std::string& path, std::string_view text,
                              ReportFileWrite write);

  ObjectRef host_library_;
  bool find_match_ = false;
  std::string image_base_url_;
  std::string template_folder_;
  std::shared_ptr<MessageSink> message_sink_;
  std::shared_ptr<DiagnosticListener> diagnostic_listener_;
  int nesting_depth_ = 0;
  // The extra-detail budget of the report being made.
  struct {
    int holders = 0;
    std::size_t limit = 0;
    std::size_t added = 0;
    bool spent_shown = false;
  } extra_details_;
  // The report now being made (see ReportScope): how deep its scopes go,
  // the report files its steps created and those it said it could not
  // write.
  int report_depth_ = 0;
  int report_values_holders_ = 0;
  std::vector<std::pair<std::string, Variant>> report_values_;
  mutable std::vector<std::string> created_report_files_;
  mutable std::vector<std::string> unwritten_report_files_;
};

// One report being made by a member, with all its steps and the reports
// nested in it, for as long as the outermost scope lives.
class ReportScope {
 public:
  explicit ReportScope(ComponentState& state) : state_(state) {
    ++state_.report_depth_;
  }
  ~ReportScope() {
    if (--state_.report_depth_ > 0) return;
    state_.created_report_files_.clear();
    state_.unwritten_report_files_.clear();
  }
  ReportScope(const ReportScope&) = delete;
  ReportScope& operator=(const ReportScope&) = delete;

 private:
  ComponentState& state_;
};

// One rendering of a report, and the reports nested in it, for as long as
// the outermost scope lives: what they read once (ComponentState::
// ReportValue) is kept until then.
class ReportValuesScope {
 public:
  explicit ReportValuesScope(ComponentState& state) : state_(state) {
    ++state_.report_values_holders_;
  }
  ~ReportValuesScope() {
    if (--state_.report_values_holders_ == 0) state_.report_values_.clear();
  }
  ReportValuesScope(const ReportValuesScope&) = delete;
  ReportValuesScope& operator=(const ReportValuesScope&) = delete;

 private:
  ComponentState& state_;
};

// platform::WriteReportFile for a step of a report. When the file cannot be
// written whole, `state` is told (ReportFileNotWritten; an empty path names
// no file and is not reported) before the error goes on to the caller, and
// for kWholeReport a file that an earlier step of the same report created
// there is removed as well.
void WriteReportFile(const ComponentState& state, const std::string& path,
                     std::string_view text,
                     ReportFileWrite write = ReportFileWrite::kPass);

// Deepest nesting of reports inside reports; a template that includes
// itself ends here instead of exhausting the stack.
inline constexpr int kMaxNestedReportDepth = 16;

// One level of nested report for as long as it lives. When `state` is
// already kMaxNestedReportDepth deep, shows a message naming `template_path`
// and raises 5.
class NestedReportScope {
 public:
  NestedReportScope(ComponentState& state, std::string_view template_path);
  ~NestedReportScope() { --state_.nesting_depth_; }
  NestedReportScope(const NestedReportScope&) = delete;
  NestedReportScope& operator=(const NestedReportScope&) = delete;

 private:
  ComponentState& state_;
};

// What the extra details of one report may add to it, however many calls of
// the extra-detail step the report takes (GetHTML makes one per row) and
// whatever nests inside them: kExtraDetailAllowance plus
// kExtraDetailGrowthFactor times the report's text before its extra details.
// Sub-reports that bring their own elements back would otherwise grow the
// report without end. The outermost budget on a state is the report's; one
// opened inside it shares it.
inline constexpr std::size_t kExtraDetailAllowance = std::size_t{16} << 20;
inline constexpr std::size_t kExtraDetailGrowthFactor = 16;

class ExtraDetailBudget {
 public:
  explicit ExtraDetailBudget(ComponentState& state);
  ~ExtraDetailBudget() { --state_.extra_details_.holders; }
  ExtraDetailBudget(const ExtraDetailBudget&) = delete;
  ExtraDetailBudget& operator=(const ExtraDetailBudget&) = delete;

  // Counts a text of `size` bytes as part of the report before its extra
  // details.
  void AddReportText(std::size_t size);
  // Takes `size` bytes for text the extra details add. False, leaving the
  // budget as it was, when that would pass the limit; the message sink then
  // hears why, once a report.
  bool Take(std::size_t size);

 private:
  ComponentState& state_;
};

}  // namespace nerolin
