#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "nerolin/collection.h"
#include "nerolin/export.h"
#include "nerolin/object.h"
#include "nerolin/variant.h"

namespace nerolin {

// One running total of a report group: the column it sums (`Name`) and the
// amount so far (`Total`). Creatable by a host as
// "NerolinHTMLReport.SumField".
//
// Members by name: Key, Name (texts), Total (a variant holding text), all
// read/write properties. The class has no default member.
class NEROLIN_EXPORT SumField : public Object {
 public:
  const std::string& Key() const { return key_; }
  void SetKey(std::string key) { key_ = std::move(key); }

  const std::string& Name() const { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }

  // The total is kept as text. Writing stores the value's text form: Null
  // (also an object whose default value is Null) is stored as "0", Empty as
  // "", numbers as VB prints them in the current locale. Raises what the
  // conversion raises (13 for an array). Reading gives that text as a
  // String variant.
  void SetTotal(const Variant& value);
  Variant Total() const { return Variant(total_); }
  const std::string& TotalText() const { return total_; }

  std::string_view TypeName() const override { return "SumField"; }
  Variant Invoke(std::string_view member, InvokeKind kind,
                 Arguments& args) override;

 private:
  std::string key_;
  std::string name_;
  std::string total_;
};

// The running totals of one report group, in the order they were added,
// optionally under text keys compared without regard to case. Creatable by
// a host as "NerolinHTMLReport.SumFields".
//
// Members by name: Add(Key [, sKey]), Item(vntIndexKey), Count,
// Remove(vntIndexKey) and NewEnum, which gives a Variant array of the items
// in order (there is no enumerator object; a host walks the array). Item is
// the class's default member, but it needs an argument, so DefaultValue,
// which has none, raises 450; call Item by name instead.
class NEROLIN_EXPORT SumFields : public Object {
 public:
  // A new total with `key` as its Key and Total "0", appended under the
  // collection key `s_key` when that is not empty, otherwise without a key.
  // Raises 457 when `s_key` is already in use.
  std::shared_ptr<SumField> Add(std::string key, std::string_view s_key = {});

  // The total under the key `key`, or null when there is none.
  std::shared_ptr<SumField> Item(std::string_view key) const;
  // The total at `position` (from 1), or null when out of range.
  std::shared_ptr<SumField> Item(std::int32_t position) const;
  // A String index is a key, a number (or Boolean or date) a position
  // rounded as CLng rounds; an object stands for its default value. Gives
  // null for a missing key, a position out of range and any other index;
  // never raises. This is Item as a host calls it by name.
  std::shared_ptr<SumField> ItemByVariant(const Variant& index_or_key) const;

  std::int32_t Count() const { return items_.Count(); }

  // Removes the total under `key` or at `position` (from 1). Raises 5 when
  // there is none, or when `index_or_key` is neither a text nor a number.
  void Remove(std::string_view key);
  void Remove(std::int32_t position);
  void RemoveByVariant(const Variant& index_or_key);

  // The totals in order, for range-for.
  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

  // The totals in order, as NewEnum gives them to a host.
  VariantArray NewEnum() const;

  std::string_view TypeName() const override { return "SumFields"; }
  Variant Invoke(std::string_view member, InvokeKind kind,
                 Arguments& args) override;
  // Raises 450: the default member Item needs an index.
  Variant DefaultValue() override;

 private:
  KeyedCollection<std::shared_ptr<SumField>> items_;
};

}  // namespace nerolin
