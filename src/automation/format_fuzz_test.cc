#include "automation/format.h"

// Seeded random patterns and values thrown at Format, checked against
// properties that hold for any input: only the documented errors, valid
// UTF-8 out of valid UTF-8 in, output bounded by the pattern and the value,
// and rules of the format language that can be stated without a table
// (rounding, sections, literals, text placeholders, date parts).

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <memory>
#include <optional>
#include <ostream>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "automation/conversions.h"
#include "automation/date_text.h"
#include "automation/locale.h"
#include "nerolin/automation_error.h"
#include "nerolin/variant.h"
#include "support/test_support.h"

namespace nerolin {
namespace {

const std::array<const Locale*, 2>& Locales() {
  static const std::array<const Locale*, 2> locales = {
      &Locale::SpanishMexico(), &Locale::EnglishUnitedStates()};
  return locales;
}

// ---------------------------------------------------------------------------
// Running Format and describing a failing call.

// One call's result: the text, or the number of the AutomationError raised.
struct Outcome {
  std::string text;
  int error = 0;

  friend bool operator==(const Outcome&, const Outcome&) = default;
};

std::string Printable(std::string_view text, std::size_t limit = 160) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (std::size_t i = 0; i < text.size() && i < limit; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '\\' || c < 0x20 || c >= 0x7F) {
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 0xF];
    } else {
      out += static_cast<char>(c);
    }
  }
  if (text.size() > limit) {
    out += "... (" + std::to_string(text.size()) + " bytes)";
  }
  return out;
}

std::ostream& operator<<(std::ostream& out, const Outcome& outcome) {
  if (outcome.error != 0) return out << "error " << outcome.error;
  return out << '"' << Printable(outcome.text) << '"';
}

std::string Describe(const Variant& value) {
  switch (value.type()) {
    case VarType::kEmpty:
      return "Empty";
    case VarType::kNull:
      return "Null";
    case VarType::kBoolean:
      return value.AsBoolean() ? "True" : "False";
    case VarType::kInteger:
      return "Integer " + std::to_string(value.AsInteger());
    case VarType::kLong:
      return "Long " + std::to_string(value.AsLong());
    case VarType::kLongLong:
      return "LongLong " + std::to_string(value.AsLongLong());
    case VarType::kCurrency:
      return "Currency scaled " + std::to_string(value.AsCurrency().scaled);
    case VarType::kDouble:
    case VarType::kDate: {
      const double number = value.type() == VarType::kDouble
                                ? value.AsDouble()
                                : value.AsDate().serial;
      char buffer[64];
      const auto end =
          std::to_chars(buffer, buffer + sizeof buffer, number).ptr;
      return (value.type() == VarType::kDouble ? "Double " : "Date serial ") +
             std::string(buffer, end);
    }
    case VarType::kString:
      return "String \"" + Printable(value.AsString()) + "\"";
    case VarType::kObject:
      return value.AsObject() ? "Field" : "Nothing";
    case VarType::kArray:
      return "Array";
  }
  return "?";
}

// What a failing check prints: the call that reproduces it.
struct Call {
  const Variant& value;
  std::string_view pattern;
  const Locale& locale;
};

std::ostream& operator<<(std::ostream& out, const Call& call) {
  return out << "Format(" << Describe(call.value) << ", \""
             << Printable(call.pattern) << "\", " << call.locale.name << ")";
}

Outcome Attempt(const Variant& value, std::string_view pattern,
                const Locale& locale) {
  Outcome outcome;
  try {
    outcome.text = Format(value, pattern, locale);
  } catch (const AutomationError& error) {
    outcome.error = error.number();
  } catch (const std::exception& error) {
    ADD_FAILURE() << Call{value, pattern, locale}
                  << " threw a foreign exception: " << error.what();
    outcome.error = -1;
  } catch (...) {
    ADD_FAILURE() << Call{value, pattern, locale}
                  << " threw something that is no exception";
    outcome.error = -1;
  }
  return outcome;
}

// ---------------------------------------------------------------------------
// Independent facts about texts, values and dates.

bool IsValidUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    std::size_t extra = 0;
    std::uint32_t code = 0;
    if (lead < 0x80) {
      ++i;
      continue;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      extra = 1;
      code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      extra = 2;
      code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      extra = 3;
      code = lead & 0x07;
    } else {
      return false;
    }
    if (text.size() - i <= extra) return false;
    for (std::size_t k = 1; k <= extra; ++k) {
      const unsigned char next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = code << 6 | (next & 0x3F);
    }
    if ((extra == 2 && (code < 0x800 || (code >= 0xD800 && code <= 0xDFFF))) ||
        (extra == 3 && (code < 0x10000 || code > 0x10FFFF))) {
      return false;
    }
    i += extra + 1;
  }
  return true;
}

// The characters of a valid UTF-8 text, each as its bytes.
std::vector<std::string_view> Characters(std::string_view text) {
  std::vector<std::string_view> characters;
  std::size_t start = 0;
  for (std::size_t i = 1; i <= text.size(); ++i) {
    if (i == text.size() ||
        (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
      characters.push_back(text.substr(start, i - start));
      start = i;
    }
  }
  return characters;
}

// A serial that falls on a day from 0100-01-01 to 9999-12-31; a fraction
// counts away from zero, so the first day runs down to kMinDateSerial - 1.
bool InDateRange(double serial) {
  return serial > kMinDateSerial - 1 && serial < kMaxDateSerial + 1;
}

// What a value is, worked out without Format, for the properties below.
struct Facts {
  // 13 for an array, 91 for Nothing: raised whatever the pattern.
  int always_raises = 0;
  // A date outside 0100-01-01 .. 9999-12-31 (or a number that is one under
  // a date pattern) may raise 6.
  bool may_overflow = false;
  bool is_null = false;
  // The finite number a number pattern writes; nothing for Null, a text
  // that is no number and a Double that is not finite.
  std::optional<long double> number;
  // The same number without its sign, as a Variant Format takes.
  std::optional<Variant> magnitude;
  // The number's magnitude as the decimal digits it counts with (a
  // Double's 15 significant digits, all of the others'):
  // decimal_digits x 10^decimal_exponent.
  std::string decimal_digits;
  int decimal_exponent = 0;
  // A text value: its size and whether it is valid UTF-8.
  std::size_t text_size = 0;
  bool valid_utf8 = true;
};

// |value| to 15 significant digits, as digits x 10^exponent.
void SetDoubleDigits(double value, Facts& facts) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.14e", std::fabs(value));
  const std::string_view text(buffer);
  const std::size_t e = text.find('e');
  facts.decimal_digits.clear();
  for (char c : text.substr(0, e)) {
    if (c != '.') facts.decimal_digits += c;
  }
  facts.decimal_exponent = std::atoi(buffer + e + 1) - 14;
}

std::string UnsignedDigits(std::int64_t value) {
  const std::uint64_t magnitude = value < 0
                                      ? 0 - static_cast<std::uint64_t>(value)
                                      : static_cast<std::uint64_t>(value);
  return std::to_string(magnitude);
}

Facts FactsOf(const Variant& value, const Locale& locale) {
  Facts facts;
  Variant plain;
  try {
    plain = Unwrap(value);
  } catch (const AutomationError& error) {
    facts.always_raises = error.number();
    return facts;
  }
  std::optional<double> serial;  // under a date pattern
  switch (plain.type()) {
    case VarType::kArray:
      facts.always_raises = errors::kTypeMismatch;
      return facts;
    case VarType::kNull:
      facts.is_null = true;
      return facts;
    case VarType::kEmpty:
      facts.number = 0;
      facts.decimal_digits = "0";
      serial = 0;
      break;
    case VarType::kBoolean:
      facts.number = plain.AsBoolean() ? -1 : 0;
      facts.decimal_digits = plain.AsBoolean() ? "1" : "0";
      facts.magnitude = Variant(std::int16_t{1});
      serial = *facts.number;
      break;
    case VarType::kInteger:
    case VarType::kLong:
    case VarType::kLongLong: {
      const std::int64_t n =
          plain.type() == VarType::kInteger ? plain.AsInteger()
          : plain.type() == VarType::kLong  ? plain.AsLong()
                                            : plain.AsLongLong();
      facts.number = static_cast<long double>(n);
      facts.decimal_digits = UnsignedDigits(n);
      if (n != std::numeric_limits<std::int64_t>::min()) {
        facts.magnitude = Variant(static_cast<std::int64_t>(std::llabs(n)));
      }
      serial = static_cast<double>(n);
      break;
    }
    case VarType::kCurrency: {
      const std::int64_t scaled = plain.AsCurrency().scaled;
      facts.number = static_cast<long double>(scaled) / 10000;
      facts.decimal_digits = UnsignedDigits(scaled);
      facts.decimal_exponent = -4;
      if (scaled != std::numeric_limits<std::int64_t>::min()) {
        facts.magnitude =
            Variant(Currency{static_cast<std::int64_t>(std::llabs(scaled))});
      }
      serial = static_cast<double>(*facts.number);
      break;
    }
    case VarType::kDouble:
      serial = plain.AsDouble();
      if (std::isfinite(*serial)) {
        facts.number = *serial;
        facts.magnitude = Variant(std::fabs(*serial));
        SetDoubleDigits(*serial, facts);
      }
      break;
    case VarType::kDate:
      serial = plain.AsDate().serial;
      // Its own text needs a date in range, whatever the pattern.
      facts.may_overflow = !InDateRange(*serial);
      if (std::isfinite(*serial)) {
        facts.number = *serial;
        facts.magnitude = Variant(Date{std::fabs(*serial)});
        SetDoubleDigits(*serial, facts);
      }
      break;
    case VarType::kString:
      facts.text_size = plain.AsString().size();
      facts.valid_utf8 = IsValidUtf8(plain.AsString());
      try {
        const double n = CDbl(plain, locale);
        facts.number = n;
        facts.magnitude = Variant(std::fabs(n));
        SetDoubleDigits(n, facts);
        serial = n;
      } catch (const AutomationError&) {
        // No number: a number pattern gives the text back, a date pattern
        // reads it as a date text or gives it back.
      }
      break;
    case VarType::kObject:
      break;
  }
  if (serial && !InDateRange(*serial)) facts.may_overflow = true;
  return facts;
}

// Zeller's congruence: 0 for Sunday .. 6 for Saturday, proleptic Gregorian.
int WeekdayIndex(int year, int month, int day) {
  if (month < 3) {
    month += 12;
    --year;
  }
  const int k = year % 100;
  const int j = year / 100;
  const int h = (day + 13 * (month + 1) / 5 + k + k / 4 + j / 4 + 5 * j) % 7;
  return (h + 6) % 7;
}

bool IsLeap(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysIn(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30,
                                  31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeap(year) ? 29 : kDays[month - 1];
}

int DayOfYear(int year, int month, int day) {
  int days = day;
  for (int m = 1; m < month; ++m) days += DaysIn(year, m);
  return days;
}

std::string TwoDigits(int value) {
  return std::string(1, static_cast<char>('0' + value / 10)) +
         static_cast<char>('0' + value % 10);
}

// digits x 10^exponent rounded half away from zero to `decimals` places.
struct Rounded {
  std::string whole;     // no leading zeros, "" under 1
  std::string fraction;  // exactly `decimals` digits
};

Rounded RoundHalfAwayFromZero(std::string digits, int exponent, int decimals) {
  if (exponent > 0) {
    digits.append(static_cast<std::size_t>(exponent), '0');
    exponent = 0;
  }
  // digits now holds the whole digits, then `places` fraction digits, with
  // at least one whole digit to carry into.
  std::size_t places = static_cast<std::size_t>(-exponent);
  if (digits.size() < places + 1) {
    digits.insert(0, places + 1 - digits.size(), '0');
  }
  const std::size_t wanted = static_cast<std::size_t>(decimals);
  if (places > wanted) {
    const std::size_t cut = digits.size() - (places - wanted);
    const bool up = digits[cut] >= '5';
    digits.resize(cut);
    places = wanted;
    for (std::size_t i = digits.size(); up && i-- > 0;) {
      if (digits[i] != '9') {
        ++digits[i];
        break;
      }
      digits[i] = '0';
      if (i == 0) digits.insert(0, "1");
    }
  }
  Rounded rounded;
  rounded.whole = digits.substr(0, digits.size() - places);
  rounded.fraction = digits.substr(digits.size() - places);
  rounded.fraction.append(wanted - places, '0');
  rounded.whole.erase(
      0, std::min(rounded.whole.find_first_not_of('0'), rounded.whole.size()));
  return rounded;
}

// ---------------------------------------------------------------------------
// Generators.

// What a generated pattern is known to be, for the bound on what it writes.
enum class Kind { kAny, kNumber, kDate, kText };

// Pieces of patterns. Each stands alone: a quote or a backslash always comes
// with what it quotes, so a soup of them has the kind its tokens give it.
const std::vector<std::string_view>& NumberTokens() {
  static const std::vector<std::string_view> tokens = {
      "0",    "0",      "#",   "#",    ",",      ",",       ".",
      "%",    "E+",     "E-",  "e+",   "e-",     "E",       "$",
      "(",    ")",      " ",   "-",    "+",      "5",       "/",
      ":",    "\\d",    "\\;", "\\\"", "\\\\",   "\"a;b\"", "\"mm\"",
      "\"\"", "\"ñ€\"", "ñ",   "\\@",  "\"@&\"", "\\0",     "\"0#.,\""};
  return tokens;
}
const std::vector<std::string_view>& DateTokens() {
  static const std::vector<std::string_view> tokens = {
      "d", "dd",    "ddd",   "dddd", "ddddd",  "dddddd", "w",     "ww",
      "m", "mm",    "mmm",   "mmmm", "q",      "y",      "yy",    "yyyy",
      "h", "hh",    "n",     "nn",   "s",      "ss",     "ttttt", "t",
      "c", "AM/PM", "am/pm", "A/P",  "a/p",    "AMPM",   "/",     ":",
      "-", " ",     ",",     ".",    "\"de\"", "\\h",    "\"ñ\"", "é",
      ";", "x",     "a",     "P",    "E+",     "5",      "\\@",   "\"0\""};
  return tokens;
}
const std::vector<std::string_view>& TextTokens() {
  static const std::vector<std::string_view> tokens = {
      "@", "@", "&", "&",   "<",      ">",    "!",      " ",
      "-", "(", ")", "\\@", "\"&;\"", "0",    "d",      "x",
      "ñ", "/", ";", "#",   "\\\\",   "\"\"", "\"<>!\""};
  return tokens;
}
const std::vector<std::string_view>& NamedFormats() {
  static const std::vector<std::string_view> tokens = {
      "General Number", "Currency",     "Fixed",       "Standard",
      "Percent",        "Scientific",   "Yes/No",      "True/False",
      "On/Off",         "General Date", "Long Date",   "Medium Date",
      "Short Date",     "Long Time",    "Medium Time", "Short Time"};
  return tokens;
}

// The characters patterns are made of, for random byte strings that lean
// towards meaningful ones.
constexpr std::string_view kPatternBytes =
    "0#,.%Ee+-@&<>!\\\";dmyhnswqctAMP/: $()5";

class Generator {
 public:
  explicit Generator(std::uint32_t seed) : random_(seed) {}

  // Uniform in [0, n).
  std::size_t Below(std::size_t n) {
    return std::uniform_int_distribution<std::size_t>(0, n - 1)(random_);
  }
  bool OneIn(std::size_t n) { return Below(n) == 0; }
  template <class T>
  const T& Pick(const std::vector<T>& items) {
    return items[Below(items.size())];
  }

  std::string Soup(const std::vector<std::string_view>& tokens,
                   std::size_t count) {
    std::string out;
    for (std::size_t i = 0; i < count; ++i) out += Pick(tokens);
    return out;
  }

  std::string RandomBytes(std::size_t length) {
    std::string out;
    for (std::size_t i = 0; i < length; ++i) {
      out += OneIn(2) ? static_cast<char>(Below(256))
                      : kPatternBytes[Below(kPatternBytes.size())];
    }
    return out;
  }

  // A named format in a random mix of cases.
  std::string Named() {
    std::string name(Pick(NamedFormats()));
    for (char& c : name) {
      if (OneIn(2) && c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
      if (OneIn(2) && c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    }
    return name;
  }

  // A short pattern of any kind, or none.
  std::pair<std::string, Kind> AnyPattern() {
    switch (Below(7)) {
      case 0:
        return {RandomBytes(Below(OneIn(8) ? 200 : 16)), Kind::kAny};
      case 1:
      case 2:
        return {Soup(NumberTokens(), 1 + Below(12)), Kind::kNumber};
      case 3:
        return {"d" + Soup(DateTokens(), Below(10)), Kind::kDate};
      case 4:
        return {"@" + Soup(TextTokens(), Below(10)), Kind::kText};
      case 5: {
        std::vector<std::string_view> all = NumberTokens();
        all.insert(all.end(), DateTokens().begin(), DateTokens().end());
        all.insert(all.end(), TextTokens().begin(), TextTokens().end());
        return {Soup(all, Below(16)), Kind::kAny};
      }
      default:
        return {Named(), Kind::kAny};
    }
  }

  double AnyDouble() {
    using Limits = std::numeric_limits<double>;
    // clang-format off
    static const std::vector<double> kEdges = {
        0.0, -0.0, 0.5, -0.5, 2.675, 1.005, 9.995, -9.995, 0.045, 999999.5,
        1e15, 1e16, 123456789012345678.0, 5e-320, 1e-5, -1e-300, 1e308,
        Limits::max(), -Limits::max(), Limits::min(), Limits::denorm_min(),
        -Limits::denorm_min(), Limits::quiet_NaN(), Limits::infinity(),
        -Limits::infinity(), kMaxDateSerial + 0.5, kMaxDateSerial + 1,
        kMinDateSerial - 0.5, kMinDateSerial - 1};
    // clang-format on
    switch (Below(4)) {
      case 0:
        return Pick(kEdges);
      case 1:  // an amount as reports hold them
        return static_cast<double>(static_cast<std::int64_t>(Below(2000001)) -
                                   1000000) /
               std::pow(10.0, static_cast<double>(Below(5)));
      case 2: {  // any magnitude a Double has
        const double mantissa =
            std::uniform_real_distribution<double>(-10, 10)(random_);
        return mantissa * std::pow(10.0, static_cast<double>(Below(630)) - 322);
      }
      default:  // any bit pattern: NaNs, infinities, denormals
        return std::bit_cast<double>(Bits64());
    }
  }

  std::string AnyText() {
    // Words, numerals as VB reads them (or does not), and date texts.
    // clang-format off
    static const std::vector<std::string> kTexts = {
        "", " ", "abc", "ñandú ÁÉÍÓÚ", "ß ÿ × ÷", "€uro 中 😀", "x;y", "\"q\"",
        "Null", "True", "12", "-5", "5-", "(5)", "$1,234.50", "1,234", "1e5",
        "1E+300", "1e400", "1e-400", "&HFF", "&O17", "&HFFFFFFFFF",
        "  12.5  ", "05/01/2024", "2024-01-05 14:07:09", "14:07",
        "12/25/2024", "31/12/9999 23:59:59", "0100-01-01"};
    // clang-format on
    switch (Below(4)) {
      case 0:
        return RandomBytes(Below(20));
      case 1: {
        char buffer[64];
        const double number = AnyDouble();
        const auto end =
            OneIn(2) ? std::to_chars(buffer, buffer + sizeof buffer, number).ptr
                     : std::to_chars(buffer, buffer + sizeof buffer, number,
                                     std::chars_format::general, 15)
                           .ptr;
        return std::string(buffer, end);
      }
      case 2:
        if (OneIn(20)) return std::string(5000, 'x') + "ñ";
        [[fallthrough]];
      default:
        return Pick(kTexts);
    }
  }

  Date AnyDate() {
    // clang-format off
    static const std::vector<double> kEdges = {
        kMinDateSerial, kMinDateSerial - 0.99, kMaxDateSerial,
        kMaxDateSerial + 0.99, kMaxDateSerial + 1, kMinDateSerial - 1,
        -1e10, 1e10, -0.5, 0, -1.25, 1.5,
        std::numeric_limits<double>::quiet_NaN()};
    // clang-format on
    if (OneIn(3)) return Date{Pick(kEdges)};
    return Date{std::uniform_real_distribution<double>(
        kMinDateSerial - 2, kMaxDateSerial + 2)(random_)};
  }

  // A value of any kind Format may meet.
  Variant AnyValue() {
    switch (Below(13)) {
      case 0:
        return OneIn(2) ? Variant() : Variant::Null();
      case 1:
        return Variant(OneIn(2));
      case 2: {
        static const std::vector<std::int16_t> kEdges = {
            0, 1, -1, std::numeric_limits<std::int16_t>::min(),
            std::numeric_limits<std::int16_t>::max()};
        return Variant(OneIn(2) ? Pick(kEdges)
                                : static_cast<std::int16_t>(random_()));
      }
      case 3:
        return Variant(OneIn(4) ? std::numeric_limits<std::int32_t>::min()
                                : static_cast<std::int32_t>(random_()));
      case 4: {
        static const std::vector<std::int64_t> kEdges = {
            std::numeric_limits<std::int64_t>::min(),
            std::numeric_limits<std::int64_t>::max(), 5551234567};
        return Variant(OneIn(2)
                           ? Pick(kEdges)
                           : static_cast<std::int64_t>(Bits64() >> Below(64)));
      }
      case 5:
      case 6:
        return Variant(AnyDouble());
      case 7: {
        using Limits = std::numeric_limits<std::int64_t>;
        static const std::vector<std::int64_t> kEdges = {
            Limits::min(), Limits::max(), 5, -5, 25000, -125};
        return Variant(Currency{
            OneIn(2)
                ? Pick(kEdges)
                : static_cast<std::int64_t>(Below(2000000001)) - 1000000000});
      }
      case 8:
        return Variant(AnyDate());
      case 9:
      case 10:
        return Variant(AnyText());
      case 11:
        if (OneIn(4)) return Variant(ObjectRef());  // Nothing
        if (OneIn(3)) return Variant(VariantArray{Variant(1.0), Variant("a")});
        return Variant(std::make_shared<testing::FieldLike>(AnyPlainValue()));
      default: {
        // One after the other: the order of a call's arguments is unset.
        const int year = 100 + static_cast<int>(Below(9900));
        const int month = 1 + static_cast<int>(Below(12));
        const int day = 1 + static_cast<int>(Below(28));
        const int seconds = static_cast<int>(Below(86400));
        return Variant(Date::FromParts(year, month, day, seconds / 3600,
                                       seconds / 60 % 60, seconds % 60));
      }
    }
  }

  // Any value but an object, for a field to hold.
  Variant AnyPlainValue() {
    Variant value = AnyValue();
    while (value.IsObject()) value = AnyValue();
    return value;
  }

  // A value that reads as a finite number.
  Variant AnyNumber(const Locale& locale) {
    while (true) {
      Variant value = AnyPlainValue();
      if (FactsOf(value, locale).number) return value;
    }
  }

  std::mt19937& engine() { return random_; }

  std::uint64_t Bits64() {
    const std::uint64_t high = random_();
    return high << 32 | random_();
  }

 private:
  std::mt19937 random_;
};

// ---------------------------------------------------------------------------
// The properties every call must keep.

// The most bytes one pattern character may write. A date token expands to
// at most a general date ("12/31/9999 11:59:59 PM" for "c"); a number
// pattern character to a digit and a group separator (each "%" and each
// scaling comma shifts the digits only up to a fixed count); a text pattern
// character to a space, the text's own characters aside.
std::size_t BytesPerPatternChar(Kind kind) {
  switch (kind) {
    case Kind::kNumber:
      return 2;
    case Kind::kText:
      return 1;
    case Kind::kAny:
    case Kind::kDate:
      break;
  }
  return 32;
}
// The whole digits of the largest Double (309), shifted by the scaling "%"
// signs (32 more), grouped, and a sign; or the ordinary text of a number or
// a date.
constexpr std::size_t kValueDigitsBound = 512;

// Checks what every call must keep and returns its outcome.
Outcome CheckCall(const Variant& value, const Facts& facts,
                  std::string_view pattern, const Locale& locale,
                  Kind kind = Kind::kAny) {
  const Outcome outcome = Attempt(value, pattern, locale);
  if (facts.always_raises != 0) {
    EXPECT_EQ(outcome.error, facts.always_raises)
        << Call{value, pattern, locale};
    return outcome;
  }
  if (outcome.error != 0) {
    EXPECT_TRUE(outcome.error == errors::kOverflow && facts.may_overflow)
        << Call{value, pattern, locale} << " raised " << outcome.error;
    return outcome;
  }
  if (facts.valid_utf8 && IsValidUtf8(pattern)) {
    EXPECT_TRUE(IsValidUtf8(outcome.text))
        << Call{value, pattern, locale} << " gave " << outcome;
  }
  EXPECT_LE(outcome.text.size(), BytesPerPatternChar(kind) * pattern.size() +
                                     facts.text_size + kValueDigitsBound)
      << Call{value, pattern, locale};
  return outcome;
}

void CheckAllLocales(const Variant& value, std::string_view pattern,
                     Kind kind) {
  for (const Locale* locale : Locales()) {
    CheckCall(value, FactsOf(value, *locale), pattern, *locale, kind);
  }
}

TEST(FormatFuzzTest, RandomPatternsOnAnyValueRaiseOnlyTheDocumentedErrors) {
  Generator generator(20240105);
  for (int round = 0; round < 6000 && !::testing::Test::HasFailure(); ++round) {
    const auto [pattern, kind] = generator.AnyPattern();
    for (int k = 0; k < 3; ++k) {
      CheckAllLocales(generator.AnyValue(), pattern, kind);
    }
  }
}

TEST(FormatFuzzTest, LongPatternsAndLongRunsStayBounded) {
  // Long runs of one token, behind a prefix that sets the pattern's kind
  // ("0" then 4,999 backslashes ends in a lone one; "0\"" never closes).
  struct TokenRun {
    std::string_view prefix;
    std::string_view token;
    Kind kind;
  };
  constexpr Kind kN = Kind::kNumber;
  constexpr Kind kD = Kind::kDate;
  constexpr Kind kT = Kind::kText;
  const std::vector<TokenRun> runs = {
      {"", "0", kN},      {"", "#", kN},          {"0", ",", kN},
      {"", ",", kN},      {"0", ".", kN},         {"0", "%", kN},
      {"0", "E+", kN},    {"0", "e-0", kN},       {"", "E", kN},
      {"", "#,##0.", kN}, {"0.", "0", kN},        {"", "\\", kN},
      {"", "\"", kN},     {"", ";", kN},          {"0", "\\;", kN},
      {"0", "\"x\"", kN}, {"#,##0.00;", ";", kN}, {"0", "ñ", kN},
      {"0\"", "x", kN},   {"0", "\\", kN},        {"", "@", kT},
      {"", "&", kT},      {"@", "<", kT},         {"@", "!", kT},
      {"@", "ñ", kT},     {"", "d", kD},          {"", "dd", kD},
      {"", "y", kD},      {"", "q", kD},          {"", "ttttt", kD},
      {"d", "AMPM", kD},  {"d", "am/pm", kD},     {"d", "a/p", kD},
      {"d", "/", kD},     {"d", ":", kD},         {"", "h", kD},
      {"", "ww", kD},     {"", "mmmm", kD},       {"d", " ", kD},
      {"d", "x", kD},     {"d", ",", kD},         {"", "c", kD}};
  Generator generator(5000);
  std::vector<std::pair<std::string, Kind>> patterns;
  for (const TokenRun& run : runs) {
    std::string pattern(run.prefix);
    while (pattern.size() < 5000) pattern += run.token;
    patterns.emplace_back(std::move(pattern), run.kind);
  }
  for (int i = 0; i < 6; ++i) {
    patterns.emplace_back(generator.Soup(NumberTokens(), 4000), kN);
    patterns.emplace_back("@" + generator.Soup(TextTokens(), 5000), kT);
    patterns.emplace_back("d" + generator.Soup(DateTokens(), 2000), kD);
    patterns.emplace_back(generator.RandomBytes(10000), Kind::kAny);
  }
  for (const auto& [pattern, kind] : patterns) {
    for (int k = 0; k < 6 && !::testing::Test::HasFailure(); ++k) {
      CheckAllLocales(generator.AnyValue(), pattern, kind);
    }
  }
}

TEST(FormatFuzzTest, HugeNumberAndTextPatternsTakeLinearTime) {
  // A million pattern characters: a pass over them costs nothing, a pass
  // per character would never end.
  constexpr std::size_t kSize = 1'000'000;
  struct Huge {
    std::string pattern;
    Variant value;
    Kind kind;
  };
  const Variant number(-1234.5678);
  const Variant text("ñandú");
  const std::vector<Huge> cases = {
      {std::string(kSize, '0'), Variant(1e300), Kind::kNumber},
      {"0" + std::string(kSize, ','), number, Kind::kNumber},
      {"0." + std::string(kSize, '#'), number, Kind::kNumber},
      {"0" + std::string(kSize, '%'), number, Kind::kNumber},
      {"0\"" + std::string(kSize, 'x'), number, Kind::kNumber},
      {std::string(kSize, '\\'), number, Kind::kNumber},
      {std::string(kSize, ';'), Variant::Null(), Kind::kNumber},
      {"0 " + std::string(kSize, ' '), number, Kind::kNumber},
      {std::string(kSize, '@'), text, Kind::kText},
      {"!" + std::string(kSize, '&'), text, Kind::kText},
      {"d" + std::string(kSize, '/'), number, Kind::kDate},
      {"d" + std::string(kSize, ' '), number, Kind::kDate},
      {"d" + std::string(kSize, 'x'), number, Kind::kDate}};
  for (const Huge& huge : cases) {
    CheckCall(huge.value, FactsOf(huge.value, Locale::SpanishMexico()),
              huge.pattern, Locale::SpanishMexico(), huge.kind);
  }
}

// ---------------------------------------------------------------------------
// Rules of number patterns.

// A pattern of "0", "#", "," and at most one ".", and what it asks for.
struct DigitPattern {
  std::string text;
  bool has_point = false;
  int fraction_placeholders = 0;
  int min_fraction_digits = 0;  // up to the last "0" after the point
  int min_integer_digits = 0;   // from the first "0" before the point
  bool grouping = false;        // a "," between two integer placeholders
  int scale_commas = 0;         // "," right after the last integer one
  int percents = 0;             // "%" signs at the end
};

void AddPercents(Generator& generator, DigitPattern& pattern) {
  if (!generator.OneIn(4)) return;
  pattern.percents = 1 + static_cast<int>(generator.Below(3));
  pattern.text.append(static_cast<std::size_t>(pattern.percents), '%');
}

DigitPattern AnyDigitPattern(Generator& generator) {
  DigitPattern pattern;
  static const std::vector<std::string_view> kIntegerTokens = {"0", "#", ","};
  const std::size_t integer_count =
      generator.Below(generator.OneIn(10) ? 40 : 7);
  int placeholders = 0;
  int placeholders_before_first_zero = -1;
  int commas = 0;
  for (std::size_t i = 0; i < integer_count; ++i) {
    const std::string_view token = generator.Pick(kIntegerTokens);
    pattern.text += token;
    if (token == ",") {
      if (placeholders > 0) ++commas;
      continue;
    }
    if (commas > 0) pattern.grouping = true;
    commas = 0;
    if (token == "0" && placeholders_before_first_zero < 0) {
      placeholders_before_first_zero = placeholders;
    }
    ++placeholders;
  }
  pattern.scale_commas = commas;
  if (placeholders_before_first_zero >= 0) {
    pattern.min_integer_digits = placeholders - placeholders_before_first_zero;
  }
  if (generator.OneIn(4) && !pattern.text.empty()) {
    AddPercents(generator, pattern);
    return pattern;
  }
  pattern.has_point = true;
  pattern.text += '.';
  const std::size_t fraction_count =
      generator.Below(generator.OneIn(10) ? 40 : 7);
  for (std::size_t i = 0; i < fraction_count; ++i) {
    const std::string_view token = generator.Pick(kIntegerTokens);
    pattern.text += token;
    if (token == ",") continue;
    ++pattern.fraction_placeholders;
    if (token == "0") {
      pattern.min_fraction_digits = pattern.fraction_placeholders;
    }
  }
  AddPercents(generator, pattern);
  return pattern;
}

bool AllDigits(std::string_view text) {
  return text.find_first_not_of("0123456789") == std::string_view::npos;
}

TEST(FormatFuzzTest, DigitPatternsWriteTheValueRoundedHalfAwayFromZero) {
  Generator generator(271828);
  for (int round = 0; round < 8000 && !::testing::Test::HasFailure(); ++round) {
    const Locale& locale = *Locales()[round % 2];
    const DigitPattern pattern = AnyDigitPattern(generator);
    const Variant value = generator.AnyNumber(locale);
    const Facts facts = FactsOf(value, locale);
    const Outcome outcome =
        CheckCall(value, facts, pattern.text, locale, Kind::kNumber);
    if (outcome.error != 0) continue;
    const Call call{value, pattern.text, locale};

    // Expected: the value's digits, shifted by the scaling commas and the
    // "%" signs, rounded to the fraction placeholders; "0" placeholders keep
    // their zeros, "#" ones drop them.
    Rounded expected =
        RoundHalfAwayFromZero(facts.decimal_digits,
                              facts.decimal_exponent + 2 * pattern.percents -
                                  3 * std::min(pattern.scale_commas, 16),
                              pattern.fraction_placeholders);
    const bool rounds_to_zero =
        expected.whole.empty() &&
        expected.fraction.find_first_not_of('0') == std::string::npos;
    if (static_cast<int>(expected.whole.size()) < pattern.min_integer_digits) {
      expected.whole.insert(
          0,
          static_cast<std::size_t>(pattern.min_integer_digits) -
              expected.whole.size(),
          '0');
    }
    while (static_cast<int>(expected.fraction.size()) >
               pattern.min_fraction_digits &&
           expected.fraction.back() == '0') {
      expected.fraction.pop_back();
    }

    std::string_view body = outcome.text;
    const bool minus = !body.empty() && body[0] == '-';
    if (minus) body.remove_prefix(1);
    const std::string percents(static_cast<std::size_t>(pattern.percents), '%');
    ASSERT_TRUE(body.ends_with(percents)) << call << " gave " << outcome;
    body.remove_suffix(percents.size());
    // Whether a negative value that rounds to zero keeps its "-" is left
    // open.
    if (rounds_to_zero) {
      EXPECT_TRUE(!minus || *facts.number < 0) << call << " gave " << outcome;
    } else {
      EXPECT_EQ(minus, *facts.number < 0) << call << " gave " << outcome;
    }
    const std::size_t point = body.find(locale.decimal_separator);
    ASSERT_EQ(point != std::string_view::npos, pattern.has_point)
        << call << " gave " << outcome;
    const std::string_view whole = body.substr(0, point);
    const std::string_view fraction =
        point == std::string_view::npos
            ? std::string_view()
            : body.substr(point + locale.decimal_separator.size());
    std::string expected_whole;
    for (std::size_t i = 0; i < expected.whole.size(); ++i) {
      const std::size_t left = expected.whole.size() - i;
      if (pattern.grouping && i > 0 && left % 3 == 0) {
        expected_whole += locale.group_separator;
      }
      expected_whole += expected.whole[i];
    }
    EXPECT_EQ(whole, expected_whole) << call << " gave " << outcome;
    EXPECT_EQ(fraction, expected.fraction) << call << " gave " << outcome;
  }
}

TEST(FormatFuzzTest, ScientificPatternsKeepOneMantissaDigitPerPlaceholder) {
  static const std::vector<std::string_view> kExponents = {"E+", "E-", "e+",
                                                           "e-"};
  Generator generator(6022);
  for (int round = 0; round < 4000 && !::testing::Test::HasFailure(); ++round) {
    const Locale& locale = *Locales()[round % 2];
    const std::size_t whole_places = 1 + generator.Below(3);
    const std::size_t fraction_places = generator.Below(5);
    const std::size_t exponent_places = 1 + generator.Below(3);
    const std::string_view marker = generator.Pick(kExponents);
    std::string pattern(whole_places, '0');
    if (fraction_places > 0) pattern += "." + std::string(fraction_places, '0');
    pattern += marker;
    pattern.append(exponent_places, '0');
    const Variant value = generator.AnyNumber(locale);
    const Facts facts = FactsOf(value, locale);
    if (*facts.number == 0) continue;
    const Outcome outcome =
        CheckCall(value, facts, pattern, locale, Kind::kNumber);
    if (outcome.error != 0) continue;
    const Call call{value, pattern, locale};

    std::string_view body = outcome.text;
    const bool minus = !body.empty() && body[0] == '-';
    if (minus) body.remove_prefix(1);
    EXPECT_EQ(minus, *facts.number < 0) << call << " gave " << outcome;
    const std::size_t e = body.find(marker[0]);
    ASSERT_NE(e, std::string_view::npos) << call << " gave " << outcome;
    const std::string_view mantissa = body.substr(0, e);
    std::string_view exponent = body.substr(e + 1);
    const std::size_t point = mantissa.find(locale.decimal_separator);
    const std::string_view mantissa_whole = mantissa.substr(0, point);
    const std::string_view mantissa_fraction =
        point == std::string_view::npos
            ? std::string_view()
            : mantissa.substr(point + locale.decimal_separator.size());
    // Exactly one digit per placeholder, the first not 0, however the
    // rounding carries.
    EXPECT_EQ(mantissa_whole.size(), whole_places)
        << call << " gave " << outcome;
    EXPECT_TRUE(AllDigits(mantissa_whole) && !mantissa_whole.empty() &&
                mantissa_whole[0] != '0')
        << call << " gave " << outcome;
    EXPECT_EQ(mantissa_fraction.size(), fraction_places)
        << call << " gave " << outcome;
    EXPECT_TRUE(AllDigits(mantissa_fraction)) << call << " gave " << outcome;
    // "E+" signs the exponent always, "E-" only when it is negative.
    const bool exponent_negative = !exponent.empty() && exponent[0] == '-';
    if (!exponent.empty() && (exponent[0] == '-' || exponent[0] == '+')) {
      EXPECT_TRUE(exponent[0] == '-' || marker[1] == '+')
          << call << " gave " << outcome;
      exponent.remove_prefix(1);
    } else {
      EXPECT_EQ(marker[1], '-') << call << " gave " << outcome;
    }
    ASSERT_TRUE(AllDigits(exponent) && exponent.size() >= exponent_places)
        << call << " gave " << outcome;

    const long double shown_exponent =
        (exponent_negative ? -1 : 1) *
        std::strtold(std::string(exponent).c_str(), nullptr);
    const long double shown_mantissa = std::strtold(
        (std::string(mantissa_whole) + "." + std::string(mantissa_fraction))
            .c_str(),
        nullptr);
    const long double scale = std::pow(10.0L, shown_exponent);
    const long double magnitude = std::fabs(*facts.number);
    EXPECT_LE(
        std::fabs(shown_mantissa * scale - magnitude),
        (0.5L * std::pow(10.0L, -static_cast<long double>(fraction_places)) *
             scale +
         magnitude * 1e-14L) *
            (1 + 1e-12L))
        << call << " gave " << outcome;
  }
}

// A number pattern of one section built from whole tokens, and whether it
// has a place for the whole digits before its end (a placeholder, ".", "%"
// or an exponent); without one they go at the very end.
struct NumberSection {
  std::string text;
  bool anchored = false;
};

NumberSection AnyNumberSection(Generator& generator, std::size_t count) {
  NumberSection section;
  for (std::size_t i = 0; i < count; ++i) {
    const std::string_view token = generator.Pick(NumberTokens());
    section.text += token;
    if (token == "0" || token == "#" || token == "." || token == "%" ||
        token == "E+" || token == "E-" || token == "e+" || token == "e-") {
      section.anchored = true;
    }
  }
  return section;
}

// A literal and the text it prints.
struct Literal {
  std::string pattern;
  std::string printed;
};

Literal AnyLiteral(Generator& generator) {
  static const std::vector<std::string> kQuoted = {
      "x", "ñ€", "a;b", "0#,.%", "E+0", "@&<>!", "\\", "", "dd/mm", " "};
  if (generator.OneIn(2)) {
    const std::string& text = generator.Pick(kQuoted);
    return {"\"" + text + "\"", text};
  }
  // Any byte but NUL can be escaped, a quote, a backslash and ";" too.
  const char c = static_cast<char>(1 + generator.Below(127));
  return {std::string("\\") + c, std::string(1, c)};
}

TEST(FormatFuzzTest, LiteralsAroundANumberPatternPrintAsTheyAre) {
  Generator generator(1618);
  for (int round = 0; round < 4000 && !::testing::Test::HasFailure(); ++round) {
    const Locale& locale = *Locales()[round % 2];
    NumberSection section =
        AnyNumberSection(generator, 1 + generator.Below(10));
    const Variant value = generator.AnyNumber(locale);
    const Facts facts = FactsOf(value, locale);
    const Literal literal = AnyLiteral(generator);
    const Outcome plain =
        CheckCall(value, facts, section.text, locale, Kind::kNumber);
    if (plain.error != 0) continue;

    const std::string prefixed = literal.pattern + section.text;
    // The sign, where there is one, goes before every literal.
    const bool minus =
        *facts.number < 0 && !plain.text.empty() && plain.text[0] == '-';
    const std::string with_prefix =
        minus ? "-" + literal.printed + plain.text.substr(1)
              : literal.printed + plain.text;
    EXPECT_EQ(CheckCall(value, facts, prefixed, locale, Kind::kNumber),
              (Outcome{with_prefix, 0}))
        << Call{value, prefixed, locale};
    if (section.anchored) {
      const std::string suffixed = section.text + literal.pattern;
      EXPECT_EQ(CheckCall(value, facts, suffixed, locale, Kind::kNumber),
                (Outcome{plain.text + literal.printed, 0}))
          << Call{value, suffixed, locale};
    }
  }
}

TEST(FormatFuzzTest, SectionsAreChosenBySignAndZero) {
  Generator generator(31415);
  for (int round = 0; round < 4000 && !::testing::Test::HasFailure(); ++round) {
    const Locale& locale = *Locales()[round % 2];
    std::vector<std::string> sections(1 + generator.Below(4));
    std::string pattern;
    for (std::size_t i = 0; i < sections.size(); ++i) {
      if (!generator.OneIn(4)) {
        sections[i] = AnyNumberSection(generator, 1 + generator.Below(8)).text;
      }
      if (i > 0) pattern += ';';
      pattern += sections[i];
    }
    // The first section is never empty: alone, an empty pattern would be no
    // pattern at all.
    sections[0] += '0';
    pattern.insert(sections[0].size() - 1, "0");
    const Variant value =
        generator.OneIn(8) ? Variant::Null() : generator.AnyNumber(locale);
    const Facts facts = FactsOf(value, locale);
    const Call call{value, pattern, locale};
    const Outcome outcome =
        CheckCall(value, facts, pattern, locale, Kind::kNumber);
    if (outcome.error != 0) continue;

    if (facts.is_null) {
      // Null writes only a fourth section.
      if (sections.size() < 4) {
        EXPECT_EQ(outcome.text, "") << call;
      }
      continue;
    }
    const long double number = *facts.number;
    const auto alone = [&](const Variant& v, const std::string& section) {
      return Attempt(v, section, locale);
    };
    if (number < 0 && facts.magnitude) {
      if (sections.size() >= 2 && !sections[1].empty()) {
        // The negative section writes the number without its sign.
        EXPECT_EQ(outcome, alone(*facts.magnitude, sections[1])) << call;
        if (sections[1].find('-') == std::string::npos &&
            sections[1].find("E+") == std::string::npos &&
            sections[1].find("e+") == std::string::npos) {
          EXPECT_EQ(outcome.text.find('-'), std::string::npos)
              << call << " gave " << outcome;
        }
      } else {
        // One section writes the magnitude behind a "-" (which a value
        // that rounds to zero may lose: that case is left open).
        const Outcome positive = alone(*facts.magnitude, sections[0]);
        const bool shows_digit =
            positive.text.find_first_of("123456789") != std::string::npos;
        EXPECT_TRUE((outcome == Outcome{"-" + positive.text, positive.error}) ||
                    (!shows_digit && outcome == positive))
            << call << " gave " << outcome << " for " << positive;
      }
    } else if (number == 0 && sections.size() >= 3 && !sections[2].empty()) {
      EXPECT_EQ(outcome, alone(value, sections[2])) << call;
    } else if (number >= 0) {
      EXPECT_EQ(outcome, alone(value, sections[0])) << call;
    }
  }
}

TEST(FormatFuzzTest, NamedNumberFormatsAreTheirPatterns) {
  Generator generator(4242);
  for (int round = 0; round < 3000 && !::testing::Test::HasFailure(); ++round) {
    const Locale& locale = *Locales()[round % 2];
    const Variant value = generator.AnyValue();
    const Facts facts = FactsOf(value, locale);
    const std::string currency =
        "\"" + locale.currency_symbol + "\"#,##0." +
        std::string(static_cast<std::size_t>(locale.currency_digits), '0');
    const std::vector<std::pair<std::string_view, std::string>> names = {
        {"fIXED", "0.00"},
        {"standard", "#,##0.00"},
        {"PERCENT", "0.00%"},
        {"Scientific", "0.00E+00"},
        {"cUrReNcY", currency}};
    for (const auto& [name, pattern] : names) {
      EXPECT_EQ(CheckCall(value, facts, name, locale),
                CheckCall(value, facts, pattern, locale))
          << Call{value, name, locale};
    }
    const Outcome yes = CheckCall(value, facts, "yes/no", locale);
    if (facts.always_raises == 0 && facts.number) {
      EXPECT_EQ(yes.text, *facts.number == 0 ? "No" : "Yes")
          << Call{value, "yes/no", locale};
    }
  }
}

// ---------------------------------------------------------------------------
// Rules of text patterns.

// A text with upper and lower case versions: ASCII, Latin-1 letters (which
// change case), ß ÿ × ÷ (which do not) and characters past Latin-1.
struct CasedText {
  std::string text;
  std::string lower;
  std::string upper;
};

CasedText AnyCasedText(Generator& generator) {
  static const std::vector<std::array<std::string_view, 2>> kPairs = {
      {"a", "A"}, {"z", "Z"}, {"ñ", "Ñ"},   {"é", "É"}, {"ü", "Ü"}, {"à", "À"},
      {"þ", "Þ"}, {"ß", "ß"}, {"ÿ", "ÿ"},   {"×", "×"}, {"÷", "÷"}, {"1", "1"},
      {" ", " "}, {"€", "€"}, {"中", "中"}, {"😀", "😀"}, {";", ";"}, {"@", "@"}};
  CasedText text;
  const std::size_t length = generator.Below(generator.OneIn(10) ? 60 : 8);
  for (std::size_t i = 0; i < length; ++i) {
    const auto& pair = generator.Pick(kPairs);
    text.text += pair[generator.Below(2)];
    text.lower += pair[0];
    text.upper += pair[1];
  }
  return text;
}

TEST(FormatFuzzTest, TextPlaceholdersFillFromTheRightUnlessToldOtherwise) {
  static const std::vector<std::array<std::string_view, 2>> kLiterals = {
      {" ", " "},         {"-", "-"},   {"(", "("},   {"0", "0"},
      {"d", "d"},         {"/", "/"},   {"\\@", "@"}, {"\\\\", "\\"},
      {"\"&;!\"", "&;!"}, {"\"\"", ""}, {"ñ", "ñ"},   {"#", "#"}};
  Generator generator(1999);
  for (int round = 0; round < 5000 && !::testing::Test::HasFailure(); ++round) {
    const Locale& locale = *Locales()[round % 2];
    // The pattern as tokens: placeholders '@' '&', flags, literals.
    std::vector<std::string_view> tokens;
    bool left_to_right = false;
    char case_change = 0;
    int placeholders = 0;
    for (std::size_t n = 1 + generator.Below(10); n > 0; --n) {
      switch (generator.Below(6)) {
        case 0:
        case 1:
          tokens.push_back("@");
          ++placeholders;
          break;
        case 2:
          tokens.push_back("&");
          ++placeholders;
          break;
        case 3:
          if (generator.OneIn(2)) {
            tokens.push_back("!");
            left_to_right = true;
          } else {
            const bool lower = generator.OneIn(2);
            tokens.push_back(lower ? "<" : ">");
            case_change = lower ? '<' : '>';
          }
          break;
        default:
          tokens.push_back(generator.Pick(kLiterals)[0]);
          break;
      }
    }
    if (placeholders == 0) {
      tokens.push_back("&");
      placeholders = 1;
    }
    std::string pattern;
    for (std::string_view token : tokens) pattern += token;

    const CasedText cased = AnyCasedText(generator);
    const bool as_text = !generator.OneIn(4);
    const Variant value = as_text ? Variant(cased.text) : generator.AnyValue();
    const Facts facts = FactsOf(value, locale);
    const Outcome outcome =
        CheckCall(value, facts, pattern, locale, Kind::kText);
    if (outcome.error != 0) continue;
    if (facts.is_null) continue;  // checked with the second section below
    std::string text;
    if (as_text) {
      text = case_change == '<'   ? cased.lower
             : case_change == '>' ? cased.upper
                                  : cased.text;
    } else {
      // The value's ordinary text; no case change asked for or none needed.
      if (case_change != 0 || !facts.valid_utf8) continue;
      text = TextOf(value, locale);
    }
    const std::vector<std::string_view> characters = Characters(text);
    const long long count = static_cast<long long>(characters.size());
    const long long offset = left_to_right ? 0 : count - placeholders;
    std::string expected;
    int index = 0;
    for (std::string_view token : tokens) {
      if (token == "@" || token == "&") {
        if (index == 0) {
          for (long long j = 0; j < offset; ++j) {
            expected += characters[static_cast<std::size_t>(j)];
          }
        }
        const long long j = offset + index;
        if (j >= 0 && j < count) {
          expected += characters[static_cast<std::size_t>(j)];
        } else if (token == "@") {
          expected += ' ';
        }
        ++index;
        if (index == placeholders && left_to_right) {
          for (long long k = placeholders; k < count; ++k) {
            expected += characters[static_cast<std::size_t>(k)];
          }
        }
      } else if (token != "!" && token != "<" && token != ">") {
        for (const auto& literal : kLiterals) {
          if (literal[0] == token) expected += literal[1];
        }
      }
    }
    EXPECT_EQ(outcome.text, expected) << Call{value, pattern, locale};

    // A second section writes an empty text and Null.
    std::string second = pattern;
    second.append(";\"[\"").append(pattern).append("\"]\"");
    const Outcome empty_with_section = Attempt(Variant(""), second, locale);
    const Outcome empty_alone = Attempt(Variant(""), pattern, locale);
    EXPECT_EQ(empty_with_section,
              (Outcome{"[" + empty_alone.text + "]", empty_alone.error}))
        << Call{Variant(""), second, locale};
    EXPECT_EQ(Attempt(Variant::Null(), second, locale), empty_with_section)
        << Call{Variant::Null(), second, locale};
    EXPECT_EQ(Attempt(Variant::Null(), pattern, locale), (Outcome{"", 0}))
        << Call{Variant::Null(), pattern, locale};
  }
}

// ---------------------------------------------------------------------------
// Rules of date patterns.

TEST(FormatFuzzTest, DateTokensWriteTheCivilParts) {
  Generator generator(17760704);
  for (int round = 0; round < 3000 && !::testing::Test::HasFailure(); ++round) {
    const Locale& locale = *Locales()[round % 2];
    // Years from 1000, so that "yyyy" has its four digits.
    const int year = 1000 + static_cast<int>(generator.Below(9000));
    const int month = 1 + static_cast<int>(generator.Below(12));
    const int day = 1 + static_cast<int>(generator.Below(
                            static_cast<std::size_t>(DaysIn(year, month))));
    const int hour = static_cast<int>(generator.Below(24));
    const int minute = static_cast<int>(generator.Below(60));
    const int second = static_cast<int>(generator.Below(60));
    const Date date = Date::FromParts(year, month, day, hour, minute, second);
    const Variant value(date);
    const int weekday = WeekdayIndex(year, month, day);
    const int day_of_year = DayOfYear(year, month, day);
    const int week = (day_of_year - 1 + WeekdayIndex(year, 1, 1)) / 7 + 1;
    const int hour12 = hour % 12 == 0 ? 12 : hour % 12;
    const bool morning = hour < 12;

    const std::vector<std::pair<std::string, std::string>> cases = {
        {"yyyy-mm-dd hh:nn:ss",
         std::to_string(year) + "-" + TwoDigits(month) + "-" + TwoDigits(day) +
             " " + TwoDigits(hour) + locale.time_separator + TwoDigits(minute) +
             locale.time_separator + TwoDigits(second)},
        {"d|m|yy|h|n|s",
         std::to_string(day) + "|" + std::to_string(month) + "|" +
             TwoDigits(year % 100) + "|" + std::to_string(hour) + "|" +
             std::to_string(minute) + "|" + std::to_string(second)},
        {"dddd|ddd|mmmm|mmm", locale.day_names[weekday] + "|" +
                                  locale.day_abbreviations[weekday] + "|" +
                                  locale.month_names[month - 1] + "|" +
                                  locale.month_abbreviations[month - 1]},
        {"w|ww|q|y", std::to_string(weekday + 1) + "|" + std::to_string(week) +
                         "|" + std::to_string((month - 1) / 3 + 1) + "|" +
                         std::to_string(day_of_year)},
        {"hh:mm AM/PM", TwoDigits(hour12) + locale.time_separator +
                            TwoDigits(minute) + (morning ? " AM" : " PM")},
        {"h a/p AMPM", std::to_string(hour12) + (morning ? " a " : " p ") +
                           (morning ? locale.am : locale.pm)}};
    for (const auto& [pattern, expected] : cases) {
      EXPECT_EQ(CheckCall(value, FactsOf(value, locale), pattern, locale,
                          Kind::kDate),
                (Outcome{expected, 0}))
          << Call{value, pattern, locale};
    }
    EXPECT_EQ(Attempt(value, "c", locale),
              Attempt(value, "General Date", locale))
        << Call{value, "c", locale};

    // The same date as a serial, a numeric text and a year-first text.
    char buffer[64];
    const auto end =
        std::to_chars(buffer, buffer + sizeof buffer, date.serial).ptr;
    const std::string iso = std::to_string(year) + "-" + TwoDigits(month) +
                            "-" + TwoDigits(day) + " " + TwoDigits(hour) + ":" +
                            TwoDigits(minute) + ":" + TwoDigits(second);
    const std::string pattern = "d" + generator.Soup(DateTokens(), 6);
    const Outcome expected = Attempt(value, pattern, locale);
    for (const Variant& same :
         {Variant(date.serial), Variant(std::string(buffer, end)),
          Variant(iso)}) {
      EXPECT_EQ(Attempt(same, pattern, locale), expected)
          << Call{same, pattern, locale} << " vs " << Describe(value);
    }
  }
}

TEST(FormatFuzzTest, DatePatternsRaiseOverflowOnlyOutsideTheDateRange) {
  Generator generator(99991231);
  const std::vector<Variant> outside = {
      Variant(Date{kMaxDateSerial + 1}),
      Variant(Date{kMinDateSerial - 1}),
      Variant(Date{std::numeric_limits<double>::quiet_NaN()}),
      Variant(1e10),
      Variant(-1e300),
      Variant(std::numeric_limits<double>::infinity()),
      Variant(std::numeric_limits<double>::quiet_NaN()),
      Variant(Currency{std::numeric_limits<std::int64_t>::max()}),
      Variant(std::numeric_limits<std::int64_t>::min()),
      Variant("1e7"),
      Variant("-700000")};
  for (int round = 0; round < 3000 && !::testing::Test::HasFailure(); ++round) {
    const Locale& locale = *Locales()[round % 2];
    const std::string pattern = "d" + generator.Soup(DateTokens(), 8);
    const Variant& bad = generator.Pick(outside);
    EXPECT_EQ(CheckCall(bad, FactsOf(bad, locale), pattern, locale, Kind::kDate)
                  .error,
              errors::kOverflow)
        << Call{bad, pattern, locale};

    // Inside the range no error, and the year stays a year of the range,
    // also for the last half second of 9999-12-31.
    // clang-format off
    static const std::vector<double> kEdges = {
        kMinDateSerial - 0.99, kMinDateSerial - 0.5, kMinDateSerial,
        kMaxDateSerial + 0.5, kMaxDateSerial + 86399.0 / 86400,
        kMaxDateSerial + 0.9999999, 0, -0.5};
    // clang-format on
    const double serial =
        generator.OneIn(4) ? generator.Pick(kEdges)
                           : std::uniform_real_distribution<double>(
                                 kMinDateSerial - 1 + 1e-9,
                                 kMaxDateSerial + 1 - 1e-9)(generator.engine());
    const Variant date(Date{serial});
    const Variant number(serial);
    for (const Variant* good : {&date, &number}) {
      EXPECT_EQ(
          CheckCall(*good, FactsOf(*good, locale), pattern, locale, Kind::kDate)
              .error,
          0)
          << Call{*good, pattern, locale};
      const Outcome year = Attempt(*good, "yyyy", locale);
      const int shown = std::atoi(year.text.c_str());
      EXPECT_TRUE(shown >= 100 && shown <= 9999)
          << Call{*good, "yyyy", locale} << " gave " << year;
    }
  }
}

}  // namespace
}  // namespace nerolin
