#include "platform/pdf_job.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <system_error>
#include <unistd.h>
#include <utility>

#include "platform/base64.h"
#include "platform/unique_fd.h"
#include "platform/warm_chromium.h"

namespace nerolin::platform {

namespace {

constexpr const char* kSource = "Browser";
// How long a browser whose page ran out of time gets to answer a question
// of its own before it counts as no longer answering.
constexpr auto kProbeWait = std::chrono::seconds(5);
// How long a queue waits for the browser's messages between looks at its
// renders' deadlines.
constexpr auto kTurnWait = std::chrono::milliseconds(20);

AutomationError Failure(std::string description) {
  return AutomationError(browser_errors::kFailed, std::move(description),
                         kSource);
}

// What Chromium prints with: the report's own paper and margin boxes, and
// backgrounds as the screen shows them, as Chromium's own print-to-PDF does.
nlohmann::json PrintParameters() {
  return {{"paperWidth", 8.5},         {"paperHeight", 11},
          {"preferCSSPageSize", true}, {"displayHeaderFooter", false},
          {"printBackground", true},   {"transferMode", "ReturnAsBase64"}};
}

std::string ErrorText(const nlohmann::json& error) {
  if (error.is_object()) {
    if (const auto message = error.find("message");
        message != error.end() && message->is_string()) {
      return message->get<std::string>();
    }
  }
  return error.dump();
}

}  // namespace

PdfJob::PdfJob(std::string document, BrowserSettings settings)
    : document_(std::move(document)), settings_(std::move(settings)) {
  WarmChromium::Instance().Hold(settings_);
  Begin();
}

PdfJob::~PdfJob() {
  ClosePage();
  WarmChromium::Instance().Release();
}

void PdfJob::Begin() {
  WarmChromium& chromium = WarmChromium::Instance();
  generation_ = chromium.generation();
  target_.clear();
  session_.clear();
  probe_ = 0;
  deadline_ = std::chrono::steady_clock::now() + settings_.load_timeout;
  step_ = Step::kCreate;
  pending_ = chromium.Send("Target.createTarget", {{"url", "about:blank"}});
}

bool PdfJob::Poll() {
  if (finished()) return true;
  WarmChromium& chromium = WarmChromium::Instance();
  chromium.Pump(std::chrono::milliseconds(0));
  if (chromium.generation() != generation_ || !chromium.running()) {
    Retry("ended");
    return finished();
  }
  for (;;) {
    const Step before = step_;
    Advance();
    if (finished() || step_ == before) break;
  }
  if (finished()) return true;
  const auto now = std::chrono::steady_clock::now();
  if (probe_ == 0) {
    // A page that runs out of time is the page's fault only when the
    // browser still answers; one that does not answer is started again.
    if (now >= deadline_) {
      probe_ = chromium.Send("Browser.getVersion", nlohmann::json::object());
      probe_deadline_ = now + kProbeWait;
    }
  } else if (chromium.TakeResponse(probe_)) {
    Finish(Failure("The browser did not finish loading " + document_ +
                   " within " + std::to_string(settings_.load_timeout.count()) +
                   " ms"));
  } else if (now >= probe_deadline_) {
    Retry("stopped answering");
  }
  return finished();
}

void PdfJob::Advance() {
  WarmChromium& chromium = WarmChromium::Instance();
  if (step_ == Step::kLoad) {
    const std::optional<WarmChromium::Event> event =
        chromium.TakeEvent(session_, navigated_at_);
    if (!event) return;
    if (event->method != "Page.loadEventFired") {
      Finish(Failure("The browser's page of " + document_ + " ended (" +
                     event->params.value("reason", event->method) + ")"));
      return;
    }
    pending_ = chromium.Send("Page.printToPDF", PrintParameters(), session_);
    step_ = Step::kPrint;
    return;
  }
  std::optional<WarmChromium::Response> response =
      chromium.TakeResponse(pending_);
  if (!response) return;
  if (response->error) {
    Finish(Failure("The browser could not load " + document_ + ": " +
                   ErrorText(*response->error)));
    return;
  }
  const nlohmann::json& result = response->result;
  switch (step_) {
    case Step::kCreate:
      target_ = result.value("targetId", "");
      pending_ = chromium.Send("Target.attachToTarget",
                               {{"targetId", target_}, {"flatten", true}});
      step_ = Step::kAttach;
      break;
    case Step::kAttach:
      session_ = result.value("sessionId", "");
      chromium.Follow(session_);
      pending_ =
          chromium.Send("Page.enable", nlohmann::json::object(), session_);
      step_ = Step::kEnable;
      break;
    case Step::kEnable:
      // A load event read from here on is the report's: one that comes
      // even before the answer to the navigation is not missed.
      navigated_at_ = chromium.sequence();
      pending_ = chromium.Send("Page.navigate", {{"url", FileUrl(document_)}},
                               session_);
      step_ = Step::kNavigate;
      break;
    case Step::kNavigate: {
      const std::string error_text = result.value("errorText", "");
      if (!error_text.empty()) {
        std::error_code ignored;
        if (!std::filesystem::exists(document_, ignored)) {
          Finish(AutomationError(errors::kFileNotFound,
                                 "File not found: " + document_, kSource));
        } else {
          Finish(Failure("The browser could not load " + document_ + ": " +
                         error_text));
        }
        return;
      }
      if (result.value("isDownload", false)) {
        Finish(Failure("The browser could not load " + document_ +
                       ": it is no page the browser shows"));
        return;
      }
      step_ = Step::kLoad;
      break;
    }
    case Step::kPrint: {
      const auto data = result.find("data");
      std::optional<std::string> pdf;
      if (data != result.end() && data->is_string()) {
        pdf = Base64Decode(data->get_ref<const std::string&>());
      }
      if (!pdf || !pdf->starts_with("%PDF-")) {
        Finish(Failure("The browser could not load " + document_ +
                       ": Chromium made no PDF of it"));
        return;
      }
      pdf_ = std::move(*pdf);
      Finish(std::nullopt);
      break;
    }
    case Step::kLoad:
    case Step::kFinished:
      break;
  }
}

void PdfJob::Retry(const std::string& reason) {
  target_.clear();  // went with the browser, or goes with it now
  if (!session_.empty()) WarmChromium::Instance().Unfollow(session_);
  session_.clear();
  if (retried_) {
    Finish(Failure("The browser " + reason + " while loading " + document_ +
                   ", also after it was started again"));
    return;
  }
  retried_ = true;
  try {
    WarmChromium::Instance().Restart(generation_, settings_);
  } catch (const AutomationError& error) {
    Finish(error);
    return;
  }
  Begin();
}

void PdfJob::Finish(std::optional<AutomationError> error) {
  error_ = std::move(error);
  ClosePage();
  step_ = Step::kFinished;
}

void PdfJob::ClosePage() {
  WarmChromium& chromium = WarmChromium::Instance();
  const bool same_browser =
      chromium.generation() == generation_ && chromium.running();
  if (!target_.empty() && same_browser) {
    chromium.Send("Target.closeTarget", {{"targetId", target_}}, {},
                  /*wanted=*/false);
  }
  if (!session_.empty()) chromium.Unfollow(session_);
  target_.clear();
  session_.clear();
}

void WriteWholeFile(const std::string& path, const std::string& bytes) {
  static std::atomic<unsigned> counter{0};
  const std::string temporary = path + ".part-" + std::to_string(getpid()) +
                                "-" + std::to_string(++counter);
  bool created = false;
  const auto fail = [&](int error) {
    if (created) unlink(temporary.c_str());
    throw AutomationError(
        errors::kPathFileAccess,
        "Path/File access error: " + path + " (" + std::strerror(error) + ")",
        kSource);
  };
  UniqueFd out(
      open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
  if (out.get() < 0) fail(errno);
  created = true;
  std::size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t n =
        write(out.get(), bytes.data() + written, bytes.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) fail(n < 0 ? errno : EIO);
    written += static_cast<std::size_t>(n);
  }
  if (close(out.Release()) != 0) fail(errno);
  if (rename(temporary.c_str(), path.c_str()) != 0) fail(errno);
}

struct PdfQueue::Entry {
  std::size_t ticket;
  std::string pdf_path;
  std::unique_ptr<PdfJob> job;
};

PdfQueue::PdfQueue(BrowserSettings settings, int in_flight, Done done)
    : settings_(std::move(settings)),
      in_flight_(in_flight > 0 ? static_cast<std::size_t>(in_flight) : 1),
      done_(std::move(done)) {}

PdfQueue::~PdfQueue() = default;

void PdfQueue::Add(std::size_t ticket, const std::string& html_path,
                   const std::string& pdf_path) {
  while (running_.size() >= in_flight_) Turn();
  std::error_code error;
  std::filesystem::path absolute = std::filesystem::absolute(html_path, error);
  if (error) absolute = html_path;
  auto entry = std::make_unique<Entry>();
  entry->ticket = ticket;
  entry->pdf_path = pdf_path;
  try {
    entry->job = std::make_unique<PdfJob>(absolute.lexically_normal().string(),
                                          settings_);
  } catch (const AutomationError& failure) {
    done_(ticket, failure);
    return;
  }
  running_.push_back(std::move(entry));
}

void PdfQueue::Finish() {
  while (!running_.empty()) Turn();
}

void PdfQueue::Turn() {
  WarmChromium::Instance().Pump(kTurnWait);
  for (auto it = running_.begin(); it != running_.end();) {
    Entry& entry = **it;
    if (!entry.job->Poll()) {
      ++it;
      continue;
    }
    std::optional<AutomationError> failure = entry.job->error();
    if (!failure) {
      try {
        WriteWholeFile(entry.pdf_path, entry.job->TakePdf());
      } catch (const AutomationError& error) {
        failure = error;
      }
    }
    const std::size_t ticket = entry.ticket;
    it = running_.erase(it);
    done_(ticket, failure);
  }
}

}  // namespace nerolin::platform
