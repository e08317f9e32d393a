#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "nerolin/export.h"
#include "nerolin/object.h"
#include "nerolin/variant.h"

namespace nerolin::ado {

// ADO's DataTypeEnum values a field may report.
enum class DataType : std::int32_t {
  kEmpty = 0,
  kSmallInt = 2,
  kInteger = 3,
  kSingle = 4,
  kDouble = 5,
  kCurrency = 6,
  kDate = 7,
  kBSTR = 8,
  kBoolean = 11,
  kVariant = 12,
  kDecimal = 14,
  kTinyInt = 16,
  kUnsignedTinyInt = 17,
  kUnsignedSmallInt = 18,
  kUnsignedInt = 19,
  kBigInt = 20,
  kUnsignedBigInt = 21,
  kBinary = 128,
  kChar = 129,
  kWChar = 130,
  kNumeric = 131,
  kDBDate = 133,
  kDBTime = 134,
  kDBTimeStamp = 135,
  kVarNumeric = 139,
  kVarChar = 200,
  kLongVarChar = 201,
  kVarWChar = 202,
  kLongVarWChar = 203,
  kVarBinary = 204,
  kLongVarBinary = 205,
};

// ObjectStateEnum.
inline constexpr std::int32_t kStateClosed = 0;
inline constexpr std::int32_t kStateOpen = 1;

struct NEROLIN_EXPORT Column {
  std::string name;
  DataType type = DataType::kVariant;
};

// Every row holds one value per column.
using Row = std::vector<Variant>;

struct NEROLIN_EXPORT RowSet {
  std::vector<Column> columns;
  std::vector<Row> rows;
};

class ColumnNames;
class Recordset;

// One column of a recordset, seen at its current row.
class NEROLIN_EXPORT Field : public Object {
 public:
  Field(std::weak_ptr<Recordset> recordset, std::size_t index);

  const std::string& Name() const;
  DataType Type() const;
  // The column's value in the current row. Raises 3021 at BOF or EOF, 3704
  // when the recordset is closed.
  Variant Value() const;

  std::string_view TypeName() const override { return "Field"; }
  Variant Invoke(std::string_view member, InvokeKind kind,
                 Arguments& args) override;
  Variant DefaultValue() override { return Value(); }

 private:
  std::shared_ptr<Recordset> Owner() const;

  std::weak_ptr<Recordset> recordset_;
  std::size_t index_;
};

// The Fields collection of a recordset.
class NEROLIN_EXPORT Fields : public Object {
 public:
  explicit Fields(std::weak_ptr<Recordset> recordset);

  std::int32_t Count() const;
  // By name (without regard to case) or by index from 0. Raises 3265 when
  // there is no such field, 3704 when the recordset is closed.
  std::shared_ptr<Field> Item(const Variant& name_or_index) const;

  std::string_view TypeName() const override { return "Fields"; }
  Variant Invoke(std::string_view member, InvokeKind kind,
                 Arguments& args) override;

 private:
  std::weak_ptr<Recordset> recordset_;
};

// A static, scrollable cursor over rows held in memory, with ADO's members
// and errors. `Open` without arguments runs `Source` again through the
// requery function the recordset was made with.
class NEROLIN_EXPORT Recordset : public Object {
 public:
  // Runs the source again and returns its rows; raises on failure.
  using Requery = std::function<RowSet()>;
  // The same, for rows that may be shared with other holders (a cache of
  // answers); the rows are never changed through a recordset.
  using SharedRequery = std::function<std::shared_ptr<const RowSet>()>;

  // An open recordset positioned on its first row (BOF and EOF both true
  // when there is none). Each row must hold one value per column.
  static std::shared_ptr<Recordset> Create(RowSet rows, std::string source = {},
                                           Requery requery = nullptr);
  // As Create, over rows that other holders may share; null rows raise 5.
  static std::shared_ptr<Recordset> CreateShared(
      std::shared_ptr<const RowSet> rows, std::string source = {},
      SharedRequery requery = nullptr);
  ~Recordset() override;

  bool Eof() const;
  bool Bof() const;
  std::int32_t State() const { return open_ ? kStateOpen : kStateClosed; }
  const std::string& Source() const { return source_; }
  std::int32_t RecordCount() const;

  std::shared_ptr<Fields> GetFields();
  // Shorthands for Fields.Item(...) and its Value.
  std::shared_ptr<Field> GetField(const Variant& name_or_index);
  Variant Value(const Variant& name_or_index);
  // The value of column `column` (from FindColumn) in the current row,
  // without a Field object: raises 3704 when the recordset is closed, 3265
  // when there is no such column, 3021 at BOF or EOF. The reference holds
  // until the cursor moves or the recordset is opened again.
  const Variant& ValueAt(std::size_t column) const;
  // The column index of `name` (without regard to case; the first of equal
  // names), or -1.
  std::int64_t FindColumn(std::string_view name) const;
  // -1 when no column is named exactly `name`; else the column FindColumn
  // gives for it (the first whose name equals it without regard to case).
  std::int64_t ColumnNamedExactly(std::string_view name) const;
  // The columns, in order.
  const std::vector<Column>& Columns() const { return data_->columns; }

  // MoveNext at EOF and MovePrevious at BOF raise 3021; MoveFirst on an
  // empty recordset raises 3021.
  void MoveNext();
  void MovePrevious();
  void MoveFirst();
  void MoveLast();
  // Closing a closed recordset raises 3704.
  void Close();
  // Runs Source again and positions on the first row. Raises 3705 when the
  // recordset is open, and whatever the requery raises (the recordset then
  // stays closed).
  void Open();

  std::string_view TypeName() const override { return "Recordset"; }
  Variant Invoke(std::string_view member, InvokeKind kind,
                 Arguments& args) override;

 private:
  friend class Field;
  friend class Fields;
  Recordset(std::shared_ptr<const RowSet> rows, std::string source,
            SharedRequery requery);
  void CheckOpen() const;
  const Variant& CurrentValue(std::size_t column) const;
  std::int64_t IndexOf(const Variant& name_or_index) const;

  std::shared_ptr<const RowSet> data_;
  // Over data_'s columns.
  std::unique_ptr<const ColumnNames> names_;
  std::string source_;
  SharedRequery requery_;
  bool open_ = true;
  // 0 is BOF, rows.size() + 1 is EOF; row i is at position i + 1.
  std::size_t position_ = 0;
  std::vector<std::shared_ptr<Field>> field_objects_;
  std::shared_ptr<Fields> fields_object_;
};

// True when `recordset` has a field named `name` (without regard to case);
// false for a closed or missing recordset and on any failure.
NEROLIN_EXPORT bool RecordsetHasField(const Recordset* recordset,
                                      std::string_view name);

}  // namespace nerolin::ado
