#pragma once

#include <chrono>
#include <string>
#include <utility>
#include <vector>

#include <sys/types.h>

namespace nerolin::platform {

// How a program started by SpawnDetached stands towards the host.
enum class Detachment {
  // A process group of its own, led by the program, so that it can be
  // ended together with every process it starts.
  kOwnProcessGroup,
  // A session of its own: it outlives the host's terminal and is not in
  // the host's process group.
  kOwnSession,
};

// Starts `command` (the program, found on PATH when its name holds no "/",
// then its arguments) with standard input, output and error on /dev/null,
// no signal blocked and every signal at its default action whatever the
// host set, in `working_folder` when that is not "". Each pair of
// `descriptors` gives the program the host's descriptor `first` as its
// descriptor `second`; no other descriptor of the host reaches it when the
// host opened them close-on-exec. Gives the process id in `*pid` and returns
// 0, or the errno value of the failure.
int SpawnDetached(const std::vector<std::string>& command,
                  Detachment detachment, const std::string& working_folder,
                  pid_t* pid,
                  const std::vector<std::pair<int, int>>& descriptors = {});

// Ends a program started with Detachment::kOwnProcessGroup and everything
// it started: with `graceful`, SIGTERM to the program and up to
// `graceful_wait` for it to go, then SIGKILL to the whole group. Returns once
// nothing of the group runs any more, or after two more seconds. Reaps the
// program when it is this process's child.
void EndProcessGroup(
    pid_t pid, bool graceful,
    std::chrono::milliseconds graceful_wait = std::chrono::milliseconds(3000));

// One line of /proc/PID/stat: the fields the callers look at.
struct ProcessStat {
  pid_t pid = 0;
  char state = 0;  // 'R', 'S', ... 'Z' for a zombie
  pid_t parent = 0;
  pid_t process_group = 0;
};

// Every process /proc shows now; empty when /proc cannot be read.
std::vector<ProcessStat> ReadProcessStats();

}  // namespace nerolin::platform
