#include "cli/check_command.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "check/template_check.h"
#include "component/component_state.h"
#include "hostlib/host_library.h"
#include "nerolin/cls_main.h"
#include "platform/files.h"

namespace nerolin::cli {

namespace {

void AppendJsonString(std::string& out, std::string_view text) {
  out.push_back('"');
  // JSON is UTF-8: a byte that starts no well-formed sequence (a file name
  // or a template's text may hold any) goes as U+FFFD.
  for (const char c : platform::SanitizeUtf8(text)) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
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
        if (static_cast<unsigned char>(c) < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
          out += escaped;
        } else {
          out.push_back(c);
        }
    }
  }
  out.push_back('"');
}

void AppendText(std::string& out, const std::string& file,
                const check::Finding& finding) {
  out += file;
  out += ':' + std::to_string(finding.position.line) + ':' +
         std::to_string(finding.position.column) + ": ";
  out += check::SeverityName(finding.severity);
  out += ": ";
  // A message never spans lines, so that each finding is one line.
  out += OneLine(finding.message);
  out += " [" + finding.code + "]\n";
}

void AppendJson(std::string& out, const std::string& file,
                const check::Finding& finding) {
  out += out.size() > 1 ? ",\n " : "\n ";
  out += "{\"file\": ";
  AppendJsonString(out, file);
  out += ", \"line\": " + std::to_string(finding.position.line) +
         ", \"column\": " + std::to_string(finding.position.column) +
         ", \"severity\": ";
  AppendJsonString(out, check::SeverityName(finding.severity));
  out += ", \"code\": ";
  AppendJsonString(out, finding.code);
  out += ", \"message\": ";
  AppendJsonString(out, finding.message);
  out += "}";
}

std::vector<std::string> ColumnsOf(const GlobalOptions& global,
                                   const std::string& sql) {
  if (!global.db && !global.connection) {
    throw UsageError("--sql needs --db or --connection");
  }
  std::shared_ptr<clsMain> engine = MakeEngine(global);
  if (!engine->state()->host_library()) engine->OpenConnection();
  hostlib::HostLibrary library = engine->state()->Library();
  return check::StatementColumns(library, sql);
}

int Check(const GlobalOptions& global, const CheckRequest& request) {
  check::CheckOptions options;
  options.find_match = global.find_match;
  if (request.sql) options.columns = ColumnsOf(global, *request.sql);
  const bool json = request.format == "json";
  std::string out = json ? "[" : "";
  bool errors = false;
  for (const std::string& file : request.templates) {
    for (const check::Finding& finding :
         check::CheckTemplateFile(file, options)) {
      errors = errors || finding.severity == check::Severity::kError;
      if (json) {
        AppendJson(out, file, finding);
      } else {
        AppendText(out, file, finding);
      }
    }
  }
  if (json) out += out.size() > 1 ? "\n]\n" : "]\n";
  if (std::fwrite(out.data(), 1, out.size(), stdout) != out.size() ||
      std::fflush(stdout) != 0) {
    throw CommandFailure(std::string("cannot write standard output (") +
                         std::strerror(errno) + ")");
  }
  return errors ? kExitError : kExitOk;
}

}  // namespace

CLI::App* AddCheckCommand(CLI::App& app, CheckRequest& request) {
  CLI::App* command = app.add_subcommand(
      "check", "Check templates: FILE:LINE:COLUMN findings for their markup");
  command->group("Commands");
  command->footer(
      "Reads each template as the recordset renderer reads it. Exit status: "
      "0 when no finding is an error, 1 when one is, 2 for a usage error. "
      "With --sql (and --db or --connection) every name is checked against "
      "the statement's columns; --find-match makes an unknown name a "
      "warning.");
  command->add_option("TEMPLATE", request.templates, "The template files")
      ->type_name("PATH")
      ->required();
  command
      ->add_option("--sql", request.sql,
                   "The statement whose rows will fill the templates")
      ->type_name("SQL");
  command->add_option("--format", request.format, "text or json")
      ->type_name("FORMAT")
      ->check(CLI::IsMember({"text", "json"}))
      ->capture_default_str();
  return command;
}

int RunCheck(const GlobalOptions& global, const CheckRequest& request) {
  int status = kExitOk;
  const int ran = RunCommand("check", [&] { status = Check(global, request); });
  return ran == kExitOk ? status : ran;
}

}  // namespace nerolin::cli
