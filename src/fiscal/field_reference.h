#pragma once

#include <cstdint>
#include <memory>
#include <string>
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
// `value` alone, when the key has no statement; otherwise returns true with
// `value` set to the statement's answer, or left at its default when the
// statement is neither a query nor a call expression. Before it runs, the
// statement is adapted to the database engine, its bracketed Carta Porte
// references replaced by stored values and its brace tokens by the row's
// identifiers. A call expression ("ConcatRelated(...)") calls that member
// of a clsModWrapper with the quoted texts between its parentheses. Raises
// on failures that end the resolution of the name; in a detail block a
// plain identifier token that cannot be replaced stays in the statement.
bool FieldReferenceValue(ComponentState& state, std::string_view name,
                         const std::shared_ptr<ado::Recordset>& recordset,
                         BlockKind kind, Variant& value);

// Replaces every bracketed reference of `text` ("[CartaPorte_Placa]") that
// names an item of the addenda definition of its first known reference by
// the value stored for that item and the owner `owner_id`, all occurrences
// at once. Brackets that name no item stay. `text` receives the
// replacements, which are also returned. Never raises: the first failure
// ends the work with the replacements made so far.
std::string ReplaceAddendaReferences(ComponentState& state,
                                     std::int32_t owner_id, std::string& text);

}  // namespace nerolin::fiscal
