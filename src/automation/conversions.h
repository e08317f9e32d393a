#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "automation/locale.h"
// For the callers of the operators that reach them through this header.
#include "automation/operators.h"  // IWYU pragma: export
#include "nerolin/variant.h"

namespace nerolin {

// VB's conversions over Variant (its operators are in automation/operators.h).
// Every function that reads or writes text takes the locale to use,
// Locale::Current() when none is given.
// An object stands for the value of its default member (Nothing raises 91,
// an object without one raises what its DefaultValue raises). Failures raise
// AutomationError with VB's numbers: 13 type mismatch, 6 overflow, 94
// invalid use of Null; the description starts with VB's text ("Type
// mismatch") and goes on with the offending value.

// The text VB prints for a value: integers as they are; doubles with up to
// 15 significant digits ("0.3", "0.333333333333333", "1E+16", "1.5E-07")
// and the locale's decimal separator; Boolean "True" / "False"; dates as the
// locale's short date, then a space and the long time unless the time is
// midnight, a time on day 0 (serial in (-1, 1)) as the time alone; Currency
// with up to four decimals; Empty "". Raises 94 for Null, 13 for an array
// and 6 for a date outside 0100-01-01 .. 9999-12-31.
std::string CStr(const Variant& value);
// The same; a String is moved out rather than copied.
std::string CStr(Variant&& value);
std::string CStr(const Variant& value, const Locale& locale);

// The text of `"" & value`: as CStr, but Null and Empty give "".
std::string TextOf(const Variant& value);
std::string TextOf(const Variant& value, const Locale& locale);

// Text to number as VB reads it: leading and trailing blanks, the locale's
// decimal and group separators (these anywhere among the whole digits), one
// sign before or after the number, parentheses for a negative number, an
// exponent after E or D, the currency symbol before or after the digits,
// "&H" hexadecimal and "&O" octal (up to 16 bits read as an Integer, up to
// 32 as a Long: "&HFFFF" is -1). Empty is 0, Boolean True -1, a date its
// serial. Raises 13 when the text is no number, 6 when it is too large, 94
// for Null.
double CDbl(const Variant& value);
double CDbl(const Variant& value, const Locale& locale);

// Rounded half to even (2.5 -> 2, 3.5 -> 4); raise 6 outside the type's
// range. CCur keeps four decimals, reading texts exactly.
std::int16_t CInt(const Variant& value);
std::int16_t CInt(const Variant& value, const Locale& locale);
std::int32_t CLng(const Variant& value);
std::int32_t CLng(const Variant& value, const Locale& locale);
Currency CCur(const Variant& value);
Currency CCur(const Variant& value, const Locale& locale);

// Numbers are true when not 0; texts "True" / "False" (any case) or numeric
// texts. Raises 13 for other texts, 94 for Null.
bool CBool(const Variant& value);
bool CBool(const Variant& value, const Locale& locale);

// Dates from dates, numbers (as serials; 6 outside the range of dates) and
// texts as ParseDateText (automation/date_text.h) reads them: the locale's
// short date order, year first (yyyy-mm-dd[ hh:nn[:ss]], yyyy-mm-ddThh:nn:ss),
// or a time alone. Raises 13 for other texts, 94 for Null.
Date CDate(const Variant& value);
Date CDate(const Variant& value, const Locale& locale);

// True for numbers (Boolean included), Empty, and texts CDbl can read; false
// for Null, dates, arrays, other texts and objects whose default value is
// none of these.
bool IsNumeric(const Variant& value);
bool IsNumeric(const Variant& value, const Locale& locale);

// The value with an object replaced by its default member's value.
Variant Unwrap(const Variant& value);

// A truth value as If tests it: Null counts as false.
bool IsTrue(const Variant& value);

}  // namespace nerolin
