#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "component/report_engine.h"

namespace nerolin::testing {

// An engine that hands every call to `inner`; a test double overrides the
// calls it watches or changes.
class ForwardingEngine : public ReportEngine {
 public:
  explicit ForwardingEngine(ReportEngine& inner) : inner_(inner) {}

  const std::string& ConnectionString() const override {
    return inner_.ConnectionString();
  }
  void SetConnectionString(std::string value) override {
    inner_.SetConnectionString(std::move(value));
  }
  const std::string& objPrinterName() const override {
    return inner_.objPrinterName();
  }
  std::int16_t NbrCopies() const override { return inner_.NbrCopies(); }
  void SetNbrCopies(std::int16_t value) override { inner_.SetNbrCopies(value); }
  const std::shared_ptr<ComponentState>& state() const override {
    return inner_.state();
  }
  void OpenConnection() override { inner_.OpenConnection(); }
  Variant GetHTML(const Variant& sql, const Variant& source,
                  const Variant& destination) override {
    return inner_.GetHTML(sql, source, destination);
  }
  Variant GetHTMLBasedOnRecordset(const std::shared_ptr<ado::Recordset>& rst,
                                  const Variant& source,
                                  const Variant& destination, bool& is_extra,
                                  std::string& id) override {
    return inner_.GetHTMLBasedOnRecordset(rst, source, destination, is_extra,
                                          id);
  }
  Variant SDKGetHTMLBasedOnRecordset(const std::shared_ptr<ado::Recordset>& rst,
                                     const Variant& source,
                                     const Variant& destination, bool& is_extra,
                                     std::string& id) override {
    return inner_.SDKGetHTMLBasedOnRecordset(rst, source, destination, is_extra,
                                             id);
  }
  void CreateExtraDetailsIfExists(std::string& text, std::string& model,
                                  std::shared_ptr<ado::Recordset>& rst,
                                  Variant& file) override {
    inner_.CreateExtraDetailsIfExists(text, model, rst, file);
  }
  void SDKCreateExtraDetailsIfExists(std::string& text, std::string& model,
                                     Variant& rst, Variant& file) override {
    inner_.SDKCreateExtraDetailsIfExists(text, model, rst, file);
  }
  void WebBrowserPreviewReport(const std::string& file) override {
    inner_.WebBrowserPreviewReport(file);
  }

 protected:
  ReportEngine& inner_;
};

}  // namespace nerolin::testing
