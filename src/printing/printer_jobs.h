#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "nerolin/collection.h"
#include "nerolin/object.h"
#include "nerolin/variant.h"
#include "printing/print_service.h"
#include "printing/printer_job_info.h"

namespace nerolin::printing {

// The jobs queued on one printer: a keyed collection of CPrinterJobInfo,
// each under its job id in upper-case hexadecimal ("FF" for job 255), in
// the order the service listed them at the last refresh. The collection
// changes only through Refresh. Private to the component (no ProgID).
//
// Members by name, in slot order: DeviceName (get/let; let refreshes),
// Count, Item(index or key), GetPrinterError, NewEnum (a Variant array of
// the jobs in order), ControlCancel(id), ControlRestart(id),
// ControlResume(id), ControlPause(id), PositionMoveDown(id),
// PositionMoveUp(id), Refresh.
class CPrinterJobs : public Object {
 public:
  // Over the process's current print service.
  CPrinterJobs();
  // REQUIRES: `service` is not null.
  explicit CPrinterJobs(std::shared_ptr<PrintService> service);

  const std::string& DeviceName() const { return device_name_; }
  // Stores the name and refreshes.
  void SetDeviceName(std::string name);

  // The service's job count for the printer; when it differs from the
  // collection's size, the collection is refreshed first. Returns the
  // service's count, not the collection's size after the refresh.
  std::int32_t Count();

  // The job at `position` (from 1) or under `key`. Raise error 9 for a
  // position out of range and 5 for a key the collection does not hold.
  std::shared_ptr<CPrinterJobInfo> Item(std::int32_t position) const;
  std::shared_ptr<CPrinterJobInfo> Item(std::string_view key) const;
  // A text is a key, a number a position; anything else raises error 13.
  std::shared_ptr<CPrinterJobInfo> ItemByVariant(const Variant& index) const;

  // The last error the service reported for the printer, 0 when none.
  std::int32_t GetPrinterError() const { return last_error_; }

  VariantArray NewEnum() const;

  // Job commands: true when the service carried them out. Each refreshes
  // the collection unless the printer could not be opened (then false).
  // ControlCancel deletes the job.
  bool ControlCancel(std::int32_t job_id);
  bool ControlRestart(std::int32_t job_id);
  bool ControlResume(std::int32_t job_id);
  bool ControlPause(std::int32_t job_id);
  // Move the job one place towards the end (down) or the front (up) of the
  // queue. The collection is not refreshed.
  bool PositionMoveDown(std::int32_t job_id);
  bool PositionMoveUp(std::int32_t job_id);

  // Brings the collection up to date: every listed job becomes a new
  // CPrinterJobInfo that keeps the larger SizeMax and TotalPagesMax of the
  // one it replaces; jobs no longer listed are removed.
  void Refresh();

  // The collection's number of items, without asking the service.
  std::int32_t CachedCount() const { return items_.Count(); }

  std::string_view TypeName() const override { return "CPrinterJobs"; }
  Variant Invoke(std::string_view member, InvokeKind kind,
                 Arguments& args) override;

 private:
  std::shared_ptr<CPrinterJobInfo> FindJob(std::int32_t job_id) const;
  // The count a reading gives, noting its error as the last error.
  std::int32_t SpoolerJobCount(const JobCountReading& reading);
  bool ControlJob(std::int32_t job_id, JobCommand command);

  std::shared_ptr<PrintService> service_;
  std::string device_name_;
  std::int32_t last_error_ = 0;
  KeyedCollection<std::shared_ptr<CPrinterJobInfo>> items_;
};

// The key of a job in the collection: its id in upper-case hexadecimal,
// without prefix.
std::string JobKey(std::int32_t job_id);

}  // namespace nerolin::printing
