// A private PostgreSQL server for tests.
#include "support/private_postgres.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sstream>
#include <thread>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/prctl.h>
#include <sys/wait.h>

#include "support/test_support.h"

namespace nerolin::testing {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr const char* kBin = "/usr/lib/postgresql/15/bin";
constexpr const char* kDriver = "/usr/lib/x86_64-linux-gnu/odbc/psqlodbcw.so";
constexpr const char* kDriverName = "PostgreSQL Unicode";
constexpr const char* kUnprivilegedUser = "nobody";
constexpr auto kStartDeadline = std::chrono::seconds(30);
constexpr auto kStopDeadline = std::chrono::seconds(10);
constexpr const char* kManagedVariables[] = {"ODBCSYSINI", "ODBCINI"};

std::string Tool(const char* name) { return std::string(kBin) + "/" + name; }

void WriteText(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Forks and runs `argv` as uid / gid (unchanged when they are ours), its
// output appended to `log`. Returns the child's pid, or -1.
pid_t Spawn(const std::vector<std::string>& argv, uid_t uid, gid_t gid,
            const std::string& log, bool die_with_parent) {
  std::vector<char*> args;
  for (const std::string& arg : argv)
    args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  const bool switch_user = geteuid() == 0 && uid != 0;
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid != 0) return pid;
  int null_fd = open("/dev/null", O_RDONLY);
  int log_fd = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  if (null_fd >= 0) dup2(null_fd, 0);
  if (log_fd >= 0) {
    dup2(log_fd, 1);
    dup2(log_fd, 2);
  }
  if (switch_user &&
      (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0)) {
    _exit(126);
  }
  // Set after the change of user, which clears it.
  if (die_with_parent) {
    prctl(PR_SET_PDEATHSIG, SIGQUIT);
    if (getppid() != parent) _exit(1);
  }
  execv(args[0], args.data());
  _exit(127);
}

// Waits for `pid` until `deadline`; its exit code, or -1.
int WaitFor(pid_t pid, Clock::time_point deadline) {
  for (;;) {
    int status = 0;
    pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (done < 0) return -1;
    if (Clock::now() >= deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

// Processes whose working folder is `folder` (a server's data folder).
std::vector<pid_t> ProcessesIn(const fs::path& folder) {
  std::vector<pid_t> found;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator("/proc", error)) {
    const std::string name = entry.path().filename();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::error_code link_error;
    if (fs::read_symlink(entry.path() / "cwd", link_error) == folder) {
      found.push_back(std::stoi(name));
    }
  }
  return found;
}

// A value in COPY's text format.
void AppendCopyText(std::string& out, std::string_view text) {
  for (char c : text) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        out += c;
    }
  }
}

std::string Quoted(std::string_view name) {
  std::string quoted = "\"";
  for (char c : name) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

std::string UpperAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

}  // namespace

std::unique_ptr<PrivatePostgres> PrivatePostgres::Start(std::string* why) {
  for (const std::string& tool :
       {Tool("initdb"), Tool("postgres"), Tool("psql"), Tool("pg_isready")}) {
    if (access(tool.c_str(), X_OK) != 0) {
      *why = tool + " is not installed";
      return nullptr;
    }
  }
  if (access(kDriver, R_OK) != 0) {
    *why = std::string(kDriver) + " (psqlODBC) is not installed";
    return nullptr;
  }
  std::unique_ptr<PrivatePostgres> server(new PrivatePostgres());
  if (!server->Launch(why)) return nullptr;
  return server;
}

bool PrivatePostgres::Launch(std::string* why) {
  std::error_code error;
  fs::path base = fs::temp_directory_path(error);
  // The server's user must reach its folder through the temporary one.
  if (error ||
      (geteuid() == 0 && (fs::status(base, error).permissions() &
                          fs::perms::others_exec) == fs::perms::none)) {
    base = "/tmp";
  }
  dir_ = base / ("nerolin-pg-" + std::to_string(getpid()));
  // Only an earlier process with our id that died early can have left it.
  fs::remove_all(dir_, error);
  uid_ = geteuid();
  gid_ = getegid();
  if (uid_ == 0) {
    const passwd* user = getpwnam(kUnprivilegedUser);
    if (user == nullptr) {
      *why = std::string("there is no user ") + kUnprivilegedUser +
             " to run PostgreSQL as";
      return false;
    }
    uid_ = user->pw_uid;
    gid_ = user->pw_gid;
    superuser_ = kUnprivilegedUser;
  } else if (const passwd* user = getpwuid(uid_)) {
    superuser_ = user->pw_name;
  }
  for (const char* sub : {"", "socket", "odbc"}) {
    fs::create_directory(sub[0] ? dir_ / sub : dir_, error);
    fs::permissions(sub[0] ? dir_ / sub : dir_, fs::perms(0755), error);
  }
  if (geteuid() == 0) {
    for (const char* sub : {"", "socket"}) {
      if (chown((sub[0] ? dir_ / sub : dir_).c_str(), uid_, gid_) != 0) {
        *why = "cannot give " + dir_.string() + " to " + superuser_ + ": " +
               std::strerror(errno);
        return false;
      }
    }
  }
  WriteText(dir_ / "odbc/odbcinst.ini",
            std::string("[") + kDriverName + "]\nDriver=" + kDriver + "\n");
  WriteText(dir_ / "odbc/odbc.ini", "");
  for (const char* name : kManagedVariables) {
    const char* value = getenv(name);
    saved_environment_[name] =
        value ? std::optional<std::string>(value) : std::nullopt;
  }
  setenv("ODBCSYSINI", (dir_ / "odbc").c_str(), 1);
  setenv("ODBCINI", (dir_ / "odbc/odbc.ini").c_str(), 1);

  const std::string log = (dir_ / "server.log").string();
  const pid_t initdb =
      Spawn({Tool("initdb"), "-D", (dir_ / "data").string(), "-U", superuser_,
             "-E", "UTF8", "--locale=C.UTF-8", "-A", "trust", "--no-sync"},
            uid_, gid_, log, false);
  if (initdb < 0 || WaitFor(initdb, Clock::now() + kStartDeadline) != 0) {
    *why = "initdb failed: " + ReadText(log);
    return false;
  }
  // Passwords for the one role that tests them; everyone else is trusted
  // on the socket, which only this machine reaches.
  WriteText(dir_ / "data/pg_hba.conf",
            "local all " + std::string(kPasswordRole) +
                " scram-sha-256\nlocal all all trust\n");
  if (!RunServer(why)) return false;
  Psql("postgres", "CREATE ROLE " + std::string(kPasswordRole) +
                       " LOGIN PASSWORD '" + std::string(kPassword) + "'");
  return true;
}

bool PrivatePostgres::RunServer(std::string* why) {
  const std::string log = (dir_ / "server.log").string();
  pid_ = Spawn({Tool("postgres"), "-D", (dir_ / "data").string(), "-k",
                (dir_ / "socket").string(), "-c", "listen_addresses=", "-c",
                "fsync=off", "-c", "synchronous_commit=off", "-c",
                "full_page_writes=off", "-c", "shared_buffers=16MB", "-c",
                "max_connections=30", "-c", "unix_socket_permissions=0777"},
               uid_, gid_, log, true);
  if (pid_ < 0) {
    *why = std::string("cannot start postgres: ") + std::strerror(errno);
    return false;
  }
  const auto deadline = Clock::now() + kStartDeadline;
  while (Clock::now() < deadline) {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      *why = "postgres exited at start: " + ReadText(log);
      return false;
    }
    ProgramRun ready =
        RunProgram({Tool("pg_isready"), "-q", "-h", (dir_ / "socket").string(),
                    "-d", "postgres", "-U", superuser_});
    if (ready.exit_code == 0) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  *why = "postgres did not answer within 30 s: " + ReadText(log);
  return false;
}

PrivatePostgres::~PrivatePostgres() { Stop(); }

void PrivatePostgres::Kill() {
  if (pid_ <= 0) return;
  // SIGQUIT: the postmaster ends its backends at once and exits.
  kill(pid_, SIGQUIT);
  if (WaitFor(pid_, Clock::now() + kStopDeadline) < 0) {
    // Killed by the wait; a server that does not stop is a fault.
    ADD_FAILURE() << "postgres did not stop within 10 s of SIGQUIT";
  }
  pid_ = -1;
  const auto deadline = Clock::now() + kStopDeadline;
  while (!ProcessesIn(dir_ / "data").empty() && Clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

bool PrivatePostgres::Restart(std::string* why) {
  Kill();
  return RunServer(why);
}

void PrivatePostgres::Stop() {
  if (pid_ > 0) {
    // SIGINT: a fast shutdown, which ends the backends and waits for them.
    kill(pid_, SIGINT);
    if (WaitFor(pid_, Clock::now() + kStopDeadline) < 0) {
      ADD_FAILURE() << "postgres did not stop within 10 s of SIGINT; killed";
    }
    pid_ = -1;
  }
  if (!dir_.empty()) {
    for (pid_t left : ProcessesIn(dir_ / "data")) {
      ADD_FAILURE() << "a PostgreSQL process was left running: " << left;
      kill(left, SIGKILL);
    }
  }
  for (const auto& [name, value] : saved_environment_) {
    if (value) {
      setenv(name.c_str(), value->c_str(), 1);
    } else {
      unsetenv(name.c_str());
    }
  }
  saved_environment_.clear();
  if (!dir_.empty()) {
    std::error_code error;
    fs::remove_all(dir_, error);
    if (error)
      ADD_FAILURE() << "cannot remove " << dir_ << ": " << error.message();
    dir_.clear();
  }
}

std::string PrivatePostgres::ConnectionString(std::string_view database,
                                              std::string_view extra,
                                              std::string_view user) const {
  std::string text = std::string("Driver={") + kDriverName +
                     "};Servername=" + (dir_ / "socket").string() +
                     ";Port=5432;Database=" + std::string(database) +
                     ";Uid=" + std::string(user.empty() ? superuser_ : user) +
                     ";";
  text += extra;
  return text;
}

std::string PrivatePostgres::Psql(std::string_view database,
                                  const std::string& sql, bool check) const {
  ProgramRun run =
      RunProgram({Tool("psql"), "-X", "-q", "-A", "-t", "-v", "ON_ERROR_STOP=1",
                  "-h", (dir_ / "socket").string(), "-U", superuser_, "-d",
                  std::string(database), "-c", sql});
  if (check && run.exit_code != 0) {
    ADD_FAILURE() << "psql failed on " << sql << ": " << run.err;
  }
  return run.out;
}

void PrivatePostgres::PsqlFile(std::string_view database,
                               const std::string& path) const {
  ProgramRun run =
      RunProgram({Tool("psql"), "-X", "-q", "-v", "ON_ERROR_STOP=1", "-h",
                  (dir_ / "socket").string(), "-U", superuser_, "-d",
                  std::string(database), "-f", path},
                 {}, std::chrono::minutes(2));
  if (run.exit_code != 0)
    ADD_FAILURE() << "psql -f " << path << ": " << run.err;
}

void PrivatePostgres::CreateHostDatabase(std::string_view name) const {
  Psql("postgres", "CREATE DATABASE " + Quoted(name));
  PsqlFile(name, SourcePath("data/schema-postgresql.sql"));
}

void PrivatePostgres::CopySqliteDatabase(const std::string& sqlite_path,
                                         std::string_view database) const {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(sqlite_path.c_str(), &db, SQLITE_OPEN_READONLY,
                      nullptr) != SQLITE_OK) {
    ADD_FAILURE() << "cannot open " << sqlite_path;
    sqlite3_close(db);
    return;
  }
  auto rows = [db](const std::string& sql) {
    std::vector<std::vector<std::string>> result;
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr);
    while (statement && sqlite3_step(statement) == SQLITE_ROW) {
      std::vector<std::string> row;
      for (int c = 0; c < sqlite3_column_count(statement); ++c) {
        const auto* text = sqlite3_column_text(statement, c);
        row.emplace_back(text ? reinterpret_cast<const char*>(text) : "");
      }
      result.push_back(std::move(row));
    }
    sqlite3_finalize(statement);
    return result;
  };
  std::string script;
  for (const auto& table :
       rows("SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT "
            "LIKE 'sqlite!_%' ESCAPE '!' ORDER BY name")) {
    const std::string& name = table[0];
    struct ColumnInfo {
      std::string name;
      std::string type;
    };
    std::vector<ColumnInfo> columns;
    for (const auto& column :
         rows("SELECT name, upper(type) FROM pragma_table_info(" +
              std::string("'") + name + "')")) {
      columns.push_back({column[0], column[1]});
    }
    // A table only the SQLite file has (the demo's own list) is made with
    // the nearest types.
    std::string create = "CREATE TABLE IF NOT EXISTS " + Quoted(name) + " (";
    std::string list;
    for (const ColumnInfo& column : columns) {
      const std::string type = UpperAscii(column.type);
      const char* pg_type = "text";
      if (type.starts_with("BIGINT")) {
        pg_type = "bigint";
      } else if (type.find("INT") != std::string::npos) {
        pg_type = "integer";
      } else if (type == "REAL" || type == "DOUBLE" || type == "FLOAT") {
        pg_type = "double precision";
      } else if (type == "MONEY") {
        pg_type = "numeric(19,4)";
      } else if (type == "DATE") {
        pg_type = "date";
      } else if (type == "DATETIME") {
        pg_type = "timestamp";
      } else if (type.starts_with("BOOL")) {
        pg_type = "boolean";
      } else if (type == "BLOB") {
        pg_type = "bytea";
      }
      if (!list.empty()) {
        create += ", ";
        list += ", ";
      }
      create += Quoted(column.name);
      create += ' ';
      create += pg_type;
      list += Quoted(column.name);
    }
    script += create;
    script += ");\nCOPY " + Quoted(name);
    script += " (" + list + ") FROM STDIN;\n";
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db, ("SELECT * FROM " + Quoted(name)).c_str(), -1,
                       &statement, nullptr);
    while (statement && sqlite3_step(statement) == SQLITE_ROW) {
      for (int c = 0; c < sqlite3_column_count(statement); ++c) {
        if (c > 0) script += '\t';
        const bool flag = columns[c].type.starts_with("BOOL");
        switch (sqlite3_column_type(statement, c)) {
          case SQLITE_NULL:
            script += "\\N";
            break;
          case SQLITE_INTEGER:
            if (flag) {
              script += sqlite3_column_int64(statement, c) != 0 ? "t" : "f";
            } else {
              script += std::to_string(sqlite3_column_int64(statement, c));
            }
            break;
          case SQLITE_FLOAT: {
            char number[40];
            std::snprintf(number, sizeof number, "%.17g",
                          sqlite3_column_double(statement, c));
            script += number;
            break;
          }
          case SQLITE_BLOB: {
            const auto* bytes = static_cast<const unsigned char*>(
                sqlite3_column_blob(statement, c));
            script += "\\\\x";
            for (int i = 0; i < sqlite3_column_bytes(statement, c); ++i) {
              char hex[3];
              std::snprintf(hex, sizeof hex, "%02x", bytes[i]);
              script += hex;
            }
            break;
          }
          default:
            AppendCopyText(script, reinterpret_cast<const char*>(
                                       sqlite3_column_text(statement, c)));
        }
      }
      script += '\n';
    }
    sqlite3_finalize(statement);
    script += "\\.\n";
  }
  sqlite3_close(db);
  TempDir scripts;
  PsqlFile(database, scripts.Write("copy.sql", script));
}

namespace {

// Stops the shared server when the program's tests are over.
class SharedPostgresEnvironment : public ::testing::Environment {
 public:
  explicit SharedPostgresEnvironment(std::unique_ptr<PrivatePostgres>* server)
      : server_(server) {}
  void TearDown() override { server_->reset(); }

 private:
  std::unique_ptr<PrivatePostgres>* server_;
};

}  // namespace

PrivatePostgres* SharedPostgres(std::string* why) {
  static std::unique_ptr<PrivatePostgres> server;
  static std::string failure;
  static bool tried = false;
  if (!tried) {
    tried = true;
    server = PrivatePostgres::Start(&failure);
    if (server) {
      ::testing::AddGlobalTestEnvironment(
          new SharedPostgresEnvironment(&server));
    }
  }
  if (!server) *why = failure;
  return server.get();
}

}  // namespace nerolin::testing
