#include "hostlib/odbc/connection.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <sql.h>
#include <sqlext.h>
#include <string>
#include <vector>

#include "automation/conversions.h"
#include "automation/vb_text.h"
#include "hostlib/common/connection_string.h"
#include "hostlib/jet/stored_dates.h"
#include "hostlib/odbc/wide_text.h"
#include "nerolin/automation_error.h"
#include "nerolin/sqlite_library.h"

namespace nerolin::odbc {

using sqlite::kErrorsInCommand;
using sqlite::kSource;
using sqlite::kUnspecifiedError;

namespace {

constexpr int kMaxTimeoutSeconds = 86'400;
// Texts and bytes are read in pieces of this many code units.
constexpr SQLLEN kPieceUnits = 4096;
// The bytes of a wide character, signed, for lengths a call reports in
// bytes, which may be below zero.
constexpr long long kWideBytes = sizeof(SQLWCHAR);
// Currency holds the value times 10,000 in 64 bits.
constexpr double kCurrencyLimit = 922337203685477.0;

bool Succeeded(SQLRETURN status) { return SQL_SUCCEEDED(status); }

std::string LowerAscii(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

// The diagnostic records of `handle`, "; " between them, each without the
// driver manager's and the driver's bracketed prefixes.
std::string Diagnostics(SQLSMALLINT type, SQLHANDLE handle) {
  std::string text;
  for (SQLSMALLINT record = 1;; ++record) {
    SQLWCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLWCHAR message[1024] = {};
    SQLSMALLINT length = 0;
    if (!Succeeded(SQLGetDiagRecW(type, handle, record, state, &native, message,
                                  1024, &length))) {
      break;
    }
    std::string piece = Utf8FromWide(message, WideLength(message));
    // "[unixODBC][Driver Manager]...", "[psqlODBC]..." say who, not what.
    while (piece.starts_with('[')) {
      std::size_t close = piece.find(']');
      if (close == std::string::npos) break;
      piece.erase(0, close + 1);
    }
    // libpq's messages run over several indented lines.
    std::string flat;
    for (char c : piece) {
      const bool blank = c == '\n' || c == '\t' || c == ' ';
      if (blank && (flat.empty() || flat.back() == ' ')) continue;
      if (c == ';' && !flat.empty() && flat.back() == ' ') flat.pop_back();
      flat += blank ? ' ' : c;
    }
    while (!flat.empty() && (flat.back() == ' ' || flat.back() == ';')) {
      flat.pop_back();
    }
    piece = std::move(flat);
    if (piece.empty()) continue;
    if (!text.empty()) text += "; ";
    text += piece;
  }
  return text.empty() ? "no message from the driver" : text;
}

std::string StatementText(std::string_view given,
                          const std::string& rewritten) {
  std::string text(given);
  if (rewritten != given) text += " (run as: " + rewritten + ")";
  return text;
}

int TimeoutValue(const hostlib::ConnectionPair& pair) {
  int seconds = -1;
  const std::string_view value = pair.value;
  auto [end, error] =
      std::from_chars(value.data(), value.data() + value.size(), seconds);
  if (error != std::errc() || end != value.data() + value.size() ||
      seconds < 0 || seconds > kMaxTimeoutSeconds) {
    throw AutomationError(kUnspecifiedError,
                          "The connection setting " + pair.key + "=" +
                              pair.value +
                              " is no whole number of seconds "
                              "from 0 to 86400",
                          std::string(kSource));
  }
  return seconds;
}

// What a result column holds and how it is read.
enum class Kind {
  kLong,
  kBigInt,
  kDouble,
  kCurrency,  // exact decimals of scale 0 to 4
  kNumeric,   // other decimals, as Double
  kDate,
  kBoolean,
  kText,
  kBinary,
};

struct ColumnShape {
  Kind kind;
  ado::DataType type;
};

ColumnShape ShapeOf(SQLSMALLINT sql_type, SQLSMALLINT scale,
                    std::string_view type_name) {
  switch (sql_type) {
    case SQL_BIT:
      return {Kind::kBoolean, ado::DataType::kBoolean};
    case SQL_TINYINT:
    case SQL_SMALLINT:
    case SQL_INTEGER:
      return {Kind::kLong, ado::DataType::kInteger};
    case SQL_BIGINT:
      return {Kind::kBigInt, ado::DataType::kBigInt};
    case SQL_REAL:
    case SQL_FLOAT:
    case SQL_DOUBLE:
      return {Kind::kDouble, ado::DataType::kDouble};
    case SQL_NUMERIC:
    case SQL_DECIMAL:
      if (scale >= 0 && scale <= 4) {
        return {Kind::kCurrency, ado::DataType::kCurrency};
      }
      return {Kind::kNumeric, ado::DataType::kNumeric};
    case SQL_TYPE_DATE:
    case SQL_TYPE_TIME:
    case SQL_TYPE_TIMESTAMP:
    case SQL_DATE:
    case SQL_TIMESTAMP:
      return {Kind::kDate, ado::DataType::kDate};
    case SQL_BINARY:
    case SQL_VARBINARY:
    case SQL_LONGVARBINARY:
      return {Kind::kBinary, ado::DataType::kLongVarBinary};
    default:
      break;
  }
  // A driver that hands booleans out as text (psqlODBC's BoolsAsChar) still
  // names their type.
  const std::string name = LowerAscii(type_name);
  if (name == "bool" || name == "boolean") {
    return {Kind::kBoolean, ado::DataType::kBoolean};
  }
  return {Kind::kText, ado::DataType::kVarWChar};
}

// "-1234.5600" as Currency when it fits; nothing otherwise.
std::optional<Currency> ExactCurrency(std::string_view text) {
  bool negative = false;
  std::size_t at = 0;
  if (at < text.size() && (text[at] == '-' || text[at] == '+')) {
    negative = text[at] == '-';
    ++at;
  }
  std::int64_t units = 0;
  int decimals = -1;
  bool digits = false;
  for (; at < text.size(); ++at) {
    const char c = text[at];
    if (c == '.' && decimals < 0) {
      decimals = 0;
      continue;
    }
    if (c < '0' || c > '9') return std::nullopt;
    if (decimals >= 4) {
      if (c != '0') return std::nullopt;  // more than Currency holds
      continue;
    }
    if (units > (INT64_MAX - 9) / 10) return std::nullopt;
    units = units * 10 + (c - '0');
    digits = true;
    if (decimals >= 0) ++decimals;
  }
  if (!digits) return std::nullopt;
  for (int d = decimals < 0 ? 0 : decimals; d < 4; ++d) {
    if (units > INT64_MAX / 10) return std::nullopt;
    units *= 10;
  }
  return Currency{negative ? -units : units};
}

// Frees a statement handle's result and parameters when a use ends,
// however it ends.
class StatementUse {
 public:
  explicit StatementUse(SQLHSTMT statement) : statement_(statement) {}
  ~StatementUse() {
    SQLFreeStmt(statement_, SQL_CLOSE);
    SQLFreeStmt(statement_, SQL_RESET_PARAMS);
  }
  StatementUse(const StatementUse&) = delete;
  StatementUse& operator=(const StatementUse&) = delete;

 private:
  SQLHSTMT statement_;
};

// The value of a bound parameter, kept where the driver reads it at
// SQLExecute.
struct BoundValue {
  std::u16string text;
  std::int32_t long_value = 0;
  std::int64_t big_value = 0;
  double double_value = 0;
  SQLLEN indicator = 0;
};

}  // namespace

ConnectionSettings SplitConnectionString(std::string_view connection_string) {
  ConnectionSettings settings;
  for (const hostlib::ConnectionPair& pair :
       hostlib::ConnectionPairs(connection_string)) {
    if (EqualsIgnoreCase(pair.key, kLoginTimeoutKey)) {
      settings.login_timeout_seconds = TimeoutValue(pair);
    } else if (EqualsIgnoreCase(pair.key, kQueryTimeoutKey)) {
      settings.query_timeout_seconds = TimeoutValue(pair);
    }
  }
  // The other pieces go to the driver exactly as written (its own quoting
  // rules differ from ours).
  std::size_t at = 0;
  while (at <= connection_string.size()) {
    std::size_t end = connection_string.find(';', at);
    if (end == std::string_view::npos) end = connection_string.size();
    std::string_view piece = connection_string.substr(at, end - at);
    const std::string_view key = TrimBlanks(piece.substr(0, piece.find('=')));
    const bool ours = piece.find('=') != std::string_view::npos &&
                      (EqualsIgnoreCase(key, kLoginTimeoutKey) ||
                       EqualsIgnoreCase(key, kQueryTimeoutKey));
    if (!ours && !TrimBlanks(piece).empty()) {
      settings.driver_string += piece;
      settings.driver_string += ';';
    }
    at = end + 1;
  }
  return settings;
}

std::shared_ptr<Connection> Connection::Open(
    std::string_view connection_string) {
  const ConnectionSettings settings = SplitConnectionString(connection_string);
  std::shared_ptr<Connection> connection(new Connection());
  connection->Connect(settings);
  connection->ReadCatalog();
  return connection;
}

void Connection::Connect(const ConnectionSettings& settings) {
  query_timeout_seconds_ = settings.query_timeout_seconds;
  auto fail = [](const std::string& reason) {
    throw AutomationError(kUnspecifiedError,
                          "Cannot connect to the ODBC data source: " + reason,
                          std::string(kSource));
  };
  SQLHENV environment = SQL_NULL_HENV;
  if (!Succeeded(
          SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &environment))) {
    fail("the ODBC driver manager cannot start");
  }
  environment_ = environment;
  SQLSetEnvAttr(environment, SQL_ATTR_ODBC_VERSION,
                reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  SQLHDBC handle = SQL_NULL_HDBC;
  if (!Succeeded(SQLAllocHandle(SQL_HANDLE_DBC, environment, &handle))) {
    fail(Diagnostics(SQL_HANDLE_ENV, environment));
  }
  connection_ = handle;
  SQLSetConnectAttrW(handle, SQL_ATTR_LOGIN_TIMEOUT,
                     reinterpret_cast<SQLPOINTER>(
                         static_cast<SQLULEN>(settings.login_timeout_seconds)),
                     0);
  // Drivers that know the attribute refuse writes; the session settings
  // below make sure of it where they do not.
  SQLSetConnectAttrW(handle, SQL_ATTR_ACCESS_MODE,
                     reinterpret_cast<SQLPOINTER>(SQL_MODE_READ_ONLY), 0);
  std::u16string in = WideFromUtf8(settings.driver_string);
  SQLWCHAR out[1024];
  SQLSMALLINT out_length = 0;
  const SQLRETURN status =
      SQLDriverConnectW(handle, nullptr, reinterpret_cast<SQLWCHAR*>(in.data()),
                        static_cast<SQLSMALLINT>(in.size()), out, 1024,
                        &out_length, SQL_DRIVER_NOPROMPT);
  if (!Succeeded(status)) fail(Diagnostics(SQL_HANDLE_DBC, handle));
  connected_ = true;

  SQLWCHAR name[256] = {};
  SQLSMALLINT name_length = 0;
  if (Succeeded(SQLGetInfoW(handle, SQL_DBMS_NAME, name, sizeof name,
                            &name_length))) {
    dbms_name_ =
        Utf8FromWideBuffer(name, std::size(name), name_length / kWideBytes);
  }
  dialect_ = jet::DialectOfDbms(dbms_name_);
  if (dialect_ == jet::Dialect::kPostgreSql) {
    // Every statement runs in a transaction of its own (autocommit); each
    // of them is read-only from here on, and none runs without end.
    RunSetting("SET SESSION CHARACTERISTICS AS TRANSACTION READ ONLY");
    RunSetting("SET statement_timeout = " +
               std::to_string(query_timeout_seconds_ * 1000));
  }
}

void Connection::RunSetting(const std::string& sql) {
  SQLHSTMT statement = SQL_NULL_HSTMT;
  if (!Succeeded(SQLAllocHandle(SQL_HANDLE_STMT, connection_, &statement))) {
    throw AutomationError(kUnspecifiedError,
                          "Cannot set up the ODBC connection: " +
                              Diagnostics(SQL_HANDLE_DBC, connection_),
                          std::string(kSource));
  }
  std::u16string text = WideFromUtf8(sql);
  const SQLRETURN status =
      SQLExecDirectW(statement, reinterpret_cast<SQLWCHAR*>(text.data()),
                     static_cast<SQLINTEGER>(text.size()));
  std::string reason;
  if (!Succeeded(status)) reason = Diagnostics(SQL_HANDLE_STMT, statement);
  SQLFreeHandle(SQL_HANDLE_STMT, statement);
  if (!reason.empty()) {
    throw AutomationError(
        kUnspecifiedError,
        "Cannot set up the ODBC connection (" + sql + "): " + reason,
        std::string(kSource));
  }
}

void Connection::ReadCatalog() {
  // The names of the schema statements run in: another schema's tables
  // (the server's own catalog among them) may spell a name differently.
  std::u16string schema;
  const char* current_schema =
      dialect_ == jet::Dialect::kPostgreSql  ? "SELECT current_schema()"
      : dialect_ == jet::Dialect::kSqlServer ? "SELECT SCHEMA_NAME()"
                                             : nullptr;
  if (current_schema != nullptr) {
    const std::optional<Variant> name = QueryFirst(current_schema);
    if (name && name->IsString()) schema = WideFromUtf8(name->AsString());
  }
  SQLHSTMT statement = SQL_NULL_HSTMT;
  if (!Succeeded(SQLAllocHandle(SQL_HANDLE_STMT, connection_, &statement))) {
    return;
  }
  std::u16string any = u"%";
  // Every column of every table and view of the schema, in one call.
  SQLRETURN status = SQLColumnsW(
      statement, nullptr, 0,
      schema.empty() ? nullptr : reinterpret_cast<SQLWCHAR*>(schema.data()),
      schema.empty() ? 0 : SQL_NTS, reinterpret_cast<SQLWCHAR*>(any.data()),
      SQL_NTS, reinterpret_cast<SQLWCHAR*>(any.data()), SQL_NTS);
  std::string reason;
  if (Succeeded(status)) {
    // Columns 3 and 4 of SQLColumns: TABLE_NAME, COLUMN_NAME.
    SQLWCHAR table[512];
    SQLWCHAR column[512];
    SQLLEN table_length = 0;
    SQLLEN column_length = 0;
    SQLBindCol(statement, 3, SQL_C_WCHAR, table, sizeof table, &table_length);
    SQLBindCol(statement, 4, SQL_C_WCHAR, column, sizeof column,
               &column_length);
    while (Succeeded(status = SQLFetch(statement))) {
      if (table_length <= 0 || column_length <= 0) continue;
      const std::string table_name = Utf8FromWideBuffer(
          table, std::size(table), table_length / kWideBytes);
      const std::string column_name = Utf8FromWideBuffer(
          column, std::size(column), column_length / kWideBytes);
      const std::string table_key = LowerAscii(table_name);
      const std::string column_key = LowerAscii(column_name);
      columns_[table_key].insert(column_key);
      names_.emplace(table_key, table_name);
      names_.emplace(column_key, column_name);
    }
    if (status != SQL_NO_DATA) reason = Diagnostics(SQL_HANDLE_STMT, statement);
  } else {
    reason = Diagnostics(SQL_HANDLE_STMT, statement);
  }
  SQLFreeHandle(SQL_HANDLE_STMT, statement);
  if (!reason.empty()) {
    throw AutomationError(kUnspecifiedError,
                          "Cannot read the tables and columns of the ODBC "
                          "data source: " +
                              reason,
                          std::string(kSource));
  }
}

Connection::~Connection() {
  for (auto& [text, prepared] : statements_) {
    SQLFreeHandle(SQL_HANDLE_STMT, prepared.handle);
  }
  if (connected_) SQLDisconnect(connection_);
  if (connection_ != nullptr) SQLFreeHandle(SQL_HANDLE_DBC, connection_);
  if (environment_ != nullptr) SQLFreeHandle(SQL_HANDLE_ENV, environment_);
}

std::string Connection::RewriteSql(std::string_view sql) const {
  return jet::RewriteJetSql(sql, dialect_, &names_);
}

bool Connection::TableHasColumn(std::string_view table,
                                std::string_view column) {
  auto found = columns_.find(LowerAscii(hostlib::Unquoted(table)));
  return found != columns_.end() &&
         found->second.contains(LowerAscii(hostlib::Unquoted(column)));
}

Connection::Prepared& Connection::Statement(std::string_view given,
                                            const std::string& rewritten) {
  if (auto found = statements_.find(rewritten); found != statements_.end()) {
    recency_.splice(recency_.begin(), recency_, found->second.recency);
    return found->second;
  }
  if (statements_.size() >= kStatementCacheSize) Forget(*recency_.back());
  SQLHSTMT statement = SQL_NULL_HSTMT;
  if (!Succeeded(SQLAllocHandle(SQL_HANDLE_STMT, connection_, &statement))) {
    throw AutomationError(kErrorsInCommand,
                          dbms_name_ + " cannot take another statement (" +
                              Diagnostics(SQL_HANDLE_DBC, connection_) +
                              "): " + StatementText(given, rewritten),
                          std::string(kSource));
  }
  // psqlODBC sets and resets statement_timeout around every statement for
  // this attribute, two more round trips each; the session's setting
  // already bounds them there.
  if (dialect_ != jet::Dialect::kPostgreSql) {
    SQLSetStmtAttrW(statement, SQL_ATTR_QUERY_TIMEOUT,
                    reinterpret_cast<SQLPOINTER>(
                        static_cast<SQLULEN>(query_timeout_seconds_)),
                    0);
  }
  std::u16string text = WideFromUtf8(rewritten);
  if (!Succeeded(SQLPrepareW(statement,
                             reinterpret_cast<SQLWCHAR*>(text.data()),
                             static_cast<SQLINTEGER>(text.size())))) {
    std::string reason = Diagnostics(SQL_HANDLE_STMT, statement);
    SQLFreeHandle(SQL_HANDLE_STMT, statement);
    throw AutomationError(kErrorsInCommand,
                          dbms_name_ + " rejected the statement (" + reason +
                              "): " + StatementText(given, rewritten),
                          std::string(kSource));
  }
  auto [entry, inserted] =
      statements_.emplace(rewritten, Prepared{statement, {}});
  recency_.push_front(&entry->first);
  entry->second.recency = recency_.begin();
  return entry->second;
}

void Connection::Forget(const std::string& rewritten) {
  auto found = statements_.find(rewritten);
  if (found == statements_.end()) return;
  SQLFreeHandle(SQL_HANDLE_STMT, found->second.handle);
  recency_.erase(found->second.recency);
  statements_.erase(found);
}

void Connection::FailStatement(void* statement, std::string_view given,
                               const std::string& rewritten) {
  std::string reason = Diagnostics(SQL_HANDLE_STMT, statement);
  throw AutomationError(kErrorsInCommand,
                        dbms_name_ + " rejected the statement (" + reason +
                            "): " + StatementText(given, rewritten),
                        std::string(kSource));
}

ado::RowSet Connection::Run(std::string_view sql, const Parameters& parameters,
                            std::size_t max_rows) {
  const std::string rewritten = RewriteSql(sql);
  SQLHSTMT statement = Statement(sql, rewritten).handle;
  try {
    StatementUse use(statement);
    return RunPrepared(statement, sql, rewritten, parameters, max_rows);
  } catch (const AutomationError& error) {
    // A statement that failed may have left its handle in a state the
    // driver does not recover from (a lost connection): prepare it anew.
    if (error.number() == kErrorsInCommand) Forget(rewritten);
    throw;
  }
}

ado::RowSet Connection::RunPrepared(void* statement, std::string_view sql,
                                    const std::string& rewritten,
                                    const Parameters& parameters,
                                    std::size_t max_rows) {
  std::vector<BoundValue> values(parameters.size());
  for (std::size_t i = 0; i < parameters.size(); ++i) {
    const Variant& parameter = parameters[i];
    BoundValue& value = values[i];
    const auto number = static_cast<SQLUSMALLINT>(i + 1);
    SQLRETURN status = SQL_SUCCESS;
    switch (parameter.type()) {
      case VarType::kEmpty:
      case VarType::kNull:
        value.indicator = SQL_NULL_DATA;
        status =
            SQLBindParameter(statement, number, SQL_PARAM_INPUT, SQL_C_CHAR,
                             SQL_VARCHAR, 1, 0, nullptr, 0, &value.indicator);
        break;
      case VarType::kString:
        value.text = WideFromUtf8(parameter.AsString());
        value.indicator =
            static_cast<SQLLEN>(value.text.size() * sizeof(SQLWCHAR));
        status = SQLBindParameter(
            statement, number, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR,
            value.text.empty() ? 1 : value.text.size(), 0, value.text.data(),
            value.indicator, &value.indicator);
        break;
      case VarType::kBoolean:
      case VarType::kInteger:
      case VarType::kLong:
        value.long_value = parameter.type() == VarType::kBoolean
                               ? (parameter.AsBoolean() ? 1 : 0)
                               : static_cast<std::int32_t>(CLng(parameter));
        status =
            SQLBindParameter(statement, number, SQL_PARAM_INPUT, SQL_C_SLONG,
                             SQL_INTEGER, 0, 0, &value.long_value, 0, nullptr);
        break;
      case VarType::kLongLong:
        value.big_value = parameter.AsLongLong();
        status =
            SQLBindParameter(statement, number, SQL_PARAM_INPUT, SQL_C_SBIGINT,
                             SQL_BIGINT, 0, 0, &value.big_value, 0, nullptr);
        break;
      case VarType::kDouble:
      case VarType::kCurrency:
        value.double_value = CDbl(parameter);
        status =
            SQLBindParameter(statement, number, SQL_PARAM_INPUT, SQL_C_DOUBLE,
                             SQL_DOUBLE, 0, 0, &value.double_value, 0, nullptr);
        break;
      default:
        throw AutomationError(errors::kTypeMismatch,
                              "Type mismatch (parameter " +
                                  std::to_string(number) + " of " +
                                  std::string(sql) + ")",
                              std::string(kSource));
    }
    if (!Succeeded(status)) FailStatement(statement, sql, rewritten);
  }

  const SQLRETURN executed = SQLExecute(statement);
  if (!Succeeded(executed) && executed != SQL_NO_DATA) {
    FailStatement(statement, sql, rewritten);
  }

  SQLSMALLINT count = 0;
  if (!Succeeded(SQLNumResultCols(statement, &count))) {
    FailStatement(statement, sql, rewritten);
  }
  std::vector<ado::Column> columns;
  std::vector<ColumnShape> shapes;
  for (SQLUSMALLINT c = 1; c <= static_cast<SQLUSMALLINT>(count); ++c) {
    SQLWCHAR name[256] = {};
    SQLSMALLINT name_length = 0;
    SQLSMALLINT sql_type = 0;
    SQLULEN size = 0;
    SQLSMALLINT scale = 0;
    if (!Succeeded(SQLDescribeColW(statement, c, name, 256, &name_length,
                                   &sql_type, &size, &scale, nullptr))) {
      FailStatement(statement, sql, rewritten);
    }
    SQLWCHAR type_name[64] = {};
    SQLSMALLINT type_name_length = 0;
    SQLColAttributeW(statement, c, SQL_DESC_TYPE_NAME, type_name,
                     sizeof type_name, &type_name_length, nullptr);
    const ColumnShape shape =
        ShapeOf(sql_type, scale,
                Utf8FromWideBuffer(type_name, std::size(type_name),
                                   type_name_length / kWideBytes));
    shapes.push_back(shape);
    columns.push_back(
        {Utf8FromWideBuffer(name, std::size(name), name_length), shape.type});
  }

  ado::RowSetBuilder rows(std::move(columns));
  std::u16string wide;
  std::string bytes;
  std::size_t cells = 0;
  // A text column of unknown length (TEXT, bytea) cannot be bound for a
  // block of rows; the driver already holds the whole result, so values
  // are read one by one with SQLGetData.
  while (rows.rows() < max_rows) {
    const SQLRETURN fetched = SQLFetch(statement);
    if (fetched == SQL_NO_DATA) break;
    if (!Succeeded(fetched)) FailStatement(statement, sql, rewritten);
    cells += shapes.size();
    if (cells > kMaxCells) {
      throw AutomationError(kErrorsInCommand,
                            "The result holds more than " +
                                std::to_string(kMaxCells) +
                                " values: " + StatementText(sql, rewritten),
                            std::string(kSource));
    }
    for (std::size_t c = 0; c < shapes.size(); ++c) {
      const auto column = static_cast<SQLUSMALLINT>(c + 1);
      SQLLEN indicator = 0;
      auto get = [&](SQLSMALLINT c_type, void* target, SQLLEN size) {
        if (!Succeeded(SQLGetData(statement, column, c_type, target, size,
                                  &indicator))) {
          FailStatement(statement, sql, rewritten);
        }
        return indicator != SQL_NULL_DATA;
      };
      switch (shapes[c].kind) {
        case Kind::kLong: {
          SQLINTEGER value = 0;
          if (get(SQL_C_SLONG, &value, 0)) {
            rows.AddLong(value);
          } else {
            rows.AddNull();
          }
          break;
        }
        case Kind::kBigInt: {
          SQLBIGINT value = 0;
          if (get(SQL_C_SBIGINT, &value, 0)) {
            rows.AddLongLong(value);
          } else {
            rows.AddNull();
          }
          break;
        }
        case Kind::kDouble: {
          double value = 0;
          if (get(SQL_C_DOUBLE, &value, 0)) {
            rows.AddDouble(value);
          } else {
            rows.AddNull();
          }
          break;
        }
        case Kind::kCurrency:
        case Kind::kNumeric: {
          char text[128] = {};
          if (!get(SQL_C_CHAR, text, sizeof text)) {
            rows.AddNull();
            break;
          }
          const std::string_view digits(text);
          std::optional<Currency> exact;
          if (shapes[c].kind == Kind::kCurrency) exact = ExactCurrency(digits);
          const double value = std::strtod(text, nullptr);
          if (exact && std::abs(value) <= kCurrencyLimit) {
            rows.AddCurrency(*exact);
          } else {
            rows.AddDouble(value);
          }
          break;
        }
        case Kind::kDate: {
          SQL_TIMESTAMP_STRUCT value = {};
          if (!get(SQL_C_TYPE_TIMESTAMP, &value, sizeof value)) {
            rows.AddNull();
            break;
          }
          jet::CivilDateTime parts;
          parts.year = value.year;
          parts.month = value.month;
          parts.day = value.day;
          parts.hour = value.hour;
          parts.minute = value.minute;
          parts.second = value.second;
          if (value.year == 0) {  // a time of day alone
            parts.year = 1899;
            parts.month = 12;
            parts.day = 30;
          }
          if (jet::IsValidDateTime(parts)) {
            rows.AddDate(jet::ToDate(parts));
          } else {
            rows.AddNull();
          }
          break;
        }
        case Kind::kBoolean: {
          char text[16] = {};
          if (!get(SQL_C_CHAR, text, sizeof text)) {
            rows.AddNull();
            break;
          }
          const std::string value = LowerAscii(TrimBlanks(text));
          rows.AddBoolean(!(value == "0" || value == "f" || value == "false" ||
                            value == "no" || value.empty()));
          break;
        }
        case Kind::kText: {
          wide.clear();
          SQLWCHAR piece[kPieceUnits];
          for (;;) {
            const SQLRETURN status =
                SQLGetData(statement, column, SQL_C_WCHAR, piece, sizeof piece,
                           &indicator);
            if (status == SQL_NO_DATA) break;
            if (!Succeeded(status)) FailStatement(statement, sql, rewritten);
            if (indicator == SQL_NULL_DATA) break;
            // All of the rest fitted when the driver tells its length and
            // it is within the piece; otherwise the piece is full, less
            // its terminating zero.
            const bool whole = indicator != SQL_NO_TOTAL &&
                               indicator < static_cast<SQLLEN>(sizeof piece);
            const std::size_t units =
                whole ? static_cast<std::size_t>(indicator) / sizeof(SQLWCHAR)
                      : kPieceUnits - 1;
            wide.append(reinterpret_cast<const char16_t*>(piece), units);
            if (whole) break;
          }
          if (indicator == SQL_NULL_DATA) {
            rows.AddNull();
          } else {
            rows.AddText(Utf8FromWide(wide.data(), wide.size()));
          }
          break;
        }
        case Kind::kBinary: {
          bytes.clear();
          char piece[kPieceUnits];
          for (;;) {
            const SQLRETURN status =
                SQLGetData(statement, column, SQL_C_BINARY, piece, sizeof piece,
                           &indicator);
            if (status == SQL_NO_DATA) break;
            if (!Succeeded(status)) FailStatement(statement, sql, rewritten);
            if (indicator == SQL_NULL_DATA) break;
            const bool whole = indicator != SQL_NO_TOTAL &&
                               indicator <= static_cast<SQLLEN>(sizeof piece);
            bytes.append(piece, whole ? static_cast<std::size_t>(indicator)
                                      : sizeof piece);
            if (whole) break;
          }
          if (indicator == SQL_NULL_DATA) {
            rows.AddNull();
          } else {
            rows.AddText(bytes);
          }
          break;
        }
      }
    }
    rows.EndRow();
  }
  return rows.Finish();
}

ado::RowSet Connection::Query(std::string_view sql,
                              const Parameters& parameters) {
  return Run(sql, parameters, SIZE_MAX);
}

std::shared_ptr<const ado::RowSet> Connection::SharedQuery(
    std::string_view sql, const Parameters& parameters) {
  return std::make_shared<const ado::RowSet>(Run(sql, parameters, SIZE_MAX));
}

std::optional<Variant> Connection::QueryFirst(std::string_view sql,
                                              const Parameters& parameters) {
  const ado::RowSet rows = Run(sql, parameters, 1);
  if (rows.empty() || rows.columns().empty()) return std::nullopt;
  return rows.Value(0, 0);
}

}  // namespace nerolin::odbc
