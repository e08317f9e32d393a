#include "automation/number_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace nerolin {

namespace {

// Exponents beyond this are out of any range already; capping them keeps
// the arithmetic from overflowing on texts like "1E99999999999".
constexpr int kExponentCap = 100000;

std::string WithDecimalSeparator(std::string_view text, const Locale& locale) {
  const std::string_view separator = locale.decimal_separator;
  if (separator == ".") return std::string(text);
  const std::size_t dot = text.find('.');
  if (dot == std::string_view::npos) return std::string(text);
  std::string result;
  result.reserve(text.size() + separator.size());
  result.append(text.substr(0, dot))
      .append(separator)
      .append(text.substr(dot + 1));
  return result;
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' ||
         c == '\f';
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool ConsumePrefix(std::string_view text, std::size_t& pos,
                   std::string_view prefix) {
  if (prefix.empty() || text.substr(pos, prefix.size()) != prefix) {
    return false;
  }
  pos += prefix.size();
  return true;
}

std::optional<ParsedNumber> ParseRadix(std::string_view text, std::size_t pos) {
  ParsedNumber number;
  number.radix = true;
  const char kind = text[pos + 1];
  const unsigned base = kind == 'H' || kind == 'h' ? 16 : 8;
  pos += 2;
  std::size_t digit_count = 0;
  for (; pos < text.size(); ++pos, ++digit_count) {
    const char c = text[pos];
    unsigned digit = 0;
    if (IsDigit(c)) {
      digit = static_cast<unsigned>(c - '0');
    } else if (base == 16 && c >= 'a' && c <= 'f') {
      digit = static_cast<unsigned>(c - 'a' + 10);
    } else if (base == 16 && c >= 'A' && c <= 'F') {
      digit = static_cast<unsigned>(c - 'A' + 10);
    } else {
      break;
    }
    if (digit >= base) return std::nullopt;
    if (number.radix_value > (std::numeric_limits<std::uint64_t>::max() >> 4)) {
      number.radix_overflow = true;
    } else {
      number.radix_value = number.radix_value * base + digit;
    }
  }
  while (pos < text.size() && IsBlank(text[pos])) ++pos;
  if (digit_count == 0 || pos != text.size()) return std::nullopt;
  return number;
}

}  // namespace

SignificantDigits DoubleDigits(double value) {
  SignificantDigits result{};
  result.digits.fill('0');
  const double magnitude = std::fabs(value);
  // When magnitude × 10^k comes out a whole number N below 10^15 for some k
  // (amounts and quantities with a few decimals, the usual numbers in a
  // report), N's digits are the ones wanted, without printing: the product
  // is exact but for one rounding, so N / 10^k lies within 2^-53 of the
  // value (relatively), while 15-digit decimals lie at least 10^-15 apart.
  static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,
                                       1e7,  1e8,  1e9,  1e10, 1e11, 1e12, 1e13,
                                       1e14, 1e15, 1e16, 1e17, 1e18};
  constexpr double kLimit = 1e15;
  if (magnitude >= 1e-4 && magnitude < kLimit) {
    for (int k = 0; k < static_cast<int>(std::size(kPowers)); ++k) {
      const double scaled = magnitude * kPowers[k];
      if (scaled >= kLimit) break;
      if (scaled != std::trunc(scaled)) continue;
      char text[24];
      const std::to_chars_result end = std::to_chars(
          text, text + sizeof text, static_cast<std::uint64_t>(scaled));
      const auto count = static_cast<std::size_t>(end.ptr - text);
      std::copy(text, end.ptr, result.digits.begin());
      result.count = count;
      result.exponent = static_cast<int>(count) - 1 - k;
      break;
    }
  }
  if (result.count == 0) {
    // d.dddddddddddddde±x
    char text[32];
    const std::to_chars_result end = std::to_chars(
        text, text + sizeof text, magnitude, std::chars_format::scientific, 14);
    result.digits[0] = text[0];
    std::copy(text + 2, text + 16, result.digits.begin() + 1);
    result.count = result.digits.size();
    // The exponent's sign always follows the "e".
    int exponent = 0;
    std::from_chars(text + 18, end.ptr, exponent);
    result.exponent = text[17] == '-' ? -exponent : exponent;
  }
  while (result.digits[result.count - 1] == '0') --result.count;
  return result;
}

std::string DoubleText(double value, const Locale& locale) {
  if (value == 0) return "0";  // -0 too
  if (std::isnan(value)) return WithDecimalSeparator("-1.#IND", locale);
  if (std::isinf(value)) {
    return WithDecimalSeparator(value < 0 ? "-1.#INF" : "1.#INF", locale);
  }
  // As %.15G writes it, without the locale's influence.
  const SignificantDigits number = DoubleDigits(value);
  const std::string_view digits(number.digits.data(), number.count);
  const int exponent = number.exponent;
  // No room reserved: most numbers a report shows fit the string's own
  // buffer, and reserving past it would allocate for every one.
  std::string text;
  if (value < 0) text += '-';
  if (exponent < -4 || exponent >= 15) {
    text += digits[0];
    if (digits.size() > 1) {
      text += locale.decimal_separator;
      text += digits.substr(1);
    }
    text += exponent < 0 ? "E-" : "E+";
    const int shown = exponent < 0 ? -exponent : exponent;
    if (shown < 10) text += '0';
    text += std::to_string(shown);
  } else if (exponent < 0) {
    text += '0';
    text += locale.decimal_separator;
    text.append(static_cast<std::size_t>(-exponent - 1), '0');
    text += digits;
  } else {
    const auto whole = static_cast<std::size_t>(exponent) + 1;
    if (digits.size() <= whole) {
      text += digits;
      text.append(whole - digits.size(), '0');
    } else {
      text += digits.substr(0, whole);
      text += locale.decimal_separator;
      text += digits.substr(whole);
    }
  }
  return text;
}

std::string CurrencyText(Currency value, const Locale& locale) {
  const bool negative = value.scaled < 0;
  const std::uint64_t magnitude =
      negative ? 0 - static_cast<std::uint64_t>(value.scaled)
               : static_cast<std::uint64_t>(value.scaled);
  std::string text = negative ? "-" : "";
  text += std::to_string(magnitude / Currency::kScale);
  std::uint64_t fraction = magnitude % Currency::kScale;
  if (fraction != 0) {
    char digits[4];
    for (int i = 3; i >= 0; --i) {
      digits[i] = static_cast<char>('0' + fraction % 10);
      fraction /= 10;
    }
    int length = 4;
    while (digits[length - 1] == '0') --length;
    text += locale.decimal_separator;
    text.append(digits, static_cast<std::size_t>(length));
  }
  return text;
}

std::optional<ParsedNumber> ParseNumber(std::string_view text,
                                        const Locale& locale) {
  std::size_t pos = 0;
  while (pos < text.size() && IsBlank(text[pos])) ++pos;
  if (pos + 1 < text.size() && text[pos] == '&') {
    const char kind = text[pos + 1];
    if (kind == 'H' || kind == 'h' || kind == 'O' || kind == 'o') {
      return ParseRadix(text, pos);
    }
  }

  ParsedNumber number;
  bool has_sign = false;
  bool has_currency = false;
  bool open_paren = false;
  for (;;) {
    if (pos >= text.size()) return std::nullopt;
    const char c = text[pos];
    if (IsBlank(c)) {
      ++pos;
    } else if ((c == '+' || c == '-') && !has_sign) {
      has_sign = true;
      number.negative = c == '-';
      ++pos;
    } else if (c == '(' && !open_paren) {
      open_paren = true;
      ++pos;
    } else if (!has_currency &&
               ConsumePrefix(text, pos, locale.currency_symbol)) {
      has_currency = true;
    } else {
      break;
    }
  }

  bool any_digit = false;
  bool in_fraction = false;
  long long exponent = 0;
  while (pos < text.size()) {
    const char c = text[pos];
    if (IsDigit(c)) {
      any_digit = true;
      if (c != '0' || !number.digits.empty()) number.digits += c;
      if (in_fraction) --exponent;
      ++pos;
    } else if (!in_fraction && any_digit &&
               ConsumePrefix(text, pos, locale.group_separator)) {
      // Group separators may stand anywhere among the whole digits.
    } else if (!in_fraction &&
               ConsumePrefix(text, pos, locale.decimal_separator)) {
      in_fraction = true;
    } else {
      break;
    }
  }
  if (!any_digit) return std::nullopt;
  if (pos < text.size() && (text[pos] == 'E' || text[pos] == 'e' ||
                            text[pos] == 'D' || text[pos] == 'd')) {
    ++pos;
    bool exponent_negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
      exponent_negative = text[pos] == '-';
      ++pos;
    }
    long long written = 0;
    std::size_t exponent_digits = 0;
    for (; pos < text.size() && IsDigit(text[pos]); ++pos, ++exponent_digits) {
      if (written < kExponentCap) written = written * 10 + (text[pos] - '0');
    }
    if (exponent_digits == 0) return std::nullopt;
    exponent += exponent_negative ? -written : written;
  }

  bool closed_paren = false;
  while (pos < text.size()) {
    const char c = text[pos];
    if (IsBlank(c)) {
      ++pos;
    } else if ((c == '+' || c == '-') && !has_sign) {
      has_sign = true;
      number.negative = c == '-';
      ++pos;
    } else if (c == ')' && open_paren && !closed_paren) {
      closed_paren = true;
      ++pos;
    } else if (!has_currency &&
               ConsumePrefix(text, pos, locale.currency_symbol)) {
      has_currency = true;
    } else {
      return std::nullopt;
    }
  }
  if (open_paren != closed_paren) return std::nullopt;
  if (open_paren) {
    if (has_sign) return std::nullopt;  // "(-5)" is no number
    number.negative = true;
  }

  // Trailing zeros of the digits move into the exponent.
  std::size_t kept = number.digits.size();
  while (kept > 0 && number.digits[kept - 1] == '0') --kept;
  exponent += static_cast<long long>(number.digits.size() - kept);
  number.digits.resize(kept);
  if (number.digits.empty()) {
    number.negative = false;
    exponent = 0;
  }
  // Bounded well inside int: the digit count of any text we read is far
  // smaller than INT_MAX, and the written exponent is capped.
  if (exponent > 10 * kExponentCap) exponent = 10 * kExponentCap;
  if (exponent < -10 * kExponentCap - static_cast<long long>(kept)) {
    exponent = -10 * kExponentCap - static_cast<long long>(kept);
  }
  number.exponent = static_cast<int>(exponent);
  return number;
}

std::optional<std::int32_t> ParsedNumber::RadixValue() const {
  if (radix_overflow || radix_value > 0xFFFFFFFFu) {
    return std::nullopt;
  }
  if (radix_value <= 0xFFFFu) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(radix_value));
  }
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(radix_value));
}

std::optional<double> ParsedNumber::ToDouble() const {
  if (radix) {
    const std::optional<std::int32_t> value = RadixValue();
    if (!value) return std::nullopt;
    return static_cast<double>(*value);
  }
  if (digits.empty()) return 0.0;
  std::string text = digits;
  text += 'e';
  text += std::to_string(exponent);
  double value = 0;
  const std::from_chars_result result =
      std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec == std::errc::result_out_of_range) {
    // A value too small to tell from 0 is 0; only a large one overflows.
    if (static_cast<long long>(digits.size()) + exponent < 0) {
      return 0.0;
    }
    return std::nullopt;
  }
  if (result.ec != std::errc() || std::isinf(value)) return std::nullopt;
  return negative ? -value : value;
}

std::optional<std::int64_t> ParsedNumber::ToScaledCurrency() const {
  if (radix) {
    const std::optional<std::int32_t> value = RadixValue();
    if (!value) return std::nullopt;
    return static_cast<std::int64_t>(*value) * Currency::kScale;
  }
  if (digits.empty()) return 0;
  const long long scale = static_cast<long long>(exponent) + 4;
  const long long whole_length = static_cast<long long>(digits.size()) + scale;
  if (whole_length > 19) return std::nullopt;
  std::uint64_t magnitude = 0;
  for (long long i = 0; i < whole_length; ++i) {
    const int digit = i < static_cast<long long>(digits.size())
                          ? digits[static_cast<std::size_t>(i)] - '0'
                          : 0;
    if (__builtin_mul_overflow(magnitude, 10u, &magnitude) ||
        __builtin_add_overflow(magnitude, static_cast<unsigned>(digit),
                               &magnitude)) {
      return std::nullopt;
    }
  }
  if (whole_length < static_cast<long long>(digits.size())) {
    // Rounding half to even on the dropped digits (which end in a non-zero
    // digit, so a single dropped 5 is an exact half).
    const int first_dropped =
        whole_length < 0 ? 0
                         : digits[static_cast<std::size_t>(whole_length)] - '0';
    const bool more_after =
        whole_length < 0 ||
        static_cast<long long>(digits.size()) - whole_length > 1;
    const bool round_up =
        first_dropped > 5 || (first_dropped == 5 && more_after) ||
        (first_dropped == 5 && !more_after && magnitude % 2 == 1);
    if (round_up) ++magnitude;
  }
  const std::uint64_t limit =
      static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) +
      (negative ? 1 : 0);
  if (magnitude > limit) return std::nullopt;
  return negative ? static_cast<std::int64_t>(0 - magnitude)
                  : static_cast<std::int64_t>(magnitude);
}

}  // namespace nerolin
