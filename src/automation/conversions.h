#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "automation/locale.h"
#include "nerolin/variant.h"

namespace nerolin {

// VB's conversions and operators over Variant. Every function that reads or
// writes text takes the locale to use, Locale::Current() when none is given.
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

// `a & b`: the two texts joined; Null and Empty count as "". Null & Null is
// Null.
Variant Concat(const Variant& a, const Variant& b);
Variant Concat(const Variant& a, const Variant& b, const Locale& locale);

// `a + b`: Null if either is Null; two texts join; a number and a text add
// as numbers (13 when the text is not numeric), the text counting as a
// Double; numbers add in the wider of their types in the order Integer
// (and Boolean), Long, LongLong, Double, Currency, Date: an Integer sum that
// overflows becomes a Long, a Long sum a Double; LongLong, Currency and
// Double overflow raise 6; anything plus a date is a date (6 outside the
// range of dates); Empty + x is x (Boolean becoming Integer), Empty + Empty
// the Integer 0.
Variant Add(const Variant& a, const Variant& b);
Variant Add(const Variant& a, const Variant& b, const Locale& locale);

// Comparison as VB's `=`, `<`, `>`: numbers numerically, texts by binary
// comparison, a number and a numeric text numerically, a date and a date
// text as dates, a number below any other text, Empty as 0 or "".
// Returns -1, 0 or 1; `has_null` is set when either side is Null (the
// comparison's result is then Null and the return value is 0).
int Compare(const Variant& a, const Variant& b, bool* has_null = nullptr);
int Compare(const Variant& a, const Variant& b, const Locale& locale,
            bool* has_null);

// Whether `a = b` holds; Null on either side counts as false.
bool Equals(const Variant& a, const Variant& b);

// The value with an object replaced by its default member's value.
Variant Unwrap(const Variant& value);

// A truth value as If tests it: Null counts as false.
bool IsTrue(const Variant& value);

}  // namespace nerolin
