#include "render/sql_renderer.h"

#include "component/report_engine.h"

namespace nerolin::render {

Variant RenderSql(ReportEngine&, const Variant&, const Variant&,
                  const Variant&) {
  return {};
}

Variant RenderSqlOverTemplateText(ReportEngine&, const Variant&,
                                  const Variant&) {
  return {};
}

}  // namespace nerolin::render
