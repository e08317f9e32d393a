#pragma once

#include <memory>
#include <string>
#include <string_view>

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

}  // namespace nerolin::fields
