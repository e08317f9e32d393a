#include "render/group_query.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "automation/conversions.h"
#include "automation/format.h"
#include "automation/locale.h"
#include "automation/vb_text.h"

namespace nerolin::render {

namespace {

constexpr std::string_view kOrderBy = "ORDER BY";
constexpr std::string_view kOrderByClause = " ORDER BY ";
constexpr std::string_view kAnd = " AND ";

enum class TermClass { kNumber, kDate, kQuoted, kNone };

TermClass ClassOf(ado::DataType type, GroupDialect dialect) {
  using ado::DataType;
  switch (type) {
    case DataType::kSmallInt:
    case DataType::kInteger:
    case DataType::kSingle:
    case DataType::kDouble:
    case DataType::kCurrency:
    case DataType::kBoolean:
    case DataType::kDecimal:
    case DataType::kTinyInt:
    case DataType::kUnsignedTinyInt:
    case DataType::kUnsignedSmallInt:
    case DataType::kUnsignedInt:
    case DataType::kBigInt:
    case DataType::kUnsignedBigInt:
    case DataType::kNumeric:
    case DataType::kVarNumeric:
      return TermClass::kNumber;
    case DataType::kDate:
    case DataType::kDBDate:
    case DataType::kDBTime:
    case DataType::kDBTimeStamp:
      return TermClass::kDate;
    case DataType::kBSTR:
    case DataType::kChar:
    case DataType::kWChar:
    case DataType::kVarChar:
    case DataType::kLongVarChar:
    case DataType::kVarWChar:
    case DataType::kLongVarWChar:
      return TermClass::kQuoted;
    default:
      break;
  }
  return dialect == GroupDialect::kTemplateFile ? TermClass::kQuoted
                                                : TermClass::kNone;
}

void AppendIsNull(std::string& condition, std::string_view column) {
  condition += column;
  condition += " is Null";
  condition += kAnd;
}

}  // namespace

OrderedStatement OrderForGroups(std::string_view sql,
                                const std::vector<std::string>& group_fields) {
  std::string list;
  for (const std::string& field : group_fields) {
    list += field;
    list += ',';
  }
  OrderedStatement result;
  const bool grouped = !Trim(list).empty();
  if (grouped) {
    list.pop_back();
    result.order = std::string(kOrderByClause) + list;
  }
  const std::size_t own = UCase(sql).find(kOrderBy);
  if (own == std::string::npos) {
    result.statement = std::string(sql);
    return result;
  }
  // One character after the keyword is taken to be its space.
  const std::size_t own_start = own + kOrderBy.size() + 1;
  const std::string_view own_order =
      own_start < sql.size() ? sql.substr(own_start) : std::string_view();
  if (grouped) {
    result.order += ',';
  } else {
    result.order = kOrderByClause;
  }
  result.order += own_order;
  result.statement = std::string(sql.substr(0, own));
  return result;
}

std::string_view JoiningWord(std::string_view statement, GroupDialect dialect) {
  auto has = [statement](std::string_view word) {
    return statement.find(word) != std::string_view::npos;
  };
  if (dialect == GroupDialect::kTemplateFile && has("GROUP BY")) {
    return has("HAVING") ? kAnd : " HAVING ";
  }
  return has("WHERE") ? kAnd : " WHERE ";
}

void AppendGroupTerm(std::string& condition, std::string_view column,
                     const Variant& value, ado::DataType type,
                     GroupDialect dialect) {
  switch (ClassOf(type, dialect)) {
    case TermClass::kNumber:
      if (value.IsNull()) return AppendIsNull(condition, column);
      condition += column;
      condition += '=';
      // SQL reads numbers with a decimal point whatever the locale.
      condition += TextOf(value, Locale::EnglishUnitedStates());
      break;
    case TermClass::kDate:
      if (value.IsNull()) return AppendIsNull(condition, column);
      condition += column;
      condition += "=#";
      condition += Format(value, "yyyy-mm-dd");
      condition += '#';
      break;
    case TermClass::kQuoted:
      if (value.IsNull() && dialect == GroupDialect::kTemplateFile) {
        return AppendIsNull(condition, column);
      }
      condition += column;
      condition += "='";
      condition += Replace(TextOf(value), "'", "''");
      condition += '\'';
      break;
    case TermClass::kNone:
      return;
  }
  condition += kAnd;
}

}  // namespace nerolin::render
