#include "printing/printer_jobs.h"

#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

#include "automation/conversions.h"
#include "nerolin/automation_error.h"

namespace nerolin::printing {

std::string JobKey(std::int32_t job_id) {
  char key[16];
  std::snprintf(key, sizeof key, "%X", static_cast<std::uint32_t>(job_id));
  return key;
}

CPrinterJobs::CPrinterJobs() : CPrinterJobs(SharedPrintService()) {}

CPrinterJobs::CPrinterJobs(std::shared_ptr<PrintService> service)
    : service_(std::move(service)) {}

void CPrinterJobs::SetDeviceName(std::string name) {
  device_name_ = std::move(name);
  Refresh();
}

std::int32_t CPrinterJobs::SpoolerJobCount(const JobCountReading& reading) {
  switch (reading.outcome) {
    case ReadOutcome::kNotOpened:
      return 0;
    case ReadOutcome::kFailed:
      last_error_ = reading.error;
      return 0;
    case ReadOutcome::kRead:
      last_error_ = 0;
      return reading.count;
  }
  return 0;
}

std::int32_t CPrinterJobs::Count() {
  std::int32_t count = SpoolerJobCount(service_->JobCount(device_name_));
  if (count != items_.Count()) Refresh();
  return count;
}

std::shared_ptr<CPrinterJobInfo> CPrinterJobs::Item(
    std::int32_t position) const {
  return items_.Item(position);
}

std::shared_ptr<CPrinterJobInfo> CPrinterJobs::Item(
    std::string_view key) const {
  return items_.Item(key);
}

std::shared_ptr<CPrinterJobInfo> CPrinterJobs::ItemByVariant(
    const Variant& index) const {
  Variant plain = Unwrap(index);
  if (plain.IsString()) return Item(std::string_view(plain.AsString()));
  if (plain.IsNumber() || plain.type() == VarType::kDate) {
    return Item(CLng(plain));
  }
  throw AutomationError(errors::kTypeMismatch);
}

VariantArray CPrinterJobs::NewEnum() const {
  VariantArray jobs;
  jobs.reserve(static_cast<std::size_t>(items_.Count()));
  for (const auto& job : items_) jobs.emplace_back(job);
  return jobs;
}

std::shared_ptr<CPrinterJobInfo> CPrinterJobs::FindJob(
    std::int32_t job_id) const {
  const std::shared_ptr<CPrinterJobInfo>* found = items_.Lookup(JobKey(job_id));
  return found ? *found : nullptr;
}

void CPrinterJobs::Refresh() {
  std::int32_t count = 0;
  std::vector<std::int32_t> listed;
  JobCountReading opened = service_->JobCount(device_name_);
  if (opened.outcome != ReadOutcome::kNotOpened) {
    count = SpoolerJobCount(opened);
    if (count >= 1) {
      JobsReading reading = service_->ReadJobs(device_name_);
      if (reading.outcome == ReadOutcome::kRead) {
        // The listing asks for as many jobs as were counted.
        std::size_t wanted = static_cast<std::size_t>(count);
        if (reading.jobs.size() > wanted) reading.jobs.resize(wanted);
        for (const JobRecord& record : reading.jobs) {
          auto job = std::make_shared<CPrinterJobInfo>();
          job->LoadFromBuffer(record);
          std::string key = JobKey(record.job_id);
          if (auto old = FindJob(record.job_id)) {
            job->RaiseSizeMax(old->SizeMax());
            job->RaiseTotalPagesMax(old->TotalPagesMax());
            items_.Remove(std::string_view(key));
          }
          items_.Add(std::move(job), key);
          listed.push_back(record.job_id);
        }
      }
    }
  }
  // Walk backwards so that removing keeps the positions still to visit.
  for (std::int32_t position = items_.Count(); position >= 1; --position) {
    std::int32_t id = items_.Item(position)->JobId();
    if (count < 1 ||
        std::find(listed.begin(), listed.end(), id) == listed.end()) {
      items_.Remove(position);
    }
  }
}

bool CPrinterJobs::ControlJob(std::int32_t job_id, JobCommand command) {
  CommandOutcome outcome = service_->ControlJob(device_name_, job_id, command);
  if (outcome == CommandOutcome::kNotOpened) return false;
  Refresh();
  return outcome == CommandOutcome::kDone;
}

bool CPrinterJobs::ControlCancel(std::int32_t job_id) {
  return ControlJob(job_id, JobCommand::kDelete);
}

bool CPrinterJobs::ControlRestart(std::int32_t job_id) {
  return ControlJob(job_id, JobCommand::kRestart);
}

bool CPrinterJobs::ControlResume(std::int32_t job_id) {
  return ControlJob(job_id, JobCommand::kResume);
}

bool CPrinterJobs::ControlPause(std::int32_t job_id) {
  return ControlJob(job_id, JobCommand::kPause);
}

bool CPrinterJobs::PositionMoveDown(std::int32_t job_id) {
  return service_->MoveJob(device_name_, job_id, +1);
}

bool CPrinterJobs::PositionMoveUp(std::int32_t job_id) {
  return service_->MoveJob(device_name_, job_id, -1);
}

Variant CPrinterJobs::Invoke(std::string_view member, InvokeKind kind,
                             Arguments& args) {
  using T = CPrinterJobs;
  auto command = [](bool (T::*method)(std::int32_t)) {
    return [method](T& j, InvokeKind, Arguments& a) {
      return Variant((j.*method)(CLng(a[0])));
    };
  };
  static const MemberTable<T> table =
      MemberTable<T>()
          .Property(
              "DeviceName",
              [](T& j, InvokeKind, Arguments&) {
                return Variant(j.DeviceName());
              },
              [](T& j, InvokeKind, Arguments& a) {
                j.SetDeviceName(CStr(a[0]));
                return Variant();
              })
          .Method(
              "Count", 0, 0,
              [](T& j, InvokeKind, Arguments&) { return Variant(j.Count()); })
          .Method("Item", 1, 1,
                  [](T& j, InvokeKind, Arguments& a) {
                    return Variant(j.ItemByVariant(a[0]));
                  })
          .Method("GetPrinterError", 0, 0,
                  [](T& j, InvokeKind, Arguments&) {
                    return Variant(j.GetPrinterError());
                  })
          .Method(
              "NewEnum", 0, 0,
              [](T& j, InvokeKind, Arguments&) { return Variant(j.NewEnum()); })
          .Method("ControlCancel", 1, 1, command(&T::ControlCancel))
          .Method("ControlRestart", 1, 1, command(&T::ControlRestart))
          .Method("ControlResume", 1, 1, command(&T::ControlResume))
          .Method("ControlPause", 1, 1, command(&T::ControlPause))
          .Method("PositionMoveDown", 1, 1, command(&T::PositionMoveDown))
          .Method("PositionMoveUp", 1, 1, command(&T::PositionMoveUp))
          .Method("Refresh", 0, 0, [](T& j, InvokeKind, Arguments&) {
            j.Refresh();
            return Variant();
          });
  return table.Invoke(*this, member, kind, args);
}

}  // namespace nerolin::printing
