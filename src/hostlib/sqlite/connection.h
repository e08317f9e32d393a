#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "hostlib/common/data_connection.h"
#include "hostlib/sqlite/answer_cache.h"
#include "nerolin/recordset.h"
#include "nerolin/variant.h"

struct sqlite3;
struct sqlite3_file;
struct sqlite3_stmt;

namespace nerolin::sqlite {

// The database file that a connection string names: the value of its
// "Data Source" key (also "DataSource", "Database" or "Filename"), keys
// compared without regard to case, pairs separated by ";", a value possibly
// quoted with ' or " (which may then hold ";"); or, when the text holds no
// "=", the whole trimmed text as a bare path. Raises kUnspecifiedError when
// it names no file.
std::string DatabasePath(std::string_view connection_string);

// Values for the "?" markers of a statement (Boolean as 1 or 0).
using hostlib::Parameters;

// One read-only SQLite connection with its prepared statements, cached
// table columns and kept answers. Not thread-safe.
//
// A statement that reads only the main database and calls only functions
// whose result depends on their arguments is answered from memory when the
// same text (with the same parameters) ran before and the database's
// content has not changed since. The content version is the file change
// counter in the database header, which every commit of any connection or
// process changes and which is read without a lock (a commit still under
// way counts as not yet made); a database in WAL mode, whose header does
// not change on commit, is asked for its data_version instead. A statement
// that may change the connection (a pragma that sets something, ATTACH, a
// temporary table) drops everything kept.
class Connection final : public hostlib::DataConnection {
 public:
  // Opens the database file at `path` read-only, with the Jet functions
  // added. Raises kUnspecifiedError, naming the path, when the file does
  // not exist, is no regular file or is no SQLite database.
  static std::shared_ptr<Connection> Open(const std::string& path);

  ~Connection() override;
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  const std::string& path() const { return path_; }

  // All rows of `sql` (Jet-flavoured, rewritten by RewriteJetSql before
  // it is prepared or found among the prepared statements). Raises
  // kErrorsInCommand with SQLite's message and the statement when SQLite
  // rejects it or it fails while running, or when the result would exceed
  // kMaxCells values.
  ado::RowSet Query(std::string_view sql,
                    const Parameters& parameters = {}) override;
  // As Query, with rows that may be shared with the kept answers.
  std::shared_ptr<const ado::RowSet> SharedQuery(
      std::string_view sql, const Parameters& parameters = {}) override;

  // The first column of the first row of `sql`; nothing when there is no
  // row. Raises as Query.
  std::optional<Variant> QueryFirst(std::string_view sql,
                                    const Parameters& parameters = {}) override;

  // Whether the table or view `table` has the column `column`, both
  // compared without regard to case; false when there is no such table.
  bool TableHasColumn(std::string_view table, std::string_view column) override;

  // RewriteJetSql for SQLite.
  std::string RewriteSql(std::string_view sql) const override;

  // How many prepared statements are kept now.
  std::size_t prepared_statements() const { return statements_.size(); }
  // How many times a statement ran on SQLite (answers from memory do not
  // count), for tests.
  std::uint64_t statements_run() const { return statements_run_; }

  // The most prepared statements kept; the least recently used goes first.
  static constexpr std::size_t kStatementCacheSize = 128;
  // The most values (rows times columns) one result may hold.
  static constexpr std::size_t kMaxCells = 50'000'000;

 private:
  struct Prepared {
    sqlite3_stmt* statement;
    std::list<const std::string*>::iterator recency;
    StatementClass kind;
    // SQLite's count of its own re-preparations when `kind` was found: a
    // re-preparation (after a schema change) may resolve names anew.
    int reprepared = 0;
  };

  Connection(sqlite3* db, std::string path);
  static int Authorize(void* self, int action, const char* first,
                       const char* second, const char* database,
                       const char* inner);
  // The prepared statement for `rewritten`, prepared now if it is not kept
  // yet. `given` is the statement as the caller wrote it, for messages.
  Prepared& Statement(std::string_view given, const std::string& rewritten);
  // After a use of `prepared`: whether its answer may be kept. Drops what is
  // kept when the statement may have changed the connection, and forgets a
  // statement that SQLite prepared again meanwhile so that it is looked at
  // anew.
  bool AfterUse(Prepared& prepared, const std::string& rewritten);
  void Forget(const std::string& rewritten);
  // The database's content version now; nothing when it cannot be told.
  std::optional<std::uint64_t> ContentVersion();
  // The key under which the answer of `sql` is kept, checking the kept
  // answers against the content version; nothing when it cannot be kept.
  std::optional<std::string_view> AnswerKey(std::string_view sql,
                                            const Parameters& parameters,
                                            std::string& owned_key);
  void DropKept();
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
  // A table name as asked for to its column names (none when there is no
  // such table), valid for columns_version_.
  std::unordered_map<std::string, std::vector<std::string>> columns_;
  std::optional<std::uint64_t> columns_version_;
  AnswerCache answers_;
  // What the authorizer fills while a statement is prepared; null while
  // SQLite prepares again on its own or runs a statement.
  StatementClass* classifying_ = nullptr;
  sqlite3_stmt* data_version_ = nullptr;
  sqlite3_file* main_file_ = nullptr;
  std::uint64_t statements_run_ = 0;
};

}  // namespace nerolin::sqlite
