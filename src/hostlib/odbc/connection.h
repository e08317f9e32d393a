#pragma once

#include <cstddef>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "hostlib/common/data_connection.h"
#include "hostlib/jet/jet_sql.h"
#include "nerolin/recordset.h"
#include "nerolin/variant.h"

namespace nerolin::odbc {

using hostlib::Parameters;

// Keys of an ODBC connection string that the library reads itself and
// never hands to the driver, each a whole number of seconds (0: no limit).
inline constexpr std::string_view kLoginTimeoutKey = "LoginTimeout";
inline constexpr std::string_view kQueryTimeoutKey = "QueryTimeout";
inline constexpr int kDefaultLoginTimeoutSeconds = 10;
inline constexpr int kDefaultQueryTimeoutSeconds = 60;

// A connection string split into what the driver gets and the library's
// own settings.
struct ConnectionSettings {
  std::string driver_string;  // the other pairs, as given
  int login_timeout_seconds = kDefaultLoginTimeoutSeconds;
  int query_timeout_seconds = kDefaultQueryTimeoutSeconds;
};

// Takes LoginTimeout and QueryTimeout (keys without regard to case) out of
// `connection_string`. Raises kUnspecifiedError for a value that is no
// whole number from 0 to 86400.
ConnectionSettings SplitConnectionString(std::string_view connection_string);

// One read-only ODBC connection (unixODBC and the data source's driver)
// with its prepared statements and the catalog's names. Statements are
// rewritten for the server that the driver reports (SQL_DBMS_NAME), with
// the catalog's spelling of every table and column name. Not thread-safe.
class Connection final : public hostlib::DataConnection {
 public:
  // Connects through the driver manager with SQLDriverConnect, asks for
  // read-only access (and, on PostgreSQL, read-only transactions) and reads
  // the catalog's tables, views and columns. Raises kUnspecifiedError with
  // the driver's message when the driver is missing, the server cannot be
  // reached or refuses the login; the message never holds the password.
  static std::shared_ptr<Connection> Open(std::string_view connection_string);

  ~Connection() override;
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // All rows of `sql`. Raises kErrorsInCommand with the server's message
  // and the statement (" (run as: ...)" when the rewriting changed it) when
  // the server rejects it, fails while running it, or the connection is
  // lost; and when the result would exceed kMaxCells values.
  ado::RowSet Query(std::string_view sql,
                    const Parameters& parameters = {}) override;
  // Query's rows, shared; nothing is kept, since the server's data may
  // change at any time.
  std::shared_ptr<const ado::RowSet> SharedQuery(
      std::string_view sql, const Parameters& parameters = {}) override;
  std::optional<Variant> QueryFirst(std::string_view sql,
                                    const Parameters& parameters = {}) override;

  // Against the catalog read when the connection opened.
  bool TableHasColumn(std::string_view table, std::string_view column) override;

  // RewriteJetSql for this server's dialect and names.
  std::string RewriteSql(std::string_view sql) const override;

  jet::Dialect dialect() const { return dialect_; }
  const std::string& dbms_name() const { return dbms_name_; }
  std::size_t prepared_statements() const { return statements_.size(); }

  // The most prepared statements kept; the least recently used goes first.
  static constexpr std::size_t kStatementCacheSize = 128;
  // The most values (rows times columns) one result may hold.
  static constexpr std::size_t kMaxCells = 50'000'000;

 private:
  struct Prepared {
    void* handle;  // SQLHSTMT
    std::list<const std::string*>::iterator recency;
  };

  Connection() = default;
  void Connect(const ConnectionSettings& settings);
  void ReadCatalog();
  // Runs `sql` through the driver without preparing it; for the session
  // settings.
  void RunSetting(const std::string& sql);
  Prepared& Statement(std::string_view given, const std::string& rewritten);
  void Forget(const std::string& rewritten);
  ado::RowSet Run(std::string_view sql, const Parameters& parameters,
                  std::size_t max_rows);
  ado::RowSet RunPrepared(void* statement, std::string_view sql,
                          const std::string& rewritten,
                          const Parameters& parameters, std::size_t max_rows);
  [[noreturn]] void FailStatement(void* statement, std::string_view given,
                                  const std::string& rewritten);

  void* environment_ = nullptr;  // SQLHENV
  void* connection_ = nullptr;   // SQLHDBC
  bool connected_ = false;
  int query_timeout_seconds_ = kDefaultQueryTimeoutSeconds;
  std::string dbms_name_;
  jet::Dialect dialect_ = jet::Dialect::kSqlite;
  jet::NameSpellings names_;
  // Table and view names in ASCII lower case to their columns' names, the
  // same way.
  std::unordered_map<std::string, std::unordered_set<std::string>> columns_;
  std::unordered_map<std::string, Prepared> statements_;
  std::list<const std::string*> recency_;  // keys of statements_, newest first
};

}  // namespace nerolin::odbc
