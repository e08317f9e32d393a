#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "nerolin/recordset.h"
#include "nerolin/variant.h"

namespace nerolin {
class ReportEngine;
}

namespace nerolin::engine {

// The report-file members of clsMain, over the engine's own interface.

// Sets ConnectionString, opens a connection and renders with GetHTML;
// every error reaches the caller as an AutomationError.
Variant GetHTML2(ReportEngine& engine, Variant& connection_string, Variant& sql,
                 Variant& html_source_file, Variant& html_destination_file);

// These never raise: a step that fails is skipped, and the reason goes to
// the diagnostics channel (kStepSkipped, named after the step).
std::string GenerateReport(ReportEngine& engine,
                           std::string_view connection_string, std::string& sql,
                           std::string& html_source_file,
                           std::string& html_destination_file);
std::string GenerateReportBasedOnRecordset(ReportEngine& engine,
                                           std::shared_ptr<ado::Recordset>& rst,
                                           std::string& html_source_file,
                                           std::string& html_destination_file);
std::string SDKGenerateReportBasedOnRecordset(ReportEngine& engine,
                                              Variant& rst,
                                              Variant& html_source_file,
                                              Variant& html_destination_file);

}  // namespace nerolin::engine
