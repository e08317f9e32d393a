#include "platform/process.h"

#include <cerrno>
#include <filesystem>
#include <optional>
#include <signal.h>
#include <string>
#include <unistd.h>

#include <gtest/gtest.h>
#include <sys/wait.h>

#include "support/test_support.h"

namespace nerolin::platform {
namespace {

using nerolin::testing::ReadFile;
using nerolin::testing::TempDir;

int WaitFor(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// What /proc shows of `pid`, or nothing when it is not listed.
std::optional<ProcessStat> StatOf(pid_t pid) {
  for (const ProcessStat& stat : ReadProcessStats()) {
    if (stat.pid == pid) return stat;
  }
  return std::nullopt;
}

TEST(SpawnDetached, RunsInTheFolderWithQuietOutputAndDefaultSignals) {
  TempDir dir;
  // The host ignores SIGINT and blocks SIGTERM; the program must see
  // neither.
  struct sigaction ignore {
  }, previous{};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGINT, &ignore, &previous);
  sigset_t blocked, old_mask;
  sigemptyset(&blocked);
  sigaddset(&blocked, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &blocked, &old_mask);

  pid_t pid = -1;
  const int error = SpawnDetached(
      {"sh", "-c",
       "pwd > where; grep -E '^Sig(Blk|Ign):' /proc/self/status > signals; "
       "echo noise; echo more >&2"},
      Detachment::kOwnSession, dir.path().string(), &pid);
  pthread_sigmask(SIG_SETMASK, &old_mask, nullptr);
  sigaction(SIGINT, &previous, nullptr);
  ASSERT_EQ(error, 0);
  EXPECT_EQ(WaitFor(pid), 0);
  EXPECT_EQ(ReadFile(dir.File("where")), dir.path().string() + "\n");
  // Bit n - 1 of each mask stands for signal n.
  const std::string signals = ReadFile(dir.File("signals"));
  const std::size_t blocked_at = signals.find("SigBlk:\t");
  const std::size_t ignored_at = signals.find("SigIgn:\t");
  ASSERT_NE(blocked_at, std::string::npos) << signals;
  ASSERT_NE(ignored_at, std::string::npos) << signals;
  const unsigned long long blocked_mask =
      std::stoull(signals.substr(blocked_at + 8, 16), nullptr, 16);
  const unsigned long long ignored_mask =
      std::stoull(signals.substr(ignored_at + 8, 16), nullptr, 16);
  EXPECT_EQ(blocked_mask & (1ULL << (SIGTERM - 1)), 0u) << signals;
  EXPECT_EQ(ignored_mask & (1ULL << (SIGINT - 1)), 0u) << signals;
}

TEST(SpawnDetached, LeadsItsOwnGroupOrSessionAsAsked) {
  for (const Detachment detachment :
       {Detachment::kOwnProcessGroup, Detachment::kOwnSession}) {
    pid_t pid = -1;
    ASSERT_EQ(SpawnDetached({"sleep", "5"}, detachment, "", &pid), 0);
    // posix_spawn returns once the child runs with its attributes set.
    EXPECT_EQ(getpgid(pid), pid);
    if (detachment == Detachment::kOwnSession) {
      EXPECT_EQ(getsid(pid), pid);
    } else {
      EXPECT_EQ(getsid(pid), getsid(0));
    }
    const std::optional<ProcessStat> stat = StatOf(pid);
    EXPECT_TRUE(stat.has_value());
    if (stat) {
      EXPECT_EQ(stat->parent, getpid());
      EXPECT_EQ(stat->process_group, pid);
    }
    kill(pid, SIGKILL);
    WaitFor(pid);
  }
}

TEST(SpawnDetached, AProgramThatCannotStartGivesItsError) {
  pid_t pid = -1;
  EXPECT_EQ(SpawnDetached({"/nonexistent/program"}, Detachment::kOwnSession, "",
                          &pid),
            ENOENT);
  EXPECT_EQ(SpawnDetached({}, Detachment::kOwnSession, "", &pid), EINVAL);
}

TEST(ReadProcessStats, ReadsACommandNameHoldingParenthesesAndBlanks) {
  TempDir dir;
  // A program whose name ends in ") S 1 1" must not be read as its fields.
  const std::string program = dir.File("x) S 1 1");
  std::filesystem::copy_file("/bin/sleep", program);
  pid_t pid = -1;
  ASSERT_EQ(
      SpawnDetached({program, "5"}, Detachment::kOwnProcessGroup, "", &pid), 0);
  const std::optional<ProcessStat> stat = StatOf(pid);
  EXPECT_TRUE(stat.has_value());
  if (stat) {
    EXPECT_EQ(stat->parent, getpid());
    EXPECT_EQ(stat->process_group, pid);
    EXPECT_NE(stat->state, 'X');
  }
  kill(pid, SIGKILL);
  WaitFor(pid);
}

}  // namespace
}  // namespace nerolin::platform
