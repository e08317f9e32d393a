#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace nerolin::bench {

// A fresh folder under the system's temporary folder, named after `name`,
// removed with all it holds when the object goes. Ends the process when it
// cannot be made: a benchmark has nothing to measure without it.
class ScratchFolder {
 public:
  explicit ScratchFolder(std::string_view name);
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // path() / name, as text.
  std::string File(std::string_view name) const;

 private:
  std::filesystem::path path_;
};

// Creates the SQLite database file `path` and runs `script` on it. Ends the
// process with SQLite's message when either fails.
void BuildDatabase(const std::string& path, const std::string& script);

}  // namespace nerolin::bench
