#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "nerolin/recordset.h"
#include "nerolin/variant.h"

namespace nerolin::render {

// The statement texts the SQL renderers build around the caller's
// statement: the ordering that puts the rows of a group together, and the
// condition that picks one group instance's rows for its totals.

// Which renderer builds the text. They differ in the joining word of a
// total's condition and in the column types that add a term to it.
enum class GroupDialect {
  // Over a template file: columns named without brackets, every type adds a
  // term, GROUP BY statements are continued with HAVING.
  kTemplateFile,
  // Over a template given as text: columns named as written, only numbers,
  // dates and texts add a term, only WHERE is looked for.
  kTemplateText,
};

// A statement with its own ordering clause taken off, and the ordering
// clause to run it with.
struct OrderedStatement {
  std::string statement;  // the caller's statement without its ORDER BY
  std::string order;      // " ORDER BY ..." or ""
};

// The rows of `sql` ordered by `group_fields` (as written, brackets
// included) and then by the statement's own ordering: the first "ORDER BY"
// of the statement (in any letter case) and all after it is cut off the
// statement, and what followed it is appended to the group fields. Without
// group fields the statement keeps its own ordering alone.
OrderedStatement OrderForGroups(std::string_view sql,
                                const std::vector<std::string>& group_fields);

// The word that continues `statement` with a group condition: for a file
// template " AND " or " HAVING " after "GROUP BY" (as "HAVING" is or is not
// there), otherwise " AND " or " WHERE " (as "WHERE" is or is not there);
// for a text template only the latter. Keywords count in upper case only.
std::string_view JoiningWord(std::string_view statement, GroupDialect dialect);

// Appends the term that ties `column` to `value`, followed by " AND ":
// numbers (and Booleans) as `column=value`, dates as `column=#yyyy-mm-dd#`,
// Null of these as `column is Null`; other types quoted, `column='value'`
// with every "'" doubled. For a file template a Null of another type is
// `column is Null`; for a text template only the text types are quoted (a
// Null leaves the quotes empty) and other types add nothing. Raises what
// writing the value raises.
void AppendGroupTerm(std::string& condition, std::string_view column,
                     const Variant& value, ado::DataType type,
                     GroupDialect dialect);

}  // namespace nerolin::render
