#include "nerolin/recordset.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "ado/column_names.h"
#include "automation/conversions.h"
#include "automation/vb_text.h"
#include "nerolin/automation_error.h"

namespace nerolin::ado {

namespace {

[[noreturn]] void Raise(std::int32_t number, std::string_view detail = {}) {
  std::string description(StandardDescription(number));
  if (!detail.empty()) {
    description += " (";
    description += detail;
    description += ")";
  }
  throw AutomationError(number, std::move(description), "ADODB.Recordset");
}

}  // namespace

// Field

Field::Field(std::weak_ptr<Recordset> recordset, std::size_t index)
    : recordset_(std::move(recordset)), index_(index) {}

std::shared_ptr<Recordset> Field::Owner() const {
  auto owner = recordset_.lock();
  if (!owner) Raise(errors::kObjectClosed);
  return owner;
}

std::shared_ptr<Recordset> Field::OwnerWithColumn() const {
  std::shared_ptr<Recordset> owner = Owner();
  if (index_ >= owner->data_->columns().size()) {
    Raise(errors::kItemNotFound, std::to_string(index_));
  }
  return owner;
}

const std::string& Field::Name() const {
  return OwnerWithColumn()->data_->columns()[index_].name;
}

DataType Field::Type() const {
  return OwnerWithColumn()->data_->columns()[index_].type;
}

Variant Field::Value() const { return OwnerWithColumn()->CurrentValue(index_); }

Variant Field::Invoke(std::string_view member, InvokeKind kind,
                      Arguments& args) {
  static const MemberTable<Field> table =
      MemberTable<Field>()
          .Method("Name", 0, 0,
                  [](Field& f, InvokeKind, Arguments&) {
                    return Variant(f.Name());
                  })
          .Method("Type", 0, 0,
                  [](Field& f, InvokeKind, Arguments&) {
                    return Variant(static_cast<std::int32_t>(f.Type()));
                  })
          .Method("Value", 0, 0,
                  [](Field& f, InvokeKind, Arguments&) { return f.Value(); });
  return table.Invoke(*this, member, kind, args);
}

// Fields

Fields::Fields(std::weak_ptr<Recordset> recordset)
    : recordset_(std::move(recordset)) {}

std::int32_t Fields::Count() const {
  auto owner = recordset_.lock();
  if (!owner) Raise(errors::kObjectClosed);
  owner->CheckOpen();
  return static_cast<std::int32_t>(owner->data_->columns().size());
}

std::shared_ptr<Field> Fields::Item(const Variant& name_or_index) const {
  auto owner = recordset_.lock();
  if (!owner) Raise(errors::kObjectClosed);
  return owner->GetField(name_or_index);
}

Variant Fields::Invoke(std::string_view member, InvokeKind kind,
                       Arguments& args) {
  static const MemberTable<Fields> table =
      MemberTable<Fields>()
          .Method("Count", 0, 0,
                  [](Fields& f, InvokeKind, Arguments&) {
                    return Variant(f.Count());
                  })
          .Method("Item", 1, 1, [](Fields& f, InvokeKind, Arguments& a) {
            return Variant(f.Item(a[0]));
          });
  return table.Invoke(*this, member, kind, args);
}

// RowSet

namespace {

[[noreturn]] void RaiseShape() {
  throw AutomationError(errors::kInvalidArgument,
                        "Every row of a recordset needs one value per column",
                        "ADODB.Recordset");
}

}  // namespace

RowSet::RowSet(std::vector<Column> columns,
               const std::vector<std::vector<Variant>>& rows) {
  RowSetBuilder builder(std::move(columns));
  for (const std::vector<Variant>& row : rows) {
    for (const Variant& value : row) builder.Add(value);
    builder.EndRow();
  }
  *this = builder.Finish();
}

Variant RowSet::Value(std::size_t row, std::size_t column) const {
  const Cell& cell = CellAt(row, column);
  switch (cell.kind) {
    case Kind::kEmpty:
      return Variant();
    case Kind::kNull:
      return Variant::Null();
    case Kind::kBoolean:
      return Variant(cell.integer != 0);
    case Kind::kInteger:
      return Variant(static_cast<std::int16_t>(cell.integer));
    case Kind::kLong:
      return Variant(static_cast<std::int32_t>(cell.integer));
    case Kind::kLongLong:
      return Variant(cell.integer);
    case Kind::kDouble:
      return Variant(cell.number);
    case Kind::kCurrency:
      return Variant(Currency{cell.integer});
    case Kind::kDate:
      return Variant(Date{cell.number});
    case Kind::kText:
      return Variant(TextOf(cell));
    case Kind::kOther:
      break;
  }
  return others_[cell.offset];
}

std::size_t RowSet::bytes_held() const {
  std::size_t cells = cells_.capacity() * sizeof(ColumnCells);
  for (const ColumnCells& column : cells_) {
    cells += column.blocks.capacity() * sizeof(std::vector<Cell>);
    for (const std::vector<Cell>& block : column.blocks) {
      cells += block.capacity() * sizeof(Cell);
    }
  }
  return cells + text_.capacity() + others_.capacity() * sizeof(Variant);
}

// RowSetBuilder

RowSetBuilder::RowSetBuilder(std::vector<Column> columns)
    : width_(columns.size()), row_(width_ + 1), above_(width_ + 1) {
  rows_.columns_ = std::move(columns);
  rows_.cells_.resize(width_);
}

// Inline (an exported member is otherwise called, not inlined): an Add is
// little more than this, and every value of every row passes here.
inline RowSet::Cell& RowSetBuilder::Next(RowSet::Kind kind) {
  RowSet::Cell& cell = row_[std::min(added_, width_)];
  ++added_;
  cell.integer = 0;
  cell.size = 0;
  cell.kind = kind;
  return cell;
}

void RowSetBuilder::AddNull() { Next(RowSet::Kind::kNull); }

void RowSetBuilder::AddBoolean(bool value) {
  Next(RowSet::Kind::kBoolean).integer = value ? 1 : 0;
}

void RowSetBuilder::AddLong(std::int32_t value) {
  Next(RowSet::Kind::kLong).integer = value;
}

void RowSetBuilder::AddLongLong(std::int64_t value) {
  Next(RowSet::Kind::kLongLong).integer = value;
}

void RowSetBuilder::AddDouble(double value) {
  Next(RowSet::Kind::kDouble).number = value;
}

void RowSetBuilder::AddCurrency(Currency value) {
  Next(RowSet::Kind::kCurrency).integer = value.scaled;
}

void RowSetBuilder::AddDate(Date value) {
  Next(RowSet::Kind::kDate).number = value.serial;
}

void RowSetBuilder::AddText(std::string_view text) {
  if (text.size() > std::numeric_limits<std::uint32_t>::max()) {
    throw AutomationError(errors::kOutOfMemory,
                          "Out of memory: a value of a recordset is a text "
                          "of 4 GB or more",
                          "ADODB.Recordset");
  }
  const auto size = static_cast<std::uint32_t>(text.size());
  std::uint64_t offset = rows_.text_.size();
  if (rows_.size_ != 0 && added_ < width_) {
    // The row above is in text_, so its text needs no bounds check.
    const RowSet::Cell& above = above_[added_];
    if (above.kind == RowSet::Kind::kText && above.size == size &&
        std::string_view(rows_.text_.data() + above.offset, size) == text) {
      offset = above.offset;
    }
  }
  if (offset == rows_.text_.size()) rows_.text_.append(text);
  RowSet::Cell& cell = Next(RowSet::Kind::kText);
  cell.offset = offset;
  cell.size = size;
}

void RowSetBuilder::Add(const Variant& value) {
  switch (value.type()) {
    case VarType::kEmpty:
      Next(RowSet::Kind::kEmpty);
      return;
    case VarType::kNull:
      AddNull();
      return;
    case VarType::kBoolean:
      AddBoolean(value.AsBoolean());
      return;
    case VarType::kInteger:
      Next(RowSet::Kind::kInteger).integer = value.AsInteger();
      return;
    case VarType::kLong:
      AddLong(value.AsLong());
      return;
    case VarType::kLongLong:
      AddLongLong(value.AsLongLong());
      return;
    case VarType::kDouble:
      AddDouble(value.AsDouble());
      return;
    case VarType::kCurrency:
      AddCurrency(value.AsCurrency());
      return;
    case VarType::kDate:
      AddDate(value.AsDate());
      return;
    case VarType::kString:
      AddText(value.AsString());
      return;
    default:
      Next(RowSet::Kind::kOther).offset = rows_.others_.size();
      rows_.others_.push_back(value);
      return;
  }
}

// Room for one more cell at the end of `blocks`; raises, leaving the cells
// as they were, when there is no memory for it.
void RowSetBuilder::MakeRoom(std::vector<std::vector<RowSet::Cell>>& blocks) {
  if (!blocks.empty() && !IsFull(blocks.back())) return;
  if (blocks.empty() || blocks.back().size() == RowSet::kBlockCells) {
    // The first block grows with its column, so that a short result keeps
    // no more room than it uses.
    std::vector<RowSet::Cell> block;
    block.reserve(blocks.empty() ? 4 : RowSet::kBlockCells);
    blocks.push_back(std::move(block));
    return;
  }
  blocks.back().reserve(std::clamp<std::size_t>(2 * blocks.back().capacity(), 4,
                                                RowSet::kBlockCells));
}

void RowSetBuilder::EndRow() {
  // The texts a dropped row added stay behind unused; a row given wrongly
  // is a caller's mistake, not a path to make cheap.
  if (std::exchange(added_, 0) != width_) RaiseShape();
  const std::size_t rows = rows_.size_;
  std::vector<RowSet::ColumnCells>& columns = rows_.cells_;
  if (rows == 0) {
    for (std::size_t column = 0; column < width_; ++column) {
      columns[column].first = row_[column];
    }
  } else {
    // Whatever needs memory first, so that a failure leaves the rows ended
    // so far as they were; then the row goes in without one.
    for (std::size_t column = 0; column < width_; ++column) {
      RowSet::ColumnCells& cells = columns[column];
      if (!cells.blocks.empty()) {
        if (IsFull(cells.blocks.back())) MakeRoom(cells.blocks);
      } else if (!SameCell(row_[column], cells.first)) {
        // The column varies from this row on: the rows above get their
        // cells, with room for this one.
        std::vector<std::vector<RowSet::Cell>> blocks;
        for (std::size_t row = 0; row < rows; ++row) {
          MakeRoom(blocks);
          blocks.back().push_back(cells.first);
        }
        MakeRoom(blocks);
        cells.blocks.swap(blocks);
      }
    }
    for (std::size_t column = 0; column < width_; ++column) {
      RowSet::ColumnCells& cells = columns[column];
      if (!cells.blocks.empty()) cells.blocks.back().push_back(row_[column]);
    }
  }
  ++rows_.size_;
  row_.swap(above_);
}

void RowSetBuilder::SetColumnType(std::size_t column, DataType type) {
  rows_.columns_[column].type = type;
}

RowSet RowSetBuilder::Finish() {
  added_ = 0;
  RowSet done = std::move(rows_);
  rows_ = RowSet();
  rows_.columns_ = done.columns_;
  rows_.cells_.resize(width_);
  return done;
}

// Recordset

std::shared_ptr<Recordset> Recordset::Create(RowSet rows, std::string source,
                                             Requery requery) {
  SharedRequery shared;
  if (requery) {
    shared = [requery = std::move(requery)] {
      return std::make_shared<const RowSet>(requery());
    };
  }
  return std::shared_ptr<Recordset>(
      new Recordset(std::make_shared<const RowSet>(std::move(rows)),
                    std::move(source), std::move(shared)));
}

std::shared_ptr<Recordset> Recordset::CreateShared(
    std::shared_ptr<const RowSet> rows, std::string source,
    SharedRequery requery) {
  if (!rows) {
    throw AutomationError(errors::kInvalidArgument,
                          "A recordset needs rows (none were given)",
                          "ADODB.Recordset");
  }
  return std::shared_ptr<Recordset>(
      new Recordset(std::move(rows), std::move(source), std::move(requery)));
}

Recordset::Recordset(std::shared_ptr<const RowSet> rows, std::string source,
                     SharedRequery requery)
    : data_(std::move(rows)),
      names_(std::make_unique<const ColumnNames>(data_->columns())),
      source_(std::move(source)),
      requery_(std::move(requery)),
      position_(data_->empty() ? 0 : 1),
      current_(data_->columns().size()),
      made_(data_->columns().size(), 0) {}

Recordset::~Recordset() = default;

void Recordset::CheckOpen() const {
  if (!open_) Raise(errors::kObjectClosed);
}

bool Recordset::Eof() const {
  CheckOpen();
  return position_ > data_->size() || data_->empty();
}

bool Recordset::Bof() const {
  CheckOpen();
  return position_ == 0;
}

std::int32_t Recordset::RecordCount() const {
  CheckOpen();
  return static_cast<std::int32_t>(data_->size());
}

const Variant& Recordset::CurrentValue(std::size_t column) const {
  CheckOpen();
  if (position_ == 0 || position_ > data_->size()) {
    Raise(errors::kBofOrEof);
  }
  if (made_[column] != row_stamp_) {
    // A text goes into the room the column's last text had, which the
    // rows of one column mostly fit.
    const RowSet::Cell& cell = data_->CellAt(position_ - 1, column);
    if (cell.kind == RowSet::Kind::kText) {
      current_[column].AssignString(data_->TextOf(cell));
    } else {
      current_[column] = data_->Value(position_ - 1, column);
    }
    made_[column] = row_stamp_;
  }
  return current_[column];
}

std::int64_t Recordset::FindColumn(std::string_view name) const {
  return names_->Find(name);
}

std::int64_t Recordset::ColumnNamedExactly(std::string_view name) const {
  return names_->FindExactly(name);
}

std::shared_ptr<Fields> Recordset::GetFields() {
  CheckOpen();
  if (!fields_object_) {
    fields_object_ = std::make_shared<Fields>(
        std::static_pointer_cast<Recordset>(shared_from_this()));
  }
  return fields_object_;
}

// The column that a name or an index names; raises as Fields.Item.
std::int64_t Recordset::IndexOf(const Variant& name_or_index) const {
  if (name_or_index.IsString()) {
    const std::int64_t index = FindColumn(name_or_index.AsString());
    if (index < 0) Raise(errors::kItemNotFound, name_or_index.AsString());
    return index;
  }
  const Variant key = Unwrap(name_or_index);
  if (key.IsString()) {
    const std::int64_t index = FindColumn(key.AsString());
    if (index < 0) Raise(errors::kItemNotFound, key.AsString());
    return index;
  }
  if (key.IsNumber()) {
    const std::int64_t index = CLng(key);
    if (index < 0 ||
        index >= static_cast<std::int64_t>(data_->columns().size())) {
      Raise(errors::kItemNotFound, std::to_string(index));
    }
    return index;
  }
  Raise(errors::kItemNotFound);
}

std::shared_ptr<Field> Recordset::GetField(const Variant& name_or_index) {
  CheckOpen();
  const std::int64_t index = IndexOf(name_or_index);
  if (field_objects_.size() != data_->columns().size()) {
    field_objects_.assign(data_->columns().size(), nullptr);
  }
  auto& field = field_objects_[static_cast<std::size_t>(index)];
  if (!field) {
    field = std::make_shared<Field>(
        std::static_pointer_cast<Recordset>(shared_from_this()),
        static_cast<std::size_t>(index));
  }
  return field;
}

// Fields.Item(...).Value without the Field object: the same checks in the
// same order.
Variant Recordset::Value(const Variant& name_or_index) {
  CheckOpen();
  return CurrentValue(static_cast<std::size_t>(IndexOf(name_or_index)));
}

const Variant& Recordset::ValueAt(std::size_t column) const {
  CheckOpen();
  if (column >= data_->columns().size()) {
    Raise(errors::kItemNotFound, std::to_string(column));
  }
  return CurrentValue(column);
}

// Every value of the current row read so far is forgotten.
void Recordset::Reposition(std::size_t position) {
  position_ = position;
  if (++row_stamp_ == 0) {
    // After 2^32 moves a stamp could match a value made long ago.
    std::fill(made_.begin(), made_.end(), 0);
    row_stamp_ = 1;
  }
}

void Recordset::MoveNext() {
  if (Eof()) Raise(errors::kBofOrEof);
  Reposition(position_ + 1);
}

void Recordset::MovePrevious() {
  if (Bof()) Raise(errors::kBofOrEof);
  Reposition(position_ - 1);
}

void Recordset::MoveFirst() {
  CheckOpen();
  if (data_->empty()) Raise(errors::kBofOrEof);
  Reposition(1);
}

void Recordset::MoveLast() {
  CheckOpen();
  if (data_->empty()) Raise(errors::kBofOrEof);
  Reposition(data_->size());
}

void Recordset::Close() {
  CheckOpen();
  open_ = false;
}

void Recordset::Open() {
  if (open_) Raise(errors::kObjectOpen);
  if (requery_) {
    std::shared_ptr<const RowSet> rows = requery_();
    if (!rows) Raise(errors::kInvalidArgument);
    // All that needs memory first: a failure leaves the recordset closed
    // over the rows it had, with their names.
    auto names = std::make_unique<const ColumnNames>(rows->columns());
    std::vector<Variant> current(rows->columns().size());
    std::vector<std::uint32_t> made(rows->columns().size(), 0);
    data_ = std::move(rows);
    names_ = std::move(names);
    field_objects_.clear();
    current_.swap(current);
    made_.swap(made);
  }
  Reposition(data_->empty() ? 0 : 1);
  open_ = true;
}

Variant Recordset::Invoke(std::string_view member, InvokeKind kind,
                          Arguments& args) {
  using R = Recordset;
  static const MemberTable<R> table =
      MemberTable<R>()
          .Method("EOF", 0, 0,
                  [](R& r, InvokeKind, Arguments&) { return Variant(r.Eof()); })
          .Method("BOF", 0, 0,
                  [](R& r, InvokeKind, Arguments&) { return Variant(r.Bof()); })
          .Method(
              "State", 0, 0,
              [](R& r, InvokeKind, Arguments&) { return Variant(r.State()); })
          .Method(
              "Source", 0, 0,
              [](R& r, InvokeKind, Arguments&) { return Variant(r.Source()); })
          .Method("RecordCount", 0, 0,
                  [](R& r, InvokeKind, Arguments&) {
                    return Variant(r.RecordCount());
                  })
          .Method("Fields", 0, 1,
                  [](R& r, InvokeKind, Arguments& a) {
                    if (a.empty()) return Variant(r.GetFields());
                    return Variant(r.GetField(a[0]));
                  })
          .Method("MoveNext", 0, 0,
                  [](R& r, InvokeKind, Arguments&) {
                    r.MoveNext();
                    return Variant();
                  })
          .Method("MovePrevious", 0, 0,
                  [](R& r, InvokeKind, Arguments&) {
                    r.MovePrevious();
                    return Variant();
                  })
          .Method("MoveFirst", 0, 0,
                  [](R& r, InvokeKind, Arguments&) {
                    r.MoveFirst();
                    return Variant();
                  })
          .Method("MoveLast", 0, 0,
                  [](R& r, InvokeKind, Arguments&) {
                    r.MoveLast();
                    return Variant();
                  })
          .Method("Close", 0, 0,
                  [](R& r, InvokeKind, Arguments&) {
                    r.Close();
                    return Variant();
                  })
          .Method("Open", 0, 0, [](R& r, InvokeKind, Arguments&) {
            r.Open();
            return Variant();
          });
  return table.Invoke(*this, member, kind, args);
}

bool RecordsetHasField(const Recordset* recordset, std::string_view name) {
  if (recordset == nullptr) return false;
  try {
    return recordset->State() == kStateOpen && recordset->FindColumn(name) >= 0;
  } catch (const AutomationError&) {
    return false;
  }
}

}  // namespace nerolin::ado
