#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "automation/locale.h"
#include "nerolin/variant.h"

namespace nerolin {

// Numbers to and from text as VB writes and reads them.

// The 15 significant digits a Double prints with, rounded as printf's
// "%.14e" rounds them, so that 2.675 counts as the 2.675 it is written as
// and not as the binary value just below it.
struct SignificantDigits {
  std::array<char, 15> digits;  // '0'..'9', the first of them not '0'
  std::size_t count;            // up to the last digit that is not '0'
  int exponent;                 // |value| = d.ddd... × 10^exponent
};

// REQUIRES: value is finite and not 0.
SignificantDigits DoubleDigits(double value);

// Up to 15 significant digits, trailing zeros dropped, with the locale's
// decimal separator: "0.3", "0.333333333333333"; from 1E+15 up and below
// 0.0001 in exponent form with at least two exponent digits ("1E+16",
// "1.5E-07"). -0 prints as "0".
std::string DoubleText(double value, const Locale& locale);

// Up to four decimals, trailing zeros dropped: "12.5", "-0.0001", "3".
std::string CurrencyText(Currency value, const Locale& locale);

// A number read from a text: `digits` × 10^`exponent`, or the value of a
// "&H" / "&O" text.
struct ParsedNumber {
  bool negative = false;
  std::string digits;  // without leading or trailing zeros; empty for 0
  int exponent = 0;
  bool radix = false;
  std::uint64_t radix_value = 0;
  bool radix_overflow = false;

  bool IsZero() const { return radix ? radix_value == 0 : digits.empty(); }
  // The signed value of a "&H" / "&O" text: up to 16 bits as an Integer, up
  // to 32 bits as a Long, so "&HFFFF" is -1. Nothing past 32 bits.
  // REQUIRES: radix.
  std::optional<std::int32_t> RadixValue() const;
  // The nearest Double; nothing when the value is too large for one.
  std::optional<double> ToDouble() const;
  // The value times 10,000 rounded half to even, exactly; nothing when it
  // is out of Currency's range.
  std::optional<std::int64_t> ToScaledCurrency() const;
};

// Reads a number the way VB reads one from text: blanks around it; one sign
// before or after it; parentheses for a negative number; the currency
// symbol before or after the digits; group separators among the whole
// digits; the decimal separator; an exponent introduced by E or D; or a
// "&H" / "&O" prefix followed by hexadecimal or octal digits. Nothing when
// the text is no number.
std::optional<ParsedNumber> ParseNumber(std::string_view text,
                                        const Locale& locale);

}  // namespace nerolin
