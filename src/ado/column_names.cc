#include "ado/column_names.h"

#include <cstring>

#include "automation/vb_text.h"

namespace nerolin::ado {

ColumnNames::ColumnNames(const std::vector<Column>& columns) {
  upper_.reserve(columns.size());
  for (std::size_t i = 0; i < columns.size(); ++i) {
    upper_.emplace(UCase(columns[i].name), i);  // the first stays
  }
  std::size_t size = 8;
  while (size < columns.size() * 2) size *= 2;
  slots_.assign(size, Slot{});
  mask_ = size - 1;
  for (const Column& column : columns) {
    const std::string_view name = column.name;
    const Bytes bytes = BytesOf(name);
    // At most half the slots are taken, so a free one comes.
    for (std::size_t at = Hash(bytes, name.size()) & mask_;;
         at = (at + 1) & mask_) {
      Slot& slot = slots_[at];
      if (slot.column < 0) {
        slot = Slot{bytes, static_cast<std::int64_t>(upper_.at(UCase(name))),
                    name};
        break;
      }
      if (slot.bytes == bytes && slot.name == name) break;  // the first stays
    }
  }
}

ColumnNames::Bytes ColumnNames::BytesOf(std::string_view name) {
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

std::uint64_t ColumnNames::Hash(const Bytes& bytes, std::size_t size) {
  std::uint64_t hash = (bytes.head * 0x9E3779B97F4A7C15u) ^
                       (bytes.tail * 0xC2B2AE3D27D4EB4Fu) ^ size;
  hash ^= hash >> 29;
  return hash;
}

std::int64_t ColumnNames::FindExactly(std::string_view name) const {
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

std::int64_t ColumnNames::Find(std::string_view name) const {
  if (const std::int64_t exact = FindExactly(name); exact >= 0) return exact;
  const auto found = upper_.find(UCase(name));
  return found == upper_.end() ? -1 : static_cast<std::int64_t>(found->second);
}

}  // namespace nerolin::ado
