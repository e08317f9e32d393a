#pragma once

#include "nerolin/variant.h"

namespace nerolin {
class ReportEngine;
}

namespace nerolin::render {

// GetHTML: the template at `html_source_file` filled from the rows of `sql`
// with real grouping and group totals. Never raises: a failure shows its
// description through the message sink and gives what was assigned so far.
Variant RenderSql(ReportEngine& engine, const Variant& sql,
                  const Variant& html_source_file,
                  const Variant& html_destination_file);

// GetHTML3: the same over a template given as text.
Variant RenderSqlOverTemplateText(ReportEngine& engine, const Variant& sql,
                                  const Variant& html_source);

}  // namespace nerolin::render
