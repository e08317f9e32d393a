#include "nerolin/sum_fields.h"

#include <string>
#include <utility>

#include "automation/conversions.h"
#include "nerolin/automation_error.h"
#include "template/keyed_items.h"

namespace nerolin {

namespace {

constexpr std::string_view kCollectionName = "SumFields";

bool IsPositionType(const Variant& index) {
  return index.IsNumber() || index.type() == VarType::kDate;
}

}  // namespace

// SumField

void SumField::SetTotal(const Variant& value) {
  Variant plain = Unwrap(value);
  // A sum that met a Null value starts again from zero rather than keeping
  // a Null that the next addition would carry on.
  total_ = plain.IsNull() ? std::string("0") : TextOf(plain);
}

Variant SumField::Invoke(std::string_view member, InvokeKind kind,
                         Arguments& args) {
  static const MemberTable<SumField> table =
      MemberTable<SumField>()
          .Property(
              "Key",
              [](SumField& s, InvokeKind, Arguments&) {
                return Variant(s.Key());
              },
              [](SumField& s, InvokeKind, Arguments& a) {
                s.SetKey(CStr(a[0]));
                return Variant();
              })
          .Property(
              "Name",
              [](SumField& s, InvokeKind, Arguments&) {
                return Variant(s.Name());
              },
              [](SumField& s, InvokeKind, Arguments& a) {
                s.SetName(CStr(a[0]));
                return Variant();
              })
          .Property(
              "Total",
              [](SumField& s, InvokeKind, Arguments&) { return s.Total(); },
              [](SumField& s, InvokeKind, Arguments& a) {
                s.SetTotal(a[0]);
                return Variant();
              });
  return table.Invoke(*this, member, kind, args);
}

// SumFields

std::shared_ptr<SumField> SumFields::Add(std::string key,
                                         std::string_view s_key) {
  auto total = std::make_shared<SumField>();
  total->SetKey(std::move(key));
  total->SetTotal(Variant(std::int32_t{0}));
  tmpl::AddItem(items_, total, s_key, kCollectionName);
  return total;
}

std::shared_ptr<SumField> SumFields::Item(std::string_view key) const {
  return tmpl::ItemByKey(items_, key);
}

std::shared_ptr<SumField> SumFields::Item(std::int32_t position) const {
  return tmpl::ItemAt(items_, position);
}

std::shared_ptr<SumField> SumFields::ItemByVariant(
    const Variant& index_or_key) const {
  // A lookup that cannot succeed, for whatever reason, gives no total.
  try {
    Variant index = Unwrap(index_or_key);
    if (index.IsString()) return Item(std::string_view(index.AsString()));
    if (IsPositionType(index)) return Item(CLng(index));
  } catch (const AutomationError&) {
  }
  return nullptr;
}

void SumFields::Remove(std::string_view key) {
  tmpl::RemoveByKey(items_, key, kCollectionName);
}

void SumFields::Remove(std::int32_t position) {
  tmpl::RemoveAt(items_, position, kCollectionName);
}

void SumFields::RemoveByVariant(const Variant& index_or_key) {
  Variant index = Unwrap(index_or_key);
  if (index.IsString()) return Remove(std::string_view(index.AsString()));
  if (IsPositionType(index)) return Remove(CLng(index));
  tmpl::RaiseWithDetail(
      errors::kInvalidArgument,
      std::string("SumFields.Remove needs a key or a position, not ") +
          (index.IsNull()    ? "Null"
           : index.IsEmpty() ? "Empty"
                             : "an array"));
}

VariantArray SumFields::NewEnum() const {
  VariantArray items;
  items.reserve(static_cast<std::size_t>(Count()));
  for (const std::shared_ptr<SumField>& total : items_) {
    items.emplace_back(total);
  }
  return items;
}

Variant SumFields::DefaultValue() {
  throw AutomationError(
      errors::kWrongArgumentCount,
      std::string(StandardDescription(errors::kWrongArgumentCount)) +
          ": the default member SumFields.Item needs an index",
      std::string(tmpl::kComponentSource));
}

Variant SumFields::Invoke(std::string_view member, InvokeKind kind,
                          Arguments& args) {
  static const MemberTable<SumFields> table =
      MemberTable<SumFields>()
          .Method("Add", 1, 2,
                  [](SumFields& s, InvokeKind, Arguments& a) {
                    std::string s_key = a.size() > 1 ? CStr(a[1]) : "";
                    return Variant(s.Add(CStr(a[0]), s_key));
                  })
          .Method("Item", 1, 1,
                  [](SumFields& s, InvokeKind, Arguments& a) {
                    return Variant(s.ItemByVariant(a[0]));
                  })
          .Method("Count", 0, 0,
                  [](SumFields& s, InvokeKind, Arguments&) {
                    return Variant(s.Count());
                  })
          .Method("Remove", 1, 1,
                  [](SumFields& s, InvokeKind, Arguments& a) {
                    s.RemoveByVariant(a[0]);
                    return Variant();
                  })
          .Method("NewEnum", 0, 0, [](SumFields& s, InvokeKind, Arguments&) {
            return Variant(s.NewEnum());
          });
  return table.Invoke(*this, member, kind, args);
}

}  // namespace nerolin
