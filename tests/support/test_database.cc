#include "support/test_database.h"

#include <sqlite3.h>

namespace nerolin::testing {

std::string MakeTestDatabase(const TempDir& dir, std::string_view inserts,
                             std::string_view name) {
  std::string path = dir.File(name);
  // A test database needs no durability: without syncs it builds in a few
  // milliseconds instead of a sync per statement.
  std::string script = "PRAGMA synchronous=OFF; PRAGMA journal_mode=MEMORY;\n" +
                       ReadFile(SourcePath("data/schema.sql"));
  script += '\n';
  script += inserts;
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &db,
                           SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  char* error = nullptr;
  if (rc == SQLITE_OK)
    rc = sqlite3_exec(db, script.c_str(), nullptr, nullptr, &error);
  EXPECT_EQ(rc, SQLITE_OK) << (error ? error : sqlite3_errmsg(db));
  sqlite3_free(error);
  sqlite3_close(db);
  return path;
}

}  // namespace nerolin::testing
