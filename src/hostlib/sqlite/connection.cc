#include "hostlib/sqlite/connection.h"

#include <filesystem>
#include <new>
#include <string>
#include <system_error>

#include <sqlite3.h>

#include "hostlib/sqlite/column_types.h"
#include "hostlib/sqlite/jet_functions.h"
#include "hostlib/sqlite/jet_sql.h"
#include "nerolin/automation_error.h"
#include "nerolin/sqlite_library.h"

namespace nerolin::sqlite {

namespace {

// How long a statement waits for a writer of another process to finish.
constexpr int kBusyTimeoutMs = 5000;

std::string_view TrimBlanks(std::string_view text) {
  std::size_t begin = 0;
  while (begin < text.size() && (text[begin] == ' ' || text[begin] == '\t')) {
    ++begin;
  }
  std::size_t end = text.size();
  while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t')) {
    --end;
  }
  return text.substr(begin, end - begin);
}

std::string UpperAscii(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return upper;
}

bool IsPathKey(std::string_view key) {
  std::string upper = UpperAscii(key);
  return upper == "DATA SOURCE" || upper == "DATASOURCE" ||
         upper == "DATABASE" || upper == "FILENAME";
}

// A name without one pair of surrounding brackets or double quotes.
std::string_view Unquoted(std::string_view name) {
  name = TrimBlanks(name);
  if (name.size() >= 2 && ((name.front() == '[' && name.back() == ']') ||
                           (name.front() == '"' && name.back() == '"'))) {
    return name.substr(1, name.size() - 2);
  }
  return name;
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
    path = std::string(Unquoted(text));
  } else {
    std::size_t at = 0;
    // Each round consumes at least one character.
    while (at < text.size()) {
      std::size_t equals = text.find('=', at);
      std::size_t semicolon = text.find(';', at);
      if (equals == std::string_view::npos || semicolon < equals) {
        if (semicolon == std::string_view::npos) break;
        at = semicolon + 1;  // a piece without "=" says nothing
        continue;
      }
      std::string_view key = TrimBlanks(text.substr(at, equals - at));
      std::size_t value_at = equals + 1;
      while (value_at < text.size() && text[value_at] == ' ') ++value_at;
      std::string value;
      std::size_t next = text.size();
      if (value_at < text.size() &&
          (text[value_at] == '"' || text[value_at] == '\'')) {
        char quote = text[value_at];
        std::size_t i = value_at + 1;
        while (i < text.size()) {
          if (text[i] == quote) {
            if (i + 1 < text.size() && text[i + 1] == quote) {
              value += quote;
              i += 2;
              continue;
            }
            ++i;
            break;
          }
          value += text[i++];
        }
        std::size_t end = text.find(';', i);
        next = end == std::string_view::npos ? text.size() : end + 1;
      } else {
        std::size_t end = text.find(';', value_at);
        std::size_t value_end =
            end == std::string_view::npos ? text.size() : end;
        value = std::string(
            TrimBlanks(text.substr(value_at, value_end - value_at)));
        next = end == std::string_view::npos ? text.size() : end + 1;
      }
      if (IsPathKey(key)) path = std::move(value);
      at = next;
    }
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
  // SQLite reads the file lazily; make it prove now that it is a database.
  char* message = nullptr;
  rc = sqlite3_exec(db, "PRAGMA schema_version", nullptr, nullptr, &message);
  if (rc != SQLITE_OK) {
    std::string reason = message ? message : sqlite3_errstr(rc);
    sqlite3_free(message);
    CannotOpen(path, reason);
  }
  return connection;
}

Connection::Connection(sqlite3* db, std::string path)
    : db_(db), path_(std::move(path)) {}

Connection::~Connection() {
  for (auto& [text, prepared] : statements_) {
    sqlite3_finalize(prepared.statement);
  }
  sqlite3_close_v2(db_);
}

void Connection::Fail(std::string_view what, std::string_view given,
                      const std::string& rewritten) const {
  throw AutomationError(kErrorsInCommand,
                        std::string(what) + " (" + sqlite3_errmsg(db_) +
                            "): " + StatementText(given, rewritten),
                        std::string(kSource));
}

sqlite3_stmt* Connection::Statement(std::string_view given,
                                    const std::string& rewritten) {
  auto found = statements_.find(rewritten);
  if (found != statements_.end()) {
    recency_.splice(recency_.begin(), recency_, found->second.recency);
    return found->second.statement;
  }
  sqlite3_stmt* statement = nullptr;
  const char* tail = nullptr;
  int rc = sqlite3_prepare_v3(db_, rewritten.c_str(),
                              static_cast<int>(rewritten.size()) + 1,
                              SQLITE_PREPARE_PERSISTENT, &statement, &tail);
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
  auto [inserted, unused] =
      statements_.emplace(rewritten, Prepared{statement, recency_.end()});
  recency_.push_front(&inserted->first);
  inserted->second.recency = recency_.begin();
  return statement;
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
  int count = sqlite3_column_count(statement);
  std::size_t width = static_cast<std::size_t>(count);
  ado::RowSet result;
  result.columns.resize(width);
  std::vector<ColumnKind> kinds(width);
  std::vector<StorageClasses> seen(width, 0);
  for (int c = 0; c < count; ++c) {
    const char* name = sqlite3_column_name(statement, c);
    if (name == nullptr) throw std::bad_alloc();
    result.columns[c].name = name;
    kinds[c] = KindOfDeclaredType(sqlite3_column_decltype(statement, c));
    result.columns[c].type = AdoTypeOf(kinds[c]);
  }
  std::size_t cells = 0;
  for (;;) {
    int rc = sqlite3_step(statement);
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
    ado::Row row;
    row.reserve(width);
    for (int c = 0; c < count; ++c) {
      if (kinds[c] == ColumnKind::kUntyped) {
        seen[c] |= 1u << sqlite3_column_type(statement, c);
      }
      row.push_back(ColumnValue(statement, c, kinds[c]));
    }
    result.rows.push_back(std::move(row));
  }
  for (std::size_t c = 0; c < width; ++c) {
    if (kinds[c] == ColumnKind::kUntyped) {
      result.columns[c].type = UntypedColumnType(seen[c]);
    }
  }
  return result;
}

ado::RowSet Connection::Query(std::string_view sql,
                              const Parameters& parameters) {
  std::string rewritten = RewriteJetSql(sql);
  sqlite3_stmt* statement = Statement(sql, rewritten);
  StatementUse use(statement);
  Bind(statement, parameters, sql);
  return ReadRows(statement, sql, rewritten);
}

std::optional<Variant> Connection::QueryFirst(std::string_view sql,
                                              const Parameters& parameters) {
  std::string rewritten = RewriteJetSql(sql);
  sqlite3_stmt* statement = Statement(sql, rewritten);
  StatementUse use(statement);
  Bind(statement, parameters, sql);
  int rc = sqlite3_step(statement);
  if (rc == SQLITE_DONE) return std::nullopt;
  if (rc != SQLITE_ROW) Fail("The statement failed", sql, rewritten);
  if (sqlite3_column_count(statement) == 0) return Variant::Null();
  return ColumnValue(statement, 0,
                     KindOfDeclaredType(sqlite3_column_decltype(statement, 0)));
}

bool Connection::TableHasColumn(std::string_view table,
                                std::string_view column) {
  // Another process may change the schema; the cached lists hold only as
  // long as its version does.
  std::optional<Variant> version = QueryFirst("PRAGMA schema_version");
  std::int64_t current = -1;
  if (version && version->type() == VarType::kLong) current = version->AsLong();
  if (version && version->type() == VarType::kLongLong) {
    current = version->AsLongLong();
  }
  if (current != schema_version_) {
    columns_.clear();
    schema_version_ = current;
  }
  std::string_view table_name = Unquoted(table);
  std::string key = UpperAscii(table_name);
  auto found = columns_.find(key);
  if (found == columns_.end()) {
    ado::RowSet rows =
        Query("SELECT name FROM pragma_table_info(?)", {Variant(table_name)});
    std::unordered_set<std::string> names;
    for (const ado::Row& row : rows.rows) {
      if (row[0].IsString()) names.insert(UpperAscii(row[0].AsString()));
    }
    found = columns_.emplace(std::move(key), std::move(names)).first;
  }
  return found->second.contains(UpperAscii(Unquoted(column)));
}

}  // namespace nerolin::sqlite
