#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "nerolin/recordset.h"
#include "nerolin/variant.h"

namespace nerolin {
class ReportEngine;
}

namespace nerolin::fields {

// The attribute that marks an extra-detail element, and the end of the
// element's text (which takes one more character after it).
inline constexpr std::string_view kExtraDetailAttribute =
    "name=\"extradetail\"";
inline constexpr std::string_view kExtraDetailSpanEnd = "/span>";

// The sub-template an element's text names: the trimmed text after its
// first ">" up to the closing tag that ends at its second ">"; "" when
// there is no such text.
std::string ExtraDetailTemplateName(std::string_view element);

// CreateExtraDetailsIfExists works through the main recordset's rows and
// filters table elements by the CFDI folio; the SDK twin does neither.
enum class ExtraDetailMode { kStandard, kSdk };

// Replaces every extra-detail element of `html_text` by its sub-report,
// tidies the text and writes it to the report file `html_source_file`.
// Never raises: a failure ends the work, leaving the text reached.
void CreateExtraDetails(ReportEngine& engine, std::string& html_text,
                        std::string_view model_path,
                        const std::shared_ptr<ado::Recordset>& rst,
                        const Variant& html_source_file, ExtraDetailMode mode);

}  // namespace nerolin::fields
