#pragma once

#include <array>
#include <string>
#include <string_view>

namespace nerolin {

// What the number, date and currency texts of a locale are made of. Names
// and patterns follow the locale's conventions as the Windows regional
// settings give them (short date with a four-digit year).
struct Locale {
  std::string name;               // "es-MX"
  std::string decimal_separator;  // "."
  std::string group_separator;    // ","
  std::string date_separator;     // "/"
  std::string time_separator;     // ":"
  std::string currency_symbol;    // "$"
  int currency_digits = 2;
  // Date and time patterns in Format's date tokens, as FormatDatePattern
  // (automation/date_text.h) reads them: d dd ddd dddd, m mm mmm mmmm, yy
  // yyyy, h hh, n nn, s ss; "/" and ":" stand for the separators above;
  // text in double quotes is literal. Hours run 0-23 unless the pattern
  // holds AM/PM (which prints "AM" / "PM") or AMPM (which prints `am` /
  // `pm` below).
  std::string short_date;  // "dd/mm/yyyy"
  std::string long_date;   // "dddd, d \"de\" mmmm \"de\" yyyy"
  std::string long_time;   // "hh:nn:ss"
  std::string short_time;  // "hh:nn"
  std::string am;          // "a. m."
  std::string pm;          // "p. m."
  std::array<std::string, 12> month_names;
  std::array<std::string, 12> month_abbreviations;
  std::array<std::string, 7> day_names;  // Sunday first
  std::array<std::string, 7> day_abbreviations;

  // Spanish (Mexico), the default.
  static const Locale& SpanishMexico();
  // English (United States).
  static const Locale& EnglishUnitedStates();

  // The locale conversions use when none is given: Spanish (Mexico) until
  // SetCurrent changes it. Not locked: set it before rendering starts.
  static const Locale& Current();
  static void SetCurrent(const Locale& locale);
};

}  // namespace nerolin
