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

// The value of one placeholder (`placeholder` as it stands, "[...]", named
// `name`) for the current row of `recordset`. The forms, tested in this
// order on the upper-cased placeholder: QR(name[, level]) (the value as a QR
// picture, see QrCodePlaceholder) and IMPORTECONLETRA(name[, currency]) (the
// amount in words, see AmountInWordsPlaceholder), each only as the whole
// placeholder; FORMAT(field, pattern) and FORMAT(SUM(field), pattern),
// TRANSLATE(n), SUM(field) (the running total in `section`),
// HTML(template, table) (a nested report), BASE64(field) (a picture as a
// data URI; "" when the picture gives no text, see ImageToBase64),
// [PictureSourceDocument] (when an image base URL is set), and any other
// name through ResolveAddenda, whose value loses its brackets. Raises when
// the value cannot be worked out.
std::string PlaceholderValue(const std::shared_ptr<ComponentState>& state,
                             const std::shared_ptr<ado::Recordset>& recordset,
                             const tmpl::Section* section,
                             std::string_view placeholder,
                             std::string_view name);

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
