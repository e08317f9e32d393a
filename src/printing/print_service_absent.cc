// The print service of a build without printing: there is no print system
// to ask, so every operation raises rather than answer as if no printer
// were installed.
#include "platform/printing_build.h"
#include "printing/print_service.h"

namespace nerolin::printing {
namespace {

using platform::RaisePrintingNotBuilt;

class AbsentPrintService : public PrintService {
 public:
  std::vector<std::string> PrinterNames() override { RaisePrintingNotBuilt(); }
  PrinterReading ReadPrinter(const std::string&) override {
    RaisePrintingNotBuilt();
  }
  std::string DefaultPrinterName() override { RaisePrintingNotBuilt(); }
  bool SetDefaultPrinter(const std::string&) override {
    RaisePrintingNotBuilt();
  }
  CommandOutcome ControlPrinter(const std::string&, PrinterCommand) override {
    RaisePrintingNotBuilt();
  }
  bool CanAdminister(const std::string&) override { RaisePrintingNotBuilt(); }
  void ShowPropertiesDialog(const std::string&, std::int32_t) override {
    RaisePrintingNotBuilt();
  }
  JobCountReading JobCount(const std::string&) override {
    RaisePrintingNotBuilt();
  }
  JobsReading ReadJobs(const std::string&) override { RaisePrintingNotBuilt(); }
  CommandOutcome ControlJob(const std::string&, std::int32_t,
                            JobCommand) override {
    RaisePrintingNotBuilt();
  }
  bool MoveJob(const std::string&, std::int32_t, std::int32_t) override {
    RaisePrintingNotBuilt();
  }
  std::string ErrorText(std::int32_t) override { RaisePrintingNotBuilt(); }
};

}  // namespace

std::shared_ptr<PrintService> SystemPrintService() {
  return std::make_shared<AbsentPrintService>();
}

}  // namespace nerolin::printing
