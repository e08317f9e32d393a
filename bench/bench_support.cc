#include "bench_support.h"

#include <cstdio>
#include <cstdlib>
#include <stdlib.h>

#include <sqlite3.h>

namespace nerolin::bench {

ScratchFolder::ScratchFolder(std::string_view name) {
  std::string pattern = (std::filesystem::temp_directory_path() /
                         ("nerolin-" + std::string(name) + "-XXXXXX"))
                            .string();
  if (mkdtemp(pattern.data()) == nullptr) {
    std::perror("mkdtemp");
    std::abort();
  }
  path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
  std::error_code error;
  std::filesystem::remove_all(path_, error);
}

std::string ScratchFolder::File(std::string_view name) const {
  return (path_ / name).string();
}

void BuildDatabase(const std::string& path, const std::string& script) {
  sqlite3* db = nullptr;
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK ||
      sqlite3_exec(db, script.c_str(), nullptr, nullptr, nullptr) !=
          SQLITE_OK) {
    std::fprintf(stderr, "%s: %s\n", path.c_str(),
                 db != nullptr ? sqlite3_errmsg(db) : "out of memory");
    std::abort();
  }
  sqlite3_close(db);
}

}  // namespace nerolin::bench
