#include "engine/report_files.h"

#include "component/report_engine.h"

namespace nerolin::engine {

Variant GetHTML2(ReportEngine&, Variant&, Variant&, Variant&, Variant&) {
  return {};
}

std::string GenerateReport(ReportEngine&, std::string_view, std::string&,
                           std::string&, std::string&) {
  return {};
}

std::string GenerateReportBasedOnRecordset(ReportEngine&,
                                           std::shared_ptr<ado::Recordset>&,
                                           std::string&, std::string&) {
  return {};
}

std::string SDKGenerateReportBasedOnRecordset(ReportEngine&, Variant&, Variant&,
                                              Variant&) {
  return {};
}

}  // namespace nerolin::engine
