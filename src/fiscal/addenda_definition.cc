#include "fiscal/addenda_definition.h"

#include <array>
#include <optional>
#include <string>

#include "automation/conversions.h"
#include "automation/vb_text.h"
#include "component/component_state.h"
#include "fiscal/statement_text.h"
#include "nerolin/automation_error.h"
#include "nerolin/diagnostics.h"

namespace nerolin::fiscal {

namespace {

constexpr std::string_view kItemSelect =
    "SELECT engAddendaDefinicionItem.ModuleTypeID, "
    "engAddendaDefinicionItem.ListaSencilla, "
    "engAddendaDefinicionItem.ClaveLista, "
    "engAddendaDefinicionItem.CampoExistente";
constexpr std::string_view kItemFrom =
    " FROM docDocument INNER JOIN ((engAddendaDefinicion INNER JOIN "
    "engAddendaDefinicionItem ON engAddendaDefinicion.AddendaDefinicionID = "
    "engAddendaDefinicionItem.AddendaDefinicionID) INNER JOIN orgCustomer ON "
    "engAddendaDefinicion.AddendaDefinicionID = "
    "orgCustomer.AddendaDefinicionID) ON (docDocument.OwnedBusinessEntityID = "
    "orgCustomer.OwnedBusinessEntityID) AND (docDocument.BusinessEntityID = "
    "orgCustomer.BusinessEntityID)";

// The FROM clause of each module type (index 1 to 6). All join the
// definition, its items, the stored values and the customer's assignment to
// the document; they differ in how orgAddendaValor.ID is tied to its owner,
// which types 3 and 4 do through the document's lines and type 6 leaves to
// the closing text.
constexpr std::array<std::string_view, 7> kValueFrom = {
    "",
    // Type 1.
    " FROM docDocument INNER JOIN (((engAddendaDefinicion INNER JOIN"
    " engAddendaDefinicionItem ON"
    " engAddendaDefinicion.AddendaDefinicionID ="
    " engAddendaDefinicionItem.AddendaDefinicionID) INNER JOIN"
    " orgAddendaValor ON"
    " engAddendaDefinicionItem.AddendaDefinicionItemID ="
    " orgAddendaValor.AddendaDefinicionItemID) INNER JOIN orgCustomer"
    " ON engAddendaDefinicion.AddendaDefinicionID ="
    " orgCustomer.AddendaDefinicionID) ON (orgAddendaValor.ID ="
    " docDocument.BusinessEntityID) AND (docDocument.BusinessEntityID ="
    " orgCustomer.BusinessEntityID) AND"
    " (docDocument.OwnedBusinessEntityID ="
    " orgCustomer.OwnedBusinessEntityID)",
    // Type 2.
    " FROM docDocument INNER JOIN (((engAddendaDefinicion INNER JOIN"
    " engAddendaDefinicionItem ON"
    " engAddendaDefinicion.AddendaDefinicionID ="
    " engAddendaDefinicionItem.AddendaDefinicionID) INNER JOIN"
    " orgAddendaValor ON"
    " engAddendaDefinicionItem.AddendaDefinicionItemID ="
    " orgAddendaValor.AddendaDefinicionItemID) INNER JOIN orgCustomer"
    " ON engAddendaDefinicion.AddendaDefinicionID ="
    " orgCustomer.AddendaDefinicionID) ON (docDocument.BusinessEntityID"
    " = orgCustomer.BusinessEntityID) AND"
    " (docDocument.OwnedBusinessEntityID ="
    " orgCustomer.OwnedBusinessEntityID) AND (docDocument.DocumentID ="
    " orgAddendaValor.ID)",
    // Type 3.
    " FROM (docDocument INNER JOIN (((engAddendaDefinicion INNER JOIN"
    " engAddendaDefinicionItem ON"
    " engAddendaDefinicion.AddendaDefinicionID ="
    " engAddendaDefinicionItem.AddendaDefinicionID) INNER JOIN"
    " orgAddendaValor ON"
    " engAddendaDefinicionItem.AddendaDefinicionItemID ="
    " orgAddendaValor.AddendaDefinicionItemID) INNER JOIN orgCustomer"
    " ON engAddendaDefinicion.AddendaDefinicionID ="
    " orgCustomer.AddendaDefinicionID) ON (docDocument.BusinessEntityID"
    " = orgCustomer.BusinessEntityID) AND"
    " (docDocument.OwnedBusinessEntityID ="
    " orgCustomer.OwnedBusinessEntityID)) INNER JOIN docDocumentItem ON"
    " (docDocumentItem.ProductID = orgAddendaValor.ID) AND"
    " (docDocument.DocumentID = docDocumentItem.DocumentID)",
    // Type 4.
    " FROM (docDocument INNER JOIN (((engAddendaDefinicion INNER JOIN"
    " engAddendaDefinicionItem ON"
    " engAddendaDefinicion.AddendaDefinicionID ="
    " engAddendaDefinicionItem.AddendaDefinicionID) INNER JOIN"
    " orgAddendaValor ON"
    " engAddendaDefinicionItem.AddendaDefinicionItemID ="
    " orgAddendaValor.AddendaDefinicionItemID) INNER JOIN orgCustomer"
    " ON engAddendaDefinicion.AddendaDefinicionID ="
    " orgCustomer.AddendaDefinicionID) ON"
    " (docDocument.OwnedBusinessEntityID ="
    " orgCustomer.OwnedBusinessEntityID) AND"
    " (docDocument.BusinessEntityID = orgCustomer.BusinessEntityID))"
    " INNER JOIN docDocumentItem ON (docDocumentItem.DocumentItemID ="
    " orgAddendaValor.ID) AND (docDocument.DocumentID ="
    " docDocumentItem.DocumentID)",
    // Type 5.
    " FROM docDocument INNER JOIN (((engAddendaDefinicion INNER JOIN"
    " engAddendaDefinicionItem ON"
    " engAddendaDefinicion.AddendaDefinicionID ="
    " engAddendaDefinicionItem.AddendaDefinicionID) INNER JOIN"
    " orgAddendaValor ON"
    " engAddendaDefinicionItem.AddendaDefinicionItemID ="
    " orgAddendaValor.AddendaDefinicionItemID) INNER JOIN orgCustomer"
    " ON engAddendaDefinicion.AddendaDefinicionID ="
    " orgCustomer.AddendaDefinicionID) ON (docDocument.BusinessEntityID"
    " = orgCustomer.BusinessEntityID) AND"
    " (docDocument.OwnedBusinessEntityID ="
    " orgCustomer.OwnedBusinessEntityID) AND"
    " (docDocument.OwnedBusinessEntityID = orgAddendaValor.ID)",
    // Type 6.
    " FROM docDocument INNER JOIN (((engAddendaDefinicion INNER JOIN"
    " engAddendaDefinicionItem ON"
    " engAddendaDefinicion.AddendaDefinicionID ="
    " engAddendaDefinicionItem.AddendaDefinicionID) INNER JOIN"
    " orgAddendaValor ON"
    " engAddendaDefinicionItem.AddendaDefinicionItemID ="
    " orgAddendaValor.AddendaDefinicionItemID) INNER JOIN orgCustomer"
    " ON engAddendaDefinicion.AddendaDefinicionID ="
    " orgCustomer.AddendaDefinicionID) ON (docDocument.BusinessEntityID"
    " = orgCustomer.BusinessEntityID) AND"
    " (docDocument.OwnedBusinessEntityID ="
    " orgCustomer.OwnedBusinessEntityID)",
};

constexpr std::string_view kActiveItemOfType =
    ") AND ((engAddendaDefinicion.DeletedOn) Is Null) AND "
    "((engAddendaDefinicionItem.ModuleTypeID)=";

constexpr std::string_view kCartaPorteDefinition =
    "SELECT AddendaDefinicionID FROM "
    "vwCFDAddendaValor_DocumentIDComplementoCartaPorte WHERE DocumentID = ";
// The trailer's subtype is the one Carta Porte datum stored per trailer.
constexpr std::string_view kTrailerReference = "SubTipoRem";

// The value statement of `module_type` for `reference`; `criterion` ties it
// to the document or the line, `owner_id` (type 6 only) to the vehicle or
// trailer.
std::string ValueStatement(std::int16_t module_type, std::string_view reference,
                           std::string_view criterion,
                           std::string_view owner_id = {}) {
  std::string sql;
  sql.reserve(1200);
  sql += "SELECT orgAddendaValor.Valor";
  sql += kValueFrom[static_cast<std::size_t>(module_type)];
  sql += " WHERE (((engAddendaDefinicionItem.Referencia)='";
  sql += QuotedText(reference);
  sql += criterion;
  sql += kActiveItemOfType;
  sql += std::to_string(module_type);
  if (module_type == 6) {
    sql += ") AND (orgAddendaValor.ID = ";
    sql += owner_id;
    sql += "))";
  } else {
    sql += "));";
  }
  return sql;
}

Variant RunScalar(hostlib::HostLibrary& library, std::string sql) {
  return Variant(TextOf(library.ExecuteScalar(sql)));
}

// The Carta Porte datum `reference` of the document in the current row:
// the value stored for the document's trailer ("SubTipoRem") or vehicle.
// Nothing when the document has no Carta Porte complement.
std::optional<Variant> CartaPorteValue(
    hostlib::HostLibrary& library, std::string_view reference,
    const std::shared_ptr<ado::Recordset>& recordset) {
  const std::string row_id = SqlLiteral(RowText(recordset, "ID"));
  std::string sql = std::string(kCartaPorteDefinition) + row_id;
  const Variant definition = library.ExecuteScalar(sql);
  if (!IsNumeric(definition) || !(CDbl(definition) > 0)) return std::nullopt;

  const bool trailer = reference == kTrailerReference;
  const Variant item_id = library.DatalayerDLookup(
      "AddendaDefinicionItemID", "engAddendaDefinicionItem",
      "AddendaDefinicionID = " + SqlLiteral(TextOf(definition)) +
          (trailer ? " AND Referencia = 'CartaPorte_RemolqueID'"
                   : " AND Referencia = 'CartaPorte_AutotransporteID'"));
  // A complement without that vehicle or trailer has nothing to show; the
  // statements that follow could only fail on the missing identifier.
  if (!IsPlainNumber(TextOf(item_id))) return Variant("");
  Variant owner_id = library.DatalayerDLookup(
      "Valor", "orgAddendaValor",
      "AddendaDefinicionItemID = " + TextOf(item_id) + " AND ID = " + row_id);
  if (trailer) owner_id = library.GetValue(owner_id);
  const std::string owner_text = TextOf(owner_id);
  if (!IsPlainNumber(owner_text)) return Variant("");
  return RunScalar(
      library,
      ValueStatement(6, reference, "') AND ((docDocument.DocumentID)=" + row_id,
                     owner_text));
}

// The display text of `value` in a "key=text;key=text" list: the first
// entry whose key equals the value without regard to case. An entry without
// "=" maps its text to itself.
std::optional<std::string_view> SimpleListText(std::string_view list,
                                               std::string_view value) {
  std::string_view rest = list;
  // Every pass drops at least the entry it reads from `rest`.
  do {
    const std::size_t semicolon = rest.find(';');
    const std::string_view entry = rest.substr(0, semicolon);
    rest = semicolon == std::string_view::npos ? std::string_view()
                                               : rest.substr(semicolon + 1);
    const std::size_t equals = entry.find('=');
    const std::string_view key = entry.substr(0, equals);
    const std::string_view display =
        equals == std::string_view::npos ? entry : entry.substr(equals + 1);
    if (EqualsIgnoreCase(key, value)) return display;
  } while (!rest.empty());
  return std::nullopt;
}

}  // namespace

bool LookupAddendaItem(ComponentState& state, std::string_view reference,
                       std::int32_t document_id, AddendaItem& item) {
  bool found = false;
  try {
    std::string sql;
    sql.reserve(kItemSelect.size() + kItemFrom.size() + reference.size() + 200);
    sql += kItemSelect;
    sql += kItemFrom;
    sql += " WHERE (((engAddendaDefinicionItem.Referencia)='";
    sql += QuotedText(reference);
    sql += "') AND ((docDocument.DocumentID)=";
    sql += std::to_string(document_id);
    sql += ") AND ((engAddendaDefinicion.DeletedOn) Is Null));";
    hostlib::HostLibrary library = state.Library();
    const std::shared_ptr<ado::Recordset> rows = library.GetRecordset(sql);
    if (!rows->Eof()) {
      found = true;
      item.module_type_id = CInt(rows->Value(Variant("ModuleTypeID")));
      item.lista_sencilla = TextOf(rows->Value(Variant("ListaSencilla")));
      item.clave_lista = TextOf(rows->Value(Variant("ClaveLista")));
      item.campo_existente = TextOf(rows->Value(Variant("CampoExistente")));
    }
    Variant handle(rows);
    library.Dispose(handle);
  } catch (const AutomationError& error) {
    // The caller learns only whether an item was seen; the reason goes to
    // the diagnostics channel.
    state.Diagnose(DiagnosticKind::kStepSkipped,
                   "addenda item " + std::string(reference), error.what());
  }
  return found;
}

void AddendaDefinitionValue(ComponentState& state, std::string_view name,
                            std::int32_t document_id,
                            const std::shared_ptr<ado::Recordset>& recordset,
                            BlockKind kind, Variant& value) {
  AddendaItem item;
  if (!LookupAddendaItem(state, name, document_id, item)) return;
  hostlib::HostLibrary library = state.Library();

  // A value kept in an existing column is shown as it is.
  if (!item.campo_existente.empty()) {
    if (library.FieldExistsInTable(item.campo_existente, "vwCFDAddendas")
            .value_or(false)) {
      value = Variant(TextOf(library.DatalayerDLookup(
          item.campo_existente, "vwCFDAddendas",
          "DocumentItemID=" +
              SqlLiteral(RowText(recordset, "DocumentItemID")))));
    }
    return;
  }

  const std::int16_t type = item.module_type_id;
  const bool known_type = type >= 1 && type <= 6;
  if (kind == BlockKind::kDetail) {
    // A line answers only for itself and its product.
    if (type == 3 || type == 4) {
      value = RunScalar(
          library, ValueStatement(type, name,
                                  "') AND ((docDocumentItem.DocumentItemID)=" +
                                      RowText(recordset, "DocumentItemID")));
    }
  } else if (type >= 1 && type <= 5) {
    value =
        RunScalar(library, ValueStatement(type, name,
                                          "') AND ((docDocument.DocumentID)=" +
                                              RowText(recordset, "ID")));
  } else if (type == 6) {
    if (std::optional<Variant> carta_porte =
            CartaPorteValue(library, name, recordset)) {
      value = std::move(*carta_porte);
    }
  }

  // Coded values shown through the shared pick list.
  if (kind == BlockKind::kDetail || !known_type) {
    const std::string text = TextOf(value);
    if (!text.empty() && !item.clave_lista.empty()) {
      std::string sql =
          "SELECT ItemValue FROM engRefCombo WHERE [cboGroupName]='" +
          QuotedText(item.clave_lista) + "' AND ";
      if (IsPlainNumber(text)) {
        sql += "ItemData=" + text;
      } else {
        sql += "Custom1='" + QuotedText(text) + "'";
      }
      value = RunScalar(library, std::move(sql));
    }
  }

  const std::string text = TextOf(value);
  if (!text.empty() && !item.lista_sencilla.empty()) {
    if (std::optional<std::string_view> display =
            SimpleListText(item.lista_sencilla, text)) {
      value = Variant(*display);
    }
  }
}

}  // namespace nerolin::fiscal
