// A private X display and a recording desktop opener for tests.
#include "support/private_display.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sstream>
#include <thread>
#include <unistd.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include "platform/browser.h"
#include "platform/windows.h"
#include "support/desktop_clients.h"

extern char** environ;

namespace nerolin::testing {

namespace {

constexpr auto kServerStart = std::chrono::seconds(15);
constexpr auto kManagerStart = std::chrono::seconds(15);
constexpr auto kStopGrace = std::chrono::seconds(5);

// Starts `command` in a process group of its own with standard output and
// error in `log` (or /dev/null); `keep_fd` stays open in the child.
pid_t SpawnLogged(const std::vector<std::string>& command,
                  const std::string& log, int keep_fd = -1, int keep_as = -1) {
  std::vector<char*> argv;
  for (const std::string& argument : command) {
    argv.push_back(const_cast<char*>(argument.c_str()));
  }
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null",
                                   O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO,
                                   log.empty() ? "/dev/null" : log.c_str(),
                                   O_WRONLY | O_CREAT | O_APPEND, 0644);
  posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
  if (keep_fd >= 0)
    posix_spawn_file_actions_adddup2(&actions, keep_fd, keep_as);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setpgroup(&attributes, 0);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
  pid_t pid = -1;
  const int error =
      posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  return error == 0 ? pid : -1;
}

// SIGTERM, a bounded wait, then SIGKILL to the whole group.
void StopProcess(pid_t pid) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  const auto deadline = std::chrono::steady_clock::now() + kStopGrace;
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() >= deadline) {
      kill(-pid, SIGKILL);
      waitpid(pid, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  kill(-pid, SIGKILL);
}

std::string Tail(const std::string& path) {
  std::ifstream in(path);
  std::ostringstream content;
  content << in.rdbuf();
  std::string text = content.str();
  if (text.size() > 600) text = text.substr(text.size() - 600);
  return text;
}

bool Executable(const std::string& name) {
  if (name.find('/') != std::string::npos)
    return access(name.c_str(), X_OK) == 0;
  const char* path = std::getenv("PATH");
  std::istringstream folders(path != nullptr ? path : "/usr/bin:/bin");
  std::string folder;
  while (std::getline(folders, folder, ':')) {
    folder += '/';
    folder += name;
    if (access(folder.c_str(), X_OK) == 0) return true;
  }
  return false;
}

}  // namespace

ScopedEnvironment::~ScopedEnvironment() {
  for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
    if (it->second) {
      setenv(it->first.c_str(), it->second->c_str(), 1);
    } else {
      unsetenv(it->first.c_str());
    }
  }
}

void ScopedEnvironment::Save(const std::string& name) {
  const char* value = std::getenv(name.c_str());
  saved_.emplace_back(name, value != nullptr ? std::optional<std::string>(value)
                                             : std::nullopt);
}

void ScopedEnvironment::Set(const std::string& name, const std::string& value) {
  Save(name);
  setenv(name.c_str(), value.c_str(), 1);
}

void ScopedEnvironment::Unset(const std::string& name) {
  Save(name);
  unsetenv(name.c_str());
}

std::unique_ptr<PrivateDisplay> PrivateDisplay::Start(std::string* why,
                                                      bool window_manager) {
  if (std::string reason = PrintingUnavailable(); !reason.empty()) {
    *why = std::move(reason);
    return nullptr;
  }
  if (!Executable("Xvfb")) {
    *why = "Xvfb is not installed";
    return nullptr;
  }
  if (window_manager && !Executable("openbox")) {
    *why = "openbox is not installed";
    return nullptr;
  }
  std::unique_ptr<PrivateDisplay> display(new PrivateDisplay);
  const std::string log = display->dir_.File("xvfb.log");
  int pipe_fds[2];
  if (pipe2(pipe_fds, O_CLOEXEC) != 0) {
    *why = std::string("pipe: ") + std::strerror(errno);
    return nullptr;
  }
  // The write end goes to the server as a descriptor number that is free in
  // the child whatever the pipe got.
  const int server_fd = pipe_fds[1] == 3 ? 4 : 3;
  display->server_ =
      SpawnLogged({"Xvfb", "-displayfd", std::to_string(server_fd), "-screen",
                   "0", "1280x1024x24", "-nolisten", "tcp"},
                  log, pipe_fds[1], server_fd);
  close(pipe_fds[1]);
  std::string number;
  const auto deadline = std::chrono::steady_clock::now() + kServerStart;
  while (display->server_ > 0 && number.find('\n') == std::string::npos) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd wait{pipe_fds[0], POLLIN, 0};
    if (poll(&wait, 1, static_cast<int>(left.count())) <= 0) break;
    char buffer[32];
    const ssize_t n = read(pipe_fds[0], buffer, sizeof buffer);
    if (n <= 0) break;
    number.append(buffer, static_cast<std::size_t>(n));
  }
  close(pipe_fds[0]);
  if (number.find('\n') == std::string::npos) {
    *why = "Xvfb did not start: " + Tail(log);
    return nullptr;  // the destructor ends what was started
  }
  display->name_ = ":" + number.substr(0, number.find('\n'));
  display->environment_.Set("DISPLAY", display->name_);
  if (window_manager) {
    display->window_manager_ = SpawnLogged({"openbox", "--sm-disable"},
                                           display->dir_.File("openbox.log"));
    const auto managed_by = std::chrono::steady_clock::now() + kManagerStart;
    while (!platform::WindowManagerRunning() || !ManagesNewWindows()) {
      if (std::chrono::steady_clock::now() >= managed_by) {
        *why =
            "openbox did not start: " + Tail(display->dir_.File("openbox.log"));
        return nullptr;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  return display;
}

PrivateDisplay::~PrivateDisplay() {
  StopProcess(window_manager_);
  StopProcess(server_);
}

std::unique_ptr<RecordingOpener> RecordingOpener::Start(std::string* why) {
  if (!Executable("xdg-open")) {
    *why = "xdg-open is not installed";
    return nullptr;
  }
  std::unique_ptr<RecordingOpener> opener(new RecordingOpener);
  const std::filesystem::path& dir = opener->dir_.path();
  const std::string program = (dir / "record-open").string();
  // The run's pid first, so that the destructor can end a lingering run;
  // then the file; then the linger, as the same process (exec).
  opener->dir_.Write("record-open",
                     "#!/bin/sh\n"
                     "echo $$ >> '" +
                         (dir / "pids").string() +
                         "'\n"
                         "printf '%s\\n' \"$1\" >> '" +
                         (dir / "record").string() +
                         "'\n"
                         "linger=$(cat '" +
                         (dir / "linger").string() +
                         "' 2>/dev/null)\n"
                         "[ -n \"$linger\" ] && exec sleep \"$linger\"\n"
                         "exit 0\n");
  chmod(program.c_str(), 0755);
  std::filesystem::create_directories(dir / "data/applications");
  std::filesystem::create_directories(dir / "config");
  opener->dir_.Write("data/applications/nerolin-record.desktop",
                     "[Desktop Entry]\nType=Application\nName=Record\n"
                     "Exec=" +
                         program +
                         " %f\n"
                         "MimeType=text/html;application/pdf;text/plain;\n"
                         "NoDisplay=true\n");
  opener->dir_.Write("config/mimeapps.list",
                     "[Default Applications]\n"
                     "text/html=nerolin-record.desktop\n"
                     "application/pdf=nerolin-record.desktop\n"
                     "text/plain=nerolin-record.desktop\n");
  ScopedEnvironment& environment = opener->environment_;
  environment.Set("XDG_DATA_HOME", (dir / "data").string());
  environment.Set("XDG_CONFIG_HOME", (dir / "config").string());
  environment.Set("BROWSER", program);
  environment.Unset("XDG_CURRENT_DESKTOP");
  environment.Unset("DESKTOP_SESSION");
  environment.Unset("KDE_FULL_SESSION");
  environment.Unset("GNOME_DESKTOP_SESSION_ID");
  const char* display = std::getenv("DISPLAY");
  if (display == nullptr || *display == '\0') {
    environment.Set("DISPLAY", ":nerolin-none");
  }
  return opener;
}

RecordingOpener::~RecordingOpener() {
  std::ifstream pids(dir_.File("pids"));
  long pid = 0;
  while (pids >> pid) {
    if (pid > 0) kill(static_cast<pid_t>(pid), SIGKILL);
  }
}

void RecordingOpener::SetLinger(std::chrono::seconds linger) const {
  dir_.Write("linger", std::to_string(linger.count()));
}

std::vector<std::string> RecordingOpener::Recorded() const {
  std::ifstream in(dir_.File("record"));
  std::vector<std::string> files;
  std::string line;
  while (std::getline(in, line)) files.push_back(line);
  return files;
}

std::vector<std::string> RecordingOpener::WaitForRecords(
    std::size_t count, std::chrono::milliseconds bound) const {
  const auto deadline = std::chrono::steady_clock::now() + bound;
  std::vector<std::string> files = Recorded();
  while (files.size() < count && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    files = Recorded();
  }
  return files;
}

std::string ChromiumUnavailable() {
  if (std::string reason = PrintingUnavailable(); !reason.empty()) {
    return reason;
  }
  const std::string path =
      platform::BrowserSettings::FromEnvironment().chromium_path;
  if (access(path.c_str(), X_OK) != 0) {
    return "Chromium cannot run: " + path + " (" + std::strerror(errno) + ")";
  }
  return {};
}

std::string PdfText(const std::string& pdf_path) {
  return RunProgram({"pdftotext", "-q", "-enc", "UTF-8", pdf_path, "-"}).out;
}

}  // namespace nerolin::testing
