#include "component/component_state.h"

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
  message_sink_->Show(text, title, icon);
}

}  // namespace nerolin
