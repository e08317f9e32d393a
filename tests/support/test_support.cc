#include "support/test_support.h"

#include <array>
#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <random>
#include <signal.h>
#include <spawn.h>
#include <sstream>
#include <unistd.h>

#include <sys/resource.h>
#include <sys/wait.h>

extern char** environ;

namespace nerolin::testing {

TempDir::TempDir() {
  std::random_device random;
  auto base = std::filesystem::temp_directory_path();
  for (;;) {
    path_ = base / ("nerolin-test-" + std::to_string(random()));
    if (std::filesystem::create_directory(path_)) break;
  }
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::File(std::string_view name) const {
  return (path_ / name).string();
}

std::string TempDir::Write(std::string_view name,
                           std::string_view bytes) const {
  std::string file = File(name);
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  EXPECT_TRUE(out.good()) << file;
  return file;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in.good()) << path;
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

std::string SourcePath(std::string_view relative) {
  return std::string(NEROLIN_SOURCE_DIR) + "/" + std::string(relative);
}

ProgramRun RunProgram(const std::vector<std::string>& command,
                      const std::filesystem::path& working_folder,
                      std::chrono::milliseconds time_limit) {
  ProgramRun outcome;
  if (command.empty()) {
    ADD_FAILURE() << "no program to run";
    return outcome;
  }
  int out_pipe[2];
  int err_pipe[2];
  if (pipe(out_pipe) != 0) {
    ADD_FAILURE() << "pipe failed";
    return outcome;
  }
  if (pipe(err_pipe) != 0) {
    close(out_pipe[0]);
    close(out_pipe[1]);
    ADD_FAILURE() << "pipe failed";
    return outcome;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out_pipe[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, err_pipe[1], STDERR_FILENO);
  for (int fd : {out_pipe[0], out_pipe[1], err_pipe[0], err_pipe[1]}) {
    posix_spawn_file_actions_addclose(&actions, fd);
  }
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null",
                                   O_RDONLY, 0);
  const std::string folder = working_folder.string();
  if (!folder.empty()) {
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  }
  std::vector<std::string> argv_text = command;
  std::vector<char*> argv;
  for (std::string& argument : argv_text) argv.push_back(argument.data());
  argv.push_back(nullptr);

  pid_t pid = 0;
  const int spawned = posix_spawnp(&pid, argv_text[0].c_str(), &actions,
                                   nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out_pipe[1]);
  close(err_pipe[1]);
  if (spawned != 0) {
    close(out_pipe[0]);
    close(err_pipe[0]);
    ADD_FAILURE() << "cannot start " << command[0];
    return outcome;
  }

  // Both pipes are drained together so that neither can fill and block the
  // program.
  std::array<pollfd, 2> fds = {pollfd{out_pipe[0], POLLIN, 0},
                               pollfd{err_pipe[0], POLLIN, 0}};
  std::array<std::string*, 2> sinks = {&outcome.out, &outcome.err};
  const auto deadline = std::chrono::steady_clock::now() + time_limit;
  int open_pipes = 2;
  bool stalled = false;
  while (open_pipes > 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      stalled = true;
      break;
    }
    if (poll(fds.data(), fds.size(), 1000) < 0 && errno != EINTR) break;
    for (std::size_t i = 0; i < fds.size(); ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[8192];
      const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        sinks[i]->append(buffer, static_cast<std::size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open_pipes;
      }
    }
  }
  for (const pollfd& fd : fds) {
    if (fd.fd >= 0) close(fd.fd);
  }
  if (stalled) {
    kill(pid, SIGKILL);
    ADD_FAILURE() << command[0] << " did not finish within "
                  << time_limit.count() << " ms";
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (!stalled && WIFEXITED(status)) outcome.exit_code = WEXITSTATUS(status);
  return outcome;
}

int RunInChild(const std::function<int()>& body,
               std::optional<std::size_t> file_size_limit,
               std::chrono::seconds time_limit) {
  const pid_t pid = fork();
  if (pid < 0) {
    ADD_FAILURE() << "fork failed";
    return -1;
  }
  if (pid == 0) {
    // The default action of SIGALRM ends a child that waits for ever.
    alarm(static_cast<unsigned>(time_limit.count()));
    if (file_size_limit) {
      signal(SIGXFSZ, SIG_IGN);
      const rlimit limit{*file_size_limit, *file_size_limit};
      if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(126);
    }
    int code = 125;
    try {
      code = body();
    } catch (...) {
    }
    _exit(code);
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace nerolin::testing
