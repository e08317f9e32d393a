#pragma once

#include <memory>
#include <string_view>

#include "fiscal/block_kind.h"
#include "nerolin/recordset.h"
#include "nerolin/variant.h"

namespace nerolin {
class ComponentState;
}

namespace nerolin::fiscal {

// The host's stored statement for the placeholder key `name`
// (engAddendaFieldRef), run for the current row. Returns false, leaving
// `value` alone, when the key has no statement; otherwise sets `value` and
// returns true. Raises on failures that end the resolution of the name.
bool FieldReferenceValue(ComponentState& state, std::string_view name,
                         const std::shared_ptr<ado::Recordset>& recordset,
                         BlockKind kind, Variant& value);

}  // namespace nerolin::fiscal
