#include "automation/number_text.h"

#include <string>

#include <gtest/gtest.h>

namespace nerolin {
namespace {

TEST(DoubleDigitsTest, GivesTheFifteenDigitsPrintfRoundsTo) {
  struct Case {
    double value;
    const char* digits;
    int exponent;
  };
  const Case cases[] = {
      {2.675, "2675", 0},               // not 2.67499999...
      {-0.30000000000000004, "3", -1},  // 0.1 + 0.2
      {1234.5, "12345", 3},             // a few decimals, the quick way
      {0.000123456789012345, "123456789012345", -4},
      {999999999999999.9, "1", 15},  // the carry adds a digit
      {1.0 / 3.0, "333333333333333", -1},
      {5e-324, "494065645841247", -324},  // the least denormal
      {1.7976931348623157e308, "179769313486232", 308},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.digits);
    const SignificantDigits digits = DoubleDigits(c.value);
    EXPECT_EQ(std::string(digits.digits.data(), digits.count), c.digits);
    EXPECT_EQ(digits.exponent, c.exponent);
    // Past the count the digits are zeros, for rounding at any place.
    for (std::size_t i = digits.count; i < digits.digits.size(); ++i) {
      EXPECT_EQ(digits.digits[i], '0');
    }
  }
}

}  // namespace
}  // namespace nerolin
