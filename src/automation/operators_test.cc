#include "automation/operators.h"

#include <cstdint>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "automation/conversions.h"
#include "automation/locale.h"
#include "nerolin/automation_error.h"
#include "support/test_support.h"

namespace nerolin {
namespace {

const Locale& Mx() { return Locale::SpanishMexico(); }

Variant Int(std::int16_t value) { return Variant(value); }
Variant Lng(std::int32_t value) { return Variant(value); }
Variant Cur(double value) { return Variant(Currency::FromDouble(value)); }
Variant At(int year, int month, int day, int hour = 0) {
  return Variant(Date::FromParts(year, month, day, hour, 0, 0));
}

// "Type:text" for traces and failure output.
std::string Show(const Variant& value) {
  std::string text = std::to_string(static_cast<int>(value.type())) + ":";
  try {
    text += TextOf(value, Mx());
  } catch (const AutomationError& error) {
    text += error.what();
  }
  return text;
}

TEST(OperatorsTest, AddFollowsVariantArithmetic) {
  const Variant max_date(Date{2958465});
  struct Case {
    const char* name;
    Variant a;
    Variant b;
    Variant sum;
  };
  const Case cases[] = {
      {"integers", Int(1), Int(2), Int(3)},
      {"integer overflow widens", Int(32767), Int(1), Lng(32768)},
      {"integer underflow widens", Int(-32768), Int(-1), Lng(-32769)},
      {"long overflow widens", Lng(2147483647), Lng(1), Variant(2147483648.0)},
      {"integer and long", Int(1), Lng(2), Lng(3)},
      {"booleans", Variant(true), Variant(true), Int(-2)},
      {"numeric text", Variant("1"), Int(2), Variant(3.0)},
      {"text with group separator", Variant("1,5"), Int(1), Variant(16.0)},
      {"hexadecimal text", Variant("&HFFFF"), Int(1), Variant(0.0)},
      {"texts join", Variant("1"), Variant("2"), Variant("12")},
      {"null left", Variant::Null(), Int(1), Variant::Null()},
      {"null right", Variant("a"), Variant::Null(), Variant::Null()},
      {"empty and number", Variant(), Variant(2.5), Variant(2.5)},
      {"empty and text", Variant("a"), Variant(), Variant("a")},
      {"empty and boolean", Variant(), Variant(true), Int(-1)},
      {"empties", Variant(), Variant(), Int(0)},
      {"double", Variant(0.1), Variant(0.2), Variant(0.1 + 0.2)},
      {"currency and double", Cur(1.25), Variant(0.00004), Cur(1.25)},
      {"currency and text", Cur(1.25), Variant("1.5"), Cur(2.75)},
      {"date and number", At(2024, 1, 31), Int(1), At(2024, 2, 1)},
      {"number and date", Variant(0.5), At(2024, 1, 31), At(2024, 1, 31, 12)},
      {"date and text", At(2024, 1, 31), Variant("2"), At(2024, 2, 2)},
      {"date and currency", At(2024, 1, 31), Cur(1), At(2024, 2, 1)},
      {"long longs", Variant(std::int64_t{1} << 40), Int(1),
       Variant((std::int64_t{1} << 40) + 1)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Variant sum = Add(c.a, c.b, Mx());
    EXPECT_EQ(sum, c.sum) << Show(sum);
  }
}

TEST(OperatorsTest, AddRaisesOnTextsThatAreNoNumbersAndOnOverflow) {
  EXPECT_AUTOMATION_ERROR_MSG(Add(Variant("abc"), Int(1)),
                              errors::kTypeMismatch, "\"abc\"");
  EXPECT_AUTOMATION_ERROR_MSG(Add(Int(1), Variant("")), errors::kTypeMismatch,
                              "\"\"");
  EXPECT_AUTOMATION_ERROR(Add(Variant(Date{2958465}), Int(1)),
                          errors::kOverflow);
  EXPECT_AUTOMATION_ERROR(Add(Variant(1e308), Variant(1e308)),
                          errors::kOverflow);
  EXPECT_AUTOMATION_ERROR(
      Add(Variant(Currency{std::numeric_limits<std::int64_t>::max()}), Int(1)),
      errors::kOverflow);
  EXPECT_AUTOMATION_ERROR(
      Add(Variant(std::numeric_limits<std::int64_t>::max()), Int(1)),
      errors::kOverflow);
  EXPECT_AUTOMATION_ERROR(Add(Variant(VariantArray{}), Int(1)),
                          errors::kTypeMismatch);
}

TEST(OperatorsTest, ConcatTreatsNullAndEmptyAsEmptyText) {
  struct Case {
    Variant a;
    Variant b;
    Variant joined;
  };
  const Case cases[] = {
      {Variant::Null(), Variant::Null(), Variant::Null()},
      {Variant::Null(), Variant("a"), Variant("a")},
      {Variant(), Variant(), Variant("")},
      {Variant(), Variant::Null(), Variant("")},
      {Variant(1.5), Variant("x"), Variant("1.5x")},
      {Int(1), Int(2), Variant("12")},
      {Variant(true), Cur(2.5), Variant("True2.5")},
      {At(2024, 1, 15), Variant("!"), Variant("15/01/2024!")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Show(c.joined));
    EXPECT_EQ(Concat(c.a, c.b, Mx()), c.joined);
  }
}

TEST(OperatorsTest, CompareFollowsVariantComparison) {
  struct Case {
    const char* name;
    Variant a;
    Variant b;
    int order;
  };
  const Case cases[] = {
      {"numbers", Int(1), Variant(2.5), -1},
      {"equal across types", Lng(3), Variant(3.0), 0},
      {"currency and long", Cur(2.5), Lng(2), 1},
      {"long and currency", Lng(-3), Cur(-2.5), -1},
      {"currency equal to integer", Cur(-2), Int(-2), 0},
      {"texts binary", Variant("B"), Variant("a"), -1},
      {"texts equal", Variant("abc"), Variant("abc"), 0},
      {"longer text", Variant("ab"), Variant("a"), 1},
      {"numeric text numerically", Variant("10"), Int(9), 1},
      {"number and numeric text", Variant(2.5), Variant(" 2.5 "), 0},
      {"number below other text", Int(9), Variant("abc"), -1},
      {"other text above number", Variant("abc"), Int(9), 1},
      {"empty as zero", Variant(), Int(0), 0},
      {"empty below one", Variant(), Int(1), -1},
      {"empty as empty text", Variant(""), Variant(), 0},
      {"empty below text", Variant(), Variant("a"), -1},
      {"empties", Variant(), Variant(), 0},
      {"boolean is -1", Variant(true), Int(-1), 0},
      {"dates", At(2024, 1, 15), At(2024, 1, 16), -1},
      {"date and number", At(2024, 1, 15), Lng(45306), 0},
      {"date and date text", At(2024, 1, 15), Variant("15/01/2024"), 0},
      {"long long exactly", Variant(std::int64_t{9007199254740993}),
       Variant(std::int64_t{9007199254740992}), 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    bool has_null = true;
    EXPECT_EQ(Compare(c.a, c.b, Mx(), &has_null), c.order);
    EXPECT_FALSE(has_null);
    EXPECT_EQ(Compare(c.b, c.a, Mx(), &has_null), -c.order);
    EXPECT_EQ(Equals(c.a, c.b), c.order == 0);
  }
}

TEST(OperatorsTest, NullMakesComparisonsNull) {
  const Variant others[] = {Variant::Null(), Variant(), Int(1), Variant("a")};
  for (const Variant& other : others) {
    SCOPED_TRACE(Show(other));
    bool has_null = false;
    EXPECT_EQ(Compare(Variant::Null(), other, &has_null), 0);
    EXPECT_TRUE(has_null);
    has_null = false;
    Compare(other, Variant::Null(), &has_null);
    EXPECT_TRUE(has_null);
    EXPECT_FALSE(Equals(other, Variant::Null()));
  }
}

}  // namespace
}  // namespace nerolin
