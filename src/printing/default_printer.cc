#include "printing/default_printer.h"

#include "printing/print_service.h"
#include "printing/printer_info.h"

namespace nerolin::printing {

std::string GetDefaultPrinterName() {
  std::shared_ptr<PrintService> service = SharedPrintService();
  for (const std::string& name : service->PrinterNames()) {
    CPrinterInfo printer(service);
    printer.SetDeviceName(name);
    if (printer.IsDefault()) return name;
  }
  return "";
}

void SetDefaultPrinterByName(const std::string& name) {
  CPrinterInfo printer(SharedPrintService());
  printer.SetDeviceName(name);
  printer.SetIsDefault(true);
}

}  // namespace nerolin::printing
