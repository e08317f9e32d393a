#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "nerolin/recordset.h"
#include "nerolin/variant.h"

namespace nerolin::hostlib {

// Values for the "?" markers of a statement: texts, numbers, Boolean, Null
// and Empty (as NULL); any other type raises error 13.
using Parameters = std::vector<Variant>;

// An open, read-only connection of a host data library, whatever database
// is behind it. Every statement is Jet-flavoured SQL, rewritten by
// RewriteSql before it runs. Not thread-safe.
class DataConnection {
 public:
  virtual ~DataConnection() = default;

  // All rows of `sql`. Raises kErrorsInCommand with the database's message
  // and the statement when the database rejects it or it fails while
  // running.
  virtual ado::RowSet Query(std::string_view sql,
                            const Parameters& parameters = {}) = 0;
  // As Query, with rows that may be shared with answers kept for later.
  virtual std::shared_ptr<const ado::RowSet> SharedQuery(
      std::string_view sql, const Parameters& parameters = {}) = 0;

  // The first column of the first row of `sql`; nothing when there is no
  // row. Raises as Query.
  virtual std::optional<Variant> QueryFirst(
      std::string_view sql, const Parameters& parameters = {}) = 0;

  // Whether the table or view `table` has the column `column`, both
  // compared without regard to case and either possibly bracketed or
  // double-quoted; false when there is no such table.
  virtual bool TableHasColumn(std::string_view table,
                              std::string_view column) = 0;

  // `sql` as this database runs it (GetSQLForThisDBEngine).
  virtual std::string RewriteSql(std::string_view sql) const = 0;
};

}  // namespace nerolin::hostlib
