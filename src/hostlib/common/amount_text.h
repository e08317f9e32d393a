#pragma once

#include <string>
#include <string_view>

namespace nerolin::hostlib {

// How an amount is written.
struct AmountStyle {
  std::string_view symbol;           // written before the digits
  std::string_view group_separator;  // between groups of three digits
  std::string_view decimal_separator;
  int decimals = 2;  // 0 to 15; outside, clamped
};

// `amount` rounded to `style.decimals` decimals, halves away from zero, as
// the decimal number it prints as (15 significant digits, so 1.005 gives
// "1.01"), written as sign, symbol, grouped integer digits and decimals:
// "$1,234.50", "-$1,234.50". An amount that rounds to zero has no sign.
// Raises error 6 for an infinite or NaN amount.
std::string FormatAmount(double amount, const AmountStyle& style);

}  // namespace nerolin::hostlib
