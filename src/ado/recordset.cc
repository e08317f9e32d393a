#include "nerolin/recordset.h"

#include <cstring>

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

const std::string& Field::Name() const {
  return Owner()->data_->columns[index_].name;
}

DataType Field::Type() const { return Owner()->data_->columns[index_].type; }

Variant Field::Value() const { return Owner()->CurrentValue(index_); }

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
  return static_cast<std::int32_t>(owner->data_->columns.size());
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

// Recordset

namespace {

void CheckShape(const RowSet& rows) {
  for (const Row& row : rows.rows) {
    if (row.size() != rows.columns.size()) {
      throw AutomationError(errors::kInvalidArgument,
                            "Every row of a recordset needs one value per "
                            "column",
                            "ADODB.Recordset");
    }
  }
}

}  // namespace

std::shared_ptr<Recordset> Recordset::Create(RowSet rows, std::string source,
                                             Requery requery) {
  CheckShape(rows);
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
  CheckShape(*rows);
  return std::shared_ptr<Recordset>(
      new Recordset(std::move(rows), std::move(source), std::move(requery)));
}

Recordset::Recordset(std::shared_ptr<const RowSet> rows, std::string source,
                     SharedRequery requery)
    : data_(std::move(rows)),
      source_(std::move(source)),
      requery_(std::move(requery)),
      position_(data_->rows.empty() ? 0 : 1) {
  IndexColumns();
}

Recordset::ExactNames::Bytes Recordset::ExactNames::BytesOf(
    std::string_view name) {
  // Column names are short: this takes the same few steps whatever their
  // length, without a call to copy the bytes, and for a name of up to
  // sixteen bytes covers every byte.
  const auto* bytes = reinterpret_cast<const unsigned char*>(name.data());
  const std::size_t size = name.size();
  Bytes result;
  if (size >= 8) {
    std::memcpy(&result.head, bytes, 8);
    std::memcpy(&result.tail, bytes + size - 8, 8);
  } else if (size >= 4) {
    std::uint32_t first = 0;
    std::uint32_t last = 0;
    std::memcpy(&first, bytes, 4);
    std::memcpy(&last, bytes + size - 4, 4);
    result.head = first;
    result.tail = last;
  } else if (size > 0) {
    result.head = std::uint64_t{bytes[0]} |
                  (std::uint64_t{bytes[size / 2]} << 8) |
                  (std::uint64_t{bytes[size - 1]} << 16);
  }
  return result;
}

std::uint64_t Recordset::ExactNames::Hash(const Bytes& bytes,
                                          std::size_t size) {
  std::uint64_t hash = (bytes.head * 0x9E3779B97F4A7C15u) ^
                       (bytes.tail * 0xC2B2AE3D27D4EB4Fu) ^ size;
  hash ^= hash >> 29;
  return hash;
}

void Recordset::ExactNames::Build(
    const std::vector<Column>& columns,
    const std::vector<std::size_t>& columns_found) {
  std::size_t size = 8;
  while (size < columns.size() * 2) size *= 2;
  slots_.assign(size, Slot{});
  mask_ = size - 1;
  for (std::size_t i = 0; i < columns.size(); ++i) {
    const std::string_view name = columns[i].name;
    const Bytes bytes = BytesOf(name);
    // At most half the slots are taken, so a free one comes.
    for (std::size_t at = Hash(bytes, name.size()) & mask_;;
         at = (at + 1) & mask_) {
      Slot& slot = slots_[at];
      if (slot.column < 0) {
        slot = Slot{bytes, static_cast<std::int64_t>(columns_found[i]), name};
        break;
      }
      if (slot.bytes == bytes && slot.name == name) break;  // the first stays
    }
  }
}

std::int64_t Recordset::ExactNames::Find(std::string_view name) const {
  if (slots_.empty()) return -1;
  constexpr std::size_t kCoveredSize = 16;
  const Bytes bytes = BytesOf(name);
  // Ends at a free slot; at most half the slots are taken.
  for (std::size_t at = Hash(bytes, name.size()) & mask_;;
       at = (at + 1) & mask_) {
    const Slot& slot = slots_[at];
    if (slot.column < 0) return -1;
    if (slot.bytes == bytes && slot.name.size() == name.size() &&
        (name.size() <= kCoveredSize || slot.name == name)) {
      return slot.column;
    }
  }
}

void Recordset::IndexColumns() {
  column_index_.clear();
  column_index_.reserve(data_->columns.size());
  for (std::size_t i = 0; i < data_->columns.size(); ++i) {
    column_index_.emplace(UCase(data_->columns[i].name), i);
  }
  std::vector<std::size_t> columns_found;
  columns_found.reserve(data_->columns.size());
  for (const Column& column : data_->columns) {
    columns_found.push_back(column_index_.find(UCase(column.name))->second);
  }
  exact_index_.Build(data_->columns, columns_found);
}

void Recordset::CheckOpen() const {
  if (!open_) Raise(errors::kObjectClosed);
}

bool Recordset::Eof() const {
  CheckOpen();
  return position_ > data_->rows.size() || data_->rows.empty();
}

bool Recordset::Bof() const {
  CheckOpen();
  return position_ == 0;
}

std::int32_t Recordset::RecordCount() const {
  CheckOpen();
  return static_cast<std::int32_t>(data_->rows.size());
}

const Variant& Recordset::CurrentValue(std::size_t column) const {
  CheckOpen();
  if (position_ == 0 || position_ > data_->rows.size()) {
    Raise(errors::kBofOrEof);
  }
  return data_->rows[position_ - 1][column];
}

std::int64_t Recordset::FindColumn(std::string_view name) const {
  if (const std::int64_t exact = exact_index_.Find(name); exact >= 0) {
    return exact;
  }
  const auto found = column_index_.find(UCase(name));
  return found == column_index_.end()
             ? -1
             : static_cast<std::int64_t>(found->second);
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
        index >= static_cast<std::int64_t>(data_->columns.size())) {
      Raise(errors::kItemNotFound, std::to_string(index));
    }
    return index;
  }
  Raise(errors::kItemNotFound);
}

std::shared_ptr<Field> Recordset::GetField(const Variant& name_or_index) {
  CheckOpen();
  const std::int64_t index = IndexOf(name_or_index);
  if (field_objects_.size() != data_->columns.size()) {
    field_objects_.assign(data_->columns.size(), nullptr);
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
  if (column >= data_->columns.size()) {
    Raise(errors::kItemNotFound, std::to_string(column));
  }
  return CurrentValue(column);
}

void Recordset::MoveNext() {
  if (Eof()) Raise(errors::kBofOrEof);
  ++position_;
}

void Recordset::MovePrevious() {
  if (Bof()) Raise(errors::kBofOrEof);
  --position_;
}

void Recordset::MoveFirst() {
  CheckOpen();
  if (data_->rows.empty()) Raise(errors::kBofOrEof);
  position_ = 1;
}

void Recordset::MoveLast() {
  CheckOpen();
  if (data_->rows.empty()) Raise(errors::kBofOrEof);
  position_ = data_->rows.size();
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
    for (const Row& row : rows->rows) {
      if (row.size() != rows->columns.size()) Raise(errors::kInvalidArgument);
    }
    data_ = std::move(rows);
    IndexColumns();
    field_objects_.clear();
  }
  position_ = data_->rows.empty() ? 0 : 1;
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
