#include "nerolin/registry.h"

#include <mutex>
#include <string>
#include <unordered_map>

#include "nerolin/automation_error.h"
#include "nerolin/object.h"

namespace nerolin {

namespace {

struct Registry {
  std::mutex mutex;
  std::unordered_map<std::string, ClassFactory> classes;  // upper-cased
};

Registry& TheRegistry() {
  static Registry* registry = new Registry;  // never destroyed: used at exit
  return *registry;
}

}  // namespace

void RegisterClass(std::string_view progid, ClassFactory factory) {
  Registry& registry = TheRegistry();
  std::lock_guard lock(registry.mutex);
  registry.classes.insert_or_assign(MemberKey(progid), std::move(factory));
}

bool IsClassRegistered(std::string_view progid) {
  Registry& registry = TheRegistry();
  std::lock_guard lock(registry.mutex);
  return registry.classes.contains(MemberKey(progid));
}

ObjectRef CreateObject(std::string_view progid,
                       const std::shared_ptr<ComponentState>& creator_state) {
  ClassFactory factory;
  {
    Registry& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    auto it = registry.classes.find(MemberKey(progid));
    if (it != registry.classes.end()) factory = it->second;
  }
  ObjectRef object = factory ? factory(creator_state) : nullptr;
  if (!object) {
    throw AutomationError(
        errors::kCantCreateObject,
        std::string(StandardDescription(errors::kCantCreateObject)) + ": " +
            std::string(progid),
        "");
  }
  return object;
}

}  // namespace nerolin
