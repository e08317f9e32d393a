#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "nerolin/recordset.h"
#include "nerolin/variant.h"

namespace nerolin {

class ComponentState;

// The engine's own public interface as its routines call it: a report-file
// routine calling a renderer, the extra-detail step calling the recordset
// renderer, GetHTML calling the extra-detail step. Going through it keeps
// those routines free of the engine module and makes each call exactly what
// a host's call would be. clsMain implements it; the parameters are those of
// the clsMain members of the same names. The extra-detail members give no
// result: clsMain's give html_text as these leave it, and a report-file
// method takes it from there rather than from a copy of the whole report.
class ReportEngine {
 public:
  virtual ~ReportEngine() = default;

  virtual const std::string& ConnectionString() const = 0;
  virtual void SetConnectionString(std::string value) = 0;
  virtual const std::string& objPrinterName() const = 0;
  virtual std::int16_t NbrCopies() const = 0;
  virtual void SetNbrCopies(std::int16_t value) = 0;
  virtual const std::shared_ptr<ComponentState>& state() const = 0;

  // Raises kErrNoConnectionString when ConnectionString is "".
  virtual void OpenConnection() = 0;

  virtual Variant GetHTML(const Variant& sql, const Variant& html_source_file,
                          const Variant& html_destination_file) = 0;
  virtual Variant GetHTMLBasedOnRecordset(
      const std::shared_ptr<ado::Recordset>& rst,
      const Variant& html_source_file, const Variant& html_destination_file,
      bool& is_extra_detail, std::string& extra_detail_id) = 0;
  virtual Variant SDKGetHTMLBasedOnRecordset(
      const std::shared_ptr<ado::Recordset>& rst,
      const Variant& html_source_file, const Variant& html_destination_file,
      bool& is_extra_detail, std::string& extra_detail_id) = 0;

  virtual void CreateExtraDetailsIfExists(std::string& html_text,
                                          std::string& model_path,
                                          std::shared_ptr<ado::Recordset>& rst,
                                          Variant& html_source_file) = 0;
  virtual void SDKCreateExtraDetailsIfExists(std::string& html_text,
                                             std::string& model_path,
                                             Variant& rst,
                                             Variant& html_source_file) = 0;

  virtual void WebBrowserPreviewReport(const std::string& file) = 0;
};

}  // namespace nerolin
