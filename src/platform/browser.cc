#include "platform/browser.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <signal.h>
#include <stdlib.h>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <utility>

#include <cups/cups.h>
#include <sys/wait.h>

#include "platform/pdf_job.h"
#include "platform/process.h"
#include "platform/windows.h"

namespace nerolin::platform {

namespace {

constexpr const char* kSource = "Browser";
constexpr const char* kDefaultChromium = "/usr/lib/chromium/chromium";
constexpr std::chrono::milliseconds kDefaultLoadTimeout{60000};
constexpr std::chrono::milliseconds kDefaultPrintTimeout{120000};
constexpr std::chrono::milliseconds kDefaultPreviewTimeout{30000};
// How often a print job's state is asked for, and how often the display is
// searched for the preview window.
// A job on a local server completes within tens of milliseconds of its
// last page; asking the server is one small request.
constexpr auto kJobPoll = std::chrono::milliseconds(20);
constexpr auto kWindowPoll = std::chrono::milliseconds(20);
constexpr std::chrono::seconds kDefaultIdle{60};

// Flags common to rendering and the preview window: no sandbox (the engine
// may run as root), and nothing that reaches the network or shows first-run
// pages; the resolver rule stops every host name lookup.
const char* const kQuietFlags[] = {
    "--no-sandbox",
    "--disable-gpu",
    "--disable-background-networking",
    "--disable-component-update",
    "--disable-sync",
    "--disable-default-apps",
    "--disable-extensions",
    "--no-first-run",
    "--no-default-browser-check",
    "--disable-breakpad",
    "--mute-audio",
    "--disable-dev-shm-usage",
    "--host-resolver-rules=MAP * ~NOTFOUND",
};

// The whole number, 0 or more, an environment variable holds; nothing
// when it is unset or holds anything else.
std::optional<long long> EnvironmentNumber(const char* name) {
  const char* text = std::getenv(name);
  if (text == nullptr) return std::nullopt;
  const std::string_view value(text);
  long long parsed = 0;
  const auto [end, error] =
      std::from_chars(value.data(), value.data() + value.size(), parsed);
  if (value.empty() || error != std::errc() ||
      end != value.data() + value.size() || parsed < 0) {
    return std::nullopt;
  }
  return parsed;
}

std::chrono::milliseconds EnvironmentMilliseconds(
    const char* name, std::chrono::milliseconds fallback) {
  const std::optional<long long> parsed = EnvironmentNumber(name);
  return parsed && *parsed > 0 ? std::chrono::milliseconds(*parsed) : fallback;
}

// Whole seconds, 0 included.
std::chrono::seconds EnvironmentSeconds(const char* name,
                                        std::chrono::seconds fallback) {
  const std::optional<long long> parsed = EnvironmentNumber(name);
  return parsed ? std::chrono::seconds(*parsed) : fallback;
}

std::string SystemReason(int error) { return std::strerror(error); }

AutomationError Failure(std::string description) {
  return AutomationError(browser_errors::kFailed, std::move(description),
                         kSource);
}

// Started in a process group of its own so that Chromium's helpers can be
// ended with it.
pid_t Spawn(const std::vector<std::string>& command) {
  pid_t pid = -1;
  const int error =
      SpawnDetached(command, Detachment::kOwnProcessGroup, "", &pid);
  if (error != 0) {
    throw AutomationError(errors::kCantCreateObject,
                          "Chromium cannot be started: " + command[0] + " (" +
                              SystemReason(error) + ")",
                          kSource);
  }
  return pid;
}

std::string ExitDescription(int status) {
  if (WIFEXITED(status)) {
    return "exit status " + std::to_string(WEXITSTATUS(status));
  }
  if (WIFSIGNALED(status)) {
    return std::string("signal ") + std::to_string(WTERMSIG(status));
  }
  return "status " + std::to_string(status);
}

std::string HtmlEscape(std::string_view text) {
  std::string escaped;
  for (char c : text) {
    switch (c) {
      case '&':
        escaped += "&amp;";
        break;
      case '<':
        escaped += "&lt;";
        break;
      case '>':
        escaped += "&gt;";
        break;
      case '"':
        escaped += "&quot;";
        break;
      default:
        escaped += c;
    }
  }
  return escaped;
}

void WriteTextFile(const std::string& path, std::string_view text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  out.close();
  if (!out) {
    throw AutomationError(errors::kPathFileAccess,
                          "Path/File access error: " + path, kSource);
  }
}

std::string_view JobStateName(int state) {
  switch (state) {
    case IPP_JSTATE_PENDING:
      return "pending";
    case IPP_JSTATE_HELD:
      return "held";
    case IPP_JSTATE_PROCESSING:
      return "processing";
    case IPP_JSTATE_STOPPED:
      return "stopped";
    case IPP_JSTATE_CANCELED:
      return "canceled";
    case IPP_JSTATE_ABORTED:
      return "aborted";
    case IPP_JSTATE_COMPLETED:
      return "completed";
    default:
      return "unknown";
  }
}

// The job's state (IPP_JSTATE_*) and state message; state 0 when the
// server could not be asked.
std::pair<int, std::string> JobState(int job) {
  ipp_t* request = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
  char uri[HTTP_MAX_URI];
  std::snprintf(uri, sizeof uri, "ipp://localhost/jobs/%d", job);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr,
               uri);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name",
               nullptr, cupsUser());
  static const char* const kWanted[] = {"job-state",
                                        "job-printer-state-message"};
  ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD,
                "requested-attributes", 2, nullptr, kWanted);
  ipp_t* response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/");
  if (response == nullptr) return {0, cupsLastErrorString()};
  std::pair<int, std::string> result{0, {}};
  if (ipp_attribute_t* state =
          ippFindAttribute(response, "job-state", IPP_TAG_ENUM)) {
    result.first = ippGetInteger(state, 0);
  }
  if (ipp_attribute_t* message = ippFindAttribute(
          response, "job-printer-state-message", IPP_TAG_TEXT)) {
    if (const char* text = ippGetString(message, 0, nullptr)) {
      result.second = text;
    }
  }
  ippDelete(response);
  return result;
}

const char* NoPassword(const char*, http_t*, const char*, const char*, void*) {
  return nullptr;
}

}  // namespace

BrowserSettings BrowserSettings::FromEnvironment() {
  BrowserSettings settings;
  const char* chromium = std::getenv("NEROLIN_CHROMIUM");
  settings.chromium_path =
      chromium != nullptr && *chromium != '\0' ? chromium : kDefaultChromium;
  settings.load_timeout =
      EnvironmentMilliseconds("NEROLIN_LOAD_TIMEOUT_MS", kDefaultLoadTimeout);
  settings.print_timeout =
      EnvironmentMilliseconds("NEROLIN_PRINT_TIMEOUT_MS", kDefaultPrintTimeout);
  settings.preview_timeout = EnvironmentMilliseconds(
      "NEROLIN_PREVIEW_TIMEOUT_MS", kDefaultPreviewTimeout);
  settings.idle = EnvironmentSeconds("NEROLIN_BROWSER_IDLE_S", kDefaultIdle);
  return settings;
}

std::vector<std::string> HeadlessCommand(const BrowserSettings& settings,
                                         const std::string& profile_dir) {
  std::vector<std::string> command{settings.chromium_path, "--headless"};
  command.insert(command.end(), std::begin(kQuietFlags), std::end(kQuietFlags));
  command.push_back("--user-data-dir=" + profile_dir);
  command.push_back("--remote-debugging-pipe");
  command.push_back("about:blank");
  return command;
}

std::vector<std::string> WindowCommand(const BrowserSettings& settings,
                                       const std::string& profile_dir,
                                       const std::string& file_url) {
  std::vector<std::string> command{settings.chromium_path};
  command.insert(command.end(), std::begin(kQuietFlags), std::end(kQuietFlags));
  // The window lives on X11, where the desktop-window functions find it;
  // --test-type drops the bar that warns about --no-sandbox.
  command.push_back("--ozone-platform=x11");
  command.push_back("--test-type");
  command.push_back("--user-data-dir=" + profile_dir);
  command.push_back("--app=" + file_url);
  return command;
}

std::string FileUrl(const std::string& absolute_path) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string url = "file://";
  for (unsigned char c : absolute_path) {
    const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                       (c >= '0' && c <= '9') || c == '-' || c == '.' ||
                       c == '_' || c == '~' || c == '/';
    if (plain) {
      url += static_cast<char>(c);
    } else {
      url += '%';
      url += kHex[c >> 4];
      url += kHex[c & 0xF];
    }
  }
  return url;
}

Browser::Browser(BrowserSettings settings) : settings_(std::move(settings)) {
  std::error_code error;
  std::filesystem::path base = std::filesystem::temp_directory_path(error);
  if (error) base = "/tmp";
  std::string pattern = (base / "nerolin-browser-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    throw AutomationError(
        errors::kPathFileAccess,
        "Path/File access error: " + pattern + " (" + SystemReason(errno) + ")",
        kSource);
  }
  temp_dir_ = pattern;
}

Browser::~Browser() {
  render_.reset();
  ClosePreview();
  std::error_code ignored;
  std::filesystem::remove_all(temp_dir_, ignored);
}

std::optional<pid_t> Browser::PreviewProcess() const {
  if (preview_pid_ <= 0) return std::nullopt;
  return preview_pid_;
}

void Browser::Fail(AutomationError error) {
  state_ = kReadyStateUninitialized;
  failure_ = error;
  throw error;
}

void Browser::ClosePreview() {
  EndProcessGroup(preview_pid_, /*graceful=*/true);
  preview_pid_ = -1;
}

void Browser::Navigate(const std::string& path) {
  if (path.empty()) {
    throw AutomationError(errors::kBadFileName, "Bad file name: (empty)",
                          kSource);
  }
  render_.reset();
  failure_.reset();
  state_ = kReadyStateUninitialized;
  pdf_path_.clear();
  std::error_code error;
  std::filesystem::path absolute = std::filesystem::absolute(path, error);
  if (error) absolute = path;
  document_ = absolute.lexically_normal().string();
  // A new name for each document: a preview still open shows the previous
  // one from its own file.
  pending_pdf_ =
      temp_dir_ + "/document-" + std::to_string(++generation_) + ".pdf";
  std::filesystem::remove(pending_pdf_, error);
  render_ = std::make_unique<PdfJob>(document_, settings_);
  state_ = kReadyStateLoading;
}

int Browser::ReadyState() {
  if (failure_) throw *failure_;
  if (state_ != kReadyStateLoading) return state_;
  if (!render_->Poll()) return state_;
  std::optional<AutomationError> failure = render_->error();
  if (!failure) {
    try {
      WriteWholeFile(pending_pdf_, render_->TakePdf());
    } catch (const AutomationError& error) {
      failure = Failure("The browser could not keep the PDF of " + document_ +
                        ": " + error.description());
    }
  }
  // The page is closed and the warm browser free for others as soon as the
  // document is rendered.
  render_.reset();
  if (failure) Fail(*failure);
  pdf_path_ = pending_pdf_;
  state_ = kReadyStateComplete;
  return state_;
}

void Browser::ExecWB(int command, int /*option*/, int /*input*/,
                     int /*output*/) {
  if (command != kCommandPrint && command != kCommandPrintPreview) {
    throw AutomationError(
        browser_errors::kCommandNotSupported,
        "The browser does not support command " + std::to_string(command),
        kSource);
  }
  if (ReadyState() != kReadyStateComplete) {
    throw Failure(document_.empty()
                      ? std::string("No document is loaded")
                      : "The document " + document_ + " is not loaded yet");
  }
  if (command == kCommandPrint) {
    Print();
  } else {
    Preview();
  }
}

void Browser::Print() {
  // Nothing may prompt for a password inside a host: an answer of none
  // makes the request fail instead.
  cupsSetPasswordCB2(NoPassword, nullptr);
  cups_dest_t* dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, nullptr, nullptr);
  if (dest == nullptr) {
    std::string reason;
    if (cupsLastError() > IPP_STATUS_OK_EVENTS_COMPLETE &&
        cupsLastError() != IPP_STATUS_ERROR_NOT_FOUND) {
      reason = std::string(" (") + cupsLastErrorString() + ")";
    }
    throw Failure("There is no default printer to print " + document_ + reason);
  }
  const std::string printer = dest->name;
  const std::string title =
      std::filesystem::path(document_).filename().string();
  const int job =
      cupsPrintFile(printer.c_str(), pdf_path_.c_str(), title.c_str(),
                    dest->num_options, dest->options);
  cupsFreeDests(1, dest);
  if (job <= 0) {
    throw Failure("The printer " + printer + " refused " + document_ + " (" +
                  cupsLastErrorString() + ")");
  }
  const auto deadline =
      std::chrono::steady_clock::now() + settings_.print_timeout;
  const std::string job_name = "The print job " + std::to_string(job) + " of " +
                               document_ + " on " + printer;
  for (;;) {
    const auto [state, message] = JobState(job);
    if (state == IPP_JSTATE_COMPLETED) return;
    if (state == IPP_JSTATE_CANCELED || state == IPP_JSTATE_ABORTED) {
      throw Failure(job_name + " was " + std::string(JobStateName(state)) +
                    (message.empty() ? "" : " (" + message + ")"));
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      // Told that the print failed, the caller may print again: the job
      // must not come out later on its own as well.
      cupsCancelJob2(CUPS_HTTP_DEFAULT, printer.c_str(), job, 0);
      throw Failure(job_name + " did not complete within " +
                    std::to_string(settings_.print_timeout.count()) +
                    " ms (it was " + std::string(JobStateName(state)) +
                    (message.empty() ? "" : ": " + message) +
                    ") and was canceled");
    }
    std::this_thread::sleep_for(kJobPoll);
  }
}

void Browser::Preview() {
  const char* display = std::getenv("DISPLAY");
  if (display == nullptr || *display == '\0') {
    throw Failure("The print preview needs a display, and DISPLAY is not set");
  }
  ClosePreview();
  const std::string page = temp_dir_ + "/preview.html";
  WriteTextFile(page,
                "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">"
                "<title>" +
                    HtmlEscape(kPreviewCaption) +
                    "</title><style>html,body{margin:0;height:100%;"
                    "overflow:hidden}embed{display:block;width:100%;height:"
                    "100%;border:0}</style></head><body><embed "
                    "type=\"application/pdf\" src=\"" +
                    HtmlEscape(FileUrl(pdf_path_)) + "\"></body></html>\n");
  preview_pid_ = Spawn(
      WindowCommand(settings_, temp_dir_ + "/preview-profile", FileUrl(page)));
  const auto deadline =
      std::chrono::steady_clock::now() + settings_.preview_timeout;
  for (;;) {
    // Another browser's preview may be open as well: ours is the window
    // whose owner is our process.
    for (WindowHandle window : FindWindowsByCaption(kPreviewCaption)) {
      const std::optional<long> owner = WindowProcessId(window);
      if (!owner || *owner == preview_pid_) return;
    }
    int status = 0;
    if (waitpid(preview_pid_, &status, WNOHANG) == preview_pid_) {
      preview_pid_ = -1;
      throw Failure("The print preview of " + document_ +
                    " could not be shown on display " + display +
                    ": Chromium ended (" + ExitDescription(status) + ")");
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      ClosePreview();
      throw Failure("The print preview window of " + document_ +
                    " did not appear on display " + display + " within " +
                    std::to_string(settings_.preview_timeout.count()) + " ms");
    }
    std::this_thread::sleep_for(kWindowPoll);
  }
}

void ExportPdf(const std::string& html_path, const std::string& pdf_path,
               const BrowserSettings& settings) {
  if (pdf_path.empty()) {
    throw AutomationError(errors::kBadFileName, "Bad file name: (empty)",
                          kSource);
  }
  std::optional<AutomationError> failure;
  PdfQueue queue(settings, 1,
                 [&](std::size_t, const std::optional<AutomationError>& error) {
                   failure = error;
                 });
  queue.Add(0, html_path, pdf_path);
  queue.Finish();
  if (failure) throw *failure;
}

}  // namespace nerolin::platform
