#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "automation/locale.h"
#include "nerolin/variant.h"

namespace nerolin {

// `value` written with `pattern` in the OLE Automation format language, as
// VB's Format function writes it (doc/format.md describes the language).
//
// `pattern` is a named format (General Number, Currency, Fixed, Standard,
// Percent, Scientific, Yes/No, True/False, On/Off, General Date, Long Date,
// Medium Date, Short Date, Long Time, Medium Time, Short Time; any case) or a
// user-defined number, date or text pattern of up to four sections separated
// by ";". An empty pattern gives TextOf(value). Numbers are rounded half away
// from zero on their decimal digits (up to 15 significant digits of a
// Double), so Format(2.675, "0.00") is "2.68".
//
// A numeric text is formatted as its number, a date under a number pattern
// as its serial, a number under a date pattern as the date of that serial.
// A text a pattern cannot read (a non-numeric text under a number pattern)
// comes back as it is. Null gives the fourth number section, the second text
// section, or "". An object stands for its default value.
//
// Raises 6 when a date pattern meets a value outside 0100-01-01 ..
// 9999-12-31, 13 for an array, and what the object's default value raises.
std::string Format(const Variant& value, std::string_view pattern,
                   const Locale& locale);
std::string Format(const Variant& value, std::string_view pattern);

// Whether `pattern` is made of digit placeholders, grouping and the decimal
// point alone ("#,##0.00", "0.000").
bool IsDigitPattern(std::string_view pattern);

// Whether Format(value, pattern) is Format(Variant(TextOf(value)), pattern),
// so that whoever holds a number need not make its text to format it: a
// digit pattern, and a number whose text keeps all its digits when read
// back (a Double's 15, an integer or a Currency below 10^15 in magnitude).
bool FormatsLikeItsText(const Variant& value, std::string_view pattern);

// What makes `pattern` print other than it reads: a "\"" literal that is
// never closed (the rest of the pattern is printed as text) or a "\" with
// nothing after it. Nothing for a pattern that reads as written, a named
// format included. Format itself takes any pattern.
std::optional<std::string> FormatPatternProblem(std::string_view pattern);

}  // namespace nerolin
