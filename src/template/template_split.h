#pragma once

#include <string>
#include <string_view>

#include "nerolin/automation_error.h"
#include "template/sections.h"

namespace nerolin::tmpl {

// The text between the first occurrence of `start` and the first occurrence
// of `end` in `text`, both looked for without regard to case and each from
// the beginning of the text; the result keeps the case of `text`. Empty
// when either marker is missing. Raises 5 when the end marker begins before
// the start marker ends.
std::string ExtractBetween(std::string_view text, std::string_view start,
                           std::string_view end);

// What the split does with a group header or footer block whose text comes
// out empty (a tag with a doubled space or a space before ">", or a block
// without its closing tag): the search for the next tag of that kind
// starts at the text's length and so has no place to start.
enum class OnEmptyGroupText {
  // Raise EmptyGroupTextError.
  kFail,
  // Look for the next tag after the block's closing tag ("</GROUPH name>" or
  // "</GROUPF name>") when the template has one; otherwise treat the block
  // as the last of its kind.
  kContinueAfterClosingTag,
};

// Error 5 for an empty group text under OnEmptyGroupText::kFail, a type of
// its own so that a caller can tell it from the split's other failures.
class EmptyGroupTextError : public AutomationError {
 public:
  explicit EmptyGroupTextError(std::string description);
};

struct SplitResult {
  // The report section, the group sections in the order of their header
  // tags, the detail section, then the groups that have only a footer, in
  // the order of their footer tags.
  Sections sections;
  // True when a group text holds a "[SUM(" or "[FORMAT(SUM(" placeholder.
  bool sums_present = false;
};

// Splits a template into its sections. The report section ("Report", type
// 1) holds the text before the first block and the text after the first
// occurrence of the last block's closing tag; each group written as
// <GROUPH name field>...</GROUPH name> and <GROUPF name field>...</GROUPF
// name> is one section (type 2) under its name; <DETAIL>...</DETAIL> is the
// section "DETAIL" (type 3). Text between blocks belongs to no section. The
// sums of every group text are registered, with Total "0", in the group's
// SumFields under their column names.
//
// Raises 5 for a group tag not written in upper case, without a space after
// its name or without ">", for a sum placeholder without ")", and for
// markers in the wrong order; EmptyGroupTextError (5) for an empty group
// text under kFail; 457 for a group named DETAIL beside a detail block.
// Work is linear in the length of an ordinary template, and every loop
// moves forward, so no input makes the split run without end.
SplitResult SplitTemplate(std::string_view text,
                          OnEmptyGroupText policy = OnEmptyGroupText::kFail);

}  // namespace nerolin::tmpl
