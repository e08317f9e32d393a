#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "nerolin/automation_error.h"
#include "nerolin/collection.h"

namespace nerolin::tmpl {

// What the template model's collections (Sections, SumFields) share: a
// lookup that gives null instead of failing, and insertions and removals
// whose errors name the collection and the key.

// The source of the errors the template model raises.
inline constexpr std::string_view kComponentSource = "NerolinHTMLReport";

template <class T>
using ItemCollection = KeyedCollection<std::shared_ptr<T>>;

// Raises `number` with its standard description followed by `detail`.
[[noreturn]] inline void RaiseWithDetail(std::int32_t number,
                                         std::string_view detail) {
  std::string description(StandardDescription(number));
  description += ": ";
  description += detail;
  throw AutomationError(number, std::move(description),
                        std::string(kComponentSource));
}

template <class T>
std::shared_ptr<T> ItemByKey(const ItemCollection<T>& items,
                             std::string_view key) {
  const std::shared_ptr<T>* found = items.Lookup(key);
  return found ? *found : nullptr;
}

template <class T>
std::shared_ptr<T> ItemAt(const ItemCollection<T>& items,
                          std::int32_t position) {
  if (position < 1 || position > items.Count()) return nullptr;
  return items.Item(position);
}

// Appends `item` under `key`, or without a key when `key` is empty.
template <class T>
void AddItem(ItemCollection<T>& items, std::shared_ptr<T> item,
             std::string_view key, std::string_view collection) {
  if (key.empty()) {
    items.Add(std::move(item));
    return;
  }
  if (items.Contains(key)) {
    RaiseWithDetail(errors::kDuplicateKey, std::string(collection) +
                                               " already holds an item "
                                               "under the key \"" +
                                               std::string(key) + "\"");
  }
  items.Add(std::move(item), key);
}

template <class T>
void RemoveByKey(ItemCollection<T>& items, std::string_view key,
                 std::string_view collection) {
  if (!items.Contains(key)) {
    RaiseWithDetail(errors::kInvalidArgument, std::string(collection) +
                                                  " has no item under the "
                                                  "key \"" +
                                                  std::string(key) + "\"");
  }
  items.Remove(key);
}

template <class T>
void RemoveAt(ItemCollection<T>& items, std::int32_t position,
              std::string_view collection) {
  if (position < 1 || position > items.Count()) {
    RaiseWithDetail(errors::kInvalidArgument,
                    std::string(collection) +
                        " has no item at "
                        "position " +
                        std::to_string(position) + " (it holds " +
                        std::to_string(items.Count()) + ")");
  }
  items.Remove(position);
}

}  // namespace nerolin::tmpl
