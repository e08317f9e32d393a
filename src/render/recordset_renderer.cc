#include "render/recordset_renderer.h"

#include "component/report_engine.h"

namespace nerolin::render {

Variant RenderRecordset(ReportEngine&, const std::shared_ptr<ado::Recordset>&,
                        const Variant&, const Variant&, bool,
                        std::string_view) {
  return {};
}

}  // namespace nerolin::render
