#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "nerolin/recordset.h"
#include "nerolin/variant.h"

// Pieces that the fiscal look-ups put into the SQL text they build.
namespace nerolin::fiscal {

// `text` with every apostrophe doubled, for a value the engine writes
// between the quotes of a text literal: a name with an apostrophe is then
// looked up rather than breaking the statement.
std::string QuotedText(std::string_view text);

// Whether `text` is a plain decimal number ("12", "-3.5", "1e3") that can
// stand unquoted in a statement; no blanks, separators or currency signs.
bool IsPlainNumber(std::string_view text);

// `text` as a value in a statement the engine writes itself: a plain decimal
// number as written, anything else as a text literal with every apostrophe
// doubled, so that a row's value never adds SQL of its own.
std::string SqlLiteral(std::string_view text);

// The value of the current row's field `field`. Raises 91 when there is no
// recordset, and what the recordset raises (3265 when the row has no such
// field, 3021 at BOF or EOF).
Variant RowValue(const std::shared_ptr<ado::Recordset>& recordset,
                 const Variant& field);
// Its text, as it goes into a statement: Null and Empty give "".
std::string RowText(const std::shared_ptr<ado::Recordset>& recordset,
                    std::string_view field);

}  // namespace nerolin::fiscal
