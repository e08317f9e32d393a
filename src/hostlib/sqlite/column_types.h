#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "automation/date_text.h"
#include "nerolin/recordset.h"
#include "nerolin/variant.h"

struct sqlite3_stmt;

namespace nerolin::sqlite {

// What a result column holds, decided by its declared type. Columns without
// a declared type (expressions) or with one no rule knows are kUntyped: each
// value keeps its storage class and the column type follows the values.
enum class ColumnKind : std::uint8_t {
  kUntyped,
  kInteger,   // INTEGER, INT, SMALLINT, TINYINT, MEDIUMINT
  kBigInt,    // BIGINT, INT8
  kDouble,    // REAL, DOUBLE, FLOAT
  kText,      // TEXT, VARCHAR, CHAR, NVARCHAR, NCHAR, CLOB, MEMO
  kBlob,      // BLOB, BINARY, VARBINARY, IMAGE
  kDate,      // DATE, DATETIME, TIMESTAMP
  kBoolean,   // BOOLEAN, BOOL, BIT, YESNO
  kCurrency,  // MONEY, CURRENCY, SMALLMONEY
  kNumeric,   // DECIMAL, NUMERIC
};

// The kind of a declared type such as "VARCHAR(50)" or "DOUBLE PRECISION";
// `declared` may be null. Names outside the list above fall back on
// SQLite's affinity rules (a name holding INT is an integer, CHAR / CLOB /
// TEXT a text, BLOB a blob, REAL / FLOA / DOUB a double), and then on
// kUntyped.
ColumnKind KindOfDeclaredType(const char* declared);

// The ADO type a column of `kind` reports. kUntyped columns report the type
// of their values (see UntypedColumnType).
ado::DataType AdoTypeOf(ColumnKind kind);

// Storage classes seen in an untyped column, as a bit set of
// 1 << SQLITE_INTEGER ... 1 << SQLITE_NULL.
using StorageClasses = unsigned;

// The type of an untyped column from the storage classes of its values:
// integers only kInteger; integers and reals kDouble; blobs only
// kLongVarBinary; anything else (texts, a mixture, only Nulls) kVarWChar.
ado::DataType UntypedColumnType(StorageClasses seen);

// The value of column `column` of the current row of `statement`, read as
// `kind` says: Null as Variant::Null(); integers as Long, or LongLong past
// 32 bits (always LongLong for kBigInt); texts and blobs as String; a date
// column's ISO text as Date (a text that is no date stays a String);
// booleans as Boolean (0 false, other numbers true, texts "true" / "false"
// in any case); currency as Currency (Double beyond its range); numeric and
// double columns as Double. A value whose storage class does not fit its
// column (a text in an INTEGER column) keeps its own class.
Variant ColumnValue(sqlite3_stmt* statement, int column, ColumnKind kind);

// What reading one column of a whole result carries from row to row.
struct ColumnReading {
  explicit ColumnReading(ColumnKind column_kind) : kind(column_kind) {}

  ColumnKind kind;
  // The storage classes of the values read, kept for kUntyped columns only.
  StorageClasses seen = 0;
  // The last text read as a date and its date: the dates of a document's
  // header repeat on every line of a joined view, and parsing them is most
  // of what reading a date costs.
  std::string date_text;
  std::optional<Date> date;
};

// Adds the values of the current row of `statement`, as ColumnValue reads
// them, to the row `rows` is making, without a Variant. `readings` holds
// one state per column of the result, the same objects for every row.
void AddRowValues(ado::RowSetBuilder& rows, sqlite3_stmt* statement,
                  std::span<ColumnReading> readings);

}  // namespace nerolin::sqlite
