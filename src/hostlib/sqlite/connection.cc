#include "hostlib/sqlite/connection.h"

#include <algorithm>
#include <filesystem>
#include <new>
#include <string>
#include <system_error>

#include <sqlite3.h>

#include "automation/vb_text.h"
#include "hostlib/common/connection_string.h"
#include "hostlib/jet/jet_sql.h"
#include "hostlib/sqlite/column_types.h"
#include "hostlib/sqlite/jet_functions.h"
#include "nerolin/automation_error.h"
#include "nerolin/sqlite_library.h"

namespace nerolin::sqlite {

using jet::RewriteJetSql;

namespace {

// How long a statement waits for a writer of another process to finish.
constexpr int kBusyTimeoutMs = 5000;

// Run on opening: the first makes SQLite read the file, so that a file that
// is no database fails here. The second sets the page cache, and with it
// what a statement's sort keeps in memory, to 16 MiB instead of 2 MiB: a
// print view ordered by line number sorts its rows, and past the bound the
// sort goes through a temporary file, which made SQLite's work for each
// line of a 10,000-line invoice 1.4 times its work at 1,000 lines.
constexpr const char* kOpeningStatements =
    "PRAGMA schema_version; PRAGMA cache_size=-16384";

// Whether `name`, a name SQLite gave, is `wanted` as SQLite compares names:
// ASCII letters without regard to case, every other byte as it is.
bool IsSameSqlName(std::string_view name, std::string_view wanted) {
  return name.size() == wanted.size() &&
         sqlite3_strnicmp(name.data(), wanted.data(),
                          static_cast<int>(name.size())) == 0;
}

[[noreturn]] void CannotOpen(const std::string& path, std::string_view reason) {
  throw AutomationError(
      kUnspecifiedError,
      "Cannot open the database \"" + path + "\": " + std::string(reason),
      std::string(kSource));
}

std::string StatementText(std::string_view given,
                          const std::string& rewritten) {
  std::string text(given);
  if (rewritten != given) {
    text += " (run as: ";
    text += rewritten;
    text += ")";
  }
  return text;
}

// Resets the statement when a use ends, however it ends, so that it holds
// no read lock and no bound values between uses.
class StatementUse {
 public:
  explicit StatementUse(sqlite3_stmt* statement) : statement_(statement) {}
  ~StatementUse() {
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
  }
  StatementUse(const StatementUse&) = delete;
  StatementUse& operator=(const StatementUse&) = delete;

 private:
  sqlite3_stmt* statement_;
};

}  // namespace

std::string DatabasePath(std::string_view connection_string) {
  std::string_view text = TrimBlanks(connection_string);
  std::string path;
  if (text.find('=') == std::string_view::npos) {
    path = std::string(hostlib::Unquoted(text));
  } else {
    path = hostlib::ConnectionValue(
               hostlib::ConnectionPairs(text),
               {"Data Source", "DataSource", "Database", "Filename"})
               .value_or("");
  }
  if (path.empty()) {
    throw AutomationError(
        kUnspecifiedError,
        "The connection string names no database file (expected "
        "\"Data Source=PATH\" or a path)",
        std::string(kSource));
  }
  return path;
}

std::string Connection::RewriteSql(std::string_view sql) const {
  return RewriteJetSql(sql);
}

std::shared_ptr<Connection> Connection::Open(const std::string& path) {
  std::error_code error;
  std::filesystem::file_status status = std::filesystem::status(path, error);
  if (!std::filesystem::exists(status)) {
    CannotOpen(path, "the file does not exist");
  }
  if (!std::filesystem::is_regular_file(status)) {
    CannotOpen(path, "it is no regular file");
  }
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &db,
                           SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    std::string reason = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    sqlite3_close(db);
    CannotOpen(path, reason);
  }
  // From here the connection object owns the handle and closes it on any
  // failure below.
  std::shared_ptr<Connection> connection(new Connection(db, path));
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  sqlite3_extended_result_codes(db, 1);
  RegisterJetFunctions(db);
  char* message = nullptr;
  rc = sqlite3_exec(db, kOpeningStatements, nullptr, nullptr, &message);
  if (rc != SQLITE_OK) {
    std::string reason = message ? message : sqlite3_errstr(rc);
    sqlite3_free(message);
    CannotOpen(path, reason);
  }
  // Installed once: installing an authorizer expires every prepared
  // statement.
  sqlite3_set_authorizer(db, &Connection::Authorize, connection.get());
  return connection;
}

Connection::Connection(sqlite3* db, std::string path)
    : db_(db), path_(std::move(path)) {}

Connection::~Connection() {
  for (auto& [text, prepared] : statements_) {
    sqlite3_finalize(prepared.statement);
  }
  sqlite3_finalize(data_version_);
  sqlite3_close_v2(db_);
}

int Connection::Authorize(void* self, int action, const char* first,
                          const char* second, const char* database,
                          const char* /*inner*/) {
  auto* connection = static_cast<Connection*>(self);
  if (connection->classifying_ != nullptr) {
    connection->classifying_->Take(action, first, second, database);
  }
  return SQLITE_OK;
}

std::optional<std::uint64_t> Connection::ContentVersion() {
  // Bytes 18 and 19 of the header are 1 in rollback-journal mode, where
  // bytes 24 to 27 count the commits (big-endian).
  constexpr std::uint64_t kCounterTag = std::uint64_t{1} << 32;
  constexpr std::uint64_t kDataVersionTag = std::uint64_t{2} << 32;
  // The main database's file stays the same object while the connection
  // is open.
  if (main_file_ == nullptr &&
      sqlite3_file_control(db_, "main", SQLITE_FCNTL_FILE_POINTER,
                           &main_file_) != SQLITE_OK) {
    main_file_ = nullptr;
  }
  sqlite3_file* file = main_file_;
  if (file != nullptr && file->pMethods != nullptr) {
    unsigned char header[10] = {};
    if (file->pMethods->xRead(file, header, sizeof header, 18) == SQLITE_OK &&
        header[0] == 1 && header[1] == 1) {
      const std::uint32_t counter =
          (std::uint32_t{header[6]} << 24) | (std::uint32_t{header[7]} << 16) |
          (std::uint32_t{header[8]} << 8) | std::uint32_t{header[9]};
      return kCounterTag | counter;
    }
  }
  if (data_version_ == nullptr &&
      sqlite3_prepare_v3(db_, "PRAGMA data_version", -1,
                         SQLITE_PREPARE_PERSISTENT, &data_version_,
                         nullptr) != SQLITE_OK) {
    sqlite3_finalize(data_version_);
    data_version_ = nullptr;
    return std::nullopt;
  }
  StatementUse use(data_version_);
  if (sqlite3_step(data_version_) != SQLITE_ROW) return std::nullopt;
  return kDataVersionTag |
         static_cast<std::uint32_t>(sqlite3_column_int64(data_version_, 0));
}

std::optional<std::string_view> Connection::AnswerKey(
    std::string_view sql, const Parameters& parameters,
    std::string& owned_key) {
  std::string_view key = sql;
  if (!parameters.empty()) {
    std::optional<std::string> built = AnswerCache::Key(sql, parameters);
    if (!built) return std::nullopt;
    owned_key = std::move(*built);
    key = owned_key;
  }
  answers_.Validate(ContentVersion());
  if (!answers_.valid()) return std::nullopt;
  return key;
}

void Connection::DropKept() {
  answers_.Clear();
  columns_.clear();
  columns_version_.reset();
}

bool Connection::AfterUse(Prepared& prepared, const std::string& rewritten) {
  const bool reprepared =
      sqlite3_stmt_status(prepared.statement, SQLITE_STMTSTATUS_REPREPARE, 0) !=
      prepared.reprepared;
  const bool keep = prepared.kind.repeatable && !reprepared;
  if (reprepared) Forget(rewritten);
  return keep;
}

void Connection::Forget(const std::string& rewritten) {
  auto found = statements_.find(rewritten);
  if (found == statements_.end()) return;
  recency_.erase(found->second.recency);
  sqlite3_finalize(found->second.statement);
  statements_.erase(found);
}

void Connection::Fail(std::string_view what, std::string_view given,
                      const std::string& rewritten) const {
  throw AutomationError(kErrorsInCommand,
                        std::string(what) + " (" + sqlite3_errmsg(db_) +
                            "): " + StatementText(given, rewritten),
                        std::string(kSource));
}

Connection::Prepared& Connection::Statement(std::string_view given,
                                            const std::string& rewritten) {
  auto found = statements_.find(rewritten);
  if (found != statements_.end()) {
    recency_.splice(recency_.begin(), recency_, found->second.recency);
    return found->second;
  }
  sqlite3_stmt* statement = nullptr;
  const char* tail = nullptr;
  StatementClass kind;
  classifying_ = &kind;
  int rc = sqlite3_prepare_v3(db_, rewritten.c_str(),
                              static_cast<int>(rewritten.size()) + 1,
                              SQLITE_PREPARE_PERSISTENT, &statement, &tail);
  classifying_ = nullptr;
  if (rc != SQLITE_OK) Fail("SQLite rejected the statement", given, rewritten);
  if (statement == nullptr) {
    throw AutomationError(
        kErrorsInCommand,
        "The statement is empty: " + StatementText(given, rewritten),
        std::string(kSource));
  }
  // Whatever follows the first statement must be blanks or comments.
  sqlite3_stmt* second = nullptr;
  rc = sqlite3_prepare_v2(db_, tail, -1, &second, nullptr);
  if (rc != SQLITE_OK || second != nullptr) {
    sqlite3_finalize(second);
    sqlite3_finalize(statement);
    throw AutomationError(kErrorsInCommand,
                          "The text holds more than one statement: " +
                              StatementText(given, rewritten),
                          std::string(kSource));
  }
  if (statements_.size() >= kStatementCacheSize) {
    const std::string* oldest = recency_.back();
    recency_.pop_back();
    auto evicted = statements_.find(*oldest);
    sqlite3_finalize(evicted->second.statement);
    statements_.erase(evicted);
  }
  if (!sqlite3_stmt_readonly(statement)) {
    kind.repeatable = false;
    kind.changes_connection = true;
  }
  const int reprepared =
      sqlite3_stmt_status(statement, SQLITE_STMTSTATUS_REPREPARE, 0);
  auto [inserted, unused] = statements_.emplace(
      rewritten, Prepared{statement, recency_.end(), kind, reprepared});
  recency_.push_front(&inserted->first);
  inserted->second.recency = recency_.begin();
  return inserted->second;
}

void Connection::Bind(sqlite3_stmt* statement, const Parameters& parameters,
                      std::string_view given) {
  for (std::size_t i = 0; i < parameters.size(); ++i) {
    const Variant& value = parameters[i];
    int index = static_cast<int>(i) + 1;
    int rc = SQLITE_OK;
    switch (value.type()) {
      case VarType::kEmpty:
      case VarType::kNull:
        rc = sqlite3_bind_null(statement, index);
        break;
      case VarType::kBoolean:
        rc = sqlite3_bind_int(statement, index, value.AsBoolean() ? 1 : 0);
        break;
      case VarType::kInteger:
        rc = sqlite3_bind_int(statement, index, value.AsInteger());
        break;
      case VarType::kLong:
        rc = sqlite3_bind_int(statement, index, value.AsLong());
        break;
      case VarType::kLongLong:
        rc = sqlite3_bind_int64(statement, index, value.AsLongLong());
        break;
      case VarType::kDouble:
        rc = sqlite3_bind_double(statement, index, value.AsDouble());
        break;
      case VarType::kCurrency:
        rc = sqlite3_bind_double(statement, index,
                                 value.AsCurrency().ToDouble());
        break;
      case VarType::kString:
        // The parameters outlive this use of the statement.
        rc = sqlite3_bind_text64(statement, index, value.AsString().data(),
                                 value.AsString().size(), SQLITE_STATIC,
                                 SQLITE_UTF8);
        break;
      default:
        throw AutomationError(errors::kTypeMismatch,
                              "Type mismatch (a value of this type cannot be "
                              "a statement parameter): " +
                                  std::string(given),
                              std::string(kSource));
    }
    if (rc != SQLITE_OK) {
      Fail("Cannot bind a parameter", given, std::string(given));
    }
  }
}

ado::RowSet Connection::ReadRows(sqlite3_stmt* statement,
                                 std::string_view given,
                                 const std::string& rewritten) {
  // The columns are read after the first step: a schema change by another
  // connection makes SQLite prepare the statement again within that step,
  // and the columns may have changed with it.
  int rc = sqlite3_step(statement);
  if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
    Fail("The statement failed", given, rewritten);
  }
  const int count = sqlite3_column_count(statement);
  const auto width = static_cast<std::size_t>(count);
  std::vector<ado::Column> columns(width);
  std::vector<ColumnReading> readings;
  readings.reserve(width);
  for (int c = 0; c < count; ++c) {
    const char* name = sqlite3_column_name(statement, c);
    if (name == nullptr) throw std::bad_alloc();
    columns[c].name = name;
    readings.emplace_back(
        KindOfDeclaredType(sqlite3_column_decltype(statement, c)));
    columns[c].type = AdoTypeOf(readings[c].kind);
  }
  ado::RowSetBuilder rows(std::move(columns));
  std::size_t cells = 0;
  for (;; rc = sqlite3_step(statement)) {
    if (rc == SQLITE_DONE) break;
    if (rc != SQLITE_ROW) Fail("The statement failed", given, rewritten);
    cells += width;
    if (cells > kMaxCells) {
      throw AutomationError(kErrorsInCommand,
                            "The statement returns more than " +
                                std::to_string(kMaxCells) +
                                " values: " + StatementText(given, rewritten),
                            std::string(kSource));
    }
    AddRowValues(rows, statement, readings);
    rows.EndRow();
  }
  for (std::size_t c = 0; c < width; ++c) {
    if (readings[c].kind == ColumnKind::kUntyped) {
      rows.SetColumnType(c, UntypedColumnType(readings[c].seen));
    }
  }
  return rows.Finish();
}

ado::RowSet Connection::Query(std::string_view sql,
                              const Parameters& parameters) {
  return *SharedQuery(sql, parameters);
}

std::shared_ptr<const ado::RowSet> Connection::SharedQuery(
    std::string_view sql, const Parameters& parameters) {
  std::string owned_key;
  const std::optional<std::string_view> key =
      AnswerKey(sql, parameters, owned_key);
  if (key) {
    if (auto kept = answers_.FindRows(*key)) return kept;
  }
  const std::string rewritten = RewriteJetSql(sql);
  Prepared& prepared = Statement(sql, rewritten);
  if (prepared.kind.changes_connection) DropKept();
  std::shared_ptr<const ado::RowSet> rows;
  {
    StatementUse use(prepared.statement);
    Bind(prepared.statement, parameters, sql);
    ++statements_run_;
    rows = std::make_shared<const ado::RowSet>(
        ReadRows(prepared.statement, sql, rewritten));
  }
  if (AfterUse(prepared, rewritten) && key) answers_.StoreRows(*key, rows);
  return rows;
}

std::optional<Variant> Connection::QueryFirst(std::string_view sql,
                                              const Parameters& parameters) {
  std::string owned_key;
  const std::optional<std::string_view> key =
      AnswerKey(sql, parameters, owned_key);
  if (key) {
    if (const std::optional<Variant>* kept = answers_.FindFirst(*key)) {
      return *kept;
    }
  }
  const std::string rewritten = RewriteJetSql(sql);
  Prepared& prepared = Statement(sql, rewritten);
  if (prepared.kind.changes_connection) DropKept();
  std::optional<Variant> first;
  {
    sqlite3_stmt* statement = prepared.statement;
    StatementUse use(statement);
    Bind(statement, parameters, sql);
    ++statements_run_;
    const int rc = sqlite3_step(statement);
    if (rc == SQLITE_ROW) {
      first =
          sqlite3_column_count(statement) == 0
              ? Variant::Null()
              : ColumnValue(
                    statement, 0,
                    KindOfDeclaredType(sqlite3_column_decltype(statement, 0)));
    } else if (rc != SQLITE_DONE) {
      Fail("The statement failed", sql, rewritten);
    }
  }
  if (AfterUse(prepared, rewritten) && key) answers_.StoreFirst(*key, first);
  return first;
}

bool Connection::TableHasColumn(std::string_view table,
                                std::string_view column) {
  // Another process may change the schema; the cached lists hold only as
  // long as the database's content version does (every schema change is a
  // commit).
  const std::optional<std::uint64_t> version = ContentVersion();
  if (!version || version != columns_version_) {
    columns_.clear();
    columns_version_ = version;
  }
  const std::string_view table_name = hostlib::Unquoted(table);
  auto found = columns_.find(std::string(table_name));
  if (found == columns_.end()) {
    const ado::RowSet rows =
        Query("SELECT name FROM pragma_table_info(?)", {Variant(table_name)});
    std::vector<std::string> names;
    for (std::size_t row = 0; row < rows.size(); ++row) {
      Variant name = rows.Value(row, 0);
      if (name.IsString()) names.push_back(name.TakeString());
    }
    found = columns_.emplace(std::string(table_name), std::move(names)).first;
  }
  const std::string_view wanted = hostlib::Unquoted(column);
  return std::any_of(
      found->second.begin(), found->second.end(),
      [&](const std::string& name) { return IsSameSqlName(name, wanted); });
}

}  // namespace nerolin::sqlite
