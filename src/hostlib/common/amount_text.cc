#include "hostlib/common/amount_text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "nerolin/automation_error.h"
#include "nerolin/sqlite_library.h"

namespace nerolin::hostlib {

std::string FormatAmount(double amount, const AmountStyle& style) {
  if (!std::isfinite(amount)) {
    throw AutomationError(errors::kOverflow,
                          "Overflow (the amount is no finite number)",
                          std::string(sqlite::kSource));
  }
  int decimals = std::clamp(style.decimals, 0, 15);
  // Round the decimal number the amount prints as, not its binary value:
  // 1.005 is stored as 1.00499999... yet reads, and rounds, as 1.005.
  char printed[40];
  std::snprintf(printed, sizeof printed, "%.14e", std::fabs(amount));
  char mantissa[15];
  mantissa[0] = printed[0];
  std::memcpy(mantissa + 1, printed + 2, 14);
  int exponent = std::atoi(std::strchr(printed, 'e') + 1);
  // The digit for 10^power.
  auto digit_at = [&](int power) {
    int index = exponent - power;
    return index >= 0 && index < 15 ? mantissa[index] : '0';
  };
  std::string digits;  // from 10^max(exponent, 0) down to 10^-decimals
  int top = std::max(exponent, 0);
  digits.reserve(static_cast<std::size_t>(top) +
                 static_cast<std::size_t>(decimals) + 2);
  for (int power = top; power >= -decimals; --power) digits += digit_at(power);
  if (digit_at(-decimals - 1) >= '5') {
    std::size_t i = digits.size();
    while (i > 0 && digits[i - 1] == '9') digits[--i] = '0';
    if (i > 0) {
      ++digits[i - 1];
    } else {
      digits.insert(digits.begin(), '1');
    }
  }
  std::size_t integer_end = digits.size() - static_cast<std::size_t>(decimals);
  std::size_t first = 0;
  while (first + 1 < integer_end && digits[first] == '0') ++first;
  bool is_zero = digits.find_first_not_of('0') == std::string::npos;

  std::string out;
  out.reserve(digits.size() + digits.size() / 3 + style.symbol.size() + 4);
  if (amount < 0 && !is_zero) out += '-';
  out.append(style.symbol);
  std::size_t integer_digits = integer_end - first;
  for (std::size_t i = 0; i < integer_digits; ++i) {
    if (i > 0 && (integer_digits - i) % 3 == 0)
      out.append(style.group_separator);
    out += digits[first + i];
  }
  if (decimals > 0) {
    out.append(style.decimal_separator);
    out.append(digits, integer_end, static_cast<std::size_t>(decimals));
  }
  return out;
}

}  // namespace nerolin::hostlib
