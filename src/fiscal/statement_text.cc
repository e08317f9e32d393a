#include "fiscal/statement_text.h"

#include <cctype>

#include "automation/conversions.h"
#include "automation/vb_text.h"
#include "nerolin/automation_error.h"

namespace nerolin::fiscal {

std::string QuotedText(std::string_view text) {
  return Replace(text, "'", "''");
}

bool IsPlainNumber(std::string_view text) {
  std::size_t i = 0;
  const auto digits = [&] {
    const std::size_t start = i;
    while (i < text.size() &&
           std::isdigit(static_cast<unsigned char>(text[i]))) {
      ++i;
    }
    return i - start;
  };
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  std::size_t mantissa = digits();
  if (i < text.size() && text[i] == '.') {
    ++i;
    mantissa += digits();
  }
  if (mantissa == 0) return false;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    if (digits() == 0) return false;
  }
  return i == text.size();
}

std::string SqlLiteral(std::string_view text) {
  if (IsPlainNumber(text)) return std::string(text);
  return "'" + QuotedText(text) + "'";
}

Variant RowValue(const std::shared_ptr<ado::Recordset>& recordset,
                 const Variant& field) {
  if (!recordset) {
    throw AutomationError(
        errors::kObjectNotSet,
        std::string(StandardDescription(errors::kObjectNotSet)) +
            ": the block has no recordset",
        "ResolveAddenda");
  }
  return recordset->Value(field);
}

std::string RowText(const std::shared_ptr<ado::Recordset>& recordset,
                    std::string_view field) {
  return TextOf(RowValue(recordset, Variant(field)));
}

}  // namespace nerolin::fiscal
