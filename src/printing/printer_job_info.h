#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "nerolin/object.h"
#include "nerolin/variant.h"
#include "printing/dev_mode.h"
#include "printing/print_service.h"

namespace nerolin::printing {

// One queued job as the print service reported it at the last refresh of
// its CPrinterJobs, plus the largest size and page count seen for the job
// across refreshes. Read-only; private to the component (no ProgID).
//
// Members by name, in slot order: IsPaused, SizeMax, TotalPagesMax,
// Datatype, DevMode, Document, DriverName, JobId, MachineName, NotifyName,
// PagesPrinted, Parameters, Position, PrinterName, PrintProcessor,
// Priority, Size, Submitted, StartTime, Status, StatusText, Time,
// TotalPages, UntilTime, UserName; all property gets.
class CPrinterJobInfo : public Object {
 public:
  CPrinterJobInfo();

  // Replaces the record by `job` with a new CDevMode of the job's
  // settings, then raises SizeMax and TotalPagesMax to the job's Size and
  // TotalPages. For CPrinterJobs.
  void LoadFromBuffer(const JobRecord& job);
  // Raise the kept maximum to `value` when it is smaller. For CPrinterJobs.
  void RaiseSizeMax(std::int32_t value);
  void RaiseTotalPagesMax(std::int32_t value);

  bool IsPaused() const { return (job_.status & job_status::kPaused) != 0; }
  std::int32_t SizeMax() const { return size_max_; }
  std::int32_t TotalPagesMax() const { return total_pages_max_; }
  const std::string& Datatype() const { return job_.datatype; }
  std::shared_ptr<CDevMode> DevMode() const { return dev_mode_; }
  const std::string& Document() const { return job_.document; }
  const std::string& DriverName() const { return job_.driver_name; }
  std::int32_t JobId() const { return job_.job_id; }
  const std::string& MachineName() const { return job_.machine_name; }
  const std::string& NotifyName() const { return job_.notify_name; }
  std::int32_t PagesPrinted() const { return job_.pages_printed; }
  const std::string& Parameters() const { return job_.parameters; }
  std::int32_t Position() const { return job_.position; }
  const std::string& PrinterName() const { return job_.printer_name; }
  const std::string& PrintProcessor() const { return job_.print_processor; }
  std::int32_t Priority() const { return job_.priority; }
  std::int32_t Size() const { return job_.size; }
  // The submission time in local time, to the second; the zero date when
  // the service gave none.
  Date Submitted() const;
  std::int32_t StartTime() const { return job_.start_time; }
  std::int32_t Status() const { return job_.status; }
  // The service's own text when it gave one, otherwise the texts of the
  // status bits (see JobStatusText).
  std::string StatusText() const;
  std::int32_t Time() const { return job_.time; }
  std::int32_t TotalPages() const { return job_.total_pages; }
  std::int32_t UntilTime() const { return job_.until_time; }
  const std::string& UserName() const { return job_.user_name; }

  std::string_view TypeName() const override { return "CPrinterJobInfo"; }
  Variant Invoke(std::string_view member, InvokeKind kind,
                 Arguments& args) override;

 private:
  JobRecord job_;
  std::shared_ptr<CDevMode> dev_mode_;
  std::int32_t size_max_ = 0;
  std::int32_t total_pages_max_ = 0;
};

// A job's status text: `service_text` when not empty; otherwise "Paused",
// "Error" or "User Intervention Required" (the last of these bits set
// wins), followed by the texts of the other bits joined with " - ". Empty
// when no bit is set.
std::string JobStatusText(std::int32_t status, const std::string& service_text);

}  // namespace nerolin::printing
