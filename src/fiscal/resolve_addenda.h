#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "nerolin/recordset.h"

namespace nerolin {
class ComponentState;
namespace tmpl {
class Section;
}
}  // namespace nerolin

namespace nerolin::fiscal {

// The text that stands for the placeholder `name` (without its brackets) in
// a block filled from the current row of `recordset`: the row's column of
// that name, or, when FindMatchIfFieldDoesntExists is on, what the host
// database holds for it (document and item tables, the issuer's data, the
// stored field-reference statements, the addenda definitions); "??name??"
// when nothing knows the name. A `section` named "DETAIL" makes it a detail
// block; any other section, or none, a header or footer block. Every CR LF
// in the answer becomes "<BR>". Never raises: any failure gives "".
std::string ResolveAddenda(ComponentState& state, std::string_view name,
                           const std::shared_ptr<ado::Recordset>& recordset,
                           const tmpl::Section* section);

// As ResolveAddenda, with the text added to the end of `out`; nothing is
// added on failure.
void AppendResolvedAddenda(std::string& out, ComponentState& state,
                           std::string_view name,
                           const std::shared_ptr<ado::Recordset>& recordset,
                           const tmpl::Section* section);

// The number the row's own column `name` holds (for Importe beside
// Cantidad and ValorUnitario, the line amount ResolveAddenda writes), for
// whoever formats it as a number rather than reading its text back.
// Nothing when the row has no such column or the column holds no number
// (Variant::IsNumber): ResolveAddenda then says what it shows. A failure is
// reported as ResolveAddenda reports it and gives "".
std::optional<Variant> RowNumber(
    ComponentState& state, std::string_view name,
    const std::shared_ptr<ado::Recordset>& recordset,
    const tmpl::Section* section);

}  // namespace nerolin::fiscal
