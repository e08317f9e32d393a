#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "fiscal/block_kind.h"
#include "nerolin/recordset.h"
#include "nerolin/variant.h"

namespace nerolin {
class ComponentState;
}

namespace nerolin::fiscal {

// The value of the addenda definition item whose reference is `name`, for
// the document `document_id` and the current row; `value` keeps what it
// holds (the "??name??" default) when no item answers. Raises on failures
// that end the resolution of the name.
void AddendaDefinitionValue(ComponentState& state, std::string_view name,
                            std::int32_t document_id,
                            const std::shared_ptr<ado::Recordset>& recordset,
                            BlockKind kind, Variant& value);

}  // namespace nerolin::fiscal
