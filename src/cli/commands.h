#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "nerolin/automation_error.h"

namespace nerolin {
class clsMain;
}

namespace nerolin::cli {

// Exit statuses of nerolin-report.
inline constexpr int kExitOk = 0;
// An automation error reached the caller, or the command could not finish.
inline constexpr int kExitError = 1;
inline constexpr int kExitUsage = 2;

// A command line that parses but cannot run as given (a command that needs
// a connection and was given none). The text says what is missing.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A command that could not do its work for a reason that is no automation
// error (the demo cannot be built, standard output cannot be written).
class CommandFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The options before the command. An option that was not given leaves the
// engine's own start value; one that was given is passed on as it is, the
// empty text included.
struct GlobalOptions {
  // A SQLite database opened with the bundled host library, which is then
  // assigned through NerolinLib.
  std::optional<std::string> db;
  std::optional<std::string> connection;
  bool find_match = false;
  std::optional<std::string> url_images;
  std::optional<std::string> printer;
  std::optional<std::int16_t> copies;
};

// get-html, get-html2 and generate-report.
struct TemplateFileRequest {
  std::string sql;
  std::string template_path;
  // "" when none was given: the methods then write and delete nothing.
  std::string destination;
};

// get-html3: exactly one of the two template forms.
struct TemplateTextRequest {
  std::string sql;
  std::optional<std::string> template_text;
  // A file whose bytes are the template text.
  std::optional<std::string> template_path;
};

// render.
struct RenderRequest {
  std::string sql;
  std::string template_path;
  std::string destination;
  // Given: the call renders the sub-report of this extra-detail element.
  std::optional<std::string> extra_detail_id;
  bool sdk = false;
};

// generate.
struct GenerateRequest {
  std::string sql;
  std::string template_path;
  std::string destination;
  bool sdk = false;
};

// The commands. Each creates an engine on the process-wide component state,
// installs a message sink that writes every message as one line to standard
// error, applies `global`, calls its one public method and writes the
// method's result to standard output as it is (Empty writes nothing).
// An AutomationError of a set-up step or of the method leaves unchanged; a
// request the command cannot serve raises UsageError before anything runs.

// An engine on the process-wide component state with the one-line message
// sink and `global` applied: --db opens that database with the SQLite host
// library and assigns it through NerolinLib.
std::shared_ptr<clsMain> MakeEngine(const GlobalOptions& global);

// GetHTML.
void GetHtml(const GlobalOptions& global, const TemplateFileRequest& request);
// GetHTML2 with --connection as its connection string.
// REQUIRES (else UsageError): global.connection.
void GetHtml2(const GlobalOptions& global, const TemplateFileRequest& request);
// GetHTML3 over the given text or the bytes of the given file.
void GetHtml3(const GlobalOptions& global, const TemplateTextRequest& request);
// GenerateReport with --connection (or "") as its connection string.
// REQUIRES (else UsageError): global.connection or global.db.
void GenerateReport(const GlobalOptions& global,
                    const TemplateFileRequest& request);
// The rows of the statement from the host library's Datalayer.GetRecordset
// (a library opened with ConnectionString when --db gave none), then
// GetHTMLBasedOnRecordset or SDKGetHTMLBasedOnRecordset.
// REQUIRES (else UsageError): global.connection or global.db.
void Render(const GlobalOptions& global, const RenderRequest& request);
// The rows as Render takes them, then GenerateReportBasedOnRecordset or its
// SDK twin. When the method changed the template path, standard error gets
// "HTMLSourceFile: VALUE".
// REQUIRES (else UsageError): global.connection or global.db.
void Generate(const GlobalOptions& global, const GenerateRequest& request);
// OpenReport: the desktop opens the file, or with `preview` the print-preview
// window shows it (see Preview).
void Open(const GlobalOptions& global, const std::string& file, bool preview);
// PrintReport on --printer with --copies.
void Print(const GlobalOptions& global, const std::string& file);
// WebBrowserPreviewReport, then waits until the user closes the preview
// window (the window belongs to this process).
void Preview(const GlobalOptions& global, const std::string& file);
// Builds the demo database in `out_dir` and renders its documents.
void Demo(const std::string& out_dir);

// Runs `command` (the command line's `name`) and gives the exit status:
// kExitOk when it returned; kExitError after writing
// "Error NUMBER: DESCRIPTION" for an AutomationError, or the failure for any
// other error; kExitUsage after a usage message for a UsageError.
int RunCommand(std::string_view name, const std::function<void()>& command);

// `text` on one line: each CR LF, CR and LF becomes one space.
std::string OneLine(std::string_view text);

// "Error NUMBER: DESCRIPTION", on one line.
std::string ErrorLine(const AutomationError& error);

// How many documents the commands that render many keep in flight unless
// told: the number of cores.
int DefaultJobs();

// Makes `folder` and its parents when missing; raises CommandFailure with
// the system's reason when it cannot.
void CreateFolder(const std::string& folder);

}  // namespace nerolin::cli
