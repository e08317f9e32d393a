#include "automation/date_text.h"

#include <cmath>
#include <cstdint>
#include <string>

#include "automation/vb_text.h"
#include "nerolin/automation_error.h"

namespace nerolin {

namespace {

constexpr int kSecondsPerDay = 86400;
// ddddd, dddddd, ttttt and c expand to locale patterns, which could name
// themselves again.
constexpr int kMaxPatternDepth = 2;

char LowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() &&
         EqualsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

bool IsLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30,
                                  31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

void AppendTwoDigits(int value, std::string& out) {
  out += static_cast<char>('0' + value / 10 % 10);
  out += static_cast<char>('0' + value % 10);
}

// The day of `serial_day` as a civil date (Howard Hinnant's civil_from_days,
// shifted from 1970-01-01 to the OLE epoch).
void CivilFromDays(std::int64_t serial_day, DateParts& parts) {
  std::int64_t z = serial_day - 25569 + 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe =
      (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  const int day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  parts.year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
  parts.month = month;
  parts.day = day;
}

// Splits `serial` into its calendar day and its second of that day.
void SplitSerial(double serial, std::int64_t& day, std::int64_t& second) {
  const double whole = std::trunc(serial);
  day = static_cast<std::int64_t>(whole);
  second = std::llround(std::fabs(serial - whole) * kSecondsPerDay);
  if (second >= kSecondsPerDay) {
    // 23:59:59.6 rounds into the next calendar day, before the epoch too.
    ++day;
    second -= kSecondsPerDay;
  }
}

bool HasAmPmToken(std::string_view pattern) {
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (auto literal = LiteralAt(pattern, i)) {
      i = literal->last;
    } else if (StartsWithIgnoreCase(pattern.substr(i), "am/pm") ||
               StartsWithIgnoreCase(pattern.substr(i), "ampm") ||
               StartsWithIgnoreCase(pattern.substr(i), "a/p")) {
      return true;
    }
  }
  return false;
}

void FormatParts(const DateParts& parts, bool has_time,
                 std::string_view pattern, const Locale& locale, int depth,
                 std::string& out);

void AppendGeneralDate(const DateParts& parts, bool has_time,
                       const Locale& locale, int depth, std::string& out) {
  const bool day_zero =
      parts.year == 1899 && parts.month == 12 && parts.day == 30;
  if (!day_zero) {
    FormatParts(parts, has_time, locale.short_date, locale, depth, out);
    if (has_time) out += ' ';
  }
  if (has_time || day_zero) {
    FormatParts(parts, has_time, locale.long_time, locale, depth, out);
  }
}

void FormatParts(const DateParts& parts, bool has_time,
                 std::string_view pattern, const Locale& locale, int depth,
                 std::string& out) {
  const bool twelve_hour = HasAmPmToken(pattern);
  const int hour12 = parts.hour % 12 == 0 ? 12 : parts.hour % 12;
  const int shown_hour = twelve_hour ? hour12 : parts.hour;
  const bool morning = parts.hour < 12;
  const bool nested_allowed = depth < kMaxPatternDepth;
  bool after_hour = false;  // m and mm right after an hour mean minutes
  std::size_t i = 0;
  while (i < pattern.size()) {
    const std::string_view rest = pattern.substr(i);
    const char c = pattern[i];
    if (auto literal = LiteralAt(pattern, i)) {
      out.append(literal->text);
      i = literal->last + 1;
      continue;
    }
    if (c == '/') {
      out += locale.date_separator;
      ++i;
      continue;
    }
    if (c == ':') {
      out += locale.time_separator;
      ++i;
      continue;
    }
    if (StartsWithIgnoreCase(rest, "am/pm")) {
      // The pattern's own letters keep their case: AM/PM, am/pm.
      out.append(morning ? rest.substr(0, 2) : rest.substr(3, 2));
      i += 5;
      continue;
    }
    if (StartsWithIgnoreCase(rest, "ampm")) {
      out += morning ? locale.am : locale.pm;
      i += 4;
      continue;
    }
    if (StartsWithIgnoreCase(rest, "a/p")) {
      out += morning ? rest[0] : rest[2];
      i += 3;
      continue;
    }
    const char letter = LowerAscii(c);
    std::size_t run = 1;
    while (i + run < pattern.size() && LowerAscii(pattern[i + run]) == letter) {
      ++run;
    }
    switch (letter) {
      case 'd':
        if (run == 1) {
          out += std::to_string(parts.day);
        } else if (run == 2) {
          AppendTwoDigits(parts.day, out);
        } else if (run == 3) {
          out += locale.day_abbreviations[parts.weekday - 1];
        } else if (run == 4) {
          out += locale.day_names[parts.weekday - 1];
        } else if (nested_allowed) {
          FormatParts(parts, has_time,
                      run == 5 ? locale.short_date : locale.long_date, locale,
                      depth + 1, out);
        }
        after_hour = false;
        break;
      case 'w':
        if (run == 1) {
          out += std::to_string(parts.weekday);
        } else {
          // Sunday starts a week; the week holding 1 January is the first.
          const int jan1_weekday =
              ((parts.weekday - 1 - (parts.day_of_year - 1)) % 7 + 7) % 7;
          out += std::to_string((parts.day_of_year - 1 + jan1_weekday) / 7 + 1);
        }
        after_hour = false;
        break;
      case 'm':
        if (after_hour && run <= 2) {
          if (run == 1) {
            out += std::to_string(parts.minute);
          } else {
            AppendTwoDigits(parts.minute, out);
          }
        } else if (run == 1) {
          out += std::to_string(parts.month);
        } else if (run == 2) {
          AppendTwoDigits(parts.month, out);
        } else if (run == 3) {
          out += locale.month_abbreviations[parts.month - 1];
        } else {
          out += locale.month_names[parts.month - 1];
        }
        after_hour = false;
        break;
      case 'q':
        // Each q prints the quarter; a run of them repeats it.
        for (std::size_t k = 0; k < run; ++k) {
          out += static_cast<char>('0' + (parts.month - 1) / 3 + 1);
        }
        after_hour = false;
        break;
      case 'y':
        if (run == 1) {
          out += std::to_string(parts.day_of_year);
        } else if (run < 4) {
          AppendTwoDigits(parts.year % 100, out);
          if (run == 3) out += std::to_string(parts.day_of_year);
        } else {
          out += std::to_string(parts.year);
        }
        after_hour = false;
        break;
      case 'h':
        if (run == 1) {
          out += std::to_string(shown_hour);
        } else {
          AppendTwoDigits(shown_hour, out);
        }
        after_hour = true;
        break;
      case 'n':
      case 's': {
        const int value = letter == 'n' ? parts.minute : parts.second;
        if (run == 1) {
          out += std::to_string(value);
        } else {
          AppendTwoDigits(value, out);
        }
        after_hour = false;
        break;
      }
      case 't':
        if (run == 5 && nested_allowed) {
          FormatParts(parts, has_time, locale.long_time, locale, depth + 1,
                      out);
        } else {
          out.append(pattern.substr(i, run));
        }
        break;
      case 'c':
        // Each c prints the general date; the run is taken whole so that a
        // long run is counted once.
        for (std::size_t k = 0; nested_allowed && k < run; ++k) {
          AppendGeneralDate(parts, has_time, locale, depth + 1, out);
        }
        break;
      default:
        // An "a" may start an AM/PM token further on, and quotes and
        // backslashes start literals; anything else prints as written, the
        // whole run at once.
        if (letter == 'a' || c == '"' || c == '\\') {
          out += c;
          run = 1;
        } else {
          out.append(pattern.substr(i, run));
        }
        break;
    }
    i += run;
  }
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// A cursor over a date text.
class DateReader {
 public:
  explicit DateReader(std::string_view text) : text_(text) {}

  bool AtEnd() const { return pos_ >= text_.size(); }
  char Peek() const { return AtEnd() ? '\0' : text_[pos_]; }
  std::size_t pos() const { return pos_; }
  void Reset(std::size_t pos) { pos_ = pos; }
  void Skip() { ++pos_; }
  std::string_view Rest() const { return text_.substr(pos_); }

  // Reads up to `max_digits` digits; false when there is none.
  bool ReadInt(int max_digits, int& value, int& digits) {
    value = 0;
    digits = 0;
    while (!AtEnd() && Peek() >= '0' && Peek() <= '9') {
      if (digits == max_digits) return false;
      value = value * 10 + (Peek() - '0');
      ++digits;
      ++pos_;
    }
    return digits > 0;
  }

  void SkipBlanks() {
    while (!AtEnd() && IsBlank(Peek())) ++pos_;
  }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
};

bool IsDateSeparator(char c, const Locale& locale) {
  return c == '/' || c == '-' || c == '.' ||
         (locale.date_separator.size() == 1 && c == locale.date_separator[0]);
}

bool IsTimeSeparator(char c, const Locale& locale) {
  return c == ':' ||
         (locale.time_separator.size() == 1 && c == locale.time_separator[0]);
}

// "a. m." and "A.M." both become "am".
std::string NormalizeMarker(std::string_view text) {
  std::string marker;
  for (char c : text) {
    if (c != ' ' && c != '.' && c != '\t') marker += LowerAscii(c);
  }
  return marker;
}

struct TimeOfDay {
  int hour = 0;
  int minute = 0;
  double second = 0;
};

// h:nn[:ss[.fff]] [marker], up to the end of the text.
std::optional<TimeOfDay> ReadTime(DateReader& reader, const Locale& locale) {
  TimeOfDay time;
  int digits = 0;
  int second = 0;
  if (!reader.ReadInt(2, time.hour, digits)) return std::nullopt;
  if (!IsTimeSeparator(reader.Peek(), locale)) return std::nullopt;
  reader.Skip();
  if (!reader.ReadInt(2, time.minute, digits)) return std::nullopt;
  if (IsTimeSeparator(reader.Peek(), locale)) {
    reader.Skip();
    if (!reader.ReadInt(2, second, digits)) return std::nullopt;
    time.second = second;
    if (reader.Peek() == '.') {
      reader.Skip();
      double scale = 0.1;
      int fraction_digits = 0;
      while (reader.Peek() >= '0' && reader.Peek() <= '9') {
        // Past nanoseconds the digits change nothing a date can hold.
        if (++fraction_digits <= 9)
          time.second += (reader.Peek() - '0') * scale;
        scale /= 10;
        reader.Skip();
      }
      if (fraction_digits == 0) return std::nullopt;
    }
  }
  reader.SkipBlanks();
  if (reader.AtEnd()) {
    if (time.hour > 23) return std::nullopt;
    return time;
  }
  const std::string marker = NormalizeMarker(reader.Rest());
  const bool am =
      marker == "am" || marker == "a" || marker == NormalizeMarker(locale.am);
  const bool pm =
      marker == "pm" || marker == "p" || marker == NormalizeMarker(locale.pm);
  if ((!am && !pm) || time.hour > 12) return std::nullopt;
  if (time.hour == 12) time.hour = 0;
  if (pm) time.hour += 12;
  return time;
}

// Which part the locale's short date writes first: 'd', 'm' or 'y'.
char FirstDatePart(const Locale& locale) {
  for (char c : locale.short_date) {
    const char letter = LowerAscii(c);
    if (letter == 'd' || letter == 'm' || letter == 'y') return letter;
  }
  return 'm';
}

int WindowYear(int year, int digits) {
  if (digits > 2) return year;
  return year < 30 ? 2000 + year : 1900 + year;
}

}  // namespace

bool IsDateSerialInRange(double serial) {
  return serial > kMinDateSerial - 1.0 && serial < kMaxDateSerial + 1.0;
}

DateParts SplitDate(Date date) {
  if (!IsDateSerialInRange(date.serial)) {
    throw AutomationError(errors::kOverflow,
                          "Overflow: date serial " +
                              std::to_string(date.serial) +
                              " lies outside 0100-01-01 .. 9999-12-31",
                          {});
  }
  std::int64_t day = 0;
  std::int64_t second = 0;
  SplitSerial(date.serial, day, second);
  if (day > static_cast<std::int64_t>(kMaxDateSerial)) {
    // The last half second of 9999-12-31 must not round into a year no date
    // can have.
    day = static_cast<std::int64_t>(kMaxDateSerial);
    second = kSecondsPerDay - 1;
  }
  DateParts parts;
  CivilFromDays(day, parts);
  parts.hour = static_cast<int>(second / 3600);
  parts.minute = static_cast<int>(second / 60 % 60);
  parts.second = static_cast<int>(second % 60);
  // 1899-12-30, day 0, was a Saturday.
  parts.weekday = static_cast<int>(((day + 6) % 7 + 7) % 7) + 1;
  parts.day_of_year = static_cast<int>(
      day -
      static_cast<std::int64_t>(Date::FromParts(parts.year, 1, 1).serial) + 1);
  return parts;
}

std::optional<Date> MakeDate(int year, int month, int day, int hour, int minute,
                             double second) {
  if (year < 100 || year > 9999 || month < 1 || month > 12 || day < 1 ||
      day > DaysInMonth(year, month) || hour < 0 || hour > 23 || minute < 0 ||
      minute > 59 || !(second >= 0 && second < 60)) {
    return std::nullopt;
  }
  const double days = Date::FromParts(year, month, day).serial;
  const double time = (hour * 3600.0 + minute * 60.0 + second) / kSecondsPerDay;
  return Date{days < 0 ? days - time : days + time};
}

std::string FormatDatePattern(Date date, std::string_view pattern,
                              const Locale& locale) {
  const DateParts parts = SplitDate(date);
  const bool has_time =
      parts.hour != 0 || parts.minute != 0 || parts.second != 0;
  std::string out;
  out.reserve(pattern.size() * 2);
  FormatParts(parts, has_time, pattern, locale, 0, out);
  return out;
}

std::string DateText(Date date, const Locale& locale) {
  const DateParts parts = SplitDate(date);
  const bool has_time =
      parts.hour != 0 || parts.minute != 0 || parts.second != 0;
  std::string out;
  AppendGeneralDate(parts, has_time, locale, 0, out);
  return out;
}

std::optional<Date> ParseDateText(std::string_view text, const Locale& locale) {
  DateReader reader(TrimBlanks(text));

  int first = 0;
  int first_digits = 0;
  int digits = 0;
  if (!reader.ReadInt(4, first, first_digits)) return std::nullopt;
  if (IsTimeSeparator(reader.Peek(), locale)) {
    reader.Reset(0);
    const std::optional<TimeOfDay> time = ReadTime(reader, locale);
    if (!time) return std::nullopt;
    return MakeDate(1899, 12, 30, time->hour, time->minute, time->second);
  }
  if (!IsDateSeparator(reader.Peek(), locale)) return std::nullopt;
  reader.Skip();
  int second = 0;
  if (!reader.ReadInt(2, second, digits)) return std::nullopt;
  if (!IsDateSeparator(reader.Peek(), locale)) return std::nullopt;
  reader.Skip();
  int third = 0;
  int third_digits = 0;
  if (!reader.ReadInt(4, third, third_digits)) return std::nullopt;

  int year = 0;
  int month = 0;
  int day = 0;
  const bool year_first = first_digits > 2 || FirstDatePart(locale) == 'y';
  if (year_first) {
    if (third_digits > 2) return std::nullopt;
    year = WindowYear(first, first_digits);
    month = second;
    day = third;
  } else {
    if (first_digits > 2) return std::nullopt;
    year = WindowYear(third, third_digits);
    month = FirstDatePart(locale) == 'd' ? second : first;
    day = FirstDatePart(locale) == 'd' ? first : second;
    // A text that is no date in the locale's order but is one in the other
    // order is read in the other order (12/25/2024 in a day-first locale).
    if (!MakeDate(year, month, day) && MakeDate(year, day, month)) {
      std::swap(month, day);
    }
  }

  TimeOfDay time;
  if (!reader.AtEnd()) {
    if (year_first && (reader.Peek() == 'T' || reader.Peek() == 't')) {
      reader.Skip();
    } else if (IsBlank(reader.Peek())) {
      reader.SkipBlanks();
    } else {
      return std::nullopt;
    }
    const std::optional<TimeOfDay> read = ReadTime(reader, locale);
    if (!read) return std::nullopt;
    time = *read;
  }
  return MakeDate(year, month, day, time.hour, time.minute, time.second);
}

}  // namespace nerolin
