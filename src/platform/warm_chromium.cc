#include "platform/warm_chromium.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <system_error>
#include <unistd.h>
#include <utility>

#include <sys/socket.h>
#include <sys/wait.h>

#include "nerolin/automation_error.h"
#include "platform/browser.h"
#include "platform/process.h"

namespace nerolin::platform {

namespace {

constexpr const char* kSource = "Browser";
// The descriptors on which Chromium reads and writes protocol messages.
constexpr int kChromiumReads = 3;
constexpr int kChromiumWrites = 4;
// Our end of a descriptor given to Chromium is moved above these, so that
// giving it as 3 or 4 is a real dup2 that drops close-on-exec.
constexpr int kLowestOwnDescriptor = 10;
// A command that cannot be written for this long means a browser that no
// longer reads.
constexpr auto kWriteBound = std::chrono::seconds(10);
constexpr std::size_t kReadChunk = 1 << 16;

// The events a page's render waits for; everything else Chromium says is
// read and dropped.
bool Kept(std::string_view method) {
  return method == "Page.loadEventFired" || method == "Inspector.detached" ||
         method == "Inspector.targetCrashed" ||
         method == "Target.detachedFromTarget";
}

std::string MakeProfileFolder() {
  std::error_code error;
  std::filesystem::path base = std::filesystem::temp_directory_path(error);
  if (error) base = "/tmp";
  std::string pattern = (base / "nerolin-chromium-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    throw AutomationError(errors::kCantCreateObject,
                          "Chromium cannot be started: no profile folder " +
                              pattern + " (" + std::strerror(errno) + ")",
                          kSource);
  }
  return pattern;
}

}  // namespace

WarmChromium& WarmChromium::Instance() {
  // Never destroyed: a browser object that outlives static destruction may
  // still close its page. EndAtExit ends the process itself.
  static WarmChromium* const instance = new WarmChromium();
  return *instance;
}

void WarmChromium::EndAtExit() {
  WarmChromium& self = Instance();
  std::thread idle_thread;
  {
    std::lock_guard lock(self.mutex_);
    self.exiting_ = true;
    idle_thread = std::move(self.idle_thread_);
  }
  self.idle_changed_.notify_all();
  if (idle_thread.joinable()) idle_thread.join();
  self.Stop();
}

std::optional<pid_t> WarmChromium::pid() const {
  if (pid_ <= 0) return std::nullopt;
  return pid_;
}

void WarmChromium::Hold(const BrowserSettings& settings) {
  std::lock_guard lock(mutex_);
  idle_ = settings.idle;
  if (!running() || (holds_ == 0 && program_ != settings.chromium_path)) {
    StartLocked(settings);
  }
  ++holds_;
  if (idle_.count() > 0 && !idle_thread_.joinable() && !exiting_) {
    idle_thread_ = std::thread([this] { IdleLoop(); });
  }
}

void WarmChromium::Release() {
  {
    std::lock_guard lock(mutex_);
    if (holds_ > 0) --holds_;
    released_at_ = std::chrono::steady_clock::now();
    if (holds_ == 0 && idle_.count() == 0) StopLocked();
  }
  idle_changed_.notify_all();
}

void WarmChromium::Restart(std::uint64_t seen,
                           const BrowserSettings& settings) {
  std::lock_guard lock(mutex_);
  if (generation_ != seen && running()) return;
  StartLocked(settings);
}

void WarmChromium::Stop() {
  std::lock_guard lock(mutex_);
  StopLocked();
}

void WarmChromium::IdleLoop() {
  std::unique_lock lock(mutex_);
  while (!exiting_) {
    if (pid_ > 0 && holds_ == 0 && idle_.count() > 0) {
      const auto due = released_at_ + idle_;
      if (std::chrono::steady_clock::now() >= due) {
        StopLocked();
        continue;
      }
      idle_changed_.wait_until(lock, due);
    } else {
      idle_changed_.wait(lock);
    }
  }
}

void WarmChromium::StartLocked(const BrowserSettings& settings) {
  StopLocked();
  std::string profile = MakeProfileFolder();
  int pair[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) {
    const int error = errno;
    std::filesystem::remove_all(profile);
    throw AutomationError(
        errors::kCantCreateObject,
        std::string("Chromium cannot be started: ") + std::strerror(error),
        kSource);
  }
  const int ours = pair[0];
  const int theirs = fcntl(pair[1], F_DUPFD_CLOEXEC, kLowestOwnDescriptor);
  close(pair[1]);
  pid_t pid = -1;
  const std::vector<std::string> command = HeadlessCommand(settings, profile);
  const int error =
      theirs < 0 ? errno
                 : SpawnDetached(
                       command, Detachment::kOwnProcessGroup, "", &pid,
                       {{theirs, kChromiumReads}, {theirs, kChromiumWrites}});
  if (theirs >= 0) close(theirs);
  if (error != 0) {
    close(ours);
    std::error_code ignored;
    std::filesystem::remove_all(profile, ignored);
    throw AutomationError(errors::kCantCreateObject,
                          "Chromium cannot be started: " + command[0] + " (" +
                              std::strerror(error) + ")",
                          kSource);
  }
  fcntl(ours, F_SETFL, fcntl(ours, F_GETFL) | O_NONBLOCK);
  // Hung up when the host ends without EndAtExit (a crash, _exit):
  // Chromium then reads the end of its pipe and quits by itself.
  static const bool registered = (std::atexit(&WarmChromium::EndAtExit), true);
  (void)registered;
  pid_ = pid;
  fd_ = ours;
  dead_ = false;
  profile_dir_ = std::move(profile);
  program_ = settings.chromium_path;
  ++generation_;
  inbox_.clear();
  wanted_.clear();
  responses_.clear();
  events_.clear();
}

void WarmChromium::StopLocked() {
  if (fd_ >= 0) {
    close(fd_);
    fd_ = -1;
  }
  if (pid_ > 0) {
    // Nothing of the profile is worth a graceful end: it is removed next.
    EndProcessGroup(pid_, /*graceful=*/false);
    pid_ = -1;
  }
  if (!profile_dir_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(profile_dir_, ignored);
    profile_dir_.clear();
  }
  dead_ = false;
  inbox_.clear();
  wanted_.clear();
  responses_.clear();
  events_.clear();
}

int WarmChromium::Send(std::string_view method, nlohmann::json params,
                       const std::string& session, bool wanted) {
  std::lock_guard lock(mutex_);
  if (!running()) return 0;
  const int id = ++next_id_;
  nlohmann::json message = {
      {"id", id}, {"method", method}, {"params", std::move(params)}};
  if (!session.empty()) message["sessionId"] = session;
  std::string text = message.dump();
  text.push_back('\0');
  const auto deadline = std::chrono::steady_clock::now() + kWriteBound;
  std::size_t sent = 0;
  while (sent < text.size()) {
    const ssize_t n =
        ::send(fd_, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
    if (n > 0) {
      sent += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) &&
        std::chrono::steady_clock::now() < deadline) {
      pollfd ready{fd_, POLLOUT, 0};
      poll(&ready, 1, 50);
      continue;
    }
    dead_ = true;
    return 0;
  }
  if (wanted) wanted_.insert(id);
  return id;
}

void WarmChromium::Pump(std::chrono::milliseconds wait) {
  std::lock_guard lock(mutex_);
  if (!running()) return;
  pollfd ready{fd_, POLLIN, 0};
  if (poll(&ready, 1, static_cast<int>(wait.count())) < 0 && errno != EINTR) {
    dead_ = true;
    return;
  }
  char chunk[kReadChunk];
  for (;;) {
    const ssize_t n = ::read(fd_, chunk, sizeof chunk);
    if (n > 0) {
      inbox_.append(chunk, static_cast<std::size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
    dead_ = true;  // the end of the stream, or the socket failed
    break;
  }
  std::size_t start = 0;
  for (std::size_t end; (end = inbox_.find('\0', start)) != std::string::npos;
       start = end + 1) {
    Dispatch(std::string_view(inbox_).substr(start, end - start));
  }
  inbox_.erase(0, start);
  // A browser killed while one of its helpers still holds the socket open
  // says nothing more: its process tells.
  if (!dead_ && pid_ > 0) {
    int status = 0;
    const pid_t reaped = waitpid(pid_, &status, WNOHANG);
    if (reaped == pid_ ||
        (reaped < 0 && errno == ECHILD && kill(pid_, 0) != 0)) {
      dead_ = true;
    }
  }
}

void WarmChromium::Dispatch(std::string_view text) {
  nlohmann::json message =
      nlohmann::json::parse(text, nullptr, /*allow_exceptions=*/false);
  if (!message.is_object()) return;
  ++sequence_;
  if (const auto id = message.find("id");
      id != message.end() && id->is_number_integer()) {
    if (wanted_.erase(id->get<int>()) == 0) return;
    Response response;
    response.sequence = sequence_;
    if (const auto error = message.find("error"); error != message.end()) {
      response.error = std::move(*error);
    }
    if (const auto result = message.find("result"); result != message.end()) {
      response.result = std::move(*result);
    }
    responses_[id->get<int>()] = std::move(response);
    return;
  }
  const std::string method = message.value("method", "");
  if (!Kept(method)) return;
  nlohmann::json params = message.value("params", nlohmann::json::object());
  // The end of a session is told to the browser, naming the session.
  const std::string session = method == "Target.detachedFromTarget"
                                  ? params.value("sessionId", "")
                                  : message.value("sessionId", "");
  const auto followed = events_.find(session);
  if (followed == events_.end()) return;
  followed->second.push_back({sequence_, method, std::move(params)});
}

std::optional<WarmChromium::Response> WarmChromium::TakeResponse(int id) {
  std::lock_guard lock(mutex_);
  const auto found = responses_.find(id);
  if (found == responses_.end()) return std::nullopt;
  Response response = std::move(found->second);
  responses_.erase(found);
  return response;
}

std::optional<WarmChromium::Event> WarmChromium::TakeEvent(
    const std::string& session, std::uint64_t after) {
  std::lock_guard lock(mutex_);
  const auto found = events_.find(session);
  if (found == events_.end()) return std::nullopt;
  std::deque<Event>& queue = found->second;
  while (!queue.empty()) {
    Event event = std::move(queue.front());
    queue.pop_front();
    if (event.sequence > after) return event;
  }
  return std::nullopt;
}

void WarmChromium::Follow(const std::string& session) {
  std::lock_guard lock(mutex_);
  events_[session];
}

void WarmChromium::Unfollow(const std::string& session) {
  std::lock_guard lock(mutex_);
  events_.erase(session);
}

}  // namespace nerolin::platform
