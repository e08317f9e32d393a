#include "cli/command_line.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include <CLI/CLI.hpp>

#include "cli/batch_command.h"
#include "cli/check_command.h"
#include "cli/commands.h"
#include "cli/pdf_command.h"
#include "cli/strict_mode.h"
#include "nerolin/version.h"

namespace nerolin::cli {

namespace {

constexpr std::string_view kDescription =
    "Fills HTML report templates from SQL rows through the report engine's "
    "public methods: each command calls one method, the way a host "
    "application does. The result goes to standard output as it is; each "
    "message of the engine goes to standard error as one line.";

constexpr std::string_view kFooter =
    "Global options go before the command (they are also taken after it).\n"
    "Exit status: 0 when the method returned; 1 when an automation error "
    "reached the caller (standard error then reads \"Error NUMBER: "
    "DESCRIPTION\"); 2 for a usage error; 3 under --strict when the method "
    "returned but something failed on the way.";

// The command line as CLI11 reads it. CLI11 takes "--name=" as a name
// without a value and then consumes the next argument as the value
// ("--sql= --template a" would make "--template" the statement); an empty
// value must reach the engine as the empty text, so such an argument becomes
// the name followed by an empty argument.
std::vector<std::string> Arguments(int argc, char** argv) {
  std::vector<std::string> arguments;
  arguments.reserve(argc > 1 ? static_cast<std::size_t>(argc) : 0);
  for (int i = 1; i < argc; ++i) {
    std::string argument = argv[i];
    if (argument.size() > 3 && argument.starts_with("--") &&
        argument.find('=') == argument.size() - 1) {
      argument.pop_back();
      arguments.push_back(std::move(argument));
      arguments.emplace_back();
    } else {
      arguments.push_back(std::move(argument));
    }
  }
  // CLI11 reads a vector from its back.
  std::reverse(arguments.begin(), arguments.end());
  return arguments;
}

void AddGlobalOptions(CLI::App& app, GlobalOptions& global) {
  app.add_option("--db", global.db,
                 "Open this SQLite database with the bundled host library and "
                 "assign it through NerolinLib")
      ->type_name("PATH");
  app.add_option("--connection", global.connection,
                 "Set ConnectionString (the empty text included)")
      ->type_name("TEXT");
  app.add_flag("--find-match", global.find_match,
               "Set FindMatchIfFieldDoesntExists to true");
  app.add_option("--url-images", global.url_images, "Set URLImages")
      ->type_name("URL");
  app.add_option("--printer", global.printer, "Set objPrinterName")
      ->type_name("NAME");
  app.add_option("--copies", global.copies, "Set NbrCopies (-32768..32767)")
      ->type_name("N");
}

void AddSql(CLI::App& command, std::string& sql) {
  command
      .add_option("--sql", sql, "The statement whose rows fill the template")
      ->type_name("SQL")
      ->required();
}

void AddTemplate(CLI::App& command, std::string& path) {
  command.add_option("--template", path, "The template file")
      ->type_name("PATH")
      ->required();
}

void AddDestination(CLI::App& command, std::string& path, bool required,
                    std::string_view what) {
  CLI::Option* option =
      command.add_option("--dest", path, std::string(what))->type_name("PATH");
  if (required) option->required();
}

void AddReportFile(CLI::App& command, std::string& path) {
  command.add_option("FILE", path, "The report file")
      ->type_name("PATH")
      ->required();
}

// A command with a one-line description for the command list; `details`,
// when given, goes at the end of the command's own help.
CLI::App* AddCommand(CLI::App& app, std::string_view name,
                     std::string_view description,
                     std::string_view details = {}) {
  CLI::App* command =
      app.add_subcommand(std::string(name), std::string(description));
  command->group("Commands");
  if (!details.empty()) {
    command->footer(std::string(details) + "\n" + std::string(kFooter));
  }
  return command;
}

constexpr std::string_view kRowsDetails =
    "The rows come from Datalayer.GetRecordset(SQL) of the host library: the "
    "--db database, or a library opened with ConnectionString.";

}  // namespace

int Main(int argc, char** argv) {
  CLI::App app(std::string(kDescription), "nerolin-report");
  app.set_version_flag("--version", std::string(NEROLIN_VERSION));
  app.footer(std::string(kFooter));
  app.get_formatter()->label("SUBCOMMAND", "COMMAND");
  // Global options may also follow the command.
  app.fallthrough();

  GlobalOptions global;
  AddGlobalOptions(app, global);
  bool strict = false;
  app.add_flag("--strict", strict,
               "Exit 3 when the method returned but something failed on the "
               "way");

  // One entry per command: when its parser matched, what runs.
  struct Command {
    CLI::App* parser;
    std::function<void()> run;
  };
  std::vector<Command> commands;

  TemplateFileRequest get_html;
  {
    CLI::App* command = AddCommand(
        app, "get-html", "GetHTML: the template file filled from the rows",
        "Real grouping, group totals and extra details in every detail. A "
        "statement without rows gives \"No hay registro\".");
    AddSql(*command, get_html.sql);
    AddTemplate(*command, get_html.template_path);
    AddDestination(*command, get_html.destination, false,
                   "Report file the method deletes and writes extra details "
                   "to (none when absent)");
    commands.push_back({command, [&] { GetHtml(global, get_html); }});
  }

  TemplateFileRequest get_html2;
  {
    CLI::App* command =
        AddCommand(app, "get-html2", "GetHTML2: GetHTML on a new connection",
                   "Sets ConnectionString to --connection, always opens a new "
                   "connection with it and returns GetHTML's result. Needs "
                   "--connection.");
    AddSql(*command, get_html2.sql);
    AddTemplate(*command, get_html2.template_path);
    AddDestination(*command, get_html2.destination, false,
                   "Report file handed to GetHTML (none when absent)");
    commands.push_back({command, [&] { GetHtml2(global, get_html2); }});
  }

  TemplateTextRequest get_html3;
  {
    CLI::App* command =
        AddCommand(app, "get-html3",
                   "GetHTML3: a template given as text filled from the rows");
    AddSql(*command, get_html3.sql);
    CLI::Option_group* source = command->add_option_group(
        "template", "The template, exactly one of these");
    source
        ->add_option("--template-text", get_html3.template_text,
                     "The template text itself")
        ->type_name("TEXT");
    source
        ->add_option("--template", get_html3.template_path,
                     "A file whose content (as UTF-8 bytes) is the template "
                     "text")
        ->type_name("PATH");
    source->require_option(1);
    commands.push_back({command, [&] { GetHtml3(global, get_html3); }});
  }

  TemplateFileRequest generate_report;
  {
    CLI::App* command = AddCommand(
        app, "generate-report",
        "GenerateReport: GetHTML cleaned and written to a report file",
        "Never fails: a step that fails is skipped. Needs --connection or "
        "--db (with --db the connection string is not used).");
    AddSql(*command, generate_report.sql);
    AddTemplate(*command, generate_report.template_path);
    AddDestination(*command, generate_report.destination, true,
                   "The report file to write");
    commands.push_back(
        {command, [&] { GenerateReport(global, generate_report); }});
  }

  RenderRequest render;
  {
    CLI::App* command = AddCommand(
        app, "render", "GetHTMLBasedOnRecordset over the statement's rows",
        std::string(kRowsDetails) + " Needs --db or --connection.");
    AddSql(*command, render.sql);
    AddTemplate(*command, render.template_path);
    AddDestination(*command, render.destination, false,
                   "Report file the method deletes first (none when absent)");
    command
        ->add_option("--extra-detail-id", render.extra_detail_id,
                     "Render the sub-report of this extra-detail element "
                     "(sets isExtraDetail true and extraDetailId)")
        ->type_name("ID");
    command->add_flag("--sdk", render.sdk,
                      "Call SDKGetHTMLBasedOnRecordset instead");
    commands.push_back({command, [&] { Render(global, render); }});
  }

  GenerateRequest generate;
  {
    CLI::App* command = AddCommand(
        app, "generate",
        "GenerateReportBasedOnRecordset over the statement's rows",
        std::string(kRowsDetails) +
            " When the method changes the template path to the document's "
            "print format, standard error gets the line \"HTMLSourceFile: "
            "VALUE\". Needs --db or --connection.");
    AddSql(*command, generate.sql);
    AddTemplate(*command, generate.template_path);
    AddDestination(*command, generate.destination, true,
                   "The report file to write");
    command->add_flag("--sdk", generate.sdk,
                      "Call SDKGenerateReportBasedOnRecordset instead");
    commands.push_back({command, [&] { Generate(global, generate); }});
  }

  struct FileRequest {
    std::string file;
    bool preview = false;
  };
  FileRequest open;
  {
    CLI::App* command = AddCommand(
        app, "open", "OpenReport: the desktop opens the report file",
        "With --preview the print-preview window shows it instead, and the "
        "command returns once the window is closed.");
    AddReportFile(*command, open.file);
    command->add_flag("--preview", open.preview,
                      "Call with webBrowserPreview true");
    commands.push_back(
        {command, [&] { Open(global, open.file, open.preview); }});
  }

  FileRequest print;
  {
    CLI::App* command = AddCommand(
        app, "print", "PrintReport: print the report file silently",
        "Prints on --printer (made the default printer for the duration) "
        "--copies times and returns once the print jobs have completed.");
    AddReportFile(*command, print.file);
    commands.push_back({command, [&] { Print(global, print.file); }});
  }

  FileRequest preview;
  {
    CLI::App* command = AddCommand(
        app, "preview",
        "WebBrowserPreviewReport: show the report in the print preview",
        "The window \"Vista previa de impresión\" opens at 1,1 with 700 by "
        "700; the command returns once it is closed.");
    AddReportFile(*command, preview.file);
    commands.push_back({command, [&] { Preview(global, preview.file); }});
  }

  {
    auto [parser, run] = AddPdfCommand(app, kFooter);
    commands.push_back({parser, run});
  }
  {
    auto [parser, run] = AddBatchCommand(app, global, kFooter);
    commands.push_back({parser, run});
  }

  CheckRequest check;
  CLI::App* check_command = AddCheckCommand(app, check);

  std::string demo_out = "out";
  {
    CLI::App* command = AddCommand(
        app, "demo", "Build the demo database and render its documents",
        "Prints the path of each report written.");
    command
        ->add_option("--out", demo_out,
                     "Folder for the database and the reports (created when "
                     "missing)")
        ->type_name("DIR")
        ->capture_default_str();
    commands.push_back({command, [&] { Demo(demo_out); }});
  }

  try {
    std::vector<std::string> arguments = Arguments(argc, argv);
    app.parse(arguments);
  } catch (const CLI::ParseError& error) {
    // --help is a "parse error" that exits 0 after printing the help.
    return app.exit(error) == 0 ? kExitOk : kExitUsage;
  }
  if (check_command->parsed()) {
    return RunStrictIf(strict, [&] { return RunCheck(global, check); });
  }
  for (const Command& command : commands) {
    if (command.parser->parsed()) {
      return RunStrictIf(strict, [&] {
        return RunCommand(command.parser->get_name(), command.run);
      });
    }
  }
  std::string usage = "A command is required\n";
  usage += "Run with --help for more information.\n";
  std::fputs(usage.c_str(), stderr);
  return kExitUsage;
}

}  // namespace nerolin::cli
