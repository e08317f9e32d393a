#include "hostlib/common/amount_text.h"

#include <gtest/gtest.h>

namespace nerolin::hostlib {
namespace {

TEST(FormatAmount, GroupsAndRoundsHalvesAwayFromZero) {
  struct Case {
    double amount;
    int decimals;
    const char* expected;
  };
  const Case cases[] = {
      {1234.5, 2, "$1,234.50"},
      {-1234.5, 2, "-$1,234.50"},
      {1.005, 2, "$1.01"},
      {-2.5, 0, "-$3"},
      {0.125, 2, "$0.13"},
      {999999.995, 2, "$1,000,000.00"},
      {-0.001, 2, "$0.00"},
      {0, 3, "$0.000"},
      {1234567.891, 0, "$1,234,568"},
      {12, 4, "$12.0000"},
      {123456789012.5, 2, "$123,456,789,012.50"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    EXPECT_EQ(FormatAmount(c.amount, AmountStyle{"$", ",", ".", c.decimals}),
              c.expected);
  }
}

}  // namespace
}  // namespace nerolin::hostlib
