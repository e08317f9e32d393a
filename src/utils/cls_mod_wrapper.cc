#include "nerolin/cls_mod_wrapper.h"

#include <exception>
#include <string>
#include <utility>

#include "automation/conversions.h"
#include "component/component_state.h"
#include "nerolin/automation_error.h"
#include "nerolin/message_sink.h"
#include "nerolin/recordset.h"

namespace nerolin {

namespace {

constexpr std::string_view kConcatRelatedTitle = "ConcatRelated()";

// The text of a by-name text argument, as a by-reference String parameter
// receives it (Null raises 94).
std::string TextArgument(const Arguments& args, std::size_t index) {
  return index < args.size() ? CStr(args[index]) : std::string();
}

}  // namespace

std::shared_ptr<clsModWrapper> clsModWrapper::Create() {
  return Create(ComponentState::Process());
}

std::shared_ptr<clsModWrapper> clsModWrapper::Create(
    std::shared_ptr<ComponentState> state) {
  if (!state) state = ComponentState::Process();
  return std::shared_ptr<clsModWrapper>(new clsModWrapper(std::move(state)));
}

Variant clsModWrapper::ConcatRelated(std::string_view strField,
                                     std::string_view strTable,
                                     std::string_view strWhere,
                                     std::string_view strOrderBy,
                                     const Variant& strSeparator) {
  Variant result = Variant::Null();
  try {
    std::string sql;
    sql.reserve(strField.size() + strTable.size() + strWhere.size() +
                strOrderBy.size() + 32);
    sql.append("SELECT ").append(strField).append(" FROM ").append(strTable);
    if (!strWhere.empty()) sql.append(" WHERE ").append(strWhere);
    if (!strOrderBy.empty()) sql.append(" ORDER BY ").append(strOrderBy);

    const std::string separator = TextOf(strSeparator);
    const std::shared_ptr<ado::Recordset> rows =
        state_->Library().GetRecordset(sql);
    std::string collected;
    // The rows are held in memory: the walk ends after RecordCount moves.
    for (std::int32_t left = rows->RecordCount(); left >= 0 && !rows->Eof();
         --left) {
      const Variant value = rows->Value(Variant(std::int32_t{0}));
      if (!value.IsNull()) {
        collected += TextOf(value);
        collected += separator;
      }
      rows->MoveNext();
    }
    rows->Close();
    if (collected.size() > separator.size()) {
      collected.resize(collected.size() - separator.size());
      result = Variant(std::move(collected));
    }
  } catch (...) {
    // "Error NUMBER: DESCRIPTION".
    const std::string text =
        AsAutomationError(std::current_exception(), kConcatRelatedTitle).what();
    try {
      state_->ShowMessage(text, kConcatRelatedTitle, MessageIcon::kExclamation);
    } catch (...) {
      // A host's sink that fails has nowhere else to report; the result
      // still stands.
    }
  }
  return result;
}

Variant clsModWrapper::Invoke(std::string_view member, InvokeKind kind,
                              Arguments& args) {
  using Self = clsModWrapper;
  static const MemberTable<Self> table = MemberTable<Self>().Method(
      "ConcatRelated", 2, 5, [](Self& self, InvokeKind, Arguments& a) {
        const std::string field = TextArgument(a, 0);
        const std::string table_name = TextArgument(a, 1);
        const std::string where = TextArgument(a, 2);
        const std::string order_by = TextArgument(a, 3);
        return a.size() > 4
                   ? self.ConcatRelated(field, table_name, where, order_by,
                                        a[4])
                   : self.ConcatRelated(field, table_name, where, order_by);
      });
  return table.Invoke(*this, member, kind, args);
}

}  // namespace nerolin
