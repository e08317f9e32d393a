#include "printing/cups_print_service.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <limits>
#include <memory>
#include <optional>
#include <unordered_map>

#include <cups/cups.h>
#include <cups/pwg.h>

#include "platform/shell.h"
#include "printing/ipp_mapping.h"

namespace nerolin::printing {
namespace {

// How long the probe of the web interface may take before the properties
// page is given up.
constexpr int kWebProbeMilliseconds = 2000;

const char* NoPassword(const char*, http_t*, const char*, const char*, void*) {
  return nullptr;
}

// libcups keeps its password callback per thread; install ours on the
// calling thread before any request so that nothing ever prompts.
void PrepareThread() { cupsSetPasswordCB2(NoPassword, nullptr); }

struct IppDeleter {
  void operator()(ipp_t* ipp) const { ippDelete(ipp); }
};
using IppPtr = std::unique_ptr<ipp_t, IppDeleter>;

bool Succeeded(ipp_status_t status) {
  return status <= IPP_STATUS_OK_EVENTS_COMPLETE;
}

// A printer the server does not know, or a name it cannot even parse, is a
// printer that cannot be opened.
bool IsNoSuchPrinter(ipp_status_t status) {
  return status == IPP_STATUS_ERROR_NOT_FOUND ||
         status == IPP_STATUS_ERROR_BAD_REQUEST;
}

bool IsDenied(ipp_status_t status) {
  return status == IPP_STATUS_ERROR_FORBIDDEN ||
         status == IPP_STATUS_ERROR_NOT_AUTHENTICATED ||
         status == IPP_STATUS_ERROR_NOT_AUTHORIZED ||
         status == IPP_STATUS_ERROR_CUPS_AUTHENTICATION_CANCELED;
}

ipp_t* NewRequest(ipp_op_t op, const std::string& printer) {
  ipp_t* request = ippNewRequest(op);
  char uri[HTTP_MAX_URI];
  httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr,
                   "localhost", 0, "/printers/%s", printer.c_str());
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr,
               uri);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name",
               nullptr, cupsUser());
  return request;
}

ipp_t* NewJobRequest(ipp_op_t op, const std::string& printer,
                     std::int32_t job_id) {
  ipp_t* request = NewRequest(op, printer);
  ippAddInteger(request, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "job-id", job_id);
  return request;
}

void RequestAttributes(ipp_t* request,
                       std::initializer_list<const char*> names) {
  std::vector<const char*> list(names);
  ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD,
                "requested-attributes", static_cast<int>(list.size()), nullptr,
                list.data());
}

// Sends `request` (consumed) and returns the response with its status.
struct Response {
  IppPtr ipp;
  ipp_status_t status = IPP_STATUS_ERROR_INTERNAL;
  std::string message;
};

Response Send(ipp_t* request, const char* resource) {
  Response response;
  response.ipp.reset(cupsDoRequest(CUPS_HTTP_DEFAULT, request, resource));
  response.status = cupsLastError();
  const char* message = cupsLastErrorString();
  if (message) response.message = message;
  return response;
}

// The attributes of one object (a printer or a job) in a response, by name.
class AttributeView {
 public:
  void Add(ipp_attribute_t* attribute) {
    if (const char* name = ippGetName(attribute)) by_name_[name] = attribute;
  }
  void Clear() { by_name_.clear(); }
  bool Empty() const { return by_name_.empty(); }

  ipp_attribute_t* Find(std::string_view name) const {
    auto it = by_name_.find(name);
    return it == by_name_.end() ? nullptr : it->second;
  }
  std::string Text(std::string_view name) const {
    ipp_attribute_t* attribute = Find(name);
    const char* text =
        attribute ? ippGetString(attribute, 0, nullptr) : nullptr;
    return text ? text : "";
  }
  std::vector<std::string> Texts(std::string_view name) const {
    std::vector<std::string> texts;
    if (ipp_attribute_t* attribute = Find(name)) {
      for (int i = 0; i < ippGetCount(attribute); ++i) {
        if (const char* text = ippGetString(attribute, i, nullptr)) {
          texts.emplace_back(text);
        }
      }
    }
    return texts;
  }
  // Integers, enums and Booleans; `fallback` when absent or of another type.
  long long Number(std::string_view name, long long fallback = 0) const {
    ipp_attribute_t* attribute = Find(name);
    if (!attribute) return fallback;
    switch (ippGetValueTag(attribute)) {
      case IPP_TAG_INTEGER:
      case IPP_TAG_ENUM:
        return ippGetInteger(attribute, 0);
      case IPP_TAG_BOOLEAN:
        return ippGetBoolean(attribute, 0);
      default:
        return fallback;
    }
  }
  // The attribute's first value as the text an lpoptions entry would hold.
  std::optional<std::string> OptionText(std::string_view name) const {
    ipp_attribute_t* attribute = Find(name);
    if (!attribute) return std::nullopt;
    switch (ippGetValueTag(attribute)) {
      case IPP_TAG_INTEGER:
      case IPP_TAG_ENUM:
        return std::to_string(ippGetInteger(attribute, 0));
      case IPP_TAG_BOOLEAN:
        return ippGetBoolean(attribute, 0) ? "true" : "false";
      case IPP_TAG_RESOLUTION: {
        int y = 0;
        ipp_res_t units = IPP_RES_PER_INCH;
        int x = ippGetResolution(attribute, 0, &y, &units);
        if (units == IPP_RES_PER_CM) {
          x = x * 254 / 100;
          y = y * 254 / 100;
        }
        return std::to_string(x) + "x" + std::to_string(y) + "dpi";
      }
      default: {
        const char* text = ippGetString(attribute, 0, nullptr);
        if (!text) return std::nullopt;
        return std::string(text);
      }
    }
  }

 private:
  std::unordered_map<std::string_view, ipp_attribute_t*> by_name_;
};

AttributeView WholeResponse(ipp_t* ipp) {
  AttributeView view;
  if (!ipp) return view;
  for (ipp_attribute_t* attribute = ippFirstAttribute(ipp); attribute;
       attribute = ippNextAttribute(ipp)) {
    view.Add(attribute);
  }
  return view;
}

std::int32_t ClampLong(long long value) {
  return static_cast<std::int32_t>(
      std::clamp<long long>(value, std::numeric_limits<std::int32_t>::min(),
                            std::numeric_limits<std::int32_t>::max()));
}

// The settings an object carries as attributes NAME + suffix ("-default"
// for a printer's defaults, "" for a job's own values).
void ApplyAttributes(const AttributeView& view, std::string_view suffix,
                     DeviceSettings& settings) {
  for (const char* name :
       {"media", "orientation-requested", "copies", "sides", "print-color-mode",
        "printer-resolution", "multiple-document-handling"}) {
    std::string full = std::string(name) + std::string(suffix);
    if (auto text = view.OptionText(full)) ApplySetting(name, *text, settings);
  }
}

// The user's lpoptions for `printer` (and the system's, which they
// override), applied over `settings`.
void ApplyUserOptions(const std::string& printer, DeviceSettings& settings) {
  cups_dest_t* dest =
      cupsGetNamedDest(CUPS_HTTP_DEFAULT, printer.c_str(), nullptr);
  if (!dest) return;
  for (int i = 0; i < dest->num_options; ++i) {
    ApplySetting(dest->options[i].name, dest->options[i].value, settings);
  }
  cupsFreeDests(1, dest);
}

// Whether the server serves its web interface at `url`: a page answered
// with 200 that is not the notice of a disabled interface.
bool WebPageAvailable(const std::string& url) {
  char scheme[32], user[256], host[256], resource[1024];
  int port = 0;
  if (httpSeparateURI(HTTP_URI_CODING_ALL, url.c_str(), scheme, sizeof scheme,
                      user, sizeof user, host, sizeof host, &port, resource,
                      sizeof resource) < HTTP_URI_STATUS_OK) {
    return false;
  }
  if (std::strcmp(scheme, "http") != 0 && std::strcmp(scheme, "https") != 0) {
    return false;
  }
  http_t* http = httpConnect2(host, port, nullptr, AF_UNSPEC,
                              std::strcmp(scheme, "https") == 0
                                  ? HTTP_ENCRYPTION_ALWAYS
                                  : HTTP_ENCRYPTION_IF_REQUESTED,
                              1, kWebProbeMilliseconds, nullptr);
  if (!http) return false;
  httpSetTimeout(http, kWebProbeMilliseconds / 1000.0, nullptr, nullptr);
  bool available = false;
  httpClearFields(http);
  if (httpGet(http, resource) == 0) {
    http_status_t status;
    while ((status = httpUpdate(http)) == HTTP_STATUS_CONTINUE) {
    }
    if (status == HTTP_STATUS_OK) {
      std::string body;
      char buffer[2048];
      ssize_t n;
      while (body.size() < 16384 &&
             (n = httpRead2(http, buffer, sizeof buffer)) > 0) {
        body.append(buffer, static_cast<std::size_t>(n));
      }
      available = body.find("Web Interface is Disabled") == std::string::npos;
    }
  }
  httpClose(http);
  return available;
}

}  // namespace

// CupsPrintService

void CupsPrintService::RememberFailure(std::int32_t code, const char* message) {
  if (!message || !*message) return;
  std::lock_guard lock(mutex_);
  messages_[code] = message;
}

std::vector<std::string> CupsPrintService::PrinterNames() {
  PrepareThread();
  ipp_t* request = ippNewRequest(IPP_OP_CUPS_GET_PRINTERS);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name",
               nullptr, cupsUser());
  RequestAttributes(request, {"printer-name"});
  Response response = Send(request, "/");
  std::vector<std::string> names;
  if (!response.ipp) return names;
  for (ipp_attribute_t* attribute = ippFirstAttribute(response.ipp.get());
       attribute; attribute = ippNextAttribute(response.ipp.get())) {
    const char* name = ippGetName(attribute);
    if (name && !std::strcmp(name, "printer-name") &&
        ippGetGroupTag(attribute) == IPP_TAG_PRINTER) {
      if (const char* value = ippGetString(attribute, 0, nullptr)) {
        names.emplace_back(value);
      }
    }
  }
  return names;
}

PrinterReading CupsPrintService::ReadPrinter(const std::string& name) {
  PrinterReading reading;
  if (name.empty()) return reading;
  PrepareThread();
  ipp_t* request = NewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES, name);
  RequestAttributes(request, {"printer-name",
                              "printer-info",
                              "printer-location",
                              "device-uri",
                              "printer-make-and-model",
                              "printer-type",
                              "printer-is-shared",
                              "printer-state",
                              "printer-state-reasons",
                              "queued-job-count",
                              "pages-per-minute",
                              "job-priority-default",
                              "job-sheets-default",
                              "document-format-default",
                              "media-default",
                              "orientation-requested-default",
                              "copies-default",
                              "sides-default",
                              "print-color-mode-default",
                              "printer-resolution-default",
                              "multiple-document-handling-default"});
  Response response = Send(request, "/");
  if (!Succeeded(response.status) || !response.ipp) {
    if (IsNoSuchPrinter(response.status)) return reading;
    reading.outcome = ReadOutcome::kFailed;
    reading.error = response.status;
    RememberFailure(response.status, response.message.c_str());
    return reading;
  }
  AttributeView view = WholeResponse(response.ipp.get());
  PrinterRecord& record = reading.record;
  std::string queue = view.Text("printer-name");
  if (queue.empty()) queue = name;
  auto printer_type = static_cast<std::int32_t>(view.Number("printer-type"));
  DescribeDevice(queue, view.Text("device-uri"), printer_type, record);
  record.driver_name = view.Text("printer-make-and-model");
  record.comment = view.Text("printer-info");
  record.location = view.Text("printer-location");
  record.datatype = view.Text("document-format-default");
  std::vector<std::string> sheets = view.Texts("job-sheets-default");
  if (!sheets.empty() && sheets[0] != "none") record.separator_file = sheets[0];
  if (view.Number("printer-is-shared")) {
    record.attributes |= printer_attributes::kShared;
    record.share_name = queue;
  }
  if (printer_type & CUPS_PRINTER_DEFAULT) {
    record.attributes |= printer_attributes::kDefault;
  }
  record.default_priority = ClampLong(view.Number("job-priority-default"));
  record.status =
      PrinterStatusFromIpp(static_cast<int>(view.Number("printer-state")),
                           view.Texts("printer-state-reasons"));
  record.jobs = ClampLong(view.Number("queued-job-count"));
  record.average_ppm = ClampLong(view.Number("pages-per-minute"));

  DeviceSettings& settings = reading.settings;
  settings.device_name = queue;
  settings.spec_version = 0x0401;
  ApplyAttributes(view, "-default", settings);
  ApplyUserOptions(queue, settings);
  reading.outcome = ReadOutcome::kRead;
  return reading;
}

std::string CupsPrintService::DefaultPrinterName() {
  PrepareThread();
  // The same lookup `lpstat -d` makes: LPDEST, PRINTER, the lpoptions
  // files, then the server's default; a name that does not exist gives none.
  cups_dest_t* dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, nullptr, nullptr);
  if (!dest) return "";
  std::string name = dest->name ? dest->name : "";
  cupsFreeDests(1, dest);
  return name;
}

bool CupsPrintService::SetDefaultPrinter(const std::string& name) {
  if (name.empty()) return false;
  PrepareThread();
  cups_dest_t* dests = nullptr;
  int count = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
  cups_dest_t* chosen = cupsGetDest(name.c_str(), nullptr, count, dests);
  bool done = false;
  if (chosen) {
    for (int i = 0; i < count; ++i) dests[i].is_default = 0;
    chosen->is_default = 1;
    done = cupsSetDests2(CUPS_HTTP_DEFAULT, count, dests) == 0;
    // These variables win over lpoptions, so a process that has one sees
    // the new default only through it.
    if (done) {
      for (const char* variable : {"LPDEST", "PRINTER"}) {
        if (getenv(variable)) setenv(variable, chosen->name, 1);
      }
    }
  }
  std::string chosen_name = chosen ? chosen->name : "";
  cupsFreeDests(count, dests);
  // Report what took effect, as the lookup `lpstat -d` makes sees it.
  return done && DefaultPrinterName() == chosen_name;
}

CommandOutcome CupsPrintService::ControlPrinter(const std::string& name,
                                                PrinterCommand command) {
  if (name.empty()) return CommandOutcome::kNotOpened;
  PrepareThread();
  ipp_op_t op = command == PrinterCommand::kPause    ? IPP_OP_PAUSE_PRINTER
                : command == PrinterCommand::kResume ? IPP_OP_RESUME_PRINTER
                                                     : IPP_OP_PURGE_JOBS;
  Response response = Send(NewRequest(op, name), "/admin/");
  if (Succeeded(response.status)) return CommandOutcome::kDone;
  RememberFailure(response.status, response.message.c_str());
  // Not being allowed to administer the printer is, as for a printer that
  // does not exist, failing to open it for administration.
  if (IsNoSuchPrinter(response.status) || IsDenied(response.status)) {
    return CommandOutcome::kNotOpened;
  }
  return CommandOutcome::kRefused;
}

bool CupsPrintService::CanAdminister(const std::string& name) {
  if (name.empty()) return false;
  PrepareThread();
  // An administrative operation that changes nothing unless new jobs were
  // being held, which nothing here asks for.
  Response response =
      Send(NewRequest(IPP_OP_RELEASE_HELD_NEW_JOBS, name), "/admin/");
  return Succeeded(response.status);
}

void CupsPrintService::ShowPropertiesDialog(const std::string& name,
                                            std::int32_t /*parent_window*/) {
  if (name.empty()) return;
  PrepareThread();
  // A server reached through a domain socket has no page a browser can
  // open.
  const char* server = cupsServer();
  if (!server || server[0] == '/') return;
  ipp_t* request = NewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES, name);
  RequestAttributes(request, {"printer-more-info"});
  Response response = Send(request, "/");
  if (!Succeeded(response.status)) return;
  std::string url = WholeResponse(response.ipp.get()).Text("printer-more-info");
  if (url.empty() || !WebPageAvailable(url)) return;
  platform::ShellExecute("open", url, "", "", 1);
}

JobCountReading CupsPrintService::JobCount(const std::string& name) {
  JobCountReading reading;
  if (name.empty()) return reading;
  PrepareThread();
  ipp_t* request = NewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES, name);
  RequestAttributes(request, {"queued-job-count"});
  Response response = Send(request, "/");
  if (!Succeeded(response.status)) {
    if (IsNoSuchPrinter(response.status)) return reading;
    reading.outcome = ReadOutcome::kFailed;
    reading.error = response.status;
    RememberFailure(response.status, response.message.c_str());
    return reading;
  }
  reading.outcome = ReadOutcome::kRead;
  reading.count =
      ClampLong(WholeResponse(response.ipp.get()).Number("queued-job-count"));
  return reading;
}

JobsReading CupsPrintService::ReadJobs(const std::string& name) {
  JobsReading reading;
  if (name.empty()) return reading;
  PrepareThread();
  ipp_t* printer_request = NewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES, name);
  RequestAttributes(printer_request,
                    {"printer-name", "printer-make-and-model"});
  Response printer = Send(printer_request, "/");
  if (!Succeeded(printer.status)) {
    if (IsNoSuchPrinter(printer.status)) return reading;
    reading.outcome = ReadOutcome::kFailed;
    reading.error = printer.status;
    RememberFailure(printer.status, printer.message.c_str());
    return reading;
  }
  AttributeView printer_view = WholeResponse(printer.ipp.get());
  std::string queue = printer_view.Text("printer-name");
  if (queue.empty()) queue = name;
  std::string driver = printer_view.Text("printer-make-and-model");

  ipp_t* request = NewRequest(IPP_OP_GET_JOBS, name);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "which-jobs",
               nullptr, "not-completed");
  RequestAttributes(request, {"job-id",
                              "job-name",
                              "job-originating-user-name",
                              "job-originating-host-name",
                              "job-state",
                              "job-state-reasons",
                              "job-printer-state-message",
                              "job-priority",
                              "job-k-octets",
                              "job-impressions",
                              "job-impressions-completed",
                              "time-at-creation",
                              "time-at-processing",
                              "document-format",
                              "media",
                              "orientation-requested",
                              "copies",
                              "sides",
                              "print-color-mode",
                              "printer-resolution",
                              "multiple-document-handling"});
  Response response = Send(request, "/");
  if (!Succeeded(response.status)) {
    reading.outcome = ReadOutcome::kFailed;
    reading.error = response.status;
    RememberFailure(response.status, response.message.c_str());
    return reading;
  }
  reading.outcome = ReadOutcome::kRead;
  std::time_t now = std::time(nullptr);
  auto flush = [&](const AttributeView& view) {
    if (view.Find("job-id") == nullptr) return;
    JobRecord job;
    job.job_id = ClampLong(view.Number("job-id"));
    job.printer_name = queue;
    job.machine_name = view.Text("job-originating-host-name");
    job.user_name = view.Text("job-originating-user-name");
    job.notify_name = job.user_name;
    job.document = view.Text("job-name");
    job.datatype = view.Text("document-format");
    job.driver_name = driver;
    job.settings.device_name = queue;
    job.settings.spec_version = 0x0401;
    ApplyAttributes(view, "", job.settings);
    job.status_text = view.Text("job-printer-state-message");
    int state = static_cast<int>(view.Number("job-state"));
    job.status = JobStatusFromIpp(state, view.Texts("job-state-reasons"));
    job.priority = ClampLong(view.Number("job-priority"));
    job.position = static_cast<std::int32_t>(reading.jobs.size()) + 1;
    job.total_pages = ClampLong(view.Number("job-impressions"));
    job.pages_printed = ClampLong(view.Number("job-impressions-completed"));
    job.size = ClampLong(view.Number("job-k-octets") * 1024);
    job.submitted = view.Number("time-at-creation");
    long long started = view.Number("time-at-processing");
    if (state == IPP_JSTATE_PROCESSING && started > 0 && now >= started) {
      job.time = ClampLong((now - started) * 1000LL);
    }
    reading.jobs.push_back(std::move(job));
  };
  AttributeView view;
  if (response.ipp) {
    for (ipp_attribute_t* attribute = ippFirstAttribute(response.ipp.get());
         attribute; attribute = ippNextAttribute(response.ipp.get())) {
      if (ippGetGroupTag(attribute) != IPP_TAG_JOB || !ippGetName(attribute)) {
        // A separator or another group ends the job being read.
        flush(view);
        view.Clear();
        continue;
      }
      view.Add(attribute);
    }
  }
  flush(view);
  return reading;
}

CommandOutcome CupsPrintService::ControlJob(const std::string& name,
                                            std::int32_t job_id,
                                            JobCommand command) {
  if (name.empty()) return CommandOutcome::kNotOpened;
  PrepareThread();
  // Opening the printer: a job command on a printer that does not exist
  // must not be confused with one on a job that does not exist.
  ipp_t* probe = NewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES, name);
  RequestAttributes(probe, {"printer-name"});
  Response printer = Send(probe, "/");
  if (IsNoSuchPrinter(printer.status)) return CommandOutcome::kNotOpened;

  ipp_status_t status = IPP_STATUS_ERROR_INTERNAL;
  auto simple = [&](ipp_op_t op) {
    Response response = Send(NewJobRequest(op, name, job_id), "/jobs/");
    status = response.status;
    if (!Succeeded(status)) RememberFailure(status, response.message.c_str());
  };
  switch (command) {
    case JobCommand::kPause:
      simple(IPP_OP_HOLD_JOB);
      break;
    case JobCommand::kResume:
      simple(IPP_OP_RELEASE_JOB);
      break;
    case JobCommand::kRestart: {
      ipp_t* request = NewJobRequest(IPP_OP_GET_JOB_ATTRIBUTES, name, job_id);
      RequestAttributes(request, {"job-state"});
      Response job = Send(request, "/jobs/");
      if (Succeeded(job.status) &&
          WholeResponse(job.ipp.get()).Number("job-state") ==
              IPP_JSTATE_PROCESSING) {
        // Restart-Job refuses a job still printing; holding and releasing
        // it sends it through again from the start.
        simple(IPP_OP_HOLD_JOB);
        if (Succeeded(status)) simple(IPP_OP_RELEASE_JOB);
      } else {
        simple(IPP_OP_RESTART_JOB);
      }
      break;
    }
    case JobCommand::kCancel:
    case JobCommand::kDelete:
      status = cupsCancelJob2(CUPS_HTTP_DEFAULT, name.c_str(), job_id,
                              command == JobCommand::kDelete ? 1 : 0);
      if (!Succeeded(status)) RememberFailure(status, cupsLastErrorString());
      break;
  }
  return Succeeded(status) ? CommandOutcome::kDone : CommandOutcome::kRefused;
}

bool CupsPrintService::MoveJob(const std::string& name, std::int32_t job_id,
                               std::int32_t delta) {
  if (name.empty() || delta == 0) return false;
  PrepareThread();
  ipp_t* request = NewRequest(IPP_OP_GET_JOBS, name);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "which-jobs",
               nullptr, "not-completed");
  RequestAttributes(request, {"job-id", "job-priority"});
  Response response = Send(request, "/");
  if (!Succeeded(response.status) || !response.ipp) return false;
  struct Entry {
    long long id;
    long long priority;
  };
  std::vector<Entry> order;
  for (ipp_attribute_t* attribute = ippFirstAttribute(response.ipp.get());
       attribute; attribute = ippNextAttribute(response.ipp.get())) {
    const char* attribute_name = ippGetName(attribute);
    if (!attribute_name || ippGetGroupTag(attribute) != IPP_TAG_JOB) continue;
    if (!std::strcmp(attribute_name, "job-id")) {
      order.push_back({ippGetInteger(attribute, 0), 50});
    } else if (!std::strcmp(attribute_name, "job-priority") && !order.empty()) {
      order.back().priority = ippGetInteger(attribute, 0);
    }
  }
  auto it = std::find_if(order.begin(), order.end(),
                         [&](const Entry& e) { return e.id == job_id; });
  if (it == order.end()) return false;
  long long at = it - order.begin();
  long long neighbour = at + delta;
  if (neighbour < 0 || neighbour >= static_cast<long long>(order.size())) {
    return false;
  }
  // The server lists higher priorities first; priorities outside 1-100 are
  // not checked by it, so keep within them.
  long long priority = order[neighbour].priority + (delta < 0 ? 1 : -1);
  priority = std::clamp<long long>(priority, 1, 100);
  ipp_t* change = NewJobRequest(IPP_OP_SET_JOB_ATTRIBUTES, name, job_id);
  ippAddInteger(change, IPP_TAG_JOB, IPP_TAG_INTEGER, "job-priority",
                static_cast<int>(priority));
  Response changed = Send(change, "/jobs/");
  if (!Succeeded(changed.status)) {
    RememberFailure(changed.status, changed.message.c_str());
    return false;
  }
  return true;
}

std::string CupsPrintService::ErrorText(std::int32_t code) {
  {
    std::lock_guard lock(mutex_);
    auto it = messages_.find(code);
    if (it != messages_.end()) return it->second;
  }
  const char* text = ippErrorString(static_cast<ipp_status_t>(code));
  // libcups names a code it does not know by its hexadecimal value.
  if (!text || std::strncmp(text, "0x", 2) == 0) return "";
  return text;
}

std::shared_ptr<PrintService> SystemPrintService() {
  return std::make_shared<CupsPrintService>();
}

}  // namespace nerolin::printing
