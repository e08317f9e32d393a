#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace nerolin::printing {

// A printer's device settings: the fields of the Windows DEVMODE record up
// to the display frequency, all signed. Fields the service does not know
// stay 0 or empty.
struct DeviceSettings {
  std::string device_name;
  std::int16_t spec_version = 0;
  std::int16_t driver_version = 0;
  std::int32_t fields = 0;        // which of the fields below are set (DM_*)
  std::int16_t orientation = 0;   // 1 portrait, 2 landscape
  std::int16_t paper_size = 0;    // DMPAPER_* code, 256 for any other size
  std::int16_t paper_length = 0;  // tenths of a millimetre
  std::int16_t paper_width = 0;   // tenths of a millimetre
  std::int16_t scale = 0;
  std::int16_t copies = 0;
  std::int16_t default_source = 0;
  std::int16_t print_quality = 0;  // horizontal resolution in dpi
  std::int16_t color = 0;          // 1 monochrome, 2 colour
  std::int16_t duplex = 0;         // 1 one-sided, 2 long edge, 3 short edge
  std::int16_t y_resolution = 0;
  std::int16_t tt_option = 0;
  std::int16_t collate = 0;
  std::string form_name;
  std::int16_t log_pixels = 0;
  std::int32_t bits_per_pel = 0;
  std::int32_t pels_width = 0;
  std::int32_t pels_height = 0;
  std::int32_t nup = 0;
  std::int32_t display_frequency = 0;

  friend bool operator==(const DeviceSettings&,
                         const DeviceSettings&) = default;
};

// DEVMODE field-selection bits the services set.
namespace device_fields {
inline constexpr std::int32_t kOrientation = 0x1;
inline constexpr std::int32_t kPaperSize = 0x2;
inline constexpr std::int32_t kPaperLength = 0x4;
inline constexpr std::int32_t kPaperWidth = 0x8;
inline constexpr std::int32_t kCopies = 0x100;
inline constexpr std::int32_t kPrintQuality = 0x400;
inline constexpr std::int32_t kColor = 0x800;
inline constexpr std::int32_t kDuplex = 0x1000;
inline constexpr std::int32_t kYResolution = 0x2000;
inline constexpr std::int32_t kCollate = 0x8000;
inline constexpr std::int32_t kFormName = 0x10000;
}  // namespace device_fields

// A printer's descriptive record, with the fields and meanings of the
// Windows spooler's level-2 printer record.
struct PrinterRecord {
  std::string server_name;   // "\\SERVER" for a remote queue, else empty
  std::string printer_name;  // "\\SERVER\NAME" for a remote queue
  std::string share_name;
  std::string port_name;  // "FILE:PATH" for a queue that prints to a file
  std::string driver_name;
  std::string comment;
  std::string location;
  std::string separator_file;
  std::string print_processor;
  std::string datatype;
  std::string parameters;
  std::int32_t attributes = 0;  // printer_attributes bits
  std::int32_t priority = 0;
  std::int32_t default_priority = 0;
  std::int32_t start_time = 0;  // minutes after midnight
  std::int32_t until_time = 0;
  std::int32_t status = 0;  // printer_status bits
  std::int32_t jobs = 0;    // number of queued jobs
  std::int32_t average_ppm = 0;
};

namespace printer_attributes {
inline constexpr std::int32_t kDefault = 0x4;
inline constexpr std::int32_t kShared = 0x8;
inline constexpr std::int32_t kNetwork = 0x10;
inline constexpr std::int32_t kLocal = 0x40;
}  // namespace printer_attributes

namespace printer_status {
inline constexpr std::int32_t kPaused = 0x1;
inline constexpr std::int32_t kError = 0x2;
inline constexpr std::int32_t kPaperJam = 0x8;
inline constexpr std::int32_t kPaperOut = 0x10;
inline constexpr std::int32_t kPaperProblem = 0x40;
inline constexpr std::int32_t kOffline = 0x80;
inline constexpr std::int32_t kPrinting = 0x400;
inline constexpr std::int32_t kOutputBinFull = 0x800;
inline constexpr std::int32_t kNotAvailable = 0x1000;
inline constexpr std::int32_t kTonerLow = 0x20000;
inline constexpr std::int32_t kTonerOut = 0x40000;
inline constexpr std::int32_t kUserIntervention = 0x100000;
inline constexpr std::int32_t kOutOfMemory = 0x200000;
inline constexpr std::int32_t kDoorOpen = 0x400000;
inline constexpr std::int32_t kServerUnknown = 0x800000;
}  // namespace printer_status

// One job's record, with the fields and meanings of the Windows spooler's
// level-2 job record.
struct JobRecord {
  std::int32_t job_id = 0;
  std::string printer_name;
  std::string machine_name;
  std::string user_name;
  std::string document;
  std::string notify_name;
  std::string datatype;
  std::string print_processor;
  std::string parameters;
  std::string driver_name;
  DeviceSettings settings;
  std::string status_text;  // the service's own text, often empty
  std::int32_t status = 0;  // job_status bits
  std::int32_t priority = 0;
  std::int32_t position = 0;  // from 1, in the listed order
  std::int32_t start_time = 0;
  std::int32_t until_time = 0;
  std::int32_t total_pages = 0;
  std::int32_t size = 0;       // bytes
  std::int64_t submitted = 0;  // seconds since 1970-01-01 UTC, 0 unknown
  std::int32_t time = 0;       // milliseconds spent printing
  std::int32_t pages_printed = 0;
};

namespace job_status {
inline constexpr std::int32_t kPaused = 0x1;
inline constexpr std::int32_t kError = 0x2;
inline constexpr std::int32_t kDeleting = 0x4;
inline constexpr std::int32_t kSpooling = 0x8;
inline constexpr std::int32_t kPrinting = 0x10;
inline constexpr std::int32_t kOffline = 0x20;
inline constexpr std::int32_t kPaperOut = 0x40;
inline constexpr std::int32_t kPrinted = 0x80;
inline constexpr std::int32_t kDeleted = 0x100;
inline constexpr std::int32_t kBlocked = 0x200;
inline constexpr std::int32_t kUserIntervention = 0x400;
inline constexpr std::int32_t kRestart = 0x800;
}  // namespace job_status

// How a read went. kNotOpened: the printer does not exist here (the error
// code is not meaningful); kFailed: the service refused or failed with
// `error`.
enum class ReadOutcome { kRead, kNotOpened, kFailed };

struct PrinterReading {
  ReadOutcome outcome = ReadOutcome::kNotOpened;
  std::int32_t error = 0;
  PrinterRecord record;
  DeviceSettings settings;
};

struct JobCountReading {
  ReadOutcome outcome = ReadOutcome::kNotOpened;
  std::int32_t error = 0;
  std::int32_t count = 0;
};

struct JobsReading {
  ReadOutcome outcome = ReadOutcome::kNotOpened;
  std::int32_t error = 0;
  std::vector<JobRecord> jobs;  // in the service's order
};

enum class PrinterCommand { kPause, kResume, kPurge };
enum class JobCommand { kPause, kResume, kRestart, kCancel, kDelete };

// How a command went. kNotOpened: the printer does not exist, or (for the
// printer-wide commands, which need administration rights) cannot be
// administered by this user; nothing was asked. kRefused: the service
// answered with an error; kDone: it carried the command out.
enum class CommandOutcome { kNotOpened, kRefused, kDone };

// The printer inventory and default-printer service the printer classes sit
// on. Every operation reports failure as a result, never by raising, except
// in a build without printing, whose service raises kErrPrintingNotBuilt
// from every operation; none prompts for a password.
class PrintService {
 public:
  virtual ~PrintService() = default;

  // The device names of the installed printers, in the service's order.
  // Empty when there are none or the service cannot be reached.
  virtual std::vector<std::string> PrinterNames() = 0;

  // The printer's record and device settings.
  virtual PrinterReading ReadPrinter(const std::string& name) = 0;

  // The current user's default printer's name; empty when there is none.
  virtual std::string DefaultPrinterName() = 0;

  // Makes `name` the current user's default printer. False when there is
  // no such printer or the service refused.
  virtual bool SetDefaultPrinter(const std::string& name) = 0;

  virtual CommandOutcome ControlPrinter(const std::string& name,
                                        PrinterCommand command) = 0;

  // Whether the current user may administer the printer; false for a
  // printer that does not exist.
  virtual bool CanAdminister(const std::string& name) = 0;

  // Shows what the platform has for a printer's properties, owned by the
  // window `parent_window` (0: none). May do nothing.
  virtual void ShowPropertiesDialog(const std::string& name,
                                    std::int32_t parent_window) = 0;

  // The number of jobs queued on the printer.
  virtual JobCountReading JobCount(const std::string& name) = 0;

  // The jobs queued on the printer, with every field.
  virtual JobsReading ReadJobs(const std::string& name) = 0;

  virtual CommandOutcome ControlJob(const std::string& name,
                                    std::int32_t job_id,
                                    JobCommand command) = 0;

  // Moves the job `delta` places in the queue (negative: towards the
  // front). True when the service accepted the change; false for a printer
  // or job that does not exist, a job without a neighbour in that
  // direction, or a refusal.
  virtual bool MoveJob(const std::string& name, std::int32_t job_id,
                       std::int32_t delta) = 0;

  // The service's text for an error code it reported, or empty when it has
  // none for that code.
  virtual std::string ErrorText(std::int32_t code) = 0;
};

// The service of this build: CUPS, or in a build without printing one that
// raises kErrPrintingNotBuilt from every operation. A new one each call.
std::shared_ptr<PrintService> SystemPrintService();

// The service the printer classes use: SystemPrintService() unless a test
// replaced it. Never null. Shared: the printer objects hold on to the
// service they were created with, so that a replaced service outlives them.
std::shared_ptr<PrintService> SharedPrintService();

// Replaces the process's service for the lifetime of the guard. Guards nest
// (the innermost wins) and must be destroyed in reverse order of creation.
class ScopedPrintService {
 public:
  // REQUIRES: `service` is not null.
  explicit ScopedPrintService(std::shared_ptr<PrintService> service);
  ~ScopedPrintService();
  ScopedPrintService(const ScopedPrintService&) = delete;
  ScopedPrintService& operator=(const ScopedPrintService&) = delete;

 private:
  std::shared_ptr<PrintService> previous_;
};

}  // namespace nerolin::printing
