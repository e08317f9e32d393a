#include "fiscal/resolve_addenda.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "automation/conversions.h"
#include "automation/vb_text.h"
#include "component/component_state.h"
#include "fiscal/addenda_definition.h"
#include "fiscal/field_reference.h"
#include "fiscal/statement_text.h"
#include "nerolin/automation_error.h"
#include "template/sections.h"

namespace nerolin::fiscal {
namespace {

constexpr std::string_view kDetailSectionName = "DETAIL";
constexpr std::string_view kNoSectionName = "ENCABEZADO";

std::string LineBreaksToBr(std::string_view text) {
  return Replace(text, "\r\n", "<BR>");
}

// Every "[" and "]" removed.
std::string BareName(std::string_view name) {
  std::string bare;
  bare.reserve(name.size());
  for (char c : name) {
    if (c != '[' && c != ']') bare.push_back(c);
  }
  return bare;
}

// `value` rounded to `decimals` places, halves to the even neighbour. The
// rounding works on the 15 significant digits VB shows for a double, so
// 2.675 counts as the half it is written as, not as the binary value just
// below it.
double RoundHalfEven(double value, std::int32_t decimals) {
  if (decimals < 0) {
    throw AutomationError(errors::kInvalidArgument,
                          "Invalid procedure call or argument: "
                          "DocSalesUnitPriceDecimals is negative",
                          "ResolveAddenda");
  }
  if (!std::isfinite(value) || value == 0) return value;
  // d.dddddddddddddde±x: 15 significant digits.
  std::array<char, 32> buffer{};
  std::snprintf(buffer.data(), buffer.size(), "%.14e", value);
  const std::string_view text(buffer.data());
  const bool negative = text.front() == '-';
  const std::size_t first = negative ? 1 : 0;
  std::string digits;
  digits.push_back(text[first]);
  const std::size_t e = text.find('e');
  digits.append(text.substr(first + 2, e - first - 2));
  const int exponent = std::atoi(text.data() + e + 1);
  // Digits kept: those before the decimal point plus `decimals`.
  const std::int64_t keep = std::int64_t{exponent} + 1 + decimals;
  if (keep >= static_cast<std::int64_t>(digits.size())) return value;
  if (keep < 0) return negative ? -0.0 : 0.0;
  const char cut = digits[static_cast<std::size_t>(keep)];
  const bool rest_nonzero =
      digits.find_first_not_of('0', static_cast<std::size_t>(keep) + 1) !=
      std::string::npos;
  std::string kept = digits.substr(0, static_cast<std::size_t>(keep));
  const bool last_odd = !kept.empty() && (kept.back() - '0') % 2 == 1;
  bool up = cut > '5' || (cut == '5' && (rest_nonzero || last_odd));
  int result_exponent = exponent;
  if (up) {
    std::size_t i = kept.size();
    while (i > 0 && kept[i - 1] == '9') kept[--i] = '0';
    if (i == 0) {
      kept.insert(kept.begin(), '1');
      ++result_exponent;
    } else {
      ++kept[i - 1];
    }
  }
  if (kept.empty()) return negative ? -0.0 : 0.0;
  // kept holds the significant digits of d.ddd × 10^result_exponent.
  std::string number = negative ? "-" : "";
  number += kept.substr(0, 1);
  if (kept.size() > 1) {
    number += '.';
    number += kept.substr(1);
  }
  number += 'e';
  number += std::to_string(result_exponent);
  return std::strtod(number.c_str(), nullptr);
}

// The line amount: Cantidad × ValorUnitario rounded to the host's unit price
// decimals, as text.
std::string ComputedImporte(ComponentState& state, ado::Recordset& recordset) {
  const std::int32_t decimals = CLng(Variant(TextOf(state.Library().DLookup(
      "Value", "engParameter", "[Key]='DocSalesUnitPriceDecimals'"))));
  const Variant quantity = recordset.Value(Variant("Cantidad"));
  const Variant unit_price = recordset.Value(Variant("ValorUnitario"));
  if (quantity.IsNull() || unit_price.IsNull()) {
    throw AutomationError(errors::kInvalidUseOfNull,
                          "Invalid use of Null: Cantidad or ValorUnitario",
                          "ResolveAddenda");
  }
  const double amount =
      CDbl(quantity) * RoundHalfEven(CDbl(unit_price), decimals);
  return CStr(Variant(amount));
}

// The value of the row's own column `name`.
std::string RowColumnValue(ComponentState& state, std::string_view name,
                           ado::Recordset& recordset) {
  if (name == "Importe") {
    // The two columns must be named exactly so.
    bool has_quantity = false;
    bool has_unit_price = false;
    for (const ado::Column& column : recordset.Columns()) {
      has_quantity = has_quantity || column.name == "Cantidad";
      has_unit_price = has_unit_price || column.name == "ValorUnitario";
    }
    if (has_quantity && has_unit_price) {
      return ComputedImporte(state, recordset);
    }
  }
  return TextOf(recordset.Value(Variant(std::string(name))));
}

Variant RowId(const std::shared_ptr<ado::Recordset>& recordset) {
  if (!recordset) {
    throw AutomationError(errors::kObjectNotSet,
                          "Object variable not set: the block has no recordset",
                          "ResolveAddenda");
  }
  return recordset->Value(Variant("ID"));
}

// Detail blocks: the document line's own table, then the stored
// statements, then the addenda definitions.
void SearchDetail(ComponentState& state, std::string_view name,
                  const std::string& bare,
                  const std::shared_ptr<ado::Recordset>& recordset,
                  Variant& value) {
  if (!ado::RecordsetHasField(recordset.get(), "DocumentItemID")) return;
  hostlib::HostLibrary library = state.Library();
  if (library.FieldExistsInTable(bare, "docDocumentItem").value_or(false)) {
    const Variant item_id = library.GetValue(
        Variant(ObjectRef(recordset->GetField(Variant("DocumentItemID")))));
    value = library.DatalayerDLookup(bare, "docDocumentItem",
                                     "DocumentItemID=" + TextOf(item_id));
    return;
  }
  if (FieldReferenceValue(state, name, recordset, BlockKind::kDetail, value)) {
    return;
  }
  AddendaDefinitionValue(state, name, CLng(RowId(recordset)), recordset,
                         BlockKind::kDetail, value);
}

// Header and footer blocks: the document tables in a fixed order, the
// issuer's data, then the stored statements and the addenda definitions.
void SearchHeaderFooter(ComponentState& state, std::string_view name,
                        const std::string& bare,
                        const std::shared_ptr<ado::Recordset>& recordset,
                        Variant& value) {
  static constexpr std::array<std::string_view, 4> kDocumentTables = {
      "docDocument", "docDocumentCFD", "docDocumentExtra", "docDocumentTaxSum"};
  hostlib::HostLibrary library = state.Library();
  for (std::string_view table : kDocumentTables) {
    if (library.FieldExistsInTable(bare, table).value_or(false)) {
      value = library.DatalayerDLookup(
          bare, table, "DocumentID=" + TextOf(RowId(recordset)));
      return;
    }
  }
  if (library.FieldExistsInTable(bare, "vwCFDAddendaDatosEmisor")
          .value_or(false)) {
    value = library.DatalayerDLookup(
        "Valor", "vwCFDAddendaDatosEmisor",
        "Referencia='" + QuotedText(bare) +
            "' AND ID=" + TextOf(library.OwnedBusinessEntityID()));
    return;
  }
  if (FieldReferenceValue(state, name, recordset, BlockKind::kHeaderFooter,
                          value)) {
    return;
  }
  AddendaDefinitionValue(state, name, CLng(RowId(recordset)), recordset,
                         BlockKind::kHeaderFooter, value);
}

std::string Resolve(ComponentState& state, std::string_view name,
                    const std::shared_ptr<ado::Recordset>& recordset,
                    const tmpl::Section* section) {
  if (ado::RecordsetHasField(recordset.get(), name)) {
    return LineBreaksToBr(RowColumnValue(state, name, *recordset));
  }
  const std::string bare = BareName(name);
  Variant value("??" + bare + "??");
  if (state.find_match_if_field_doesnt_exists()) {
    const std::string_view section_name =
        section != nullptr ? std::string_view(section->Name()) : kNoSectionName;
    if (section_name == kDetailSectionName) {
      SearchDetail(state, name, bare, recordset, value);
    } else {
      SearchHeaderFooter(state, name, bare, recordset, value);
    }
  }
  return LineBreaksToBr(TextOf(value));
}

}  // namespace

std::string ResolveAddenda(ComponentState& state, std::string_view name,
                           const std::shared_ptr<ado::Recordset>& recordset,
                           const tmpl::Section* section) {
  // A placeholder that cannot be resolved must not stop the report: the
  // block shows nothing in its place.
  try {
    return Resolve(state, name, recordset, section);
  } catch (const std::exception&) {
    return {};
  }
}

}  // namespace nerolin::fiscal
