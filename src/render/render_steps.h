#pragma once

#include <cstddef>
#include <exception>
#include <memory>
#include <string>
#include <string_view>

#include "nerolin/recordset.h"
#include "nerolin/variant.h"

namespace nerolin {
class ComponentState;
namespace tmpl {
class Section;
}
}  // namespace nerolin

namespace nerolin::render {

// Steps the renderers share.

// Shows the description of `failure` as AsAutomationError gives it through
// the state's message sink, with the information icon and no title: the
// renderers' failure form.
void ReportFailure(const ComponentState& state,
                   const std::exception_ptr& failure);

// Deletes the file at `path` when one exists there; an empty path deletes
// nothing. Raises what the deletion raises.
void DeleteExistingFile(const std::string& path);

// Fills a fresh copy of `block` for the current row of `rst` and appends
// the result to `report` (an empty result adds nothing).
void AppendFilled(std::string& report,
                  const std::shared_ptr<ComponentState>& state,
                  const std::string& block,
                  const std::shared_ptr<ado::Recordset>& rst,
                  const tmpl::Section* section);

// The value of `column` in the current row of `rst`. Raises 3265 naming the
// column and the group when the rows have no such column.
Variant GroupValue(ado::Recordset& rst, const std::string& column,
                   const tmpl::Section& group);

// The text of a parameter that holds a path or a statement: Empty gives "",
// Null raises 94.
std::string ParameterText(const Variant& value);

// Raises 5: the walk over the `rows` rows of the report of `template_path`
// took more rounds than there are rows (something it called moved the
// cursor back or opened the rows again).
[[noreturn]] void RaiseRowWalkOverrun(const std::string& template_path,
                                      std::size_t rows);

}  // namespace nerolin::render
