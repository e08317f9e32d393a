#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "check/source_map.h"

namespace nerolin::hostlib {
class HostLibrary;
}

namespace nerolin::check {

enum class Severity {
  // The render fails, or differs from what the markup plainly means.
  kError,
  // Legal markup that is often a mistake.
  kWarning,
};

// "error" or "warning".
std::string_view SeverityName(Severity severity);

struct Finding {
  SourcePosition position;
  Severity severity;
  // Stable, for scripts and editors: "tag-case", "bracket-unclosed", ...
  std::string code;
  std::string message;
};

struct CheckOptions {
  // The columns of the rows the template will be filled from (see
  // StatementColumns); nothing when no statement was given, and then no
  // name is checked against them.
  std::optional<std::vector<std::string>> columns;
  // FindMatchIfFieldDoesntExists: a name that is no column may still be
  // found in the host tables, so it is only a warning.
  bool find_match = false;
};

// The findings for the template file at `path`, read as the recordset
// renderer reads it, in the order of their places in the file. A file that
// cannot be read gives one finding, "template-unreadable", at 1:1.
// Sub-templates, nested templates and pictures are looked for next to the
// template, as the engine looks for them when it renders from that path.
// Never raises but for memory.
std::vector<Finding> CheckTemplateFile(const std::string& path,
                                       const CheckOptions& options);

// The findings for the bytes of a template file (see CheckTemplateFile);
// `path` places the files it names.
std::vector<Finding> CheckTemplateBytes(std::string_view bytes,
                                        const std::string& path,
                                        const CheckOptions& options);

// The names of the columns of `sql`'s result, in order, as the host
// library's Datalayer.GetRecordset gives them for the statement wrapped so
// that it returns no rows ("SELECT * FROM (sql) AS q WHERE 1=0"), or, when
// the library rejects that form, for the statement itself. Raises what
// GetRecordset raises for the statement itself.
std::vector<std::string> StatementColumns(hostlib::HostLibrary& library,
                                          std::string_view sql);

}  // namespace nerolin::check
