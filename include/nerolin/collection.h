#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "nerolin/automation_error.h"
#include "nerolin/object.h"

namespace nerolin {

// A VB Collection: items in insertion order, positions from 1, optional
// text keys compared without regard to case.
template <class T>
class KeyedCollection {
 public:
  // Appends `item`, under `key` when one is given. Raises error 457 when the
  // key is already in use.
  void Add(T item, std::optional<std::string_view> key = std::nullopt) {
    std::string folded;
    if (key) {
      folded = MemberKey(*key);
      if (index_.contains(folded)) {
        throw AutomationError(errors::kDuplicateKey);
      }
    }
    items_.push_back(Slot{std::move(item), folded, key.has_value()});
    if (key) index_.emplace(std::move(folded), items_.size() - 1);
  }

  std::int32_t Count() const {
    return static_cast<std::int32_t>(items_.size());
  }

  // The item at `position` (from 1). Raises error 9 when out of range.
  const T& Item(std::int32_t position) const {
    return items_[Position(position)].item;
  }
  T& Item(std::int32_t position) { return items_[Position(position)].item; }

  // The item under `key`. Raises error 5 when no item has that key.
  const T& Item(std::string_view key) const { return items_[Find(key)].item; }
  T& Item(std::string_view key) { return items_[Find(key)].item; }

  // Null when no item has that key; never raises.
  const T* Lookup(std::string_view key) const {
    auto it = index_.find(MemberKey(key));
    return it == index_.end() ? nullptr : &items_[it->second].item;
  }

  bool Contains(std::string_view key) const {
    return index_.contains(MemberKey(key));
  }

  // Removes the item at `position` or under `key`, raising as Item does.
  void Remove(std::int32_t position) { Erase(Position(position)); }
  void Remove(std::string_view key) { Erase(Find(key)); }

  // Items in order, for range-for.
  auto begin() const { return ItemIterator(items_.begin()); }
  auto end() const { return ItemIterator(items_.end()); }

 private:
  struct Slot {
    T item;
    std::string key;  // upper-cased
    bool has_key;
  };
  using SlotIterator = typename std::vector<Slot>::const_iterator;

  class ItemIterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = T;
    using difference_type = std::ptrdiff_t;
    using pointer = const T*;
    using reference = const T&;

    ItemIterator() = default;
    explicit ItemIterator(SlotIterator it) : it_(it) {}
    const T& operator*() const { return it_->item; }
    ItemIterator& operator++() {
      ++it_;
      return *this;
    }
    ItemIterator operator++(int) {
      ItemIterator before = *this;
      ++it_;
      return before;
    }
    bool operator==(const ItemIterator&) const = default;

   private:
    SlotIterator it_;
  };

  std::size_t Position(std::int32_t position) const {
    if (position < 1 || position > Count()) {
      throw AutomationError(errors::kSubscriptOutOfRange);
    }
    return static_cast<std::size_t>(position - 1);
  }
  std::size_t Find(std::string_view key) const {
    auto it = index_.find(MemberKey(key));
    if (it == index_.end()) throw AutomationError(errors::kInvalidArgument);
    return it->second;
  }
  void Erase(std::size_t at) {
    if (items_[at].has_key) index_.erase(items_[at].key);
    items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(at));
    for (auto& [key, position] : index_) {
      if (position > at) --position;
    }
  }

  std::vector<Slot> items_;
  std::unordered_map<std::string, std::size_t> index_;
};

using Collection = KeyedCollection<Variant>;

}  // namespace nerolin
