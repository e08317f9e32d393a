#include "cli/demo_build.h"

#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>

#include <sqlite3.h>

#include "automation/conversions.h"
#include "component/component_state.h"
#include "nerolin/cls_main.h"
#include "nerolin/recordset.h"
#include "nerolin/sqlite_library.h"
#include "nerolin/variant.h"
#include "platform/files.h"

namespace nerolin::cli {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kSchemaScript = "data/schema.sql";
constexpr std::string_view kDemoScript = "examples/demo/demo.sql";
constexpr std::string_view kTemplatesFolder = "examples/demo/templates";
constexpr std::string_view kDatabaseName = "demo.db";
constexpr std::string_view kSourceVariable = "NEROLIN_SOURCE_DIR";
// How far above the executable the source tree may lie (build/src/cli/ is
// three levels below it).
constexpr int kMaxLevelsAboveExecutable = 4;

// A step of the demo that cannot go on; the text says what failed on what.
class DemoFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

bool IsSourceTree(const fs::path& folder) {
  std::error_code error;
  return fs::is_regular_file(folder / kSchemaScript, error) &&
         fs::is_regular_file(folder / kDemoScript, error);
}

fs::path FindSourceTree() {
  if (const char* named = std::getenv(std::string(kSourceVariable).c_str());
      named != nullptr && *named != '\0') {
    // A folder named on purpose must be the right one: falling back to
    // another tree would render templates the user did not mean.
    if (!IsSourceTree(named)) {
      throw DemoFailure(std::string(kSourceVariable) + "=" + named +
                        " holds no " + std::string(kSchemaScript) + " and " +
                        std::string(kDemoScript));
    }
    return named;
  }
#ifdef NEROLIN_SOURCE_DIR
  if (IsSourceTree(NEROLIN_SOURCE_DIR)) return NEROLIN_SOURCE_DIR;
#endif
  const std::string own_folder = platform::OwnModuleFolder();
  if (!own_folder.empty()) {
    fs::path folder = own_folder;
    for (int level = 0; level <= kMaxLevelsAboveExecutable; ++level) {
      if (IsSourceTree(folder)) return folder;
      if (!folder.has_parent_path() || folder.parent_path() == folder) break;
      folder = folder.parent_path();
    }
  }
  throw DemoFailure("cannot find the source tree (" +
                    std::string(kSchemaScript) + " and " +
                    std::string(kDemoScript) + "); set " +
                    std::string(kSourceVariable) + " to its folder");
}

std::string ReadScript(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw DemoFailure("cannot read " + path.string());
  std::string text((std::istreambuf_iterator<char>(file)),
                   std::istreambuf_iterator<char>());
  if (file.bad()) throw DemoFailure("cannot read " + path.string());
  return text;
}

// Closes the database whatever happens to the build.
struct DatabaseCloser {
  void operator()(sqlite3* db) const { sqlite3_close(db); }
};
using Database = std::unique_ptr<sqlite3, DatabaseCloser>;

// Runs `sql` (one statement or many); `what` names it in the failure.
void Execute(sqlite3* db, const std::string& sql, const std::string& what) {
  char* message = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
    std::string reason = message != nullptr ? message : sqlite3_errmsg(db);
    sqlite3_free(message);
    throw DemoFailure("cannot run " + what + ": " + reason);
  }
}

void RunScript(sqlite3* db, const fs::path& script) {
  Execute(db, ReadScript(script), script.string());
}

// The print formats name their templates relative to the demo's templates
// folder (see demo.sql); the engine resolves a relative FileName, and the
// extra-detail templates beside it, against the working folder, so they
// become absolute paths into that folder.
void AnchorPrintFormats(sqlite3* db, const fs::path& templates,
                        const fs::path& database) {
  static constexpr char kUpdate[] =
      "UPDATE engModulePrintFormat SET FileName = ?1 || FileName "
      "WHERE FileName <> '' AND substr(FileName, 1, 1) NOT IN ('/', '\\')";
  sqlite3_stmt* statement = nullptr;
  int status = sqlite3_prepare_v2(db, kUpdate, -1, &statement, nullptr);
  if (status == SQLITE_OK) {
    const std::string folder = templates.string() + "/";
    status =
        sqlite3_bind_text(statement, 1, folder.c_str(),
                          static_cast<int>(folder.size()), SQLITE_TRANSIENT);
    if (status == SQLITE_OK) status = sqlite3_step(statement);
  }
  const std::string reason = sqlite3_errmsg(db);
  sqlite3_finalize(statement);
  if (status != SQLITE_DONE) {
    throw DemoFailure("cannot set the template paths in " + database.string() +
                      ": " + reason);
  }
}

void BuildDatabase(const fs::path& source, const fs::path& database) {
  std::error_code error;
  fs::remove(database, error);
  if (error) {
    throw DemoFailure("cannot replace " + database.string() + ": " +
                      error.message());
  }
  sqlite3* opened = nullptr;
  const int status =
      sqlite3_open_v2(database.c_str(), &opened,
                      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  Database db(opened);
  if (status != SQLITE_OK) {
    throw DemoFailure(
        "cannot create " + database.string() + ": " +
        (opened != nullptr ? sqlite3_errmsg(opened) : sqlite3_errstr(status)));
  }
  // One transaction: one sync for the whole build instead of one a
  // statement, and nothing half-built is committed (closing the database
  // rolls an unfinished build back).
  Execute(db.get(), "BEGIN", database.string());
  RunScript(db.get(), source / kSchemaScript);
  RunScript(db.get(), source / kDemoScript);
  AnchorPrintFormats(db.get(), fs::canonical(source / kTemplatesFolder),
                     database);
  Execute(db.get(), "COMMIT", database.string());
}

// "Data Source=PATH" with the path quoted, so that a folder holding ";" or
// "=" still names the file.
std::string ConnectionString(const fs::path& database) {
  std::string text = "Data Source=\"";
  for (char c : database.string()) {
    if (c == '"') text.push_back('"');
    text.push_back(c);
  }
  text.push_back('"');
  return text;
}

// A report name from demoReport: a plain file name, so the report lands in
// the output folder and nowhere else.
void CheckReportName(const std::string& name) {
  if (name.empty() || name == "." || name == ".." ||
      name.find_first_of("/\\") != std::string::npos) {
    throw DemoFailure("demoReport holds the report name \"" + name +
                      "\", which is no plain file name");
  }
}

// One document, as a host prints it: its rows, the template of its module's
// default print format, the report file.
fs::path RenderReport(clsMain& engine, sqlite::HostDataLibrary& library,
                      const std::string& name, const std::string& sql,
                      const fs::path& out_dir) {
  CheckReportName(name);
  std::shared_ptr<ado::Recordset> rows = library.Datalayer()->GetRecordset(sql);
  if (rows->Eof()) {
    throw DemoFailure("the statement of " + name + " gives no rows: " + sql);
  }
  const std::string module = TextOf(rows->Value(Variant("ModuleID")));
  std::string template_path =
      TextOf(library.DLookup("FileName", "engModulePrintFormat",
                             "FormatIsDefault<>0 AND ModuleID=" + module));
  if (template_path.empty()) {
    throw DemoFailure("module " + module + " of " + name +
                      " has no default print format");
  }
  const fs::path report = out_dir / (name + ".html");
  // A report of an earlier run must not pass for this one.
  std::error_code error;
  fs::remove(report, error);
  std::string destination = report.string();
  const std::string text =
      engine.GenerateReportBasedOnRecordset(rows, template_path, destination);
  if (text.empty() || !fs::is_regular_file(report, error)) {
    throw DemoFailure("rendering " + name + " with " + template_path +
                      " wrote no report (the engine's messages say why)");
  }
  return report;
}

void Run(const std::string& out_dir, std::ostream& out) {
  if (out_dir.empty()) throw DemoFailure("the output folder is empty");
  const fs::path source = FindSourceTree();
  const fs::path folder = fs::absolute(out_dir);
  std::error_code error;
  fs::create_directories(folder, error);
  if (error || !fs::is_directory(folder)) {
    throw DemoFailure("cannot create the folder " + folder.string() +
                      (error ? ": " + error.message() : ""));
  }
  const fs::path database = folder / kDatabaseName;
  BuildDatabase(source, database);

  std::shared_ptr<sqlite::HostDataLibrary> library =
      sqlite::HostDataLibrary::Create();
  library->Datalayer()->CreateConnection(ConnectionString(database));
  // An engine state of its own: the demo sets the library and the look-up
  // switch without touching what the command line set for other commands.
  auto state = std::make_shared<ComponentState>();
  // What goes wrong in the demo counts for --strict like any command's.
  state->set_diagnostic_listener(
      ComponentState::Process()->diagnostic_listener());
  std::shared_ptr<clsMain> engine = clsMain::Create(state);
  engine->SetNerolinLib(library);
  // The templates name what the print rows lack: document columns (the
  // CFDI seals and certificates, the tax totals, the lines' IVA and
  // weight), stored statements (the receiver's fiscal data, the related
  // CFDI, weights) and addenda and Carta Porte references. The engine
  // looks them up only with this switch on.
  engine->SetFindMatchIfFieldDoesntExists(true);

  std::shared_ptr<ado::Recordset> reports = library->Datalayer()->GetRecordset(
      "SELECT Name, SQL FROM demoReport ORDER BY Position");
  if (reports->Eof()) throw DemoFailure(database.string() + " lists no report");
  for (; !reports->Eof(); reports->MoveNext()) {
    const std::string name = TextOf(reports->Value(Variant("Name")));
    const std::string sql = TextOf(reports->Value(Variant("SQL")));
    out << RenderReport(*engine, *library, name, sql, folder).string() << '\n';
    out.flush();
  }
}

}  // namespace

int BuildAndRenderDemo(const std::string& out_dir, std::ostream& out,
                       std::ostream& err) {
  try {
    Run(out_dir, out);
    return 0;
  } catch (const std::exception& error) {
    // DemoFailure says what failed on what; an AutomationError of the host
    // library reads "Error NUMBER: DESCRIPTION".
    err << error.what() << '\n';
    return 1;
  }
}

}  // namespace nerolin::cli
