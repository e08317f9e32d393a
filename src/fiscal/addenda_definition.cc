#include "fiscal/addenda_definition.h"

#include "component/component_state.h"

namespace nerolin::fiscal {

// The addenda definitions are not read yet: no item answers.
void AddendaDefinitionValue(ComponentState&, std::string_view, std::int32_t,
                            const std::shared_ptr<ado::Recordset>&, BlockKind,
                            Variant&) {}

}  // namespace nerolin::fiscal
