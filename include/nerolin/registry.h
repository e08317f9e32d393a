#pragma once

#include <functional>
#include <memory>
#include <string_view>

#include "nerolin/export.h"
#include "nerolin/variant.h"

namespace nerolin {

class ComponentState;

// Makes a new object of a registered class. `creator_state` is the
// component state of the object that asks for it from inside the engine
// (a nested report shares it), or null for a host's own CreateObject.
using ClassFactory = std::function<ObjectRef(
    const std::shared_ptr<ComponentState>& creator_state)>;

// Registers `factory` under `progid` (compared without regard to case),
// replacing an earlier registration of the same name.
NEROLIN_EXPORT void RegisterClass(std::string_view progid,
                                  ClassFactory factory);

// True when `progid` has a registered class.
NEROLIN_EXPORT bool IsClassRegistered(std::string_view progid);

// A new object of the class registered as `progid`. Raises error 429 when
// no class is registered under that name or its factory gives no object.
NEROLIN_EXPORT ObjectRef
CreateObject(std::string_view progid,
             const std::shared_ptr<ComponentState>& creator_state = nullptr);

}  // namespace nerolin
