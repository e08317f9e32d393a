#include "automation/format.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "automation/conversion_steps.h"
#include "automation/conversions.h"
#include "automation/date_text.h"
#include "automation/number_text.h"
#include "automation/vb_text.h"

namespace nerolin {

namespace {

// A pattern has a positive, a negative, a zero and a Null section.
constexpr std::size_t kMaxSections = 4;
// Each "%" multiplies by 100 and each scaling comma divides by 1,000; past
// these counts the extra ones still print (a "%") but no longer scale, which
// keeps the digits written bounded however long the pattern is.
constexpr int kMaxPercentScales = 16;
constexpr int kMaxCommaScales = 16;

// |value| = digits() x 10^exponent, held without the heap: it is made and
// rounded for every amount a report prints.
struct DecimalNumber {
  // A 64-bit integer has up to 20 digits, a Double prints with 15, a text
  // is kept as written only up to 15 (NumberOf); rounding never lengthens.
  static constexpr std::size_t kMaxDigits = 20;

  bool negative = false;
  std::array<char, kMaxDigits> buffer{};
  std::size_t count = 0;  // no leading or trailing zeros; none for 0
  int exponent = 0;

  bool IsZero() const { return count == 0; }
  std::string_view digits() const { return {buffer.data(), count}; }
  // The digit in the place worth 10^place.
  char DigitAt(long long place) const {
    const long long index =
        static_cast<long long>(count) - 1 - (place - exponent);
    return index >= 0 && index < static_cast<long long>(count)
               ? buffer[static_cast<std::size_t>(index)]
               : '0';
  }
  // How many digits stand before the point (none for under 1) and after it.
  long long WholeDigits() const {
    return std::max(static_cast<long long>(count) + exponent, 0LL);
  }
  long long FractionDigits() const {
    return IsZero() ? 0 : std::max(-static_cast<long long>(exponent), 0LL);
  }
};

void DropTrailingZeros(DecimalNumber& number) {
  while (number.count > 0 && number.buffer[number.count - 1] == '0') {
    --number.count;
    ++number.exponent;
  }
  if (number.IsZero()) number = DecimalNumber{};
}

// REQUIRES: `digits` has no leading zeros and at most kMaxDigits digits.
DecimalNumber FromDigits(bool negative, std::string_view digits, int exponent) {
  DecimalNumber number;
  number.negative = negative;
  number.count = digits.copy(number.buffer.data(), number.buffer.size());
  number.exponent = exponent;
  DropTrailingZeros(number);
  return number;
}

DecimalNumber FromSigned(std::int64_t value, int exponent) {
  const bool negative = value < 0;
  const std::uint64_t magnitude = negative
                                      ? 0 - static_cast<std::uint64_t>(value)
                                      : static_cast<std::uint64_t>(value);
  if (magnitude == 0) return DecimalNumber{};
  char text[DecimalNumber::kMaxDigits];
  const char* end = std::to_chars(text, text + sizeof text, magnitude).ptr;
  return FromDigits(negative, std::string_view(text, end - text), exponent);
}

// The decimal digits a Double prints with.
// REQUIRES: std::isfinite(value).
DecimalNumber FromDouble(double value) {
  if (value == 0) return DecimalNumber{};
  const SignificantDigits digits = DoubleDigits(value);
  return FromDigits(value < 0,
                    std::string_view(digits.digits.data(), digits.count),
                    digits.exponent - static_cast<int>(digits.count) + 1);
}

// What a number pattern formats: the value's decimal digits, or a Double
// that is not finite, which prints as its text.
struct NumberValue {
  DecimalNumber number;
  std::optional<double> non_finite;
};

NumberValue FromDoubleValue(double value) {
  NumberValue result;
  if (!std::isfinite(value)) {
    result.non_finite = value;
  } else {
    result.number = FromDouble(value);
  }
  return result;
}

// The number a value stands for under a number pattern; nothing for a text
// that is no number. Empty counts as 0, True as -1, a date as its serial.
std::optional<NumberValue> NumberOf(const Variant& value,
                                    const Locale& locale) {
  switch (value.type()) {
    case VarType::kEmpty:
      return NumberValue{};
    case VarType::kInteger:
      return NumberValue{FromSigned(value.AsInteger(), 0), std::nullopt};
    case VarType::kLong:
      return NumberValue{FromSigned(value.AsLong(), 0), std::nullopt};
    case VarType::kLongLong:
      return NumberValue{FromSigned(value.AsLongLong(), 0), std::nullopt};
    case VarType::kBoolean:
      return NumberValue{FromSigned(value.AsBoolean() ? -1 : 0, 0),
                         std::nullopt};
    case VarType::kCurrency:
      return NumberValue{FromSigned(value.AsCurrency().scaled, -4),
                         std::nullopt};
    case VarType::kDouble:
      return FromDoubleValue(value.AsDouble());
    case VarType::kDate:
      return FromDoubleValue(value.AsDate().serial);
    case VarType::kString: {
      const std::optional<ParsedNumber> parsed =
          ParseNumber(value.AsString(), locale);
      if (!parsed) return std::nullopt;
      // A text of up to 15 significant digits, well inside a Double's
      // range, comes back from the Double with the same digits (15 decimal
      // digits survive the round trip), so the round trip is skipped: a
      // report formats the texts of its amounts on every line.
      if (!parsed->radix && parsed->digits.size() <= 15 &&
          std::abs(parsed->exponent) <= 280) {
        return NumberValue{
            FromDigits(parsed->negative, parsed->digits, parsed->exponent),
            std::nullopt};
      }
      const std::optional<double> number = parsed->ToDouble();
      if (!number) return std::nullopt;
      return FromDoubleValue(*number);
    }
    default:
      return std::nullopt;
  }
}

// The date a value stands for under a date pattern: a date, a number as a
// serial, a numeric or date text; nothing for other texts.
std::optional<Date> DateOf(const Variant& value, const Locale& locale) {
  switch (value.type()) {
    case VarType::kDate:
      return value.AsDate();
    case VarType::kString: {
      const std::optional<ParsedNumber> parsed =
          ParseNumber(value.AsString(), locale);
      if (parsed) {
        const std::optional<double> number = parsed->ToDouble();
        if (number) return Date{*number};
      }
      return ParseDateText(value.AsString(), locale);
    }
    default:
      return Date{CDbl(value, locale)};
  }
}

// The sections of a pattern, split at ";" outside quotes and escapes: at
// most four (a further ";" belongs to the fourth).
struct Sections {
  std::array<std::string_view, kMaxSections> items;
  std::size_t count = 0;

  std::size_t size() const { return count; }
  std::string_view operator[](std::size_t i) const { return items[i]; }
};

Sections SplitSections(std::string_view pattern) {
  Sections sections;
  std::size_t start = 0;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if (auto literal = LiteralAt(pattern, i)) {
      i = literal->last;
    } else if (c == ';' && sections.count + 1 < kMaxSections) {
      sections.items[sections.count++] = pattern.substr(start, i - start);
      start = i + 1;
    }
  }
  sections.items[sections.count++] =
      pattern.substr(std::min(start, pattern.size()));
  return sections;
}

enum class PatternKind { kNumber, kDate, kText };

bool IsDateLetter(char c) {
  const char lower =
      c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  return std::string_view("dmyhnswqct").find(lower) != std::string_view::npos;
}

// Text placeholders make a text pattern, digit placeholders a number
// pattern, date letters a date pattern; "<", ">" and "!" alone a text one.
PatternKind Classify(std::string_view pattern) {
  bool digit = false;
  bool date = false;
  bool text_flag = false;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if (auto literal = LiteralAt(pattern, i)) {
      i = literal->last;
    } else if (c == '@' || c == '&') {
      return PatternKind::kText;
    } else if (c == '0' || c == '#') {
      digit = true;
    } else if (IsDateLetter(c)) {
      date = true;
    } else if (c == '<' || c == '>' || c == '!') {
      text_flag = true;
    }
  }
  if (digit) return PatternKind::kNumber;
  if (date) return PatternKind::kDate;
  if (text_flag) return PatternKind::kText;
  return PatternKind::kNumber;
}

// What a number section asks for, read in one pass before writing.
struct NumberLayout {
  int integer_placeholders = 0;
  int min_integer_digits = 0;  // placeholders from the first integer "0"
  int fraction_placeholders = 0;
  int min_fraction_digits = 0;  // up to the last fraction "0"
  bool grouping = false;
  int scale_commas = 0;
  int percents = 0;
  bool scientific = false;
  int min_exponent_digits = 0;
  // Where the whole digits go when there is no integer placeholder.
  std::size_t anchor = std::string_view::npos;
};

bool IsExponentAt(std::string_view section, std::size_t i) {
  return (section[i] == 'E' || section[i] == 'e') && i + 1 < section.size() &&
         (section[i + 1] == '+' || section[i + 1] == '-');
}

NumberLayout ReadLayout(std::string_view section) {
  NumberLayout layout;
  bool after_point = false;
  bool seen_zero = false;
  int pending_commas = 0;
  auto set_anchor = [&](std::size_t i) {
    if (layout.anchor == std::string_view::npos) layout.anchor = i;
  };
  for (std::size_t i = 0; i < section.size(); ++i) {
    const char c = section[i];
    if (auto literal = LiteralAt(section, i)) {
      i = literal->last;
    } else if (c == '0' || c == '#') {
      if (layout.scientific) {
        if (c == '0') ++layout.min_exponent_digits;
      } else if (after_point) {
        ++layout.fraction_placeholders;
        if (c == '0') layout.min_fraction_digits = layout.fraction_placeholders;
      } else {
        if (pending_commas > 0) layout.grouping = true;
        pending_commas = 0;
        ++layout.integer_placeholders;
        if (c == '0') seen_zero = true;
        if (seen_zero) ++layout.min_integer_digits;
        set_anchor(i);
      }
    } else if (c == ',') {
      if (!after_point && !layout.scientific &&
          layout.integer_placeholders > 0) {
        ++pending_commas;
      }
    } else if (c == '.' && !after_point && !layout.scientific) {
      after_point = true;
      layout.scale_commas += pending_commas;
      pending_commas = 0;
      set_anchor(i);
    } else if (c == '%') {
      ++layout.percents;
      set_anchor(i);
    } else if (!layout.scientific && IsExponentAt(section, i)) {
      layout.scientific = true;
      layout.scale_commas += pending_commas;
      pending_commas = 0;
      set_anchor(i);
      ++i;
    }
  }
  layout.scale_commas += pending_commas;
  if (layout.anchor == std::string_view::npos) layout.anchor = section.size();
  return layout;
}

// A pattern as Format reads it: its sections (views into the pattern), what
// kind of pattern it is, and each section's layout as a number section.
struct ReadPattern {
  Sections sections;
  PatternKind kind = PatternKind::kNumber;
  std::array<NumberLayout, kMaxSections> layouts;
};

ReadPattern Read(std::string_view pattern) {
  ReadPattern read;
  read.sections = SplitSections(pattern);
  read.kind = Classify(pattern);
  for (std::size_t i = 0; i < read.sections.size(); ++i) {
    read.layouts[i] = ReadLayout(read.sections[i]);
  }
  return read;
}

// `pattern` read, from the few patterns this thread read last when it is
// one of them: a report writes its amounts with the same patterns on every
// line, and reading a pattern costs more than writing the number. The
// sections are views into `pattern` itself, so that a value whose text
// formats again (an object's default value) cannot pull them away.
ReadPattern ReadRemembered(std::string_view pattern) {
  struct Entry {
    bool used = false;
    std::string text;
    ReadPattern read;  // views into `text`
  };
  constexpr std::size_t kEntries = 4;
  thread_local std::array<Entry, kEntries> entries;
  thread_local std::size_t next = 0;
  const Entry* found = nullptr;
  for (const Entry& entry : entries) {
    if (entry.used && entry.text == pattern) found = &entry;
  }
  if (found == nullptr) {
    Entry& entry = entries[next];
    next = (next + 1) % kEntries;
    entry.used = true;
    entry.text.assign(pattern);
    entry.read = Read(entry.text);
    found = &entry;
  }
  ReadPattern read = found->read;
  for (std::size_t i = 0; i < read.sections.size(); ++i) {
    const std::string_view section = read.sections[i];
    read.sections.items[i] = pattern.substr(
        static_cast<std::size_t>(section.data() - found->text.data()),
        section.size());
  }
  return read;
}

// |number| rounded half away from zero to `decimals` places.
DecimalNumber Rounded(DecimalNumber number, int decimals) {
  const long long size = static_cast<long long>(number.count);
  const long long keep = size + number.exponent + decimals;
  if (number.IsZero() || keep >= size) return number;
  if (keep < 0 || (keep == 0 && number.buffer[0] < '5')) {
    return DecimalNumber{};
  }
  const bool round_up = number.buffer[static_cast<std::size_t>(keep)] >= '5';
  number.count = static_cast<std::size_t>(keep);
  number.exponent = -decimals;
  if (round_up) {
    // The 9s that carry become trailing zeros, which are dropped.
    std::size_t i = number.count;
    while (i > 0 && number.buffer[i - 1] == '9') --i;
    number.exponent += static_cast<int>(number.count - i);
    if (i == 0) {
      number.buffer[0] = '1';
      number.count = 1;
      return number;
    }
    ++number.buffer[i - 1];
    number.count = i;
  }
  DropTrailingZeros(number);
  return number;
}

// `number` (its sign already dealt with) written with one number section
// after `sign`.
std::string RenderNumber(const DecimalNumber& number, std::string_view section,
                         const NumberLayout& layout, const Locale& locale,
                         std::string_view sign = {}) {
  DecimalNumber value = number;
  if (!value.IsZero()) {
    value.exponent += 2 * std::min(layout.percents, kMaxPercentScales) -
                      3 * std::min(layout.scale_commas, kMaxCommaScales);
  }

  int shown_exponent = 0;
  DecimalNumber shown;
  if (layout.scientific && !value.IsZero()) {
    const int mantissa_digits = std::max(layout.integer_placeholders, 1);
    const int lead = static_cast<int>(value.count) - 1 + value.exponent;
    shown_exponent = lead - (mantissa_digits - 1);
    DecimalNumber mantissa = value;
    mantissa.exponent -= shown_exponent;
    shown = Rounded(mantissa, layout.fraction_placeholders);
    if (shown.WholeDigits() > mantissa_digits) {
      // 9.999 rounded up to 10.00: one more power of ten.
      ++shown_exponent;
      mantissa.exponent -= 1;
      shown = Rounded(mantissa, layout.fraction_placeholders);
    }
  } else {
    shown = Rounded(value, layout.fraction_placeholders);
  }
  const long long whole_length =
      std::max<long long>(shown.WholeDigits(), layout.min_integer_digits);
  const long long fraction_length =
      std::max<long long>(shown.FractionDigits(), layout.min_fraction_digits);

  std::string out(sign);
  auto append_whole_digit = [&](long long j) {
    const long long place = whole_length - 1 - j;
    out += shown.DigitAt(place);
    if (layout.grouping && place > 0 && place % 3 == 0) {
      out += locale.group_separator;
    }
  };
  auto append_all_whole = [&]() {
    for (long long j = 0; j < whole_length; ++j) append_whole_digit(j);
  };
  // Digits beyond the integer placeholders go in front of the first one.
  const long long offset = whole_length - layout.integer_placeholders;
  int integer_index = 0;
  long long fraction_index = 0;
  bool after_point = false;
  bool in_exponent = false;
  for (std::size_t i = 0; i < section.size(); ++i) {
    const char c = section[i];
    if (i == layout.anchor && layout.integer_placeholders == 0) {
      append_all_whole();
    }
    if (auto literal = LiteralAt(section, i)) {
      out.append(literal->text);
      i = literal->last;
    } else if (c == '0' || c == '#') {
      if (in_exponent) continue;
      if (after_point) {
        if (fraction_index < fraction_length) {
          out += shown.DigitAt(-1 - fraction_index);
        }
        ++fraction_index;
        continue;
      }
      if (integer_index == 0) {
        for (long long j = 0; j < offset; ++j) append_whole_digit(j);
      }
      const long long j = offset + integer_index;
      if (j >= 0) append_whole_digit(j);
      ++integer_index;
    } else if (c == ',' && !in_exponent) {
      // Grouping and scaling are done; the comma itself never prints.
    } else if (c == '.' && !after_point && !in_exponent) {
      after_point = true;
      out += locale.decimal_separator;
    } else if (!in_exponent && layout.scientific && IsExponentAt(section, i)) {
      in_exponent = true;
      out += c;
      if (shown_exponent < 0) {
        out += '-';
      } else if (section[i + 1] == '+') {
        out += '+';
      }
      std::string exponent_text = std::to_string(std::abs(shown_exponent));
      if (static_cast<int>(exponent_text.size()) < layout.min_exponent_digits) {
        exponent_text.insert(
            0,
            static_cast<std::size_t>(layout.min_exponent_digits) -
                exponent_text.size(),
            '0');
      }
      out += exponent_text;
      ++i;
    } else {
      out += c;
    }
  }
  if (layout.anchor == section.size() && layout.integer_placeholders == 0) {
    append_all_whole();
  }
  return out;
}

std::string FormatNumber(const Variant& value, const ReadPattern& pattern,
                         const Locale& locale) {
  const Sections& sections = pattern.sections;
  auto render = [&](const DecimalNumber& number, std::size_t section,
                    std::string_view sign = {}) {
    return RenderNumber(number, sections[section], pattern.layouts[section],
                        locale, sign);
  };
  if (value.IsNull()) return sections.size() >= 4 ? render({}, 3) : "";
  const std::optional<NumberValue> number = NumberOf(value, locale);
  if (!number) return TextOf(value, locale);
  if (number->non_finite) return DoubleText(*number->non_finite, locale);
  const DecimalNumber& n = number->number;
  if (n.negative) {
    DecimalNumber magnitude = n;
    magnitude.negative = false;
    if (sections.size() >= 2 && !sections[1].empty()) {
      return render(magnitude, 1);
    }
    return render(magnitude, 0, "-");
  }
  if (n.IsZero() && sections.size() >= 3 && !sections[2].empty()) {
    return render(n, 2);
  }
  return render(n, 0);
}

// The start of each UTF-8 character of `text`, and its end.
std::vector<std::size_t> CharacterStarts(std::string_view text) {
  std::vector<std::size_t> starts;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
      starts.push_back(i);
    }
  }
  starts.push_back(text.size());
  return starts;
}

std::string RenderText(std::string_view value, std::string_view section) {
  int placeholders = 0;
  bool left_to_right = false;
  char case_change = 0;
  for (std::size_t i = 0; i < section.size(); ++i) {
    const char c = section[i];
    if (auto literal = LiteralAt(section, i)) {
      i = literal->last;
    } else if (c == '@' || c == '&') {
      ++placeholders;
    } else if (c == '!') {
      left_to_right = true;
    } else if (c == '<' || c == '>') {
      case_change = c;
    }
  }
  std::string changed;
  if (case_change == '<') {
    changed = LCase(value);
    value = changed;
  } else if (case_change == '>') {
    changed = UCase(value);
    value = changed;
  }
  const std::vector<std::size_t> starts = CharacterStarts(value);
  const long long count = static_cast<long long>(starts.size()) - 1;
  auto characters = [&](long long from, long long to) {
    return value.substr(starts[static_cast<std::size_t>(from)],
                        starts[static_cast<std::size_t>(to)] -
                            starts[static_cast<std::size_t>(from)]);
  };
  // Right to left, the first placeholder takes the characters that do not
  // fit; left to right, the last one does.
  const long long offset = left_to_right ? 0 : count - placeholders;

  std::string out;
  out.reserve(section.size() + value.size());
  int index = 0;
  for (std::size_t i = 0; i < section.size(); ++i) {
    const char c = section[i];
    if (auto literal = LiteralAt(section, i)) {
      out.append(literal->text);
      i = literal->last;
    } else if (c == '@' || c == '&') {
      if (index == 0 && offset > 0) out.append(characters(0, offset));
      const long long j = offset + index;
      if (j >= 0 && j < count) {
        out.append(characters(j, j + 1));
      } else if (c == '@') {
        out += ' ';
      }
      ++index;
      if (index == placeholders && left_to_right && count > placeholders) {
        out.append(characters(placeholders, count));
      }
    } else if (c == '!' || c == '<' || c == '>') {
      // Flags, read above.
    } else {
      out += c;
    }
  }
  if (placeholders == 0) out.append(value);
  return out;
}

std::string FormatText(const Variant& value, const Sections& sections,
                       const Locale& locale) {
  const bool has_empty_section = sections.size() >= 2 && !sections[1].empty();
  if (value.IsNull()) {
    return has_empty_section ? RenderText("", sections[1]) : "";
  }
  const std::string text = TextOf(value, locale);
  if (text.empty() && has_empty_section) return RenderText("", sections[1]);
  return RenderText(text, sections[0]);
}

std::string FormatDate(const Variant& value, std::string_view section,
                       const Locale& locale) {
  if (value.IsNull()) return "";
  const std::optional<Date> date = DateOf(value, locale);
  if (!date) return TextOf(value, locale);
  return FormatDatePattern(*date, section, locale);
}

std::string FormatPattern(const Variant& value, std::string_view pattern,
                          const Locale& locale) {
  const ReadPattern read = ReadRemembered(pattern);
  switch (read.kind) {
    case PatternKind::kText:
      return FormatText(value, read.sections, locale);
    case PatternKind::kDate:
      return FormatDate(value, read.sections[0], locale);
    case PatternKind::kNumber:
      break;
  }
  return FormatNumber(value, read, locale);
}

std::string GeneralNumber(const Variant& value, const Locale& locale) {
  switch (value.type()) {
    case VarType::kNull:
    case VarType::kEmpty:
      return TextOf(value, locale);
    case VarType::kCurrency:
      return CurrencyText(value.AsCurrency(), locale);
    case VarType::kInteger:
    case VarType::kLong:
    case VarType::kLongLong:
      return TextOf(value, locale);
    case VarType::kBoolean:
      return value.AsBoolean() ? "-1" : "0";
    case VarType::kDate:
      return DoubleText(value.AsDate().serial, locale);
    default:
      break;
  }
  if (value.IsString() && !IsNumeric(value, locale)) {
    return value.AsString();
  }
  return DoubleText(CDbl(value, locale), locale);
}

std::string TwoWords(const Variant& value, const char* yes, const char* no,
                     const Locale& locale) {
  if (value.IsNull()) return "";
  const std::optional<NumberValue> number = NumberOf(value, locale);
  if (!number) return TextOf(value, locale);
  return number->non_finite || !number->number.IsZero() ? yes : no;
}

// The named formats; nothing when `name` names none.
std::optional<std::string> FormatNamed(const Variant& value,
                                       std::string_view name,
                                       const Locale& locale) {
  // Only the names are checked before the pattern is read as one. Every
  // name starts with a letter; most patterns ("#,##0.00", "dd/mm/yyyy"
  // aside) do not.
  if (name.size() < 5 || name.size() > 14) return std::nullopt;
  const char first = name.front();
  if (!((first >= 'A' && first <= 'Z') || (first >= 'a' && first <= 'z'))) {
    return std::nullopt;
  }
  auto is = [&](std::string_view candidate) {
    return EqualsIgnoreCase(name, candidate);
  };
  auto number = [&](std::string_view pattern) {
    return FormatNumber(value, ReadRemembered(pattern), locale);
  };
  if (is("General Number")) return GeneralNumber(value, locale);
  if (is("Currency")) {
    std::string pattern = "\"" + locale.currency_symbol + "\"#,##0";
    if (locale.currency_digits > 0) {
      pattern += '.';
      pattern.append(static_cast<std::size_t>(locale.currency_digits), '0');
    }
    return number(pattern);
  }
  if (is("Fixed")) return number("0.00");
  if (is("Standard")) return number("#,##0.00");
  if (is("Percent")) return number("0.00%");
  if (is("Scientific")) return number("0.00E+00");
  if (is("Yes/No")) return TwoWords(value, "Yes", "No", locale);
  if (is("True/False")) return TwoWords(value, "True", "False", locale);
  if (is("On/Off")) return TwoWords(value, "On", "Off", locale);
  if (is("General Date")) {
    if (value.IsNull()) return std::string();
    const std::optional<Date> date = DateOf(value, locale);
    return date ? DateText(*date, locale) : TextOf(value, locale);
  }
  if (is("Long Date")) return FormatDate(value, locale.long_date, locale);
  if (is("Medium Date")) return FormatDate(value, "dd-mmm-yy", locale);
  if (is("Short Date")) {
    return FormatDate(value, locale.short_date, locale);
  }
  if (is("Long Time")) return FormatDate(value, locale.long_time, locale);
  if (is("Medium Time")) {
    return FormatDate(value, "hh:nn AMPM", locale);
  }
  if (is("Short Time")) return FormatDate(value, "hh:nn", locale);
  return std::nullopt;
}

}  // namespace

std::string Format(const Variant& value, std::string_view pattern,
                   const Locale& locale) {
  const conversion_steps::Plain plain(value);
  if (plain->IsArray() || pattern.empty()) return TextOf(*plain, locale);
  if (std::optional<std::string> named = FormatNamed(*plain, pattern, locale)) {
    return *std::move(named);
  }
  return FormatPattern(*plain, pattern, locale);
}

std::string Format(const Variant& value, std::string_view pattern) {
  return Format(value, pattern, Locale::Current());
}

bool IsDigitPattern(std::string_view pattern) {
  bool digit = false;
  for (const char c : pattern) {
    if (c == '#' || c == '0') {
      digit = true;
    } else if (c != ',' && c != '.') {
      return false;
    }
  }
  return digit;
}

bool FormatsLikeItsText(const Variant& value, std::string_view pattern) {
  constexpr std::int64_t kLimit = 1'000'000'000'000'000;
  switch (value.type()) {
    case VarType::kInteger:
    case VarType::kLong:
    case VarType::kDouble:
      break;
    case VarType::kLongLong:
      if (value.AsLongLong() <= -kLimit || value.AsLongLong() >= kLimit) {
        return false;
      }
      break;
    case VarType::kCurrency:
      if (value.AsCurrency().scaled <= -kLimit ||
          value.AsCurrency().scaled >= kLimit) {
        return false;
      }
      break;
    default:
      return false;
  }
  return IsDigitPattern(pattern);
}

std::optional<std::string> FormatPatternProblem(std::string_view pattern) {
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const std::optional<PatternLiteral> literal = LiteralAt(pattern, i);
    if (!literal) continue;
    if (pattern[i] == '"' && literal->last == pattern.size()) {
      return "the quoted text that starts at character " +
             std::to_string(i + 1) + " is never closed";
    }
    if (pattern[i] == '\\' && i + 1 == pattern.size()) {
      return "it ends with a \"\\\" that escapes nothing";
    }
    i = literal->last;
  }
  return std::nullopt;
}

}  // namespace nerolin
