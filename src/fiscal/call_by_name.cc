#include "fiscal/call_by_name.h"

#include <exception>
#include <string>

#include "component/component_state.h"
#include "nerolin/automation_error.h"
#include "nerolin/message_sink.h"

namespace nerolin::fiscal {

namespace {

constexpr std::string_view kTitle = "CallByNameEx";

InvokeKind KindOf(std::int32_t call_type, std::string_view member) {
  switch (call_type) {
    case 1:
      return InvokeKind::kMethod;
    case 2:
      return InvokeKind::kPropertyGet;
    case 4:
      return InvokeKind::kPropertyPut;
    case 8:
      return InvokeKind::kPropertyPutRef;
    default:
      throw AutomationError(
          errors::kInvalidArgument,
          std::string(StandardDescription(errors::kInvalidArgument)) +
              ": call type " + std::to_string(call_type) + " for " +
              std::string(member),
          std::string(kTitle));
  }
}

}  // namespace

Variant CallByNameEx(const ComponentState& state, const ObjectRef& object,
                     std::string_view member, std::int32_t call_type,
                     const std::optional<Variant>& arguments) {
  try {
    const InvokeKind kind = KindOf(call_type, member);
    if (!object) {
      throw AutomationError(
          errors::kObjectNotSet,
          std::string(StandardDescription(errors::kObjectNotSet)) +
              ": no object to call " + std::string(member) + " on",
          std::string(kTitle));
    }
    if (!arguments.has_value()) {
      Arguments none;
      return object->Invoke(member, kind, none);
    }
    if (arguments->IsArray()) {
      // A copy: the member may write to its parameters, never to the
      // caller's array.
      Arguments args(arguments->AsArray());
      return object->Invoke(member, kind, args);
    }
    return {};
  } catch (...) {
    const std::string text =
        AsAutomationError(std::current_exception(), kTitle).description();
    try {
      state.ShowMessage(text, kTitle, MessageIcon::kInformation);
    } catch (...) {
      // A host's sink that fails has nowhere else to report; the empty
      // result still stands.
    }
    return {};
  }
}

}  // namespace nerolin::fiscal
