#include "printing/printer_info.h"

#include <cstdio>
#include <utility>

#include "automation/conversions.h"
#include "automation/vb_text.h"

namespace nerolin::printing {

std::string PrinterStatusText(std::int32_t status) {
  static const std::pair<std::int32_t, const char*> kTexts[] = {
      {0, "Ready"},
      {0x1, "Paused"},
      {0x2, "Error"},
      {0x4, "Deleting..."},
      {0x8, "Paper Jam"},
      {0x10, "Paper Out"},
      {0x20, "Manual Feed Required"},
      {0x40, "Paper Problem"},
      {0x80, "Offline"},
      {0x100, "Downloading Job"},
      {0x200, "Busy"},
      {0x400, "Printing"},
      {0x800, "Output Bill Full"},
      {0x1000, "Not Available"},
      {0x2000, "Waiting"},
      {0x4000, "Processing Job"},
      {0x8000, "Initializing"},
      {0x10000, "Warming Up"},
      {0x20000, "Toner Low"},
      {0x40000, "Toner Out"},
      {0x80000, "Page too Complex"},
      {0x100000, "User Intervention Required"},
      {0x200000, "Out of Memory"},
      {0x400000, "Door Open"},
      {0x800000, "Unable to connect"},
      {0x1000000, "Power Save Mode"},
  };
  for (const auto& [value, text] : kTexts) {
    if (value == status) return text;
  }
  char hex[16];
  std::snprintf(hex, sizeof hex, "%X", static_cast<std::uint32_t>(status));
  return hex;
}

std::string PrinterDisplayName(const std::string& device_name,
                               const PrinterRecord& record) {
  const std::string& server = record.server_name;
  const std::string& printer = record.printer_name;
  if (!(record.attributes & printer_attributes::kNetwork) ||
      server.size() <= 2 || !server.starts_with("\\\\")) {
    return device_name;
  }
  std::size_t backslash = printer.find('\\', 2);
  if (backslash == std::string::npos) return device_name;
  return printer.substr(backslash + 1) + " on " + server.substr(2);
}

CPrinterInfo::CPrinterInfo() : CPrinterInfo(SharedPrintService()) {}

CPrinterInfo::CPrinterInfo(std::shared_ptr<PrintService> service)
    : service_(std::move(service)),
      dev_mode_(std::make_shared<CDevMode>()),
      jobs_(std::make_shared<CPrinterJobs>(service_)) {}

void CPrinterInfo::SetDeviceName(std::string name) {
  device_name_ = std::move(name);
  Refresh();
}

void CPrinterInfo::Refresh() {
  record_ = PrinterRecord();
  dev_mode_ = std::make_shared<CDevMode>();
  PrinterReading reading = service_->ReadPrinter(device_name_);
  switch (reading.outcome) {
    case ReadOutcome::kNotOpened:
      break;
    case ReadOutcome::kFailed:
      last_error_ = reading.error;
      break;
    case ReadOutcome::kRead:
      record_ = std::move(reading.record);
      dev_mode_->LoadFromPointer(&reading.settings);
      last_error_ = 0;
      break;
  }
  display_name_ = PrinterDisplayName(device_name_, record_);
  if (jobs_->DeviceName() != device_name_) {
    jobs_->SetDeviceName(device_name_);
  } else {
    jobs_->Refresh();
  }
}

bool CPrinterInfo::IsDefault() {
  std::string default_name = service_->DefaultPrinterName();
  // No default printer matches no device name, the empty one included.
  return !default_name.empty() && EqualsIgnoreCase(default_name, device_name_);
}

void CPrinterInfo::SetIsDefault(bool value) {
  if (value) SetAsDefault();
}

void CPrinterInfo::SetAsDefault() {
  service_->SetDefaultPrinter(device_name_);
  Refresh();
}

bool CPrinterInfo::CanAdminister() {
  return service_->CanAdminister(device_name_);
}

bool CPrinterInfo::IsPaused() const {
  return (record_.status & printer_status::kPaused) != 0;
}

bool CPrinterInfo::IsShared() const {
  return (record_.attributes & printer_attributes::kShared) != 0;
}

bool CPrinterInfo::IsToFile() const {
  return record_.port_name.find("FILE:") != std::string::npos;
}

bool CPrinterInfo::IsLocal() const {
  return (record_.attributes & printer_attributes::kLocal) != 0;
}

bool CPrinterInfo::IsNetwork() const {
  return (record_.attributes & printer_attributes::kNetwork) != 0;
}

std::string CPrinterInfo::ApiErrorText(std::int32_t code) const {
  std::string text = service_->ErrorText(code);
  if (!text.empty()) return text;
  return "Error (" + std::to_string(code) + ") not defined.";
}

std::string CPrinterInfo::StatusText() {
  if (last_error_ != 0) return ApiErrorText(last_error_);
  return PrinterStatusText(record_.status);
}

bool CPrinterInfo::ControlPrinter(PrinterCommand command) {
  CommandOutcome outcome = service_->ControlPrinter(device_name_, command);
  if (outcome == CommandOutcome::kNotOpened) return false;
  Refresh();
  return outcome == CommandOutcome::kDone;
}

bool CPrinterInfo::ControlPause() {
  return ControlPrinter(PrinterCommand::kPause);
}

bool CPrinterInfo::ControlPurge() {
  return ControlPrinter(PrinterCommand::kPurge);
}

bool CPrinterInfo::ControlResume() {
  return ControlPrinter(PrinterCommand::kResume);
}

void CPrinterInfo::ShowPropertiesDialog(std::int32_t parent_window) {
  service_->ShowPropertiesDialog(device_name_, parent_window);
}

Variant CPrinterInfo::Invoke(std::string_view member, InvokeKind kind,
                             Arguments& args) {
  using T = CPrinterInfo;
  auto get = [](auto read) {
    return [read](T& p, InvokeKind, Arguments&) { return Variant(read(p)); };
  };
  static const MemberTable<T> table =
      MemberTable<T>()
          .Property("DeviceName", get([](T& p) { return p.DeviceName(); }),
                    [](T& p, InvokeKind, Arguments& a) {
                      p.SetDeviceName(CStr(a[0]));
                      return Variant();
                    })
          .Property("IsDefault", get([](T& p) { return p.IsDefault(); }),
                    [](T& p, InvokeKind, Arguments& a) {
                      p.SetIsDefault(CBool(a[0]));
                      return Variant();
                    })
          .Method("CanAdminister", 0, 0,
                  get([](T& p) { return p.CanAdminister(); }))
          .Method("DisplayName", 0, 0,
                  get([](T& p) { return p.DisplayName(); }))
          .Method("GetPrinterError", 0, 0,
                  get([](T& p) { return p.GetPrinterError(); }))
          .Method("IsPaused", 0, 0, get([](T& p) { return p.IsPaused(); }))
          .Method("IsShared", 0, 0, get([](T& p) { return p.IsShared(); }))
          .Method("IsToFile", 0, 0, get([](T& p) { return p.IsToFile(); }))
          .Method("IsLocal", 0, 0, get([](T& p) { return p.IsLocal(); }))
          .Method("IsNetwork", 0, 0, get([](T& p) { return p.IsNetwork(); }))
          .Method("StatusText", 0, 0, get([](T& p) { return p.StatusText(); }))
          .Method("Attributes", 0, 0, get([](T& p) { return p.Attributes(); }))
          .Method("AveragePPM", 0, 0, get([](T& p) { return p.AveragePPM(); }))
          .Method("DefaultPriority", 0, 0,
                  get([](T& p) { return p.DefaultPriority(); }))
          .Method("Priority", 0, 0, get([](T& p) { return p.Priority(); }))
          .Method("StartTime", 0, 0, get([](T& p) { return p.StartTime(); }))
          .Method("Status", 0, 0, get([](T& p) { return p.Status(); }))
          .Method("UntilTime", 0, 0, get([](T& p) { return p.UntilTime(); }))
          .Method("Comment", 0, 0, get([](T& p) { return p.Comment(); }))
          .Method("Datatype", 0, 0, get([](T& p) { return p.Datatype(); }))
          .Method("DriverName", 0, 0, get([](T& p) { return p.DriverName(); }))
          .Method("Location", 0, 0, get([](T& p) { return p.Location(); }))
          .Method("Parameters", 0, 0, get([](T& p) { return p.Parameters(); }))
          .Method("PortName", 0, 0, get([](T& p) { return p.PortName(); }))
          .Method("PrinterName", 0, 0,
                  get([](T& p) { return p.PrinterName(); }))
          .Method("PrintProcessor", 0, 0,
                  get([](T& p) { return p.PrintProcessor(); }))
          .Method("SeparatorPageFile", 0, 0,
                  get([](T& p) { return p.SeparatorPageFile(); }))
          .Method("ServerName", 0, 0, get([](T& p) { return p.ServerName(); }))
          .Method("ShareName", 0, 0, get([](T& p) { return p.ShareName(); }))
          .Method("DevMode", 0, 0, get([](T& p) { return p.DevMode(); }))
          .Method("Jobs", 0, 0, get([](T& p) { return p.Jobs(); }))
          .Method("ControlPause", 0, 0,
                  get([](T& p) { return p.ControlPause(); }))
          .Method("ControlPurge", 0, 0,
                  get([](T& p) { return p.ControlPurge(); }))
          .Method("ControlResume", 0, 0,
                  get([](T& p) { return p.ControlResume(); }))
          .Method("Refresh", 0, 0,
                  [](T& p, InvokeKind, Arguments&) {
                    p.Refresh();
                    return Variant();
                  })
          .Method("ShowPropertiesDialog", 1, 1,
                  [](T& p, InvokeKind, Arguments& a) {
                    p.ShowPropertiesDialog(CLng(a[0]));
                    return Variant();
                  });
  return table.Invoke(*this, member, kind, args);
}

}  // namespace nerolin::printing
