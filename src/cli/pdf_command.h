#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace CLI {
class App;
}

namespace nerolin::cli {

// pdf: report files to PDF through the process's one warm browser.
struct PdfRequest {
  std::vector<std::string> files;
  // Only with a single file: the PDF to write.
  std::optional<std::string> out;
  // The folder for every PDF (created when missing), each named after its
  // report; without --out and --out-dir each PDF goes beside its report.
  std::optional<std::string> out_dir;
  // Pages rendered at once.
  int jobs = 1;
};

// Where the PDF of `file` goes: `out_dir`/NAME.pdf, or beside it, NAME
// being the file's name without its last extension.
std::string PdfPathFor(const std::string& file,
                       const std::optional<std::string>& out_dir);

// Renders every file, up to request.jobs at once; a file that fails does
// not stop the others. With one file, its failure leaves as the
// AutomationError; with several, each failure is one line on standard
// error, "FILE: Error NUMBER: DESCRIPTION", and CommandFailure then says
// how many failed.
// REQUIRES (else UsageError): at least one file; out only with one file.
void Pdf(const PdfRequest& request);

// Adds the pdf command to `app` with `footer` at the end of its help; gives
// the command's parser and what runs once it matched.
std::pair<CLI::App*, std::function<void()>> AddPdfCommand(
    CLI::App& app, std::string_view footer);

}  // namespace nerolin::cli
