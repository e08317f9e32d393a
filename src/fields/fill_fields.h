#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "nerolin/recordset.h"
#include "nerolin/variant.h"

namespace nerolin {
class ComponentState;
namespace tmpl {
class Section;
}
}  // namespace nerolin

namespace nerolin::fields {

// Fills one block of template text for the current row of `recordset`:
// every placeholder from a "[" to the next "]" is worked out and all its
// occurrences replaced by its value, one placeholder after another, always
// the first "[" left in the text, so that a value which brings in brackets
// is worked out in turn. The forms, tested in this order on the upper-cased
// placeholder: QR(name[, level]) (the value as a QR picture, see
// QrCodePlaceholder) and IMPORTECONLETRA(name[, currency]) (the amount in
// words, see AmountInWordsPlaceholder), each only as the whole placeholder;
// FORMAT(field, pattern) and FORMAT(SUM(field), pattern), TRANSLATE(n),
// SUM(field) (the running total in `section`), HTML(template, table) (a
// nested report), BASE64(field) (a picture as a data URI; "" when the
// picture gives no text, see ImageToBase64),
// [PictureSourceDocument] (when an image base URL is set), and any other
// name through ResolveAddenda.
//
// A placeholder whose evaluation fails is replaced by "??name??". A "["
// without a "]" after it shows "Missing '[' !" through the message sink and
// gives Empty. A "]" before the first "[" is plain text. Otherwise the
// result is the filled text (a String), which `block` also holds. Never
// raises.
Variant FillFields(const std::shared_ptr<ComponentState>& state,
                   std::string& block,
                   const std::shared_ptr<ado::Recordset>& recordset,
                   const tmpl::Section* section);

// The same fill writing onto the end of a report: what
// `out += TextOf(FillFields(state, copy, recordset, section))` gives for a
// copy of `block`; nothing is added when the block has a "[" without a "]"
// after it. Raises only what the message sink raises, leaving `out` as it
// was.
void FillFields(std::string& out, const std::shared_ptr<ComponentState>& state,
                std::string_view block,
                const std::shared_ptr<ado::Recordset>& recordset,
                const tmpl::Section* section);

// What an HTML placeholder asks the nested engine's GetHTML for.
struct NestedReportCall {
  std::string statement;
  std::string template_path;
  std::string destination;
};

// The call for `placeholder` ("[HTML(template,table)]") in a block whose
// row has the identifier `row_id`, with templates in `template_folder`.
// Raises 5 when the arguments hold no comma or the brackets are unbalanced.
NestedReportCall HtmlPlaceholderCall(std::string_view placeholder,
                                     const Variant& row_id,
                                     std::string_view template_folder);

// The text of a TRANSLATE placeholder, whatever the number.
std::string GetTranslation(std::int32_t number);

}  // namespace nerolin::fields
