#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "nerolin/recordset.h"
#include "nerolin/variant.h"

struct sqlite3;
struct sqlite3_stmt;

namespace nerolin::sqlite {

// The database file that a connection string names: the value of its
// "Data Source" key (also "DataSource", "Database" or "Filename"), keys
// compared without regard to case, pairs separated by ";", a value possibly
// quoted with ' or " (which may then hold ";"); or, when the text holds no
// "=", the whole trimmed text as a bare path. Raises kUnspecifiedError when
// it names no file.
std::string DatabasePath(std::string_view connection_string);

// Values for the "?" markers of a statement: texts, numbers, Boolean (as 1
// or 0), Null and Empty (as NULL); any other type raises error 13.
using Parameters = std::vector<Variant>;

// One read-only SQLite connection with its prepared statements and cached
// table columns. Not thread-safe.
class Connection {
 public:
  // Opens the database file at `path` read-only, with the Jet functions
  // added. Raises kUnspecifiedError, naming the path, when the file does
  // not exist, is no regular file or is no SQLite database.
  static std::shared_ptr<Connection> Open(const std::string& path);

  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  const std::string& path() const { return path_; }

  // All rows of `sql` (Jet-flavoured, rewritten by RewriteJetSql before
  // it is prepared or found among the prepared statements). Raises
  // kErrorsInCommand with SQLite's message and the statement when SQLite
  // rejects it or it fails while running, or when the result would exceed
  // kMaxCells values.
  ado::RowSet Query(std::string_view sql, const Parameters& parameters = {});

  // The first column of the first row of `sql`; nothing when there is no
  // row. Raises as Query.
  std::optional<Variant> QueryFirst(std::string_view sql,
                                    const Parameters& parameters = {});

  // Whether the table or view `table` has the column `column`, both
  // compared without regard to case; false when there is no such table.
  bool TableHasColumn(std::string_view table, std::string_view column);

  // How many prepared statements are kept now.
  std::size_t prepared_statements() const { return statements_.size(); }

  // The most prepared statements kept; the least recently used goes first.
  static constexpr std::size_t kStatementCacheSize = 128;
  // The most values (rows times columns) one result may hold.
  static constexpr std::size_t kMaxCells = 50'000'000;

 private:
  struct Prepared {
    sqlite3_stmt* statement;
    std::list<const std::string*>::iterator recency;
  };

  Connection(sqlite3* db, std::string path);
  // The prepared statement for `rewritten`, prepared now if it is not kept
  // yet. `given` is the statement as the caller wrote it, for messages.
  sqlite3_stmt* Statement(std::string_view given, const std::string& rewritten);
  void Bind(sqlite3_stmt* statement, const Parameters& parameters,
            std::string_view given);
  ado::RowSet ReadRows(sqlite3_stmt* statement, std::string_view given,
                       const std::string& rewritten);
  [[noreturn]] void Fail(std::string_view what, std::string_view given,
                         const std::string& rewritten) const;

  sqlite3* db_;
  std::string path_;
  std::unordered_map<std::string, Prepared> statements_;
  std::list<const std::string*> recency_;  // keys of statements_, newest first
  // Upper-cased table name to its upper-cased column names (empty when
  // there is no such table), valid for schema_version_.
  std::unordered_map<std::string, std::unordered_set<std::string>> columns_;
  std::int64_t schema_version_ = -1;
};

}  // namespace nerolin::sqlite
