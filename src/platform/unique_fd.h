#pragma once

#include <unistd.h>
#include <utility>

namespace nerolin::platform {

// Owns a file descriptor and closes it on every path out of a scope. A close
// whose result matters goes through Release() and is checked by the caller.
class UniqueFd {
 public:
  explicit UniqueFd(int fd) : fd_(fd) {}
  ~UniqueFd() {
    if (fd_ >= 0) ::close(fd_);
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;

  int get() const { return fd_; }
  int Release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

}  // namespace nerolin::platform
