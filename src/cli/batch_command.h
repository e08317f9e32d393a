#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <utility>

#include "cli/commands.h"

namespace CLI {
class App;
}

namespace nerolin::cli {

// batch: one document per key, each from its own statement.
struct BatchRequest {
  // One column of document keys; each key counts once, in the order first
  // seen.
  std::string keys_sql;
  // The statement of one document; its {KEY} token stands for the key.
  std::string sql;
  std::string template_path;
  std::string out_dir;
  bool pdf = false;
  bool print = false;
  // PDF pages rendered at once.
  int jobs = 1;
};

// `sql` with every {KEY} replaced by `key`: a plain decimal number as it
// is written, anything else as a quoted text literal with its apostrophes
// doubled.
std::string SubstituteKey(std::string_view sql, std::string_view key);

// `key` as a file name: letters, digits, ".", "-" and "_" stay, anything
// else becomes "_"; never empty, hidden or longer than 120 bytes.
std::string SafeFileName(std::string_view key);

// For each key, the document's rows (the statement run through the host
// library, as that document's own recordset) go through
// GenerateReportBasedOnRecordset into OUT_DIR/NAME.html (NAME from
// SafeFileName, "-2", "-3" ... when two keys give one name), then with
// `pdf` to NAME.pdf through the warm browser and with `print` through
// PrintReport. A document fails when the method raised, when the
// diagnostics channel recorded anything for it, or when its PDF or print
// failed; it never stops the others. Standard error gets a progress line
// when it is a terminal, then the summary: each failed document with its
// reason, and the count written. Raises CommandFailure when any failed, an
// AutomationError when the keys cannot be read.
// REQUIRES (else UsageError): global.connection or global.db.
void Batch(const GlobalOptions& global, const BatchRequest& request);

// Adds the batch command to `app` with `footer` at the end of its help.
std::pair<CLI::App*, std::function<void()>> AddBatchCommand(
    CLI::App& app, const GlobalOptions& global, std::string_view footer);

}  // namespace nerolin::cli
