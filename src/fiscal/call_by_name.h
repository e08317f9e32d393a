#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "nerolin/object.h"
#include "nerolin/variant.h"

namespace nerolin {
class ComponentState;
}

namespace nerolin::fiscal {

// Calls `member` of `object` by name with the invocation kind `call_type`
// (1 method, 2 property get, 4 property put, 8 put by reference).
// `arguments`, when given, must be an array: its elements are passed in
// array order (element 0 as the first parameter); an empty array calls the
// member without arguments. Arguments that are given but are no array call
// nothing and give Empty. Returns the member's result. Never raises: any
// failure (no object, an unknown member or call type, a wrong argument
// count, an error the member raises) shows its description through the
// message sink of `state` with the title "CallByNameEx" and gives Empty.
Variant CallByNameEx(const ComponentState& state, const ObjectRef& object,
                     std::string_view member, std::int32_t call_type,
                     const std::optional<Variant>& arguments = std::nullopt);

}  // namespace nerolin::fiscal
