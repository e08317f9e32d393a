#pragma once

#include <cstddef>
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

// What a placeholder's text asks for, read once so that a block filled row
// after row does not read it again for every row.
struct PlaceholderForm {
  enum class Kind : std::uint8_t {
    kPlain,
    kQrCode,
    kAmountInWords,
    kFormat,
    kTranslate,
    kSum,
    kNestedReport,
    kPicture,
  };
  Kind kind = Kind::kPlain;
  // kFormat: where "SUM(" stands in the placeholder in any case, from 1; 0
  // when it does not.
  std::int64_t sum_at = 0;
  // kFormat of a name under a digit pattern, with no SUM: where the name (as
  // written) and the pattern stand in the placeholder.
  bool of_row_number = false;
  std::size_t name_at = 0;
  std::size_t name_size = 0;
  std::size_t pattern_at = 0;
  std::size_t pattern_size = 0;
  bool name_has_brackets = false;
};

// The form of `placeholder` ("[...]"). The forms, tested in this order on
// the placeholder in any letter case: QR(name[, level]) (the value as a QR
// picture, see QrCodePlaceholder) and IMPORTECONLETRA(name[, currency]) (the
// amount in words, see AmountInWordsPlaceholder), each only as the whole
// placeholder; FORMAT(field, pattern) and FORMAT(SUM(field), pattern),
// TRANSLATE(n), SUM(field) (the running total in the section),
// HTML(template, table) (a nested report), BASE64(field) (a picture as a
// data URI; "" when the picture gives no text, see ImageToBase64); any other
// placeholder is plain.
PlaceholderForm FormOf(std::string_view placeholder);

// Adds the value of one placeholder (`placeholder` as it stands, "[...]",
// named `name`, of the form FormOf gives for it) for the current row of
// `recordset` to the end of `out`. A plain placeholder shows
// [PictureSourceDocument] as the picture's address when an image base URL
// is set, and any other name through ResolveAddenda, whose value loses its
// brackets. Raises when the value cannot be worked out, having added part
// of it or nothing.
void AppendPlaceholderValue(std::string& out,
                            const std::shared_ptr<ComponentState>& state,
                            const std::shared_ptr<ado::Recordset>& recordset,
                            const tmpl::Section* section,
                            std::string_view placeholder, std::string_view name,
                            const PlaceholderForm& form);

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
