#pragma once

#include "automation/locale.h"
#include "nerolin/variant.h"

namespace nerolin {

// VB's operators over Variant. Each takes the locale to read and write
// texts with, Locale::Current() when none is given. An object stands for the
// value of its default member. Failures raise AutomationError with VB's
// numbers: 13 type mismatch, 6 overflow; the description starts with VB's
// text and goes on with the offending values.

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

}  // namespace nerolin
