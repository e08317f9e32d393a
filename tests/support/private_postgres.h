// A private PostgreSQL server for tests.
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include <sys/types.h>

namespace nerolin::testing {

// A private PostgreSQL server under a fresh temporary folder, listening on
// a domain socket only (no TCP), with psqlODBC registered in a private
// odbcinst.ini (ODBCSYSINI) as the driver "PostgreSQL Unicode". PostgreSQL
// refuses to run as root: run as root, the server runs as `nobody` and the
// folder belongs to it. Fast rather than safe: no fsync, small buffers.
//
// Logins: the superuser kSuperuser without password; kPasswordRole with
// the password kPassword (scram), for the tests of a wrong one.
class PrivatePostgres {
 public:
  static constexpr std::string_view kPasswordRole = "nerolin_pw";
  static constexpr std::string_view kPassword = "right-password";

  // Runs initdb and starts the server; sets ODBCSYSINI and ODBCINI for
  // this process. Returns null and sets *why when PostgreSQL or psqlODBC
  // is missing or the server does not start (tests then GTEST_SKIP()).
  static std::unique_ptr<PrivatePostgres> Start(std::string* why);

  // Stops the server, checks that none of its processes is left, removes
  // the folder and restores the environment.
  ~PrivatePostgres();
  PrivatePostgres(const PrivatePostgres&) = delete;
  PrivatePostgres& operator=(const PrivatePostgres&) = delete;

  // A DSN-less ODBC connection string for `database`, as `user` (the
  // superuser when empty), with `extra` pairs appended.
  std::string ConnectionString(std::string_view database,
                               std::string_view extra = {},
                               std::string_view user = {}) const;

  // Runs `sql` through psql on `database`, stopping at the first error;
  // returns what psql printed (unaligned, tuples only). ADD_FAILURE()s on a
  // failure unless `check` is false.
  std::string Psql(std::string_view database, const std::string& sql,
                   bool check = true) const;
  // Runs the script file `path` through psql on `database`.
  void PsqlFile(std::string_view database, const std::string& path) const;

  // A new database `name` holding data/schema-postgresql.sql.
  void CreateHostDatabase(std::string_view name) const;

  // Copies every table of the SQLite database `sqlite_path` into
  // `database`, creating those it lacks with the nearest types (INTEGER,
  // BIGINT, REAL, MONEY, DATE, DATETIME, BOOLEAN, BLOB; TEXT otherwise).
  // Values are copied exactly; flags become booleans.
  void CopySqliteDatabase(const std::string& sqlite_path,
                          std::string_view database) const;

  // Stops the server at once (SIGQUIT, as a crash would) and waits for it.
  void Kill();
  // Starts it again on the same folder.
  bool Restart(std::string* why);

  pid_t pid() const { return pid_; }
  const std::filesystem::path& dir() const { return dir_; }

 private:
  PrivatePostgres() = default;
  bool Launch(std::string* why);
  bool RunServer(std::string* why);
  void Stop();

  std::filesystem::path dir_;
  std::string superuser_;
  uid_t uid_ = 0;
  gid_t gid_ = 0;
  pid_t pid_ = -1;
  std::map<std::string, std::optional<std::string>> saved_environment_;
};

// The server shared by every test of a test program: started on first use,
// stopped when the program ends. Null (with *why) when it cannot run here.
PrivatePostgres* SharedPostgres(std::string* why);

}  // namespace nerolin::testing
