#include "printing/ipp_mapping.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <limits>
#include <optional>
#include <utility>

#include <cups/cups.h>
#include <cups/pwg.h>

namespace nerolin::printing {
namespace {

std::int16_t ClampShort(long long value) {
  return static_cast<std::int16_t>(
      std::clamp<long long>(value, std::numeric_limits<std::int16_t>::min(),
                            std::numeric_limits<std::int16_t>::max()));
}

std::optional<long long> ParseNumber(std::string_view text) {
  long long value = 0;
  auto [end, error] =
      std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end == text.data()) return std::nullopt;
  return value;
}

bool IsFalse(std::string_view text) {
  return text == "false" || text == "no" || text == "off" || text == "0";
}

// Strips the severity suffix of a state reason.
std::string_view ReasonKeyword(std::string_view reason, bool* is_error) {
  *is_error = false;
  for (std::string_view suffix : {"-report", "-warning", "-error"}) {
    if (reason.ends_with(suffix)) {
      *is_error = suffix == "-error";
      reason.remove_suffix(suffix.size());
      break;
    }
  }
  return reason;
}

struct ReasonBit {
  std::string_view reason;
  std::int32_t bit;
};

constexpr ReasonBit kPrinterReasons[] = {
    {"paused", printer_status::kPaused},
    {"media-jam", printer_status::kPaperJam},
    {"media-empty", printer_status::kPaperOut},
    {"media-needed", printer_status::kPaperOut},
    {"input-tray-missing", printer_status::kPaperProblem},
    {"offline", printer_status::kOffline},
    {"output-area-full", printer_status::kOutputBinFull},
    {"shutdown", printer_status::kNotAvailable},
    {"toner-low", printer_status::kTonerLow},
    {"marker-supply-low", printer_status::kTonerLow},
    {"toner-empty", printer_status::kTonerOut},
    {"marker-supply-empty", printer_status::kTonerOut},
    {"spool-area-full", printer_status::kOutOfMemory},
    {"door-open", printer_status::kDoorOpen},
    {"cover-open", printer_status::kDoorOpen},
    {"timed-out", printer_status::kServerUnknown},
};

bool HasReason(const std::vector<std::string>& reasons,
               std::string_view wanted) {
  for (const std::string& reason : reasons) {
    bool is_error = false;
    if (ReasonKeyword(reason, &is_error) == wanted) return true;
  }
  return false;
}

std::string FilePort(std::string_view uri) {
  std::string_view path = uri.substr(5);  // after "file:"
  // file:///path and file://localhost/path name the same file as file:/path
  if (path.starts_with("//")) {
    std::size_t slash = path.find('/', 2);
    path = slash == std::string_view::npos ? std::string_view()
                                           : path.substr(slash);
  }
  return "FILE:" + std::string(path);
}

}  // namespace

void ApplySetting(std::string_view name, const std::string& value,
                  DeviceSettings& settings) {
  namespace f = device_fields;
  if (name == "media" || name == "PageSize") {
    ApplyMedia(value, settings);
  } else if (name == "copies") {
    if (auto copies = ParseNumber(value); copies && *copies > 0) {
      settings.copies = ClampShort(*copies);
      settings.fields |= f::kCopies;
    }
  } else if (name == "orientation-requested") {
    auto orientation = ParseNumber(value);
    if (!orientation) return;
    // portrait and reverse-portrait are portrait, the others landscape
    if (*orientation == 3 || *orientation == 6) {
      settings.orientation = 1;
    } else if (*orientation == 4 || *orientation == 5) {
      settings.orientation = 2;
    } else {
      return;
    }
    settings.fields |= f::kOrientation;
  } else if (name == "landscape") {
    settings.orientation = IsFalse(value) ? 1 : 2;
    settings.fields |= f::kOrientation;
  } else if (name == "sides" || name == "Duplex") {
    if (value == "one-sided" || value == "None") {
      settings.duplex = 1;
    } else if (value == "two-sided-long-edge" || value == "DuplexNoTumble") {
      settings.duplex = 2;
    } else if (value == "two-sided-short-edge" || value == "DuplexTumble") {
      settings.duplex = 3;
    } else {
      return;
    }
    settings.fields |= f::kDuplex;
  } else if (name == "print-color-mode") {
    bool mono = value == "monochrome" || value == "bi-level" ||
                value == "process-monochrome" || value == "auto-monochrome" ||
                value == "process-bi-level";
    settings.color = mono ? 1 : 2;
    settings.fields |= f::kColor;
  } else if (name == "printer-resolution" || name == "Resolution") {
    // "600dpi", "600x300dpi" or the same in dpcm
    std::string_view text = value;
    bool per_cm = text.ends_with("dpcm");
    if (!per_cm && !text.ends_with("dpi")) return;
    text.remove_suffix(per_cm ? 4 : 3);
    std::size_t cross = text.find('x');
    auto x = ParseNumber(text.substr(0, cross));
    auto y = cross == std::string_view::npos
                 ? x
                 : ParseNumber(text.substr(cross + 1));
    if (!x || !y) return;
    long long scale_x = per_cm ? *x * 254 / 100 : *x;
    long long scale_y = per_cm ? *y * 254 / 100 : *y;
    settings.print_quality = ClampShort(scale_x);
    settings.y_resolution = ClampShort(scale_y);
    settings.fields |= f::kPrintQuality | f::kYResolution;
  } else if (name == "multiple-document-handling") {
    settings.collate = value == "separate-documents-collated-copies" ? 1 : 0;
    settings.fields |= f::kCollate;
  } else if (name == "collate") {
    settings.collate = IsFalse(value) ? 0 : 1;
    settings.fields |= f::kCollate;
  }
}

// Mappings

std::int32_t PrinterStatusFromIpp(int state,
                                  const std::vector<std::string>& reasons) {
  std::int32_t status = 0;
  if (state == IPP_PSTATE_STOPPED) status |= printer_status::kPaused;
  if (state == IPP_PSTATE_PROCESSING) status |= printer_status::kPrinting;
  for (const std::string& reason : reasons) {
    bool is_error = false;
    std::string_view keyword = ReasonKeyword(reason, &is_error);
    bool known = false;
    for (const ReasonBit& entry : kPrinterReasons) {
      if (entry.reason == keyword) {
        status |= entry.bit;
        known = true;
      }
    }
    if (!known && is_error) status |= printer_status::kError;
  }
  return status;
}

std::int32_t JobStatusFromIpp(int state,
                              const std::vector<std::string>& reasons) {
  std::int32_t status = 0;
  switch (state) {
    case IPP_JSTATE_PENDING:
      if (HasReason(reasons, "printer-stopped")) {
        status |= job_status::kUserIntervention;
      }
      break;
    case IPP_JSTATE_HELD:
      status |= HasReason(reasons, "job-incoming") ? job_status::kSpooling
                                                   : job_status::kPaused;
      break;
    case IPP_JSTATE_PROCESSING:
      status |= job_status::kPrinting;
      break;
    case IPP_JSTATE_STOPPED:
    case IPP_JSTATE_ABORTED:
      status |= job_status::kError;
      break;
    case IPP_JSTATE_CANCELED:
      status |= HasReason(reasons, "processing-to-stop-point")
                    ? job_status::kDeleting
                    : job_status::kDeleted;
      break;
    case IPP_JSTATE_COMPLETED:
      status |= job_status::kPrinted;
      break;
    default:
      break;
  }
  if (HasReason(reasons, "offline")) status |= job_status::kOffline;
  if (HasReason(reasons, "media-empty") || HasReason(reasons, "media-needed")) {
    status |= job_status::kPaperOut;
  }
  return status;
}

void ApplyMedia(std::string_view media, DeviceSettings& settings) {
  std::string name(media);
  pwg_media_t* pwg = pwgMediaForPWG(name.c_str());
  if (!pwg) pwg = pwgMediaForPPD(name.c_str());
  if (!pwg) pwg = pwgMediaForLegacy(name.c_str());
  if (!pwg || !pwg->pwg) return;
  // The paper size codes of the sizes a report is printed on.
  static const std::pair<std::string_view, std::int16_t> kCodes[] = {
      {"na_letter_8.5x11in", 1},        {"na_ledger_11x17in", 4},
      {"na_legal_8.5x14in", 5},         {"na_invoice_5.5x8.5in", 6},
      {"na_executive_7.25x10.5in", 7},  {"iso_a3_297x420mm", 8},
      {"iso_a4_210x297mm", 9},          {"iso_a5_148x210mm", 11},
      {"jis_b4_257x364mm", 12},         {"jis_b5_182x257mm", 13},
      {"na_number-10_4.125x9.5in", 20}, {"iso_dl_110x220mm", 27},
      {"iso_c5_162x229mm", 28},         {"iso_b5_176x250mm", 34},
      {"na_monarch_3.875x7.5in", 37},   {"iso_a6_105x148mm", 70},
  };
  settings.paper_size = 256;  // a size of its own
  for (const auto& [pwg_name, code] : kCodes) {
    if (pwg_name == pwg->pwg) settings.paper_size = code;
  }
  // PWG sizes are in hundredths of a millimetre.
  settings.paper_width = ClampShort(pwg->width / 10);
  settings.paper_length = ClampShort(pwg->length / 10);
  settings.form_name = pwg->ppd ? pwg->ppd : pwg->pwg;
  settings.fields |= device_fields::kPaperSize | device_fields::kPaperLength |
                     device_fields::kPaperWidth | device_fields::kFormName;
}

void DescribeDevice(const std::string& queue_name,
                    const std::string& device_uri, std::int32_t printer_type,
                    PrinterRecord& record) {
  record.port_name = device_uri;
  if (device_uri.starts_with("file:")) {
    record.port_name = FilePort(device_uri);
  }
  std::string server;
  std::string remote_name;
  char scheme[32], user[256], host[256], resource[1024];
  int port = 0;
  if (!device_uri.empty() &&
      httpSeparateURI(HTTP_URI_CODING_ALL, device_uri.c_str(), scheme,
                      sizeof scheme, user, sizeof user, host, sizeof host,
                      &port, resource, sizeof resource) >= HTTP_URI_STATUS_OK) {
    std::string_view path = resource;
    path = path.substr(0, path.find('?'));
    bool ipp_like =
        !std::strcmp(scheme, "ipp") || !std::strcmp(scheme, "ipps") ||
        !std::strcmp(scheme, "http") || !std::strcmp(scheme, "https");
    for (std::string_view prefix : {"/printers/", "/classes/"}) {
      if (ipp_like && path.starts_with(prefix) && path.size() > prefix.size()) {
        server = host;
        remote_name = path.substr(prefix.size());
      }
    }
    if (server.empty() && (printer_type & CUPS_PRINTER_REMOTE)) {
      server = host;
      remote_name = queue_name;
    }
  }
  if (!server.empty()) {
    record.server_name = "\\\\" + server;
    record.printer_name = "\\\\" + server + "\\" + remote_name;
    record.attributes |= printer_attributes::kNetwork;
  } else {
    record.printer_name = queue_name;
    record.attributes |= printer_attributes::kLocal;
  }
}

}  // namespace nerolin::printing
