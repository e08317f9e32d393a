#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "nerolin/recordset.h"

namespace nerolin::ado {

// A recordset's columns by name. Templates ask for columns by name all the
// time, mostly spelled as the rows spell them: those names are found in an
// open-addressing table over their bytes, without upper-casing; any other
// spelling through the upper-cased names.
class ColumnNames {
 public:
  // REQUIRES: `columns` outlive this index (they are the recordset's).
  explicit ColumnNames(const std::vector<Column>& columns);

  // The first column whose name equals `name` without regard to case, or -1.
  std::int64_t Find(std::string_view name) const;
  // -1 when no column is named exactly `name`; else what Find gives for it.
  std::int64_t FindExactly(std::string_view name) const;

 private:
  // Up to sixteen bytes of a name, which for a name that long are all of
  // it: the first and the last eight bytes, four bytes, or single bytes.
  struct Bytes {
    std::uint64_t head = 0;
    std::uint64_t tail = 0;
    friend bool operator==(const Bytes&, const Bytes&) = default;
  };
  struct Slot {
    Bytes bytes;
    std::int64_t column = -1;
    std::string_view name;
  };
  static Bytes BytesOf(std::string_view name);
  static std::uint64_t Hash(const Bytes& bytes, std::size_t size);

  // Upper-cased column name -> first column of that name.
  std::unordered_map<std::string, std::size_t> upper_;
  // Each column name as written -> what upper_ gives for it; at most half
  // the slots are taken.
  std::vector<Slot> slots_;
  std::size_t mask_ = 0;
};

}  // namespace nerolin::ado
