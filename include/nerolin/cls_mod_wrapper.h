#pragma once

#include <memory>
#include <string_view>
#include <utility>

#include "nerolin/export.h"
#include "nerolin/object.h"
#include "nerolin/variant.h"

namespace nerolin {

class ComponentState;

// The ProgID a host creates the class by.
inline constexpr std::string_view kModWrapperProgId =
    "NerolinHTMLReport.clsModWrapper";

// Data utilities that stored field-reference statements call by name.
// Creatable by a host as "NerolinHTMLReport.clsModWrapper". It queries
// through the host data library of the component state it shares, which it
// never sets itself: a clsMain of that state must have been given one
// (NerolinLib or its own connection) before a query runs.
//
// Members by name: ConcatRelated(strField, strTable [, strWhere
// [, strOrderBy [, strSeparator]]]), a method. The class has no default
// member.
class NEROLIN_EXPORT clsModWrapper : public Object {
 public:
  // A new object on the process-wide component state.
  static std::shared_ptr<clsModWrapper> Create();
  // A new object sharing `state` (the process-wide one when null).
  static std::shared_ptr<clsModWrapper> Create(
      std::shared_ptr<ComponentState> state);

  // The values of the first column of "SELECT strField FROM strTable",
  // with " WHERE strWhere" and " ORDER BY strOrderBy" appended when those
  // are not empty, each value's text followed by `strSeparator`'s text,
  // Null values skipped, the last separator dropped. The texts enter the
  // statement as they are: nothing is quoted or checked. Returns Null when
  // nothing longer than the separator was joined (no rows, only Nulls, a
  // single empty text). Never raises: a failure (no host data library, a
  // statement the database rejects) shows "Error NUMBER: DESCRIPTION"
  // titled "ConcatRelated()" through the message sink and returns Null.
  Variant ConcatRelated(std::string_view strField, std::string_view strTable,
                        std::string_view strWhere = {},
                        std::string_view strOrderBy = {},
                        const Variant& strSeparator = Variant(", "));

  std::string_view TypeName() const override { return "clsModWrapper"; }
  Variant Invoke(std::string_view member, InvokeKind kind,
                 Arguments& args) override;

 private:
  explicit clsModWrapper(std::shared_ptr<ComponentState> state)
      : state_(std::move(state)) {}

  std::shared_ptr<ComponentState> state_;
};

}  // namespace nerolin
