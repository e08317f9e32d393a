#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "automation/locale.h"
#include "nerolin/variant.h"

namespace nerolin {

// OLE dates between civil dates and texts. A Date's whole part counts days
// from 1899-12-30; its fraction is the time of day, counted away from zero
// before that day (-1.25 is 1899-12-29 06:00). Dates run from 0100-01-01 to
// 9999-12-31.

// The first and last day a Date may hold.
inline constexpr double kMinDateSerial = -657434.0;  // 0100-01-01
inline constexpr double kMaxDateSerial = 2958465.0;  // 9999-12-31

// Whether `serial` falls on a day from 0100-01-01 to 9999-12-31.
bool IsDateSerialInRange(double serial);

// The civil parts of a date, the time rounded to the nearest second.
struct DateParts {
  int year = 1899;
  int month = 12;
  int day = 30;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int weekday = 7;  // 1 Sunday .. 7 Saturday
  // Day number within the year, from 1.
  int day_of_year = 364;
};

// Raises error 6 when the date lies outside the supported range.
DateParts SplitDate(Date date);

// The date of valid civil parts, or nothing when a part is out of range
// (year 100-9999, a real day of the month, hour 0-23, minute and second
// 0-59).
std::optional<Date> MakeDate(int year, int month, int day, int hour = 0,
                             int minute = 0, double second = 0);

// `date` written with `pattern` in the token notation that Locale
// documents: d dd ddd dddd ddddd (short date) dddddd (long date), w
// (weekday), ww (week of the year, Sunday first, the week of 1 January
// the first), q (quarter), m mm mmm mmmm (minutes when right after an hour
// token), y (day of the year), yy yyyy, h hh, n nn, s ss, ttttt (long time), c
// (the general date), AM/PM am/pm A/P a/p AMPM; "/" and ":" give the locale's
// separators; "text" and \c are literal; other characters print as they are.
// Raises error 6 for a date out of range.
std::string FormatDatePattern(Date date, std::string_view pattern,
                              const Locale& locale);

// The text CStr gives a date: the short date, then a space and the long
// time unless the time is midnight; for day 0 (1899-12-30) the time alone.
std::string DateText(Date date, const Locale& locale);

// Reads a date text: the locale's short date order (day and month swap
// when only the other order is a real date), or year first (yyyy-mm-dd,
// yyyy/mm/dd), separated by "/", "-" or "."; two-digit years fall in
// 1930-2029; optionally followed by a time, after a space or (year first)
// a "T". A time alone is also read: h:nn[:ss[.fff]] with an optional AM /
// PM marker (the locale's or the English one, dots and spaces ignored).
// Surrounding blanks are ignored. Nothing when the text is no date.
std::optional<Date> ParseDateText(std::string_view text, const Locale& locale);

// A literal of a Format pattern: "quoted text" (to the end when the quote is
// never closed) or \ and one character.
struct PatternLiteral {
  std::string_view text;  // what the literal prints
  std::size_t last;       // index of its last character (may be the size)
};
// The literal that starts at pattern[i], if one does. Inline: every pattern
// walker calls it once a character.
inline std::optional<PatternLiteral> LiteralAt(std::string_view pattern,
                                               std::size_t i) {
  if (pattern[i] == '"') {
    const std::size_t close = pattern.find('"', i + 1);
    const std::size_t end =
        close == std::string_view::npos ? pattern.size() : close;
    return PatternLiteral{pattern.substr(i + 1, end - i - 1), end};
  }
  if (pattern[i] == '\\') {
    return PatternLiteral{pattern.substr(i + 1, i + 1 < pattern.size() ? 1 : 0),
                          i + 1};
  }
  return std::nullopt;
}

}  // namespace nerolin
