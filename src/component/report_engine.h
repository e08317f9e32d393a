#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace nerolin {

class ComponentState;

// The engine's own public interface as its routines call it: a report-file
// routine calling a renderer, the extra-detail step calling the recordset
// renderer. Going through it keeps those routines free of the engine module
// and makes each call exactly what a host's call would be. clsMain
// implements it; the rendering and report-file methods join it as they are
// built.
class ReportEngine {
 public:
  virtual ~ReportEngine() = default;

  virtual const std::string& ConnectionString() const = 0;
  virtual const std::string& objPrinterName() const = 0;
  virtual std::int16_t NbrCopies() const = 0;
  virtual const std::shared_ptr<ComponentState>& state() const = 0;
};

}  // namespace nerolin
