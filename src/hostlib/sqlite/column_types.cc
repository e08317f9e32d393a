#include "hostlib/sqlite/column_types.h"

#include <array>
#include <cmath>
#include <limits>

#include <sqlite3.h>

#include "hostlib/jet/stored_dates.h"

namespace nerolin::sqlite {

using jet::ParseIsoDateTime;
using jet::ToDate;

namespace {

char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c; }

bool IsAsciiLetterOrDigit(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
         (c >= '0' && c <= '9') || c == '_';
}

struct NamedKind {
  std::string_view name;
  ColumnKind kind;
};

constexpr std::array<NamedKind, 36> kDeclaredTypes = {{
    {"INTEGER", ColumnKind::kInteger},   {"INT", ColumnKind::kInteger},
    {"SMALLINT", ColumnKind::kInteger},  {"TINYINT", ColumnKind::kInteger},
    {"MEDIUMINT", ColumnKind::kInteger}, {"INT2", ColumnKind::kInteger},
    {"LONG", ColumnKind::kInteger},      {"BIGINT", ColumnKind::kBigInt},
    {"INT8", ColumnKind::kBigInt},       {"REAL", ColumnKind::kDouble},
    {"DOUBLE", ColumnKind::kDouble},     {"FLOAT", ColumnKind::kDouble},
    {"TEXT", ColumnKind::kText},         {"VARCHAR", ColumnKind::kText},
    {"CHAR", ColumnKind::kText},         {"NVARCHAR", ColumnKind::kText},
    {"NCHAR", ColumnKind::kText},        {"CHARACTER", ColumnKind::kText},
    {"CLOB", ColumnKind::kText},         {"MEMO", ColumnKind::kText},
    {"BLOB", ColumnKind::kBlob},         {"BINARY", ColumnKind::kBlob},
    {"VARBINARY", ColumnKind::kBlob},    {"IMAGE", ColumnKind::kBlob},
    {"DATE", ColumnKind::kDate},         {"DATETIME", ColumnKind::kDate},
    {"TIMESTAMP", ColumnKind::kDate},    {"BOOLEAN", ColumnKind::kBoolean},
    {"BOOL", ColumnKind::kBoolean},      {"BIT", ColumnKind::kBoolean},
    {"YESNO", ColumnKind::kBoolean},     {"MONEY", ColumnKind::kCurrency},
    {"CURRENCY", ColumnKind::kCurrency}, {"SMALLMONEY", ColumnKind::kCurrency},
    {"DECIMAL", ColumnKind::kNumeric},   {"NUMERIC", ColumnKind::kNumeric},
}};

// Currency holds the value times 10,000 in 64 bits.
constexpr double kCurrencyLimit = 922337203685477.0;

std::string_view TextOfValue(sqlite3_value* value) {
  const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
  int size = sqlite3_value_bytes(value);
  return text ? std::string_view(text, static_cast<std::size_t>(size))
              : std::string_view();
}

std::string_view BlobOfValue(sqlite3_value* value) {
  const auto* bytes = static_cast<const char*>(sqlite3_value_blob(value));
  int size = sqlite3_value_bytes(value);
  return bytes ? std::string_view(bytes, static_cast<std::size_t>(size))
               : std::string_view();
}

bool EqualsIgnoreCaseAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
  }
  return true;
}

}  // namespace

ColumnKind KindOfDeclaredType(const char* declared) {
  if (declared == nullptr) return ColumnKind::kUntyped;
  std::string_view text(declared);
  // The first word names the type: "VARCHAR(50)", "DOUBLE PRECISION".
  std::size_t start = 0;
  while (start < text.size() && text[start] == ' ') ++start;
  std::size_t end = start;
  while (end < text.size() && IsAsciiLetterOrDigit(text[end])) ++end;
  std::string_view word = text.substr(start, end - start);
  for (const NamedKind& entry : kDeclaredTypes) {
    if (EqualsIgnoreCaseAscii(word, entry.name)) return entry.kind;
  }
  std::string upper(text);
  for (char& c : upper) c = UpperAscii(c);
  auto has = [&upper](const char* part) {
    return upper.find(part) != std::string::npos;
  };
  if (has("INT")) return ColumnKind::kInteger;
  if (has("CHAR") || has("CLOB") || has("TEXT")) return ColumnKind::kText;
  if (has("BLOB")) return ColumnKind::kBlob;
  if (has("REAL") || has("FLOA") || has("DOUB")) return ColumnKind::kDouble;
  return ColumnKind::kUntyped;
}

ado::DataType AdoTypeOf(ColumnKind kind) {
  switch (kind) {
    case ColumnKind::kInteger:
      return ado::DataType::kInteger;
    case ColumnKind::kBigInt:
      return ado::DataType::kBigInt;
    case ColumnKind::kDouble:
      return ado::DataType::kDouble;
    case ColumnKind::kText:
      return ado::DataType::kVarWChar;
    case ColumnKind::kBlob:
      return ado::DataType::kLongVarBinary;
    case ColumnKind::kDate:
      return ado::DataType::kDate;
    case ColumnKind::kBoolean:
      return ado::DataType::kBoolean;
    case ColumnKind::kCurrency:
      return ado::DataType::kCurrency;
    case ColumnKind::kNumeric:
      return ado::DataType::kNumeric;
    case ColumnKind::kUntyped:
      break;
  }
  return ado::DataType::kVarWChar;
}

ado::DataType UntypedColumnType(StorageClasses seen) {
  seen &= ~(1u << SQLITE_NULL);
  constexpr StorageClasses kInteger = 1u << SQLITE_INTEGER;
  constexpr StorageClasses kReal = 1u << SQLITE_FLOAT;
  if (seen == kInteger) return ado::DataType::kInteger;
  if (seen != 0 && (seen & ~(kInteger | kReal)) == 0) {
    return ado::DataType::kDouble;
  }
  if (seen == (1u << SQLITE_BLOB)) return ado::DataType::kLongVarBinary;
  return ado::DataType::kVarWChar;
}

namespace {

// The date of a date column's text; `reading`, when given, saves parsing a
// text equal to the last one parsed.
std::optional<Date> DateOfText(std::string_view text, ColumnReading* reading) {
  if (reading != nullptr && reading->date && text == reading->date_text) {
    return reading->date;
  }
  const auto parts = ParseIsoDateTime(text);
  if (!parts) return std::nullopt;
  const Date date = ToDate(*parts);
  if (reading != nullptr) {
    reading->date_text.assign(text);
    reading->date = date;
  }
  return date;
}

// Reads the value into `out`, which has RowSetBuilder's Add members: the
// one reading that both a whole result and a single value go through.
template <class Out>
void ReadColumn(sqlite3_stmt* statement, int column, ColumnKind kind,
                ColumnReading* reading, Out& out) {
  // The column's value found once and read through sqlite3_value_*, which
  // skip the mutex calls and error checks that each sqlite3_column_* call
  // repeats (about a quarter of reading a wide row). SQLite allows that only
  // while no other thread uses the connection, and a connection serves one
  // caller's thread.
  sqlite3_value* const value = sqlite3_column_value(statement, column);
  const int storage_class = sqlite3_value_type(value);
  if (reading != nullptr && kind == ColumnKind::kUntyped) {
    reading->seen |= 1u << storage_class;
  }
  switch (storage_class) {
    case SQLITE_NULL:
      out.AddNull();
      return;
    case SQLITE_INTEGER: {
      const std::int64_t number = sqlite3_value_int64(value);
      switch (kind) {
        case ColumnKind::kBigInt:
          out.AddLongLong(number);
          return;
        case ColumnKind::kDouble:
        case ColumnKind::kNumeric:
          out.AddDouble(static_cast<double>(number));
          return;
        case ColumnKind::kBoolean:
          out.AddBoolean(number != 0);
          return;
        case ColumnKind::kCurrency:
          if (std::abs(static_cast<double>(number)) <= kCurrencyLimit) {
            out.AddCurrency(Currency{number * 10000});
          } else {
            out.AddDouble(static_cast<double>(number));
          }
          return;
        case ColumnKind::kText:
          out.AddText(TextOfValue(value));
          return;
        default:
          if (number >= std::numeric_limits<std::int32_t>::min() &&
              number <= std::numeric_limits<std::int32_t>::max()) {
            out.AddLong(static_cast<std::int32_t>(number));
          } else {
            out.AddLongLong(number);
          }
          return;
      }
    }
    case SQLITE_FLOAT: {
      const double number = sqlite3_value_double(value);
      switch (kind) {
        case ColumnKind::kBoolean:
          out.AddBoolean(number != 0);
          return;
        case ColumnKind::kCurrency:
          if (std::abs(number) <= kCurrencyLimit) {
            out.AddCurrency(Currency::FromDouble(number));
          } else {
            out.AddDouble(number);
          }
          return;
        case ColumnKind::kText:
          out.AddText(TextOfValue(value));
          return;
        default:
          out.AddDouble(number);
          return;
      }
    }
    case SQLITE_TEXT: {
      const std::string_view text = TextOfValue(value);
      if (kind == ColumnKind::kDate) {
        if (std::optional<Date> date = DateOfText(text, reading)) {
          out.AddDate(*date);
          return;
        }
      } else if (kind == ColumnKind::kBoolean) {
        if (EqualsIgnoreCaseAscii(text, "true")) {
          out.AddBoolean(true);
          return;
        }
        if (EqualsIgnoreCaseAscii(text, "false")) {
          out.AddBoolean(false);
          return;
        }
      }
      out.AddText(text);
      return;
    }
    default:  // SQLITE_BLOB
      out.AddText(BlobOfValue(value));
      return;
  }
}

// One value as a Variant, for ReadColumn.
struct VariantOut {
  void AddNull() { value = Variant::Null(); }
  void AddBoolean(bool v) { value = Variant(v); }
  void AddLong(std::int32_t v) { value = Variant(v); }
  void AddLongLong(std::int64_t v) { value = Variant(v); }
  void AddDouble(double v) { value = Variant(v); }
  void AddCurrency(Currency v) { value = Variant(v); }
  void AddDate(Date v) { value = Variant(v); }
  void AddText(std::string_view v) { value = Variant(v); }
  Variant value;
};

}  // namespace

Variant ColumnValue(sqlite3_stmt* statement, int column, ColumnKind kind) {
  VariantOut out;
  ReadColumn(statement, column, kind, nullptr, out);
  return std::move(out.value);
}

void AddRowValues(ado::RowSetBuilder& rows, sqlite3_stmt* statement,
                  std::span<ColumnReading> readings) {
  int column = 0;
  for (ColumnReading& reading : readings) {
    ReadColumn(statement, column++, reading.kind, &reading, rows);
  }
}

}  // namespace nerolin::sqlite
