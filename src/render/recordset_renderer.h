#pragma once

#include <memory>
#include <string_view>

#include "nerolin/recordset.h"
#include "nerolin/variant.h"

namespace nerolin {
class ReportEngine;
}

namespace nerolin::render {

// GetHTMLBasedOnRecordset (and its SDK twin, which behaves the same): the
// template at `html_source_file` filled from the rows of `rst`. Never
// raises: a failure shows its description through the message sink and
// gives Empty.
Variant RenderRecordset(ReportEngine& engine,
                        const std::shared_ptr<ado::Recordset>& rst,
                        const Variant& html_source_file,
                        const Variant& html_destination_file,
                        bool is_extra_detail, std::string_view extra_detail_id);

}  // namespace nerolin::render
