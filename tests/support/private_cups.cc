// A private CUPS server for tests.
#include "support/private_cups.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sstream>
#include <thread>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include "support/desktop_clients.h"

extern char** environ;

namespace nerolin::testing {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr const char* kCupsd = "/usr/sbin/cupsd";
constexpr const char* kSystemServerBin = "/usr/lib/cups";
constexpr const char* kPdfPpd =
    "/usr/share/ppd/cupsfilters/Generic-PDF_Printer-PDF.ppd";
constexpr auto kStartDeadline = std::chrono::seconds(5);
constexpr auto kStopDeadline = std::chrono::seconds(5);
constexpr auto kCommandDeadline = std::chrono::seconds(30);

// The variables Start sets or clears.
constexpr const char* kManagedVariables[] = {"CUPS_SERVER",   "CUPS_SERVERROOT",
                                             "CUPS_STATEDIR", "HOME",
                                             "LPDEST",        "PRINTER"};

// Debian's stock policy: job operations for the owner or the system group,
// printer and server administration for the system group only. The
// built-in policy is looser, which would hide a missing right.
constexpr const char* kDefaultPolicy = R"(<Policy default>
  JobPrivateAccess default
  JobPrivateValues default
  SubscriptionPrivateAccess default
  SubscriptionPrivateValues default
  <Limit Create-Job Print-Job Print-URI Validate-Job>
    Order deny,allow
  </Limit>
  <Limit Send-Document Send-URI Hold-Job Release-Job Restart-Job Purge-Jobs Set-Job-Attributes Create-Job-Subscription Renew-Subscription Cancel-Subscription Get-Notifications Reprocess-Job Cancel-Current-Job Suspend-Current-Job Resume-Job Cancel-My-Jobs Close-Job CUPS-Move-Job>
    Require user @OWNER @SYSTEM
    Order deny,allow
  </Limit>
  <Limit CUPS-Get-Document>
    AuthType Default
    Require user @OWNER @SYSTEM
    Order deny,allow
  </Limit>
  <Limit CUPS-Add-Modify-Printer CUPS-Delete-Printer CUPS-Add-Modify-Class CUPS-Delete-Class CUPS-Set-Default CUPS-Get-Devices>
    AuthType Default
    Require user @SYSTEM
    Order deny,allow
  </Limit>
  <Limit Pause-Printer Resume-Printer Enable-Printer Disable-Printer Pause-Printer-After-Current-Job Hold-New-Jobs Release-Held-New-Jobs Deactivate-Printer Activate-Printer Restart-Printer Shutdown-Printer Startup-Printer Promote-Job Schedule-Job-After Cancel-Jobs CUPS-Accept-Jobs CUPS-Reject-Jobs>
    AuthType Default
    Require user @SYSTEM
    Order deny,allow
  </Limit>
  <Limit Cancel-Job CUPS-Authenticate-Job>
    Require user @OWNER @SYSTEM
    Order deny,allow
  </Limit>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
)";

// Script backends. Called without arguments a backend lists its devices;
// otherwise it "prints". Each wait is bounded so that nothing outlives a
// forgotten job for long, and `exec` lets the server's SIGTERM reach the
// sleeping process itself.
struct ScriptBackend {
  PrivateCups::Backend kind;
  const char* scheme;
  const char* body;
};
constexpr ScriptBackend kScriptBackends[] = {
    {PrivateCups::Backend::kSlow, "nerolin-slow", "exec sleep 60\n"},
    {PrivateCups::Backend::kError, "nerolin-error",
     "echo 'ERROR: the test device failed' >&2\nexit 1\n"},
    {PrivateCups::Backend::kMediaEmpty, "nerolin-media-empty",
     "echo 'STATE: +media-empty-error' >&2\nexec sleep 60\n"},
};

// One server per process, see the header.
bool g_server_running = false;

void WriteText(const fs::path& path, const std::string& text,
               fs::perms mode = fs::perms(0644)) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  fs::permissions(path, mode);
}

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void SetVariable(const char* name, const std::optional<std::string>& value) {
  if (value) {
    setenv(name, value->c_str(), 1);
  } else {
    unsetenv(name);
  }
}

// Waits for `pid` until `deadline`; true when it was reaped.
bool WaitUntil(pid_t pid, Clock::time_point deadline, int* status) {
  for (;;) {
    pid_t done = waitpid(pid, status, WNOHANG);
    if (done == pid || (done < 0 && errno == ECHILD)) return true;
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

struct CommandResult {
  int exit_code = -1;  // -1: killed or not started
  std::string out;
  std::string err;
};

// Runs /bin/sh -c `command` with `environment`, capturing both outputs,
// killing it at the deadline.
CommandResult RunShell(const std::string& command,
                       const std::vector<std::string>& environment) {
  CommandResult result;
  int out_pipe[2];
  int err_pipe[2];
  if (pipe2(out_pipe, O_CLOEXEC) != 0) return result;
  if (pipe2(err_pipe, O_CLOEXEC) != 0) {
    close(out_pipe[0]);
    close(out_pipe[1]);
    return result;
  }
  std::vector<char*> envp;
  for (const std::string& entry : environment) {
    envp.push_back(const_cast<char*>(entry.c_str()));
  }
  envp.push_back(nullptr);
  const char* argv[] = {"/bin/sh", "-c", command.c_str(), nullptr};

  pid_t pid = fork();
  if (pid == 0) {
    int null_fd = open("/dev/null", O_RDONLY);
    if (null_fd >= 0) dup2(null_fd, 0);
    dup2(out_pipe[1], 1);
    dup2(err_pipe[1], 2);
    execve("/bin/sh", const_cast<char**>(argv), envp.data());
    _exit(127);
  }
  close(out_pipe[1]);
  close(err_pipe[1]);
  if (pid < 0) {
    close(out_pipe[0]);
    close(err_pipe[0]);
    return result;
  }
  auto deadline = Clock::now() + kCommandDeadline;
  pollfd fds[2] = {{out_pipe[0], POLLIN, 0}, {err_pipe[0], POLLIN, 0}};
  std::string* sinks[2] = {&result.out, &result.err};
  int open_count = 2;
  bool killed = false;
  while (open_count > 0) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    deadline - Clock::now())
                    .count();
    if (left <= 0) {
      kill(pid, SIGKILL);
      killed = true;
      break;
    }
    if (poll(fds, 2, static_cast<int>(left)) < 0 && errno != EINTR) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[4096];
      ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        sinks[i]->append(buffer, static_cast<std::size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open_count;
      }
    }
  }
  for (pollfd& fd : fds) {
    if (fd.fd >= 0) close(fd.fd);
  }
  int status = 0;
  if (!WaitUntil(pid, Clock::now() + std::chrono::seconds(5), &status)) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    killed = true;
  }
  if (!killed && WIFEXITED(status)) result.exit_code = WEXITSTATUS(status);
  return result;
}

}  // namespace

std::string PrivateCups::Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

std::unique_ptr<PrivateCups> PrivateCups::Start(std::string* why) {
  if (std::string reason = PrintingUnavailable(); !reason.empty()) {
    *why = std::move(reason);
    return nullptr;
  }
  if (g_server_running) {
    *why = "another private CUPS server is already running in this process";
    return nullptr;
  }
  if (access(kCupsd, X_OK) != 0) {
    *why = std::string(kCupsd) + " is not installed";
    return nullptr;
  }
  for (const char* tool : {"/usr/bin/lpstat", "/usr/sbin/lpadmin"}) {
    if (access(tool, X_OK) != 0) {
      *why = std::string(tool) + " is not installed";
      return nullptr;
    }
  }
  std::unique_ptr<PrivateCups> cups(new PrivateCups());
  if (!cups->Launch(why)) return nullptr;
  g_server_running = true;
  return cups;
}

bool PrivateCups::Launch(std::string* why) {
  std::error_code error;
  fs::path base = fs::temp_directory_path(error);
  if (error) base = "/tmp";
  dir_ = base / ("nerolin-cups-" + std::to_string(getpid()));
  // A folder of this name can only be left by an earlier process with our
  // process id that died before cleaning up.
  fs::remove_all(dir_, error);
  if (dir_.string().size() + sizeof("/cups.sock") > 100) {
    *why = "the temporary folder's path is too long for a domain socket: " +
           dir_.string();
    return false;
  }
  for (const char* sub :
       {"", "etc", "etc/ssl", "etc/ppd", "spool", "spool/tmp", "cache", "state",
        "log", "home", "out", "serverbin", "serverbin/backend"}) {
    fs::path folder = sub[0] ? dir_ / sub : dir_;
    if (!fs::create_directory(folder, error) && error) {
      *why = "cannot create " + folder.string() + ": " + error.message();
      fs::remove_all(dir_, error);
      return false;
    }
    // Filters and backends run as another user and must traverse these.
    fs::permissions(folder, fs::perms(0755), error);
  }

  // A private ServerBin: the system's programs, plus our script backends.
  for (const auto& entry : fs::directory_iterator(kSystemServerBin, error)) {
    std::string name = entry.path().filename();
    if (name == "backend") continue;
    fs::create_symlink(entry.path(), dir_ / "serverbin" / name, error);
  }
  for (const auto& entry :
       fs::directory_iterator(fs::path(kSystemServerBin) / "backend", error)) {
    fs::create_symlink(entry.path(),
                       dir_ / "serverbin/backend" / entry.path().filename(),
                       error);
  }
  for (const ScriptBackend& backend : kScriptBackends) {
    WriteText(dir_ / "serverbin/backend" / backend.scheme,
              std::string("#!/bin/sh\nif [ $# -eq 0 ]; then\n  echo 'direct ") +
                  backend.scheme + " \"Unknown\" \"Test device\"'\n  exit 0\n" +
                  "fi\n" + backend.body,
              fs::perms(0755));
  }

  std::string system_group = "root";
  if (group* g = getgrgid(getegid())) system_group = g->gr_name;
  const std::string d = dir_.string();
  WriteText(dir_ / "etc/cups-files.conf",
            "ServerRoot " + d + "/etc\n" + "RequestRoot " + d + "/spool\n" +
                "TempDir " + d + "/spool/tmp\n" + "CacheDir " + d + "/cache\n" +
                "StateDir " + d + "/state\n" + "ServerKeychain " + d +
                "/etc/ssl\n" + "AccessLog " + d + "/log/access_log\n" +
                "ErrorLog " + d + "/log/error_log\n" + "PageLog " + d +
                "/log/page_log\n" + "ServerBin " + d + "/serverbin\n" +
                "DataDir /usr/share/cups\n" + "FileDevice Yes\n" +
                "SystemGroup " + system_group + "\n" + "PeerCred on\n" +
                "Printcap " + d + "/printcap\n");
  WriteText(dir_ / "etc/cupsd.conf",
            "LogLevel warn\n"
            "Listen " +
                d +
                "/cups.sock\n"
                "Browsing Off\n"
                "WebInterface No\n"
                "IdleExitTimeout 0\n"
                "MaxJobs 0\n"
                "PreserveJobFiles Yes\n"
                "PreserveJobHistory Yes\n"
                "DefaultAuthType Basic\n"
                "<Location />\n  Order allow,deny\n  Allow localhost\n"
                "</Location>\n" +
                kDefaultPolicy);

  // Everything the child needs is prepared before fork: the child only
  // calls async-signal-safe functions.
  std::string conf = d + "/etc/cupsd.conf";
  std::string files_conf = d + "/etc/cups-files.conf";
  std::string log = d + "/log/cupsd.out";
  const char* argv[] = {
      kCupsd, "-f", "-c", conf.c_str(), "-s", files_conf.c_str(), nullptr};
  pid_t parent = getpid();
  pid_ = fork();
  if (pid_ == 0) {
    // The server must not outlive a test process that dies abruptly.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) _exit(1);
    int null_fd = open("/dev/null", O_RDONLY);
    int log_fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (null_fd >= 0) dup2(null_fd, 0);
    if (log_fd >= 0) {
      dup2(log_fd, 1);
      dup2(log_fd, 2);
    }
    execv(kCupsd, const_cast<char**>(argv));
    _exit(127);
  }
  if (pid_ < 0) {
    *why = std::string("cannot start cupsd: ") + std::strerror(errno);
    fs::remove_all(dir_, error);
    return false;
  }

  for (const char* name : kManagedVariables) {
    const char* value = getenv(name);
    saved_environment_[name] =
        value ? std::optional<std::string>(value) : std::nullopt;
  }
  setenv("CUPS_SERVER", SocketPath().c_str(), 1);
  setenv("CUPS_SERVERROOT", (d + "/etc").c_str(), 1);
  setenv("CUPS_STATEDIR", (d + "/state").c_str(), 1);
  setenv("HOME", HomePath().c_str(), 1);
  unsetenv("LPDEST");
  unsetenv("PRINTER");
  ReloadCupsClient();

  auto deadline = Clock::now() + kStartDeadline;
  std::string status;
  while (Clock::now() < deadline) {
    int exit_status = 0;
    if (waitpid(pid_, &exit_status, WNOHANG) == pid_) {
      pid_ = -1;
      *why = "cupsd exited at start: " + ReadText(dir_ / "log/cupsd.out") +
             ReadText(dir_ / "log/error_log");
      Stop();
      return false;
    }
    if (fs::exists(SocketPath(), error)) {
      status = Run("lpstat -r", false);
      if (status.find("is running") != std::string::npos) return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  *why = "cupsd did not answer within 5 s (lpstat -r: " + status +
         "); log: " + ReadText(dir_ / "log/error_log");
  Stop();
  return false;
}

PrivateCups::~PrivateCups() { Stop(); }

void PrivateCups::Stop() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    int status = 0;
    if (!WaitUntil(pid_, Clock::now() + kStopDeadline, &status)) {
      ADD_FAILURE() << "cupsd did not stop within 5 s of SIGTERM; killed";
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
    }
    pid_ = -1;
  }
  for (const auto& [name, value] : saved_environment_) {
    SetVariable(name.c_str(), value);
  }
  saved_environment_.clear();
  ReloadCupsClient();
  if (!dir_.empty()) {
    std::error_code error;
    fs::remove_all(dir_, error);
    if (error) {
      ADD_FAILURE() << "cannot remove " << dir_ << ": " << error.message();
    }
    dir_.clear();
  }
  g_server_running = false;
}

std::string PrivateCups::SocketPath() const {
  return (dir_ / "cups.sock").string();
}

std::string PrivateCups::HomePath() const { return (dir_ / "home").string(); }

std::string PrivateCups::OutputPath(const std::string& name) const {
  return (dir_ / "out" / name).string();
}

void PrivateCups::AddQueue(const std::string& name, Driver driver,
                           Backend backend) {
  std::string uri = "file:" + OutputPath(name);
  for (const ScriptBackend& script : kScriptBackends) {
    if (script.kind == backend) uri = std::string(script.scheme) + ":/" + name;
  }
  std::string model =
      driver == Driver::kPdf ? std::string("-P ") + kPdfPpd : "-m raw";
  // A failing device stops its queue, as a spooler marks such a printer,
  // rather than retrying the job later.
  std::string policy =
      backend == Backend::kError ? " -o printer-error-policy=stop-printer" : "";
  Run("lpadmin -p " + Quote(name) + " -E -v " + Quote(uri) + " " + model +
      policy);
}

std::string PrivateCups::Run(const std::string& command_line,
                             bool check) const {
  std::vector<std::string> environment;
  const std::string d = dir_.string();
  auto managed = [](std::string_view entry) {
    for (const char* name : {"CUPS_SERVER=", "CUPS_SERVERROOT=",
                             "CUPS_STATEDIR=", "HOME=", "PATH="}) {
      if (entry.starts_with(name)) return true;
    }
    return false;
  };
  for (char** entry = environ; *entry; ++entry) {
    if (!managed(*entry)) environment.emplace_back(*entry);
  }
  environment.push_back("CUPS_SERVER=" + SocketPath());
  environment.push_back("CUPS_SERVERROOT=" + d + "/etc");
  environment.push_back("CUPS_STATEDIR=" + d + "/state");
  environment.push_back("HOME=" + HomePath());
  const char* path = getenv("PATH");
  environment.push_back(std::string("PATH=") + (path ? path : "/usr/bin:/bin") +
                        ":/usr/sbin:/sbin");
  CommandResult result = RunShell(command_line, environment);
  if (check && result.exit_code != 0) {
    ADD_FAILURE() << "`" << command_line << "` failed (exit "
                  << result.exit_code << "): " << result.err;
  }
  return result.out;
}

int PrivateCups::SubmitHeld(const std::string& queue, const std::string& title,
                            const std::string& text) const {
  std::string out = Run("printf %s " + Quote(text) + " | lp -d " +
                        Quote(queue) + " -H hold -t " + Quote(title));
  // "request id is QUEUE-12 (1 file(s))"
  std::size_t open = out.find(" (");
  std::size_t dash = out.rfind('-', open);
  if (open == std::string::npos || dash == std::string::npos) {
    ADD_FAILURE() << "lp printed no job id: " << out;
    return 0;
  }
  return std::atoi(out.c_str() + dash + 1);
}

}  // namespace nerolin::testing
