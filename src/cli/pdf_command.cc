#include "cli/pdf_command.h"

#include <filesystem>
#include <map>
#include <memory>
#include <set>

#include <CLI/CLI.hpp>

#include "cli/commands.h"
#include "nerolin/automation_error.h"
#include "platform/browser.h"
#include "platform/pdf_job.h"
#include "platform/printing_build.h"

namespace nerolin::cli {

std::string PdfPathFor(const std::string& file,
                       const std::optional<std::string>& out_dir) {
  std::filesystem::path path(file);
  path.replace_extension(".pdf");
  if (out_dir)
    return (std::filesystem::path(*out_dir) / path.filename()).string();
  return path.string();
}

void Pdf(const PdfRequest& request) {
  if (request.files.empty()) throw UsageError("FILE is required");
  if (request.out && request.files.size() > 1) {
    throw UsageError("--out takes a single FILE; use --out-dir for several");
  }
  platform::RequirePrinting();
  if (request.out_dir) CreateFolder(*request.out_dir);
  std::vector<std::optional<AutomationError>> failures(request.files.size());
  platform::PdfQueue queue(
      platform::BrowserSettings::FromEnvironment(), request.jobs,
      [&](std::size_t ticket, const std::optional<AutomationError>& error) {
        failures[ticket] = error;
      });
  const auto key_of = [](const std::string& path) {
    return std::filesystem::absolute(path).lexically_normal().string();
  };
  // A PDF written over a report ("r.pdf" holding HTML, --out naming the
  // report) would replace the report it was made from, or one still to come.
  std::set<std::string> reports;
  for (const std::string& file : request.files) reports.insert(key_of(file));
  // Two reports whose PDFs would have one name: the first keeps it.
  std::map<std::string, std::string> claimed;
  for (std::size_t i = 0; i < request.files.size(); ++i) {
    const std::string& file = request.files[i];
    const std::string pdf =
        request.out ? *request.out : PdfPathFor(file, request.out_dir);
    const std::string key = key_of(pdf);
    if (reports.contains(key)) {
      failures[i] = AutomationError(
          errors::kPathFileAccess,
          "Path/File access error: " + pdf + " is a report to convert",
          "Browser");
      continue;
    }
    if (const auto [it, fresh] = claimed.emplace(key, file); !fresh) {
      failures[i] = AutomationError(errors::kPathFileAccess,
                                    "Path/File access error: " + pdf +
                                        " is already the PDF of " + it->second,
                                    "Browser");
      continue;
    }
    if (pdf.empty()) {
      failures[i] =
          AutomationError(errors::kBadFileName, "Bad file name: (empty)");
      continue;
    }
    queue.Add(i, file, pdf);
  }
  queue.Finish();
  if (request.files.size() == 1) {
    if (failures[0]) throw *failures[0];
    return;
  }
  std::size_t failed = 0;
  for (std::size_t i = 0; i < failures.size(); ++i) {
    if (!failures[i]) continue;
    ++failed;
    std::fputs(
        (OneLine(request.files[i]) + ": " + ErrorLine(*failures[i]) + "\n")
            .c_str(),
        stderr);
  }
  if (failed > 0) {
    throw CommandFailure(std::to_string(failed) + " of " +
                         std::to_string(request.files.size()) +
                         " reports failed");
  }
}

std::pair<CLI::App*, std::function<void()>> AddPdfCommand(
    CLI::App& app, std::string_view footer) {
  auto request = std::make_shared<PdfRequest>();
  request->jobs = DefaultJobs();
  CLI::App* command = app.add_subcommand(
      "pdf", "Export report files to PDF as printing renders them");
  command->group("Commands");
  command->footer(
      "Paper size and margins come from the report's @page rule (Letter "
      "without one). All files go through one browser, kept running for the "
      "next call (NEROLIN_BROWSER_IDLE_S). A report that fails is named with "
      "its reason and the others still complete; the exit status is then "
      "1.\n" +
      std::string(footer));
  command->add_option("FILE", request->files, "The report files")
      ->type_name("PATH")
      ->required();
  CLI::Option* out = command
                         ->add_option("--out", request->out,
                                      "The PDF file to write (one FILE)")
                         ->type_name("PATH");
  command
      ->add_option("--out-dir", request->out_dir,
                   "The folder for the PDFs, each named after its report "
                   "(created when missing)")
      ->type_name("DIR")
      ->excludes(out);
  command
      ->add_option("--jobs", request->jobs,
                   "Reports rendered at once (default: the number of cores)")
      ->type_name("N")
      ->check(CLI::PositiveNumber);
  return {command, [request] { Pdf(*request); }};
}

}  // namespace nerolin::cli
