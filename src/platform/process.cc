#include "platform/process.h"

#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <signal.h>
#include <spawn.h>
#include <thread>
#include <unistd.h>

#include <sys/wait.h>

extern char** environ;

namespace nerolin::platform {

int SpawnDetached(const std::vector<std::string>& command,
                  Detachment detachment, const std::string& working_folder,
                  pid_t* pid,
                  const std::vector<std::pair<int, int>>& descriptors) {
  if (command.empty()) return EINVAL;
  std::vector<char*> argv;
  argv.reserve(command.size() + 1);
  for (const std::string& argument : command) {
    argv.push_back(const_cast<char*>(argument.c_str()));
  }
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null",
                                   O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null",
                                   O_WRONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
  for (const auto& [host, program] : descriptors) {
    posix_spawn_file_actions_adddup2(&actions, host, program);
  }
  if (!working_folder.empty()) {
    posix_spawn_file_actions_addchdir_np(&actions, working_folder.c_str());
  }
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none;
  sigset_t defaults;
  sigemptyset(&none);
  sigfillset(&defaults);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
  if (detachment == Detachment::kOwnProcessGroup) {
    posix_spawnattr_setpgroup(&attributes, 0);
    flags |= POSIX_SPAWN_SETPGROUP;
  } else {
    flags |= POSIX_SPAWN_SETSID;
  }
  posix_spawnattr_setflags(&attributes, flags);
  const int error =
      posix_spawnp(pid, argv[0], &actions, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  return error;
}

std::vector<ProcessStat> ReadProcessStats() {
  std::vector<ProcessStat> stats;
  DIR* proc = opendir("/proc");
  if (proc == nullptr) return stats;
  while (const dirent* entry = readdir(proc)) {
    if (entry->d_name[0] < '0' || entry->d_name[0] > '9') continue;
    std::ifstream stat_file(std::string("/proc/") + entry->d_name + "/stat");
    std::string line;
    std::getline(stat_file, line);
    // "pid (command) state ppid pgrp ...": the command may hold anything,
    // so the fields are read after its last ")".
    const std::size_t close = line.rfind(')');
    if (close == std::string::npos) continue;
    ProcessStat stat;
    long parent = 0;
    long group = 0;
    if (std::sscanf(line.c_str() + close + 1, " %c %ld %ld", &stat.state,
                    &parent, &group) != 3) {
      continue;
    }
    stat.pid = static_cast<pid_t>(std::strtol(entry->d_name, nullptr, 10));
    stat.parent = static_cast<pid_t>(parent);
    stat.process_group = static_cast<pid_t>(group);
    stats.push_back(stat);
  }
  closedir(proc);
  return stats;
}

namespace {

// True while a process of the group is alive (a zombie is not: one left to
// an init that does not reap would otherwise hold the wait to its bound).
bool GroupAlive(pid_t group) {
  const std::vector<ProcessStat> stats = ReadProcessStats();
  // /proc always shows this process; nothing means it cannot be read.
  if (stats.empty()) return kill(-group, 0) == 0;
  for (const ProcessStat& stat : stats) {
    if (stat.process_group == group && stat.state != 'Z' && stat.state != 'X') {
      return true;
    }
  }
  return false;
}

// Waits for the process itself up to `deadline`; true once it was reaped.
bool ReapBy(pid_t pid, std::chrono::steady_clock::time_point deadline) {
  for (;;) {
    int status = 0;
    const pid_t reaped = waitpid(pid, &status, WNOHANG);
    if (reaped == pid || (reaped < 0 && errno != EINTR)) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

}  // namespace

void EndProcessGroup(pid_t pid, bool graceful,
                     std::chrono::milliseconds graceful_wait) {
  if (pid <= 0) return;
  constexpr auto kKilledStop = std::chrono::seconds(2);
  const auto now = std::chrono::steady_clock::now();
  if (graceful) {
    kill(pid, SIGTERM);
    if (!ReapBy(pid, now + graceful_wait)) kill(-pid, SIGKILL);
  } else {
    kill(-pid, SIGKILL);
  }
  const auto deadline = std::chrono::steady_clock::now() + kKilledStop;
  ReapBy(pid, deadline);
  while (GroupAlive(pid) && std::chrono::steady_clock::now() < deadline) {
    kill(-pid, SIGKILL);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

}  // namespace nerolin::platform
