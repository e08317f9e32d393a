#include "fields/extra_details.h"

#include "component/report_engine.h"

namespace nerolin::fields {

std::string CreateExtraDetails(ReportEngine&, std::string& html_text,
                               std::string_view,
                               const std::shared_ptr<ado::Recordset>&,
                               const Variant&, ExtraDetailMode) {
  return html_text;
}

}  // namespace nerolin::fields
