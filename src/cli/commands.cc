#include "cli/commands.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <thread>
#include <utility>

#include "automation/conversions.h"
#include "cli/demo.h"
#include "component/component_state.h"
#include "engine/report_viewing.h"
#include "nerolin/automation_error.h"
#include "nerolin/cls_main.h"
#include "nerolin/message_sink.h"
#include "nerolin/recordset.h"
#include "nerolin/sqlite_library.h"
#include "nerolin/variant.h"
#include "platform/browser.h"
#include "platform/files.h"
#include "render/template_reader.h"

namespace nerolin::cli {

namespace {

constexpr std::string_view kToolName = "nerolin-report";

// Writes all of `text` to `stream`; false when the stream refused it.
bool WriteAll(std::FILE* stream, std::string_view text) {
  if (!text.empty() &&
      std::fwrite(text.data(), 1, text.size(), stream) != text.size()) {
    return false;
  }
  return std::fflush(stream) == 0;
}

void WriteErrorLine(std::string_view line) {
  std::string text;
  text.reserve(line.size() + 1);
  text.append(line);
  text.push_back('\n');
  // Nothing is left to tell when standard error itself fails.
  (void)WriteAll(stderr, text);
}

// Scripts read standard error line by line, so a message whose text spans
// lines (a statement quoted in it) must still be one line.
class OneLineMessageSink : public MessageSink {
 public:
  void Show(std::string_view text, std::string_view title,
            MessageIcon /*icon*/) override {
    std::string line;
    if (!title.empty()) {
      line = OneLine(title);
      line.append(": ");
    }
    line.append(OneLine(text));
    WriteErrorLine(line);
  }
};

// The method's result as it is; Empty and Null print nothing.
void WriteResult(const Variant& result) {
  if (result.IsEmpty() || result.IsNull()) return;
  const bool written = result.IsString() ? WriteAll(stdout, result.AsString())
                                         : WriteAll(stdout, CStr(result));
  if (!written) {
    throw CommandFailure(std::string("cannot write standard output (") +
                         std::strerror(errno) + ")");
  }
}

// A connection string that names exactly `path`: quoted, so that blanks,
// "=" and ";" in the path are read as part of it.
std::string DataSourceFor(std::string_view path) {
  std::string text = "Data Source=\"";
  text.reserve(text.size() + path.size() + 1);
  for (char c : path) {
    if (c == '"') text.push_back('"');
    text.push_back(c);
  }
  text.push_back('"');
  return text;
}

}  // namespace

std::shared_ptr<clsMain> MakeEngine(const GlobalOptions& global) {
  std::shared_ptr<clsMain> engine = clsMain::Create();
  engine->state()->set_message_sink(std::make_shared<OneLineMessageSink>());
  if (global.connection) engine->SetConnectionString(*global.connection);
  if (global.printer) engine->SetobjPrinterName(*global.printer);
  if (global.copies) engine->SetNbrCopies(*global.copies);
  if (global.find_match) engine->SetFindMatchIfFieldDoesntExists(true);
  if (global.url_images) engine->SetURLImages(*global.url_images);
  if (global.db) {
    std::shared_ptr<sqlite::HostDataLibrary> library =
        sqlite::HostDataLibrary::Create();
    library->Datalayer()->CreateConnection(DataSourceFor(*global.db));
    engine->SetNerolinLib(library);
  }
  return engine;
}

namespace {

void RequireConnectionOrDatabase(const GlobalOptions& global) {
  if (!global.connection && !global.db) {
    throw UsageError("needs --connection or --db");
  }
}

// The rows a host would hand over: from the library in the slot, which
// --db put there or which ConnectionString opens now.
std::shared_ptr<ado::Recordset> OpenRows(clsMain& engine,
                                         const std::string& sql) {
  if (!engine.state()->host_library()) engine.OpenConnection();
  return engine.state()->Library().GetRecordset(sql);
}

// The preview window closes with the process that owns it, so a command
// that shows it stays until the user has closed it.
void WaitWhilePreviewShows() {
  while (engine::PreviewWindowShown()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
  }
}

}  // namespace

std::string OneLine(std::string_view text) {
  std::string line;
  line.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r') {
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
      line.push_back(' ');
    } else if (c == '\n') {
      line.push_back(' ');
    } else {
      line.push_back(c);
    }
  }
  return line;
}

void GetHtml(const GlobalOptions& global, const TemplateFileRequest& request) {
  auto engine = MakeEngine(global);
  WriteResult(engine->GetHTML(Variant(request.sql),
                              Variant(request.template_path),
                              Variant(request.destination)));
}

void GetHtml2(const GlobalOptions& global, const TemplateFileRequest& request) {
  if (!global.connection) throw UsageError("needs --connection");
  auto engine = MakeEngine(global);
  Variant connection(*global.connection);
  Variant sql(request.sql);
  Variant source(request.template_path);
  Variant destination(request.destination);
  WriteResult(engine->GetHTML2(connection, sql, source, destination));
}

void GetHtml3(const GlobalOptions& global, const TemplateTextRequest& request) {
  // Read before the engine is set up, so that a missing file fails first.
  const std::string text = request.template_path
                               ? platform::ReadBytes(*request.template_path,
                                                     render::kMaxTemplateSize)
                               : request.template_text.value_or("");
  auto engine = MakeEngine(global);
  WriteResult(engine->GetHTML3(Variant(request.sql), Variant(text)));
}

void GenerateReport(const GlobalOptions& global,
                    const TemplateFileRequest& request) {
  RequireConnectionOrDatabase(global);
  auto engine = MakeEngine(global);
  std::string sql = request.sql;
  std::string source = request.template_path;
  std::string destination = request.destination;
  WriteResult(Variant(engine->GenerateReport(global.connection.value_or(""),
                                             sql, source, destination)));
}

void Render(const GlobalOptions& global, const RenderRequest& request) {
  RequireConnectionOrDatabase(global);
  auto engine = MakeEngine(global);
  std::shared_ptr<ado::Recordset> rows = OpenRows(*engine, request.sql);
  bool is_extra_detail = request.extra_detail_id.has_value();
  std::string extra_detail_id = request.extra_detail_id.value_or("");
  const Variant source(request.template_path);
  const Variant destination(request.destination);
  WriteResult(
      request.sdk
          ? engine->SDKGetHTMLBasedOnRecordset(rows, source, destination,
                                               is_extra_detail, extra_detail_id)
          : engine->GetHTMLBasedOnRecordset(rows, source, destination,
                                            is_extra_detail, extra_detail_id));
}

void Generate(const GlobalOptions& global, const GenerateRequest& request) {
  RequireConnectionOrDatabase(global);
  auto engine = MakeEngine(global);
  std::shared_ptr<ado::Recordset> rows = OpenRows(*engine, request.sql);
  std::string result;
  std::optional<std::string> changed_source;
  if (request.sdk) {
    Variant rst(rows);
    const Variant given(request.template_path);
    Variant source = given;
    Variant destination(request.destination);
    result =
        engine->SDKGenerateReportBasedOnRecordset(rst, source, destination);
    if (!(source == given)) changed_source = TextOf(source);
  } else {
    std::string source = request.template_path;
    std::string destination = request.destination;
    result = engine->GenerateReportBasedOnRecordset(rows, source, destination);
    if (source != request.template_path) changed_source = std::move(source);
  }
  WriteResult(Variant(std::move(result)));
  if (changed_source) {
    WriteErrorLine("HTMLSourceFile: " + OneLine(*changed_source));
  }
}

void Open(const GlobalOptions& global, const std::string& file, bool preview) {
  auto engine = MakeEngine(global);
  engine->OpenReport(file, preview);
  if (preview) WaitWhilePreviewShows();
}

void Print(const GlobalOptions& global, const std::string& file) {
  auto engine = MakeEngine(global);
  engine->PrintReport(file);
}

void Preview(const GlobalOptions& global, const std::string& file) {
  auto engine = MakeEngine(global);
  engine->WebBrowserPreviewReport(file);
  WaitWhilePreviewShows();
}

void Demo(const std::string& out_dir) {
  const std::string failure = RunDemo(out_dir);
  if (!failure.empty()) throw CommandFailure(failure);
}

std::string ErrorLine(const AutomationError& error) {
  return "Error " + std::to_string(error.number()) + ": " +
         OneLine(error.description());
}

int DefaultJobs() {
  const unsigned cores = std::thread::hardware_concurrency();
  return cores > 0 ? static_cast<int>(cores) : 1;
}

void CreateFolder(const std::string& folder) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) {
    throw CommandFailure("cannot create the folder " + folder + " (" +
                         error.message() + ")");
  }
}

int RunCommand(std::string_view name, const std::function<void()>& command) {
  const std::string prefix = std::string(kToolName) + " " + std::string(name);
  try {
    command();
    return kExitOk;
  } catch (const AutomationError& error) {
    WriteErrorLine(ErrorLine(error));
    return kExitError;
  } catch (const UsageError& error) {
    WriteErrorLine(prefix + ": " + error.what());
    WriteErrorLine("Run with --help for more information.");
    return kExitUsage;
  } catch (const std::exception& error) {
    // CommandFailure, and whatever else escaped (memory exhausted).
    WriteErrorLine(prefix + ": " + OneLine(error.what()));
    return kExitError;
  }
}

}  // namespace nerolin::cli
