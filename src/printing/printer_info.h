#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "nerolin/object.h"
#include "nerolin/variant.h"
#include "printing/dev_mode.h"
#include "printing/print_service.h"
#include "printing/printer_jobs.h"

namespace nerolin::printing {

// One printer of the print service, by device name: its descriptive
// record, device settings and queued jobs as the last Refresh read them,
// its status as a text, the printer-wide commands, and whether it is the
// current user's default printer. Empty until DeviceName is set. Private to
// the component (no ProgID).
//
// Members by name, in slot order: DeviceName (get/let), IsDefault
// (get/let), CanAdminister, DisplayName, GetPrinterError, IsPaused,
// IsShared, IsToFile, IsLocal, IsNetwork, StatusText, Attributes,
// AveragePPM, DefaultPriority, Priority, StartTime, Status, UntilTime,
// Comment, Datatype, DriverName, Location, Parameters, PortName,
// PrinterName, PrintProcessor, SeparatorPageFile, ServerName, ShareName,
// DevMode, Jobs, ControlPause, ControlPurge, ControlResume, Refresh,
// ShowPropertiesDialog(parent window).
class CPrinterInfo : public Object {
 public:
  // Over the process's current print service.
  CPrinterInfo();
  // REQUIRES: `service` is not null.
  explicit CPrinterInfo(std::shared_ptr<PrintService> service);

  const std::string& DeviceName() const { return device_name_; }
  // Stores the name and refreshes.
  void SetDeviceName(std::string name);

  // Whether the current default printer's name equals the device name,
  // ignoring letter case; asked afresh on every call. False when there is
  // no default printer.
  bool IsDefault();
  // true makes this printer the current user's default and refreshes;
  // false does nothing.
  void SetIsDefault(bool value);

  bool CanAdminister();
  // The device name; for a network printer shared by a server,
  // "PRINTER on SERVER".
  const std::string& DisplayName() const { return display_name_; }
  // The last error the service reported for the printer, 0 when none.
  std::int32_t GetPrinterError() const { return last_error_; }
  bool IsPaused() const;
  bool IsShared() const;
  // Whether the port name contains "FILE:" (letter case counts).
  bool IsToFile() const;
  bool IsLocal() const;
  bool IsNetwork() const;
  // The service's error text when the last read failed, otherwise the
  // status as PrinterStatusText gives it.
  std::string StatusText();

  const PrinterRecord& record() const { return record_; }
  std::int32_t Attributes() const { return record_.attributes; }
  std::int32_t AveragePPM() const { return record_.average_ppm; }
  std::int32_t DefaultPriority() const { return record_.default_priority; }
  std::int32_t Priority() const { return record_.priority; }
  std::int32_t StartTime() const { return record_.start_time; }
  std::int32_t Status() const { return record_.status; }
  std::int32_t UntilTime() const { return record_.until_time; }
  const std::string& Comment() const { return record_.comment; }
  const std::string& Datatype() const { return record_.datatype; }
  const std::string& DriverName() const { return record_.driver_name; }
  const std::string& Location() const { return record_.location; }
  const std::string& Parameters() const { return record_.parameters; }
  const std::string& PortName() const { return record_.port_name; }
  const std::string& PrinterName() const { return record_.printer_name; }
  const std::string& PrintProcessor() const { return record_.print_processor; }
  const std::string& SeparatorPageFile() const {
    return record_.separator_file;
  }
  const std::string& ServerName() const { return record_.server_name; }
  const std::string& ShareName() const { return record_.share_name; }

  // The device settings of the last refresh; a later refresh makes a new
  // object and this one keeps its values.
  std::shared_ptr<CDevMode> DevMode() const { return dev_mode_; }
  std::shared_ptr<CPrinterJobs> Jobs() const { return jobs_; }

  // Printer-wide commands: true when the service carried them out. They
  // need the right to administer the printer; without it, or for a printer
  // that does not exist, they give false without refreshing.
  bool ControlPause();
  bool ControlPurge();
  bool ControlResume();

  // Re-reads the record, the device settings and the jobs. A printer that
  // cannot be opened leaves an empty record and settings and keeps the
  // previous last error.
  void Refresh();

  void ShowPropertiesDialog(std::int32_t parent_window);

  std::string_view TypeName() const override { return "CPrinterInfo"; }
  Variant Invoke(std::string_view member, InvokeKind kind,
                 Arguments& args) override;

 private:
  std::string ApiErrorText(std::int32_t code) const;
  void SetAsDefault();
  bool ControlPrinter(PrinterCommand command);

  std::shared_ptr<PrintService> service_;
  std::string device_name_;
  std::string display_name_;
  std::int32_t last_error_ = 0;
  PrinterRecord record_;
  std::shared_ptr<CDevMode> dev_mode_;
  std::shared_ptr<CPrinterJobs> jobs_;
};

// The text of a printer status value looked up whole ("Ready" for 0,
// "Paused" for 0x1, ...); a value not in the table, several bits among
// them, gives its upper-case hexadecimal digits ("410").
std::string PrinterStatusText(std::int32_t status);

// The display name of printer `device_name` with `record`.
std::string PrinterDisplayName(const std::string& device_name,
                               const PrinterRecord& record);

}  // namespace nerolin::printing
