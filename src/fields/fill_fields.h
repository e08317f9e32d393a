#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "fields/placeholder_value.h"
#include "nerolin/recordset.h"
#include "nerolin/variant.h"

namespace nerolin::fields {

// Fills one block of template text for the current row of `recordset`:
// every placeholder from a "[" to the next "]" is worked out and all its
// occurrences replaced by its value, one placeholder after another, always
// the first "[" left in the text, so that a value which brings in brackets
// is worked out in turn. Each placeholder's value is PlaceholderValue's.
//
// A placeholder whose evaluation fails is replaced by "??name??". A "["
// without a "]" after it shows "Missing '[' !" through the message sink and
// gives Empty. A "]" before the first "[" is plain text. Otherwise the
// result is the filled text (a String), which `block` also holds. Never
// raises.
Variant FillFields(const std::shared_ptr<ComponentState>& state,
                   std::string& block,
                   const std::shared_ptr<ado::Recordset>& recordset,
                   const tmpl::Section* section);

// The same fill writing onto the end of a report: what
// `out += TextOf(FillFields(state, copy, recordset, section))` gives for a
// copy of `block`; nothing is added when the block has a "[" without a "]"
// after it. Raises only what the message sink raises, leaving `out` as it
// was.
void FillFields(std::string& out, const std::shared_ptr<ComponentState>& state,
                std::string_view block,
                const std::shared_ptr<ado::Recordset>& recordset,
                const tmpl::Section* section);

// A block of template text made ready to be filled row after row, as
// FillFields fills it: its placeholders are found and read once.
class BlockFiller {
 public:
  explicit BlockFiller(std::string_view block);

  // What FillFields(out, state, block, recordset, section) does.
  void FillOnto(std::string& out, const std::shared_ptr<ComponentState>& state,
                const std::shared_ptr<ado::Recordset>& recordset,
                const tmpl::Section* section);

  // Adds the filled block to `out`; false, having added the block as far
  // as it was filled, after the "Missing '[' !" stop.
  bool Fill(std::string& out, const std::shared_ptr<ComponentState>& state,
            const std::shared_ptr<ado::Recordset>& recordset,
            const tmpl::Section* section);

 private:
  struct Placeholder {
    std::size_t at;  // in block_
    std::size_t size;
    PlaceholderForm form;
  };
  // The text before a placeholder, then the placeholder.
  struct Piece {
    std::size_t text_at;
    std::size_t text_size;
    std::size_t placeholder;  // in placeholders_
  };

  std::string block_;
  // False when the block must be filled by the rule on every row.
  bool planned_ = false;
  std::vector<Placeholder> placeholders_;  // each text once, in block order
  std::vector<Piece> pieces_;
  std::size_t tail_at_ = 0;  // the text after the last placeholder
  // Where each placeholder's value stands in the text being filled.
  std::vector<std::pair<std::size_t, std::size_t>> written_;
};

}  // namespace nerolin::fields
