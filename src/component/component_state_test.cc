#include "component/component_state.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace nerolin
