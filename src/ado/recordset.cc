#include "nerolin/recordset.h"

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
      names_(std::make_unique<const ColumnNames>(data_->columns)),
      source_(std::move(source)),
      requery_(std::move(requery)),
      position_(data_->rows.empty() ? 0 : 1) {}

Recordset::~Recordset() = default;

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
    names_ = std::make_unique<const ColumnNames>(data_->columns);
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
