#pragma once

#include <cstddef>
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

// The rows of a recordset, held compactly: one typed cell per value (Null,
// Boolean, the integers, Double, Currency, Date, text), every text in one
// buffer shared by all the rows, and a Variant made only when a value is
// read. Values of other types (Empty, objects, arrays) are held as they are.
// Made by RowSetBuilder and never changed afterwards, so recordsets and a
// cache of answers may share one.
class NEROLIN_EXPORT RowSet {
 public:
  // No columns and no rows.
  RowSet() = default;
  // The rows `rows` over `columns`, through a RowSetBuilder: for tables
  // written out by hand. Raises 5 unless each row holds one value per
  // column.
  RowSet(std::vector<Column> columns,
         const std::vector<std::vector<Variant>>& rows);

  const std::vector<Column>& columns() const { return columns_; }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  // The value in row `row` of column `column`, both from 0.
  // REQUIRES: row < size(), column < columns().size().
  Variant Value(std::size_t row, std::size_t column) const;
  // The bytes the cells and texts take (what the rows cost in memory).
  std::size_t bytes_held() const;

 private:
  friend class Recordset;
  friend class RowSetBuilder;
  enum class Kind : std::uint8_t {
    kEmpty,
    kNull,
    kBoolean,
    kInteger,
    kLong,
    kLongLong,
    kDouble,
    kCurrency,
    kDate,
    kText,
    kOther,  // an index into others_
  };
  struct Cell {
    // kBoolean, the integers, kCurrency (scaled): integer; kDouble, kDate:
    // number; kText: the offset into text_; kOther: the index in others_.
    union {
      std::int64_t integer;
      double number;
      std::uint64_t offset;
    };
    std::uint32_t size;  // of a text
    Kind kind;
  };

  // One column's cells. While every row holds the first row's cell (the
  // header fields of a joined print view), that one cell; from the first
  // row that differs, each row's cell, in blocks that are never moved once
  // made: a growing vector of them would copy every cell several times
  // over and touch twice the memory.
  struct ColumnCells {
    Cell first;
    std::vector<std::vector<Cell>> blocks;  // empty while one cell does
  };
  static constexpr std::size_t kBlockCells = 1024;

  const Cell& CellAt(std::size_t row, std::size_t column) const {
    const ColumnCells& cells = cells_[column];
    if (cells.blocks.empty()) return cells.first;
    return cells.blocks[row / kBlockCells][row % kBlockCells];
  }
  std::string_view TextOf(const Cell& cell) const {
    return std::string_view(text_).substr(cell.offset, cell.size);
  }

  std::vector<Column> columns_;
  std::vector<ColumnCells> cells_;  // one per column
  std::string text_;
  std::vector<Variant> others_;
  std::size_t size_ = 0;
};

// Makes a RowSet value by value, row by row: each Add appends the next
// value of the row being made, EndRow closes it. No allocation per value;
// a text equal to the one above it in the same column is not stored again
// (the header columns of a joined print view repeat on every line).
class NEROLIN_EXPORT RowSetBuilder {
 public:
  explicit RowSetBuilder(std::vector<Column> columns);

  void AddNull();
  void AddBoolean(bool value);
  void AddLong(std::int32_t value);
  void AddLongLong(std::int64_t value);
  void AddDouble(double value);
  void AddCurrency(Currency value);
  void AddDate(Date value);
  // Raises 7 for a text of 4 GB or more.
  void AddText(std::string_view text);
  // Any value, held by its type as the members above hold it.
  void Add(const Variant& value);
  // Raises 5 unless the row holds one value per column; the row is then
  // dropped and the builder stays usable.
  void EndRow();
  // Changes the type column `column` reports (a column whose type follows
  // its values). REQUIRES: column < the number of columns.
  void SetColumnType(std::size_t column, DataType type);

  std::size_t rows() const { return rows_.size_; }
  // The rows ended so far; the builder is left without rows.
  RowSet Finish();

 private:
  RowSet::Cell& Next(RowSet::Kind kind);
  static void MakeRoom(std::vector<std::vector<RowSet::Cell>>& blocks);
  static bool IsFull(const std::vector<RowSet::Cell>& block) {
    return block.size() == block.capacity();
  }
  // The same value, a text at the same place.
  static bool SameCell(const RowSet::Cell& a, const RowSet::Cell& b) {
    return a.kind == b.kind && a.integer == b.integer && a.size == b.size;
  }

  RowSet rows_;
  std::size_t width_;
  // The row being made, with one cell more that takes the values past the
  // width (EndRow then drops the row); `added_` counts its values. A row
  // joins rows_ whole at EndRow.
  std::vector<RowSet::Cell> row_;
  std::size_t added_ = 0;
  // The last row ended, where a text meets the one above it.
  std::vector<RowSet::Cell> above_;
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
  // The owner, which raises 3265 when it was opened again with too few
  // columns to have this one.
  std::shared_ptr<Recordset> OwnerWithColumn() const;

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
  // when there is none).
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
  const std::vector<Column>& Columns() const { return data_->columns(); }

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
  void Reposition(std::size_t position);
  std::int64_t IndexOf(const Variant& name_or_index) const;

  std::shared_ptr<const RowSet> data_;
  // Over data_'s columns.
  std::unique_ptr<const ColumnNames> names_;
  std::string source_;
  SharedRequery requery_;
  bool open_ = true;
  // 0 is BOF, rows.size() + 1 is EOF; row i is at position i + 1.
  std::size_t position_ = 0;
  // The values of the current row read so far: column c's is made when
  // made_[c] equals row_stamp_, which every move changes.
  mutable std::vector<Variant> current_;
  mutable std::vector<std::uint32_t> made_;
  std::uint32_t row_stamp_ = 1;
  std::vector<std::shared_ptr<Field>> field_objects_;
  std::shared_ptr<Fields> fields_object_;
};

// True when `recordset` has a field named `name` (without regard to case);
// false for a closed or missing recordset and on any failure.
NEROLIN_EXPORT bool RecordsetHasField(const Recordset* recordset,
                                      std::string_view name);

}  // namespace nerolin::ado
