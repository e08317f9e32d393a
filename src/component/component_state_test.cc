#include "component/component_state.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "nerolin/automation_error.h"
#include "nerolin/diagnostics.h"

namespace nerolin {
namespace {

TEST(ComponentState, ProcessInstanceIsSharedAndFreshOnesAreNot) {
  EXPECT_EQ(ComponentState::Process(), ComponentState::Process());
  auto fresh = std::make_shared<ComponentState>();
  EXPECT_NE(fresh, ComponentState::Process());
  EXPECT_FALSE(fresh->Library().HasLibrary());
  EXPECT_FALSE(fresh->find_match_if_field_doesnt_exists());
  EXPECT_EQ(fresh->image_base_url(), "");
  EXPECT_EQ(fresh->template_folder(), "");
}

TEST(ComponentState, MessagesGoToTheInstalledSink) {
  ComponentState state;
  auto sink = std::make_shared<CapturingMessageSink>();
  state.set_message_sink(sink);
  state.ShowMessage("No se pudo leer", "ConcatRelated()");
  ASSERT_EQ(sink->messages.size(), 1u);
  EXPECT_EQ(sink->messages[0].text, "No se pudo leer");
  EXPECT_EQ(sink->messages[0].title, "ConcatRelated()");

  state.set_message_sink(nullptr);  // back to standard error
  ::testing::internal::CaptureStderr();
  state.ShowMessage("uno", "Título");
  state.ShowMessage("dos");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Título: uno\ndos\n");
  EXPECT_EQ(sink->messages.size(), 1u);
}

TEST(ComponentState, DiagnosticsReachTheListenerOnlyWhileOneIsInstalled) {
  ComponentState state;
  auto sink = std::make_shared<CapturingMessageSink>();
  state.set_message_sink(sink);
  EXPECT_FALSE(state.diagnostics_wanted());
  state.ShowMessage("unheard");
  auto listener = std::make_shared<RecordingDiagnosticListener>();
  state.set_diagnostic_listener(listener);
  EXPECT_TRUE(state.diagnostics_wanted());
  state.ShowMessage("No se pudo leer", "ConcatRelated()");
  state.ReportFileNotWritten("/srv/r.html", "No space left on device");
  ASSERT_EQ(listener->diagnostics.size(), 2u);
  EXPECT_EQ(listener->diagnostics[0].kind, DiagnosticKind::kMessage);
  EXPECT_EQ(listener->diagnostics[0].detail, "No se pudo leer");
  EXPECT_EQ(listener->diagnostics[1].kind,
            DiagnosticKind::kReportFileNotWritten);
  EXPECT_EQ(listener->diagnostics[1].subject, "/srv/r.html");
  ASSERT_EQ(sink->messages.size(), 3u);
  EXPECT_EQ(sink->messages[2].text,
            "The report file /srv/r.html was not written: No space left on "
            "device");
}

// A sink and a listener that, when they are called, put another sink or no
// listener in their own place (which lets them go) and then note what they
// were told.
class ReplacedSink : public MessageSink {
 public:
  ReplacedSink(ComponentState& state, std::vector<std::string>& heard)
      : state_(state), heard_(heard) {}
  void Show(std::string_view text, std::string_view, MessageIcon) override {
    state_.set_message_sink(std::make_shared<CapturingMessageSink>());
    heard_.emplace_back(text);
  }

 private:
  ComponentState& state_;
  std::vector<std::string>& heard_;
};

class ReplacedListener : public DiagnosticListener {
 public:
  ReplacedListener(ComponentState& state, std::vector<std::string>& heard)
      : state_(state), heard_(heard) {}
  void OnDiagnostic(const Diagnostic& diagnostic) override {
    state_.set_diagnostic_listener(nullptr);
    heard_.push_back(diagnostic.detail);
  }

 private:
  ComponentState& state_;
  std::vector<std::string>& heard_;
};

TEST(ComponentState, ASinkOrListenerMayReplaceItselfWhileItIsCalled) {
  ComponentState state;
  std::vector<std::string> heard;
  state.set_message_sink(std::make_shared<ReplacedSink>(state, heard));
  state.set_diagnostic_listener(
      std::make_shared<ReplacedListener>(state, heard));
  state.ShowMessage("uno");
  state.ShowMessage("dos");
  EXPECT_EQ(heard, (std::vector<std::string>{"uno", "uno"}));
  EXPECT_FALSE(state.diagnostics_wanted());
}

TEST(ComponentState, NestingStopsAtItsDepthAndUnwinds) {
  ComponentState state;
  auto sink = std::make_shared<CapturingMessageSink>();
  state.set_message_sink(sink);
  {
    std::vector<std::unique_ptr<NestedReportScope>> levels;
    for (int i = 0; i < kMaxNestedReportDepth; ++i) {
      levels.push_back(std::make_unique<NestedReportScope>(state, "a.html"));
    }
    EXPECT_THROW(NestedReportScope(state, "/m/self.html"), AutomationError);
    EXPECT_EQ(state.nesting_depth(), kMaxNestedReportDepth);
  }
  EXPECT_EQ(state.nesting_depth(), 0);
  ASSERT_EQ(sink->messages.size(), 1u);
  EXPECT_NE(sink->messages[0].text.find("/m/self.html"), std::string::npos);
}

TEST(ComponentState, TheOutermostExtraDetailBudgetIsTheReports) {
  ComponentState state;
  auto sink = std::make_shared<CapturingMessageSink>();
  state.set_message_sink(sink);
  for (int report = 0; report < 2; ++report) {
    ExtraDetailBudget outer(state);
    outer.AddReportText(10);
    const std::size_t limit =
        kExtraDetailAllowance + 10 * kExtraDetailGrowthFactor;
    {
      ExtraDetailBudget inner(state);  // shares the outer one
      EXPECT_TRUE(inner.Take(limit - 1));
    }
    EXPECT_FALSE(outer.Take(2));
    EXPECT_FALSE(outer.Take(2));
    EXPECT_TRUE(outer.Take(1));
    EXPECT_FALSE(outer.Take(SIZE_MAX));
  }
  EXPECT_EQ(sink->messages.size(), 2u);  // once a report
}

}  // namespace
}  // namespace nerolin
