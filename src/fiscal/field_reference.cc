#include "fiscal/field_reference.h"

#include "component/component_state.h"

namespace nerolin::fiscal {

// The stored statements are not read yet: no key has one.
bool FieldReferenceValue(ComponentState&, std::string_view,
                         const std::shared_ptr<ado::Recordset>&, BlockKind,
                         Variant&) {
  return false;
}

}  // namespace nerolin::fiscal
