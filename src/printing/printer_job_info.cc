#include "printing/printer_job_info.h"

#include <ctime>
#include <utility>

namespace nerolin::printing {

std::string JobStatusText(std::int32_t status,
                          const std::string& service_text) {
  if (!service_text.empty()) return service_text;
  std::string text;
  if (status & job_status::kPaused) text = "Paused";
  if (status & job_status::kError) text = "Error";
  if (status & job_status::kUserIntervention) {
    text = "User Intervention Required";
  }
  static const std::pair<std::int32_t, const char*> kAppended[] = {
      {job_status::kOffline, "Offline"},
      {job_status::kPaperOut, "Paper Out"},
      {job_status::kDeleting, "Deleting..."},
      {job_status::kSpooling, "Spooling..."},
      {job_status::kPrinting, "Printing..."},
      {job_status::kRestart, "Restarting..."},
      {job_status::kPrinted, "Printed"},
      {job_status::kDeleted, "Deleted"},
      {job_status::kBlocked, "Cannot Print"},
  };
  for (const auto& [bit, bit_text] : kAppended) {
    if (!(status & bit)) continue;
    if (!text.empty()) text += " - ";
    text += bit_text;
  }
  return text;
}

CPrinterJobInfo::CPrinterJobInfo() : dev_mode_(std::make_shared<CDevMode>()) {}

void CPrinterJobInfo::LoadFromBuffer(const JobRecord& job) {
  job_ = job;
  dev_mode_ = std::make_shared<CDevMode>();
  dev_mode_->LoadFromPointer(&job_.settings);
  RaiseSizeMax(job_.size);
  RaiseTotalPagesMax(job_.total_pages);
}

void CPrinterJobInfo::RaiseSizeMax(std::int32_t value) {
  if (size_max_ < value) size_max_ = value;
}

void CPrinterJobInfo::RaiseTotalPagesMax(std::int32_t value) {
  if (total_pages_max_ < value) total_pages_max_ = value;
}

Date CPrinterJobInfo::Submitted() const {
  if (job_.submitted <= 0) return Date{};
  std::time_t seconds = static_cast<std::time_t>(job_.submitted);
  std::tm local{};
  if (!localtime_r(&seconds, &local)) return Date{};
  return Date::FromParts(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                         local.tm_hour, local.tm_min, local.tm_sec);
}

std::string CPrinterJobInfo::StatusText() const {
  return JobStatusText(job_.status, job_.status_text);
}

Variant CPrinterJobInfo::Invoke(std::string_view member, InvokeKind kind,
                                Arguments& args) {
  using T = CPrinterJobInfo;
  auto get = [](auto read) {
    return [read](T& j, InvokeKind, Arguments&) { return Variant(read(j)); };
  };
  static const MemberTable<T> table =
      MemberTable<T>()
          .Method("IsPaused", 0, 0, get([](T& j) { return j.IsPaused(); }))
          .Method("SizeMax", 0, 0, get([](T& j) { return j.SizeMax(); }))
          .Method("TotalPagesMax", 0, 0,
                  get([](T& j) { return j.TotalPagesMax(); }))
          .Method("Datatype", 0, 0, get([](T& j) { return j.Datatype(); }))
          .Method("DevMode", 0, 0, get([](T& j) { return j.DevMode(); }))
          .Method("Document", 0, 0, get([](T& j) { return j.Document(); }))
          .Method("DriverName", 0, 0, get([](T& j) { return j.DriverName(); }))
          .Method("JobId", 0, 0, get([](T& j) { return j.JobId(); }))
          .Method("MachineName", 0, 0,
                  get([](T& j) { return j.MachineName(); }))
          .Method("NotifyName", 0, 0, get([](T& j) { return j.NotifyName(); }))
          .Method("PagesPrinted", 0, 0,
                  get([](T& j) { return j.PagesPrinted(); }))
          .Method("Parameters", 0, 0, get([](T& j) { return j.Parameters(); }))
          .Method("Position", 0, 0, get([](T& j) { return j.Position(); }))
          .Method("PrinterName", 0, 0,
                  get([](T& j) { return j.PrinterName(); }))
          .Method("PrintProcessor", 0, 0,
                  get([](T& j) { return j.PrintProcessor(); }))
          .Method("Priority", 0, 0, get([](T& j) { return j.Priority(); }))
          .Method("Size", 0, 0, get([](T& j) { return j.Size(); }))
          .Method("Submitted", 0, 0, get([](T& j) { return j.Submitted(); }))
          .Method("StartTime", 0, 0, get([](T& j) { return j.StartTime(); }))
          .Method("Status", 0, 0, get([](T& j) { return j.Status(); }))
          .Method("StatusText", 0, 0, get([](T& j) { return j.StatusText(); }))
          .Method("Time", 0, 0, get([](T& j) { return j.Time(); }))
          .Method("TotalPages", 0, 0, get([](T& j) { return j.TotalPages(); }))
          .Method("UntilTime", 0, 0, get([](T& j) { return j.UntilTime(); }))
          .Method("UserName", 0, 0, get([](T& j) { return j.UserName(); }));
  return table.Invoke(*this, member, kind, args);
}

}  // namespace nerolin::printing
