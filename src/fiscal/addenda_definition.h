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

// The parts of an addenda definition item that decide how its value is read
// and shown.
struct AddendaItem {
  // Whose value it is: 1 the customer, 2 the document, 3 a line's product,
  // 4 a line, 5 the issuing company, 6 a Carta Porte vehicle or trailer.
  std::int16_t module_type_id = 0;
  // "key=text;key=text": the texts shown for coded values.
  std::string lista_sencilla;
  // An engRefCombo group that translates coded values.
  std::string clave_lista;
  // A vwCFDAddendas column that already holds the value.
  std::string campo_existente;
};

// Looks for the item whose Referencia is `reference` in the active addenda
// definition that the customer of document `document_id` has been given for
// the document's issuing company. Returns true when a row was found, filling
// `item` from it. Never raises: a failure (the library, the database, a Null
// ModuleTypeID) ends the look-up with the answer as it stood, and `item`
// keeps what had been written into it.
bool LookupAddendaItem(ComponentState& state, std::string_view reference,
                       std::int32_t document_id, AddendaItem& item);

// The value of the addenda definition item whose reference is `name`, for
// the document `document_id` and the current row: read from the existing
// column the item names, or from the value stored for the item's owner
// (detail blocks read only line and product values, header and footer
// blocks every kind, Carta Porte vehicles and trailers included), then
// translated through the item's pick list and simple list. `value` keeps
// what it holds (the "??name??" default) when no item answers. Raises on
// failures that end the resolution of the name (a look-up or statement
// that fails, a row field the step needs that the row lacks).
void AddendaDefinitionValue(ComponentState& state, std::string_view name,
                            std::int32_t document_id,
                            const std::shared_ptr<ado::Recordset>& recordset,
                            BlockKind kind, Variant& value);

}  // namespace nerolin::fiscal
