#include "platform/shell.h"

#include <cerrno>
#include <filesystem>
#include <string>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <vector>

#include <sys/wait.h>

#include "platform/process.h"

namespace nerolin::platform {

namespace {

constexpr const char* kOpener = "xdg-open";

bool IsOpen(std::string_view operation) {
  constexpr std::string_view kOpen = "open";
  if (operation.size() != kOpen.size()) return false;
  for (std::size_t i = 0; i < kOpen.size(); ++i) {
    char c = operation[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != kOpen[i]) return false;
  }
  return true;
}

// "scheme:" with a scheme of two characters or more (RFC 3986 letters).
bool IsUrl(std::string_view file) {
  const std::size_t colon = file.find(':');
  if (colon == std::string_view::npos || colon < 2) return false;
  const auto letter = [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
  };
  if (!letter(file[0])) return false;
  for (std::size_t i = 1; i < colon; ++i) {
    const char c = file[i];
    if (!letter(c) && !(c >= '0' && c <= '9') && c != '+' && c != '-' &&
        c != '.') {
      return false;
    }
  }
  return true;
}

}  // namespace

void ShellExecute(std::string_view operation, std::string_view file,
                  std::string_view /*parameters*/, std::string_view directory,
                  int /*show_command*/) {
  if (!IsOpen(operation) || file.empty()) return;
  std::string target(file);
  if (!IsUrl(file)) {
    std::error_code error;
    const std::filesystem::path absolute =
        std::filesystem::absolute(target, error);
    if (!error) target = absolute.string();
  }
  std::string folder(directory);
  std::error_code error;
  if (!std::filesystem::is_directory(folder, error)) folder.clear();
  // Detached from the host's output as well: what the program writes is
  // its own business. Its own session: the opener and the program it starts
  // outlive the host's terminal and are not in its process group.
  pid_t pid = -1;
  const int spawned =
      SpawnDetached({kOpener, target}, Detachment::kOwnSession, folder, &pid);
  if (spawned != 0) return;  // the shell's result is not looked at
  // xdg-open lasts as long as the program it starts: wait for it on a
  // thread of its own rather than here, and reap it so that it does not
  // stay a zombie for the life of the host.
  try {
    std::thread([pid] {
      int status = 0;
      while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
      }
    }).detach();
  } catch (const std::system_error&) {
    // No thread to spare: the opener is left to the system to reap.
  }
}

}  // namespace nerolin::platform
