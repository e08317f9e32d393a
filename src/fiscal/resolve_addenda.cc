#include "fiscal/resolve_addenda.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <string_view>

#include "automation/conversions.h"
#include "automation/locale.h"
#include "automation/number_text.h"
#include "automation/vb_text.h"
#include "component/component_state.h"
#include "fiscal/addenda_definition.h"
#include "fiscal/field_reference.h"
#include "fiscal/statement_text.h"
#include "nerolin/automation_error.h"
#include "nerolin/diagnostics.h"
#include "template/sections.h"

namespace nerolin::fiscal {
namespace {

constexpr std::string_view kDetailSectionName = "DETAIL";
constexpr std::string_view kNoSectionName = "ENCABEZADO";

// The block a placeholder stands in, as the search and the diagnostics name
// it.
std::string_view BlockName(const tmpl::Section* section) {
  return section != nullptr ? std::string_view(section->Name())
                            : kNoSectionName;
}

// A placeholder that shows no value of its own: nothing in the report says
// why, so the diagnostics channel hears it with its block.
void ReportPlaceholderFailed(const ComponentState& state, std::string_view name,
                             const tmpl::Section* section,
                             std::string_view reason) {
  if (!state.diagnostics_wanted()) return;
  std::string detail(BlockName(section));
  detail.append(": ").append(reason);
  state.Diagnose(DiagnosticKind::kPlaceholderFailed, name, detail);
}

// The report of a name whose working out raised; called from the handler.
void ReportResolveFailed(const ComponentState& state, std::string_view name,
                         const tmpl::Section* section) {
  ReportPlaceholderFailed(
      state, name, section,
      AsAutomationError(std::current_exception(), "ResolveAddenda")
          .description());
}

// CLng of a setting's text. A text of up to nine decimal digits is its own
// number in every locale; anything else goes through CLng.
std::int32_t SettingNumber(const std::string& text) {
  if (!text.empty() && text.size() <= 9 &&
      std::all_of(text.begin(), text.end(),
                  [](char c) { return c >= '0' && c <= '9'; })) {
    std::int32_t number = 0;
    for (char c : text) number = number * 10 + (c - '0');
    return number;
  }
  return CLng(Variant(text));
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
  const bool negative = value < 0;
  const SignificantDigits significant = DoubleDigits(value);
  const auto& digits = significant.digits;
  // Digits kept: those before the decimal point plus `decimals`.
  const std::int64_t keep = std::int64_t{significant.exponent} + 1 + decimals;
  if (keep >= static_cast<std::int64_t>(digits.size())) return value;
  if (keep < 0) return negative ? -0.0 : 0.0;
  // The kept digits as a whole number N (below 10^15 < 2^53, so exact), the
  // value being N × 10^scale once rounded; a carry out of the first digit
  // adds a digit to N and leaves the scale as it is.
  const auto kept = static_cast<std::size_t>(keep);
  std::uint64_t whole = 0;
  for (std::size_t i = 0; i < kept; ++i) {
    whole = whole * 10 + static_cast<std::uint64_t>(digits[i] - '0');
  }
  const char cut = digits[kept];
  const bool rest_nonzero = std::any_of(digits.begin() + keep + 1, digits.end(),
                                        [](char c) { return c != '0'; });
  if (cut > '5' || (cut == '5' && (rest_nonzero || whole % 2 == 1))) ++whole;
  if (whole == 0) return negative ? -0.0 : 0.0;
  int scale = significant.exponent - static_cast<int>(kept) + 1;
  while (whole % 10 == 0) {
    whole /= 10;
    ++scale;
  }
  // Powers of ten up to 10^22 are doubles, so N and the power are exact and
  // one multiplication or division rounds correctly: the double that
  // reading the decimal text gives.
  static constexpr double kExactPowers[] = {
      1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
      1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  double result = 0;
  if (scale >= -22 && scale <= 22) {
    const auto n = static_cast<double>(whole);
    result = scale < 0 ? n / kExactPowers[-scale] : n * kExactPowers[scale];
  } else {
    ParsedNumber text;
    text.digits = std::to_string(whole);
    text.exponent = scale;
    // Nothing this small or this short overflows; what underflows is 0.
    result = text.ToDouble().value_or(0.0);
  }
  return negative ? -result : result;
}

// The line amount: Cantidad × ValorUnitario rounded to the host's unit price
// decimals; the two are columns `quantity_column` and `unit_price_column`.
double LineAmount(ComponentState& state, ado::Recordset& recordset,
                  std::size_t quantity_column, std::size_t unit_price_column) {
  // Asked once for the whole report: every line of a document asks.
  static constexpr std::string_view kKey = "DocSalesUnitPriceDecimals";
  Variant setting;
  if (const Variant* kept = state.ReportValue(kKey)) {
    setting = *kept;
  } else {
    setting = state.Library().DLookup("Value", "engParameter",
                                      "[Key]='DocSalesUnitPriceDecimals'");
    state.KeepReportValue(kKey, setting);
  }
  const std::int32_t decimals = SettingNumber(TextOf(setting));
  // Each value is converted as soon as it is read: an object among them may
  // open the rows again, which frees what was read from them.
  auto number = [&recordset](std::size_t column) {
    const Variant& value = recordset.ValueAt(column);
    if (value.IsNull()) {
      throw AutomationError(errors::kInvalidUseOfNull,
                            "Invalid use of Null: Cantidad or ValorUnitario",
                            "ResolveAddenda");
    }
    return CDbl(value);
  };
  const double quantity = number(quantity_column);
  return quantity * RoundHalfEven(number(unit_price_column), decimals);
}

// The columns of a computed Importe, when the row has both, named exactly
// so.
struct ImporteColumns {
  std::size_t quantity;
  std::size_t unit_price;
};
std::optional<ImporteColumns> ComputedImporteColumns(
    std::string_view name, const ado::Recordset& recordset) {
  if (name != "Importe") return std::nullopt;
  const std::int64_t quantity = recordset.ColumnNamedExactly("Cantidad");
  const std::int64_t unit_price = recordset.ColumnNamedExactly("ValorUnitario");
  if (quantity < 0 || unit_price < 0) return std::nullopt;
  return ImporteColumns{static_cast<std::size_t>(quantity),
                        static_cast<std::size_t>(unit_price)};
}

// The value of the row's own column `name`, which is column `column`,
// added to `out`.
void AppendRowColumnValue(std::string& out, ComponentState& state,
                          std::string_view name, ado::Recordset& recordset,
                          std::size_t column) {
  if (const auto importe = ComputedImporteColumns(name, recordset)) {
    // CStr of the Double.
    out += DoubleText(
        LineAmount(state, recordset, importe->quantity, importe->unit_price),
        Locale::Current());
    return;
  }
  const Variant& value = recordset.ValueAt(column);
  if (value.IsString()) {
    out += value.AsString();
  } else {
    out += TextOf(value);
  }
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
    // A line without its identifier has no value to look up.
    if (item_id.IsNull() || item_id.IsEmpty()) {
      throw AutomationError(errors::kInvalidUseOfNull,
                            "Invalid use of Null: the line has no "
                            "DocumentItemID",
                            "ResolveAddenda");
    }
    value = library.DatalayerDLookup(
        bare, "docDocumentItem",
        "DocumentItemID=" + SqlLiteral(TextOf(item_id)));
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
          bare, table, "DocumentID=" + SqlLiteral(TextOf(RowId(recordset))));
      return;
    }
  }
  if (library.FieldExistsInTable(bare, "vwCFDAddendaDatosEmisor")
          .value_or(false)) {
    value = library.DatalayerDLookup(
        "Valor", "vwCFDAddendaDatosEmisor",
        "Referencia='" + QuotedText(bare) +
            "' AND ID=" + SqlLiteral(TextOf(library.OwnedBusinessEntityID())));
    return;
  }
  if (FieldReferenceValue(state, name, recordset, BlockKind::kHeaderFooter,
                          value)) {
    return;
  }
  AddendaDefinitionValue(state, name, CLng(RowId(recordset)), recordset,
                         BlockKind::kHeaderFooter, value);
}

// The text of a name the row has no column of.
std::string SearchedValue(ComponentState& state, std::string_view name,
                          const std::shared_ptr<ado::Recordset>& recordset,
                          const tmpl::Section* section) {
  const std::string bare = BareName(name);
  const std::string not_found = "??" + bare + "??";
  Variant value(not_found);
  const bool search = state.find_match_if_field_doesnt_exists();
  if (search) {
    if (BlockName(section) == kDetailSectionName) {
      SearchDetail(state, name, bare, recordset, value);
    } else {
      SearchHeaderFooter(state, name, bare, recordset, value);
    }
  }
  if (value.IsString() && value.AsString() == not_found) {
    ReportPlaceholderFailed(
        state, name, section,
        search ? "no column, table, stored statement or addenda value has it"
               : "the rows have no such column");
  }
  std::string text = TextOf(value);
  LineBreaksToBr(text);
  return text;
}

// The text for `name` added to `out`; raises when it cannot be worked out,
// having added part of it or nothing.
void AppendResolved(std::string& out, ComponentState& state,
                    std::string_view name,
                    const std::shared_ptr<ado::Recordset>& recordset,
                    const tmpl::Section* section) {
  // The row's own columns first (RecordsetHasField without a second
  // look-up).
  if (recordset && recordset->State() == ado::kStateOpen) {
    const std::int64_t column = recordset->FindColumn(name);
    if (column >= 0) {
      const std::size_t from = out.size();
      AppendRowColumnValue(out, state, name, *recordset,
                           static_cast<std::size_t>(column));
      LineBreaksToBr(out, from);
      return;
    }
  }
  out += SearchedValue(state, name, recordset, section);
}

}  // namespace

std::string ResolveAddenda(ComponentState& state, std::string_view name,
                           const std::shared_ptr<ado::Recordset>& recordset,
                           const tmpl::Section* section) {
  std::string text;
  AppendResolvedAddenda(text, state, name, recordset, section);
  return text;
}

void AppendResolvedAddenda(std::string& out, ComponentState& state,
                           std::string_view name,
                           const std::shared_ptr<ado::Recordset>& recordset,
                           const tmpl::Section* section) {
  // A placeholder that cannot be resolved must not stop the report: the
  // block shows nothing in its place.
  const std::size_t base = out.size();
  try {
    AppendResolved(out, state, name, recordset, section);
  } catch (const std::exception&) {
    out.resize(base);
    ReportResolveFailed(state, name, section);
  }
}

std::optional<Variant> RowNumber(
    ComponentState& state, std::string_view name,
    const std::shared_ptr<ado::Recordset>& recordset,
    const tmpl::Section* section) {
  if (!recordset || recordset->State() != ado::kStateOpen) return std::nullopt;
  const std::int64_t column = recordset->FindColumn(name);
  if (column < 0) return std::nullopt;
  try {
    if (const auto importe = ComputedImporteColumns(name, *recordset)) {
      return Variant(LineAmount(state, *recordset, importe->quantity,
                                importe->unit_price));
    }
    const Variant& value = recordset->ValueAt(static_cast<std::size_t>(column));
    if (value.IsNumber()) return value;
    return std::nullopt;
  } catch (const std::exception&) {
    ReportResolveFailed(state, name, section);
    return Variant(std::string());
  }
}

}  // namespace nerolin::fiscal
