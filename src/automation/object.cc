#include "nerolin/object.h"

#include "automation/vb_text.h"
#include "nerolin/automation_error.h"

namespace nerolin {

Variant Object::DefaultValue() {
  throw AutomationError(errors::kNoSuchMember,
                        std::string(StandardDescription(errors::kNoSuchMember)),
                        std::string(TypeName()));
}

Variant Object::Call(std::string_view method, Arguments args) {
  return Invoke(method, InvokeKind::kMethod, args);
}

Variant Object::Get(std::string_view property, Arguments args) {
  return Invoke(property, InvokeKind::kPropertyGet, args);
}

void Object::Put(std::string_view property, Variant value) {
  Arguments args{std::move(value)};
  Invoke(property, InvokeKind::kPropertyPut, args);
}

void Object::PutRef(std::string_view property, Variant value) {
  Arguments args{std::move(value)};
  Invoke(property, InvokeKind::kPropertyPutRef, args);
}

void CheckArgumentCount(const Arguments& args, std::size_t min,
                        std::size_t max) {
  if (args.size() < min || args.size() > max) {
    throw AutomationError(errors::kWrongArgumentCount);
  }
}

std::string MemberKey(std::string_view name) { return UCase(name); }

void ThrowNoSuchMember(std::string_view type_name, std::string_view member) {
  throw AutomationError(
      errors::kNoSuchMember,
      std::string(StandardDescription(errors::kNoSuchMember)) + ": " +
          std::string(type_name) + "." + std::string(member),
      std::string(type_name));
}

}  // namespace nerolin
