#pragma once

#include <optional>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "cli/commands.h"

namespace nerolin::cli {

// check.
struct CheckRequest {
  std::vector<std::string> templates;
  // Given: every name is checked against the statement's columns.
  std::optional<std::string> sql;
  std::string format = "text";  // "text" or "json"
};

// Adds the check command and its options, which fill `request`, to `app`.
CLI::App* AddCheckCommand(CLI::App& app, CheckRequest& request);

// Checks each template (check::CheckTemplateFile) and writes the findings
// to standard output in the order of the templates: as text, one
// "FILE:LINE:COLUMN: error|warning: MESSAGE [code]" line each, or as one
// JSON array of objects with file, line, column, severity, code and
// message. With --sql the columns come from the host library that --db or
// --connection gives (check::StatementColumns) and --find-match makes a
// name that is no column a warning. Gives kExitOk when no finding is an
// error, kExitError when one is (or the statement cannot be asked),
// kExitUsage for --sql without --db or --connection.
int RunCheck(const GlobalOptions& global, const CheckRequest& request);

}  // namespace nerolin::cli
