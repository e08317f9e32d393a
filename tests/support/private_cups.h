// A private CUPS server for tests.
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include <sys/types.h>

namespace nerolin::testing {

// A private cupsd under a fresh temporary folder, listening on a domain
// socket only. The system's own server is never touched.
//
// libcups keeps some settings per thread from its first use in that thread
// (the home folder that holds the user's lpoptions, the server root and
// state folders). The server therefore always lives at the same path for a
// given process (TMPDIR/nerolin-cups-PID), so that servers started one after
// another in one process present identical settings; start the first one
// before any other libcups call in the thread that will use it. One server
// at a time per process.
class PrivateCups {
 public:
  // kRaw: the raw driver; kPdf: the generic PDF printer driver.
  enum class Driver { kRaw, kPdf };
  // kFile: a file: device writing to OutputPath(name). The others are a
  // script backend of our own in the server's private ServerBin: kSlow keeps
  // each job printing for 60 s, kError fails every job (the queue stops),
  // kMediaEmpty reports an empty paper tray and keeps the job printing.
  enum class Backend { kFile, kSlow, kError, kMediaEmpty };

  // Starts the server and points this process's CUPS clients at it: sets
  // CUPS_SERVER, CUPS_SERVERROOT, CUPS_STATEDIR and a private HOME, unsets
  // LPDEST and PRINTER, installs a password callback that never prompts and
  // makes libcups re-read its server. Returns null and sets *why when cupsd
  // cannot run here (tests then GTEST_SKIP() << why).
  static std::unique_ptr<PrivateCups> Start(std::string* why);

  // Stops cupsd (SIGTERM, waits for it), removes the folder and restores the
  // environment as Start found it.
  ~PrivateCups();
  PrivateCups(const PrivateCups&) = delete;
  PrivateCups& operator=(const PrivateCups&) = delete;

  const std::filesystem::path& dir() const { return dir_; }
  // The domain socket the server listens on (CUPS_SERVER).
  std::string SocketPath() const;
  // The private HOME (its .cups/lpoptions is the user's lpoptions).
  std::string HomePath() const;
  // The server's process id.
  pid_t pid() const { return pid_; }

  // Adds an enabled, accepting queue. With Backend::kFile its device writes
  // to OutputPath(name). Fails the test when lpadmin refuses.
  void AddQueue(const std::string& name, Driver driver = Driver::kRaw,
                Backend backend = Backend::kFile);
  // Where the file: device of queue `name` writes.
  std::string OutputPath(const std::string& name) const;

  // Runs a CUPS client command line (lp, lpstat, lpadmin, cancel,
  // lpoptions...) through /bin/sh against this server, with this process's
  // environment and the server's CUPS variables; returns its standard
  // output. ADD_FAILURE()s on a non-zero exit unless `check` is false, and
  // on a command that runs longer than 30 s (which is then killed).
  std::string Run(const std::string& command_line, bool check = true) const;

  // Submits `text` as a held job (lp -H hold) and returns its job id, or 0
  // (after a test failure) when lp reports none.
  int SubmitHeld(const std::string& queue, const std::string& title = "doc",
                 const std::string& text = "hello\n") const;

  // Quotes `text` for /bin/sh.
  static std::string Quote(const std::string& text);

 private:
  PrivateCups() = default;
  bool Launch(std::string* why);
  void Stop();

  std::filesystem::path dir_;
  pid_t pid_ = -1;
  // The variables Start changed, with their previous values (nullopt: was
  // unset).
  std::map<std::string, std::optional<std::string>> saved_environment_;
};

}  // namespace nerolin::testing
