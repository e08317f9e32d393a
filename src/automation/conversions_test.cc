#include "automation/conversions.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "automation/date_text.h"
#include "automation/locale.h"
#include "automation/operators.h"
#include "nerolin/automation_error.h"
#include "nerolin/object.h"
#include "support/test_support.h"

namespace nerolin {
namespace {

const Locale& Mx() { return Locale::SpanishMexico(); }
const Locale& Us() { return Locale::EnglishUnitedStates(); }

Variant Int(std::int16_t value) { return Variant(value); }
Variant Lng(std::int32_t value) { return Variant(value); }
Variant Cur(double value) { return Variant(Currency::FromDouble(value)); }
Variant At(int year, int month, int day, int hour = 0, int minute = 0,
           int second = 0) {
  return Variant(Date::FromParts(year, month, day, hour, minute, second));
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

class NoDefault : public Object {
 public:
  std::string_view TypeName() const override { return "Thing"; }
  Variant Invoke(std::string_view member, InvokeKind, Arguments&) override {
    ThrowNoSuchMember(TypeName(), member);
  }
};

TEST(ConversionsTest, NumbersPrintAsVbPrintsThem) {
  struct Case {
    Variant value;
    const char* text;
  };
  const Case cases[] = {
      {Variant(0.1 + 0.2), "0.3"},
      {Variant(1.0 / 3.0), "0.333333333333333"},
      {Variant(2.0 / 3.0), "0.666666666666667"},
      {Variant(123456789012345.0), "123456789012345"},
      {Variant(1e15), "1E+15"},
      {Variant(1e16), "1E+16"},
      {Variant(1.5e20), "1.5E+20"},
      {Variant(-1.5e20), "-1.5E+20"},
      {Variant(1e-5), "1E-05"},
      {Variant(1.5e-7), "1.5E-07"},
      {Variant(0.0001), "0.0001"},
      {Variant(1e300), "1E+300"},
      {Variant(100.0), "100"},
      {Variant(-2.5), "-2.5"},
      {Variant(-0.0), "0"},
      {Int(-32768), "-32768"},
      {Lng(2147483647), "2147483647"},
      {Variant(std::int64_t{-9007199254740993}), "-9007199254740993"},
      {Cur(12.5), "12.5"},
      {Cur(-1234.5678), "-1234.5678"},
      {Cur(0.0001), "0.0001"},
      {Cur(3), "3"},
      {Variant(Currency{std::numeric_limits<std::int64_t>::min()}),
       "-922337203685477.5808"},
      {Variant(true), "True"},
      {Variant(false), "False"},
      {Variant(), ""},
      {Variant("texto"), "texto"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(CStr(c.value, Mx()), c.text);
    EXPECT_EQ(TextOf(c.value, Us()), c.text);
  }
}

// Prices and quantities with a few decimals take a short way to their text;
// it must agree with the 15-digit general form everywhere, including the
// edges of the fixed notation and values one step off a short decimal.
TEST(ConversionsTest, DoublesPrintTheirFifteenSignificantDigits) {
  auto reference = [](double value) {
    char buffer[40];
    const std::to_chars_result end = std::to_chars(
        buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
    std::string text(buffer, end.ptr);
    for (char& c : text) {
      if (c == 'e') c = 'E';
    }
    return text;
  };
  std::vector<double> values = {0.0001,           0.00012345,
                                0.000099999,      999999999999999.0,
                                99999999999999.9, 999999999999999.9,
                                1234.5678,        -1234.5678,
                                0.1 * 3,          2.675,
                                1e14 + 0.5,       123456789.123456};
  for (int i = 1; i <= 5000; ++i) {
    const double whole = i * 7919.0;
    for (const double scale : {1.0, 0.1, 0.01, 0.001, 1e-4, 1e-6, 1e-9}) {
      values.push_back(whole * scale);
      values.push_back(-whole * scale);
      values.push_back(std::nextafter(whole * scale, 0.0));
      values.push_back(std::nextafter(whole * scale, 1e300));
    }
  }
  for (const double value : values) {
    SCOPED_TRACE(reference(value));
    ASSERT_EQ(CStr(Variant(value), Us()), reference(value));
  }
}

TEST(ConversionsTest, NullHasTextOnlyThroughConcatenation) {
  EXPECT_EQ(TextOf(Variant::Null()), "");
  EXPECT_AUTOMATION_ERROR_MSG(CStr(Variant::Null()), errors::kInvalidUseOfNull,
                              "Invalid use of Null");
}

TEST(ConversionsTest, TextsMoveOutOfValuesAboutToGo) {
  const std::string long_text(1000, 'x');
  EXPECT_EQ(CStr(Variant(long_text)), long_text);
  EXPECT_EQ(CStr(Variant(2.5)), "2.5");
  Variant text(long_text);
  EXPECT_EQ(text.TakeString(), long_text);
  EXPECT_TRUE(text.IsString());
  // Reused room, whatever it held before.
  text.AssignString("abc");
  EXPECT_EQ(text, Variant("abc"));
  Variant number(7);
  number.AssignString("7");
  EXPECT_EQ(number, Variant("7"));
  EXPECT_AUTOMATION_ERROR(Variant(7).TakeString(), errors::kTypeMismatch);
}

TEST(ConversionsTest, ObjectStandsForItsDefaultValue) {
  const Variant field(std::make_shared<testing::FieldLike>(Variant(2.5)));
  EXPECT_EQ(CStr(field), "2.5");
  EXPECT_EQ(CInt(field), 2);
  EXPECT_EQ(Add(field, Int(1)), Variant(3.5));
  EXPECT_EQ(Compare(field, Variant("2.5")), 0);
  EXPECT_TRUE(IsNumeric(field));
  const Variant null_field(
      std::make_shared<testing::FieldLike>(Variant::Null()));
  EXPECT_EQ(TextOf(null_field), "");
  EXPECT_EQ(Concat(null_field, Variant::Null()), Variant::Null());

  const Variant thing(std::make_shared<NoDefault>());
  EXPECT_AUTOMATION_ERROR(CStr(thing), errors::kNoSuchMember);
  EXPECT_FALSE(IsNumeric(thing));
  EXPECT_AUTOMATION_ERROR(TextOf(Variant(ObjectRef())), errors::kObjectNotSet);
  EXPECT_AUTOMATION_ERROR_MSG(TextOf(Variant(VariantArray{Int(1)})),
                              errors::kTypeMismatch, "Variant()");
  // A default value that is the object itself is no value at all.
  auto loop = std::make_shared<testing::FieldLike>(Variant());
  loop->set_value(Variant(ObjectRef(loop)));
  EXPECT_AUTOMATION_ERROR(CStr(Variant(ObjectRef(loop))),
                          errors::kTypeMismatch);
  loop->set_value(Variant());  // break the cycle
}

TEST(ConversionsTest, TextsReadAsNumbers) {
  struct Case {
    const char* text;
    double value;
  };
  const Case cases[] = {
      {"12", 12},           {"  12  ", 12},
      {"\t-3.25\t", -3.25}, {"+7", 7},
      {"7-", -7},           {"7 +", 7},
      {"1,234.5", 1234.5},  {"1,2,3", 123},
      {".5", 0.5},          {"5.", 5},
      {"1E3", 1000},        {"1.5e-2", 0.015},
      {"2D2", 200},         {"$1,234.50", 1234.5},
      {"-$5", -5},          {"5$", 5},
      {"(5)", -5},          {"($1,000.25)", -1000.25},
      {"&HFF", 255},        {"&hff", 255},
      {"&HFFFF", -1},       {"&H8000", -32768},
      {"&H10000", 65536},   {"&HFFFFFFFF", -1},
      {"&O17", 15},         {" &o777 ", 511},
      {"0.000", 0},         {"1E-400", 0},
      {"000123", 123},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(CDbl(Variant(c.text), Mx()), c.value);
    EXPECT_TRUE(IsNumeric(Variant(c.text), Mx()));
  }
}

TEST(ConversionsTest, TextsThatAreNoNumberRaiseTypeMismatch) {
  const char* const cases[] = {
      "",     " ",   "abc", "1.2.3", "1E",  "1E+",  "(5",    "5)",
      "(-5)", "--5", "+-5", "5-+",   "&H",  "&HG",  "&O8",   "12ab",
      "$",    ".",   ",5",  "1 000", "$$5", "-&H5", "1.5,3",
  };
  for (const char* text : cases) {
    SCOPED_TRACE(text);
    EXPECT_AUTOMATION_ERROR_MSG(CDbl(Variant(text)), errors::kTypeMismatch,
                                std::string("\"") + text + "\"");
    EXPECT_FALSE(IsNumeric(Variant(text)));
  }
}

TEST(ConversionsTest, NumbersTooLargeForTheirTypeOverflow) {
  struct Case {
    const char* name;
    std::function<void()> convert;
  };
  const std::vector<Case> cases = {
      {"CDbl 1E400", [] { CDbl(Variant("1E400")); }},
      {"CDbl &H100000000", [] { CDbl(Variant("&H100000000")); }},
      {"CInt 32767.5", [] { CInt(Variant(32767.5)); }},
      {"CInt -32768.6", [] { CInt(Variant(-32768.6)); }},
      {"CInt 40000", [] { CInt(Lng(40000)); }},
      {"CInt text", [] { CInt(Variant("32768")); }},
      {"CInt &H10000", [] { CInt(Variant("&H10000")); }},
      {"CLng text", [] { CLng(Variant("2147483648")); }},
      {"CLng 2147483647.5", [] { CLng(Variant(2147483647.5)); }},
      {"CLng LongLong", [] { CLng(Variant(std::int64_t{1} << 40)); }},
      {"CLng 1E400", [] { CLng(Variant("1E400")); }},
      {"CCur 1E15", [] { CCur(Variant(1e15)); }},
      {"CCur text", [] { CCur(Variant("922337203685477.5808")); }},
      {"CCur LongLong", [] { CCur(Variant(std::int64_t{1} << 62)); }},
      {"CDate 1E10", [] { CDate(Variant(1e10)); }},
      {"CDate below year 100", [] { CDate(Variant(-657435.0)); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_AUTOMATION_ERROR_MSG(c.convert(), errors::kOverflow, "Overflow");
  }
}

TEST(ConversionsTest, WholeNumbersRoundHalfToEven) {
  struct Case {
    Variant value;
    std::int32_t expected;
  };
  const Case cases[] = {
      {Variant(2.5), 2},
      {Variant(3.5), 4},
      {Variant(-2.5), -2},
      {Variant(-3.5), -4},
      {Variant(0.5), 0},
      {Variant(1.5), 2},
      {Variant(2.5000001), 3},
      {Variant(-0.4), 0},
      {Variant("2.5"), 2},
      {Variant(" 6.5 "), 6},
      {Cur(2.5), 2},
      {Cur(3.5), 4},
      {Cur(-2.5), -2},
      {Cur(-2.5001), -3},
      {Variant(true), -1},
      {Variant(), 0},
      {Variant(32767.4), 32767},
      {Variant(-32768.5), -32768},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Show(c.value));
    EXPECT_EQ(CInt(c.value), c.expected);
    EXPECT_EQ(CLng(c.value), c.expected);
  }
  EXPECT_EQ(CLng(Variant(-2147483648.5)), INT32_MIN);
  EXPECT_EQ(CLng(At(2024, 1, 15, 12)), 45306);
  EXPECT_AUTOMATION_ERROR(CLng(Variant::Null()), errors::kInvalidUseOfNull);
  EXPECT_AUTOMATION_ERROR(CInt(Variant("dos")), errors::kTypeMismatch);
}

TEST(ConversionsTest, CurrencyKeepsFourDecimalsExactly) {
  struct Case {
    Variant value;
    std::int64_t scaled;
  };
  const Case cases[] = {
      {Variant("1234.56789"), 12345679},
      {Variant("0.00005"), 0},
      {Variant("0.00015"), 2},
      {Variant("-0.00025"), -2},
      {Variant("922337203685477.5807"),
       std::numeric_limits<std::int64_t>::max()},
      {Variant("-922337203685477.5808"),
       std::numeric_limits<std::int64_t>::min()},
      {Variant("$1,000"), 10000000},
      {Variant(0.1), 1000},
      {Lng(-7), -70000},
      {Variant(true), -10000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Show(c.value));
    EXPECT_EQ(CCur(c.value).scaled, c.scaled);
  }
}

TEST(ConversionsTest, IsNumericAcceptsNumbersEmptyAndNumericTexts) {
  struct Case {
    Variant value;
    bool numeric;
  };
  const Case cases[] = {
      {Int(1), true},
      {Variant(1.5), true},
      {Cur(1), true},
      {Variant(true), true},
      {Variant(), true},
      {Variant(" 1 "), true},
      {Variant("1E400"), false},
      {Variant::Null(), false},
      {At(2024, 1, 15), false},
      {Variant("abc"), false},
      {Variant("15/01/2024"), false},
      {Variant(VariantArray{Int(1)}), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Show(c.value));
    EXPECT_EQ(IsNumeric(c.value), c.numeric);
  }
}

TEST(ConversionsTest, TruthOfValues) {
  struct Case {
    Variant value;
    bool truth;
  };
  const Case cases[] = {
      {Int(0), false},           {Int(2), true},
      {Variant(-0.5), true},     {Cur(0), false},
      {Variant("True"), true},   {Variant("fALSE"), false},
      {Variant("TRUE"), true},   {Variant("0"), false},
      {Variant(" 0.0 "), false}, {Variant("-1"), true},
      {Variant("&H0"), false},   {Variant(), false},
      {At(1899, 12, 30), false}, {At(2024, 1, 1), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Show(c.value));
    EXPECT_EQ(CBool(c.value), c.truth);
    EXPECT_EQ(IsTrue(c.value), c.truth);
  }
  EXPECT_AUTOMATION_ERROR_MSG(CBool(Variant("Verdadero")),
                              errors::kTypeMismatch, "\"Verdadero\"");
  EXPECT_AUTOMATION_ERROR(CBool(Variant::Null()), errors::kInvalidUseOfNull);
  EXPECT_FALSE(IsTrue(Variant::Null()));
}

TEST(ConversionsTest, DatesPrintInTheLocaleShortDateAndLongTime) {
  struct Case {
    Variant value;
    const char* mx;
    const char* us;
  };
  const Case cases[] = {
      {At(2024, 1, 15), "15/01/2024", "1/15/2024"},
      {At(2024, 1, 15, 14, 30, 5), "15/01/2024 14:30:05",
       "1/15/2024 2:30:05 PM"},
      {At(2024, 12, 5, 0, 0, 1), "05/12/2024 00:00:01",
       "12/5/2024 12:00:01 AM"},
      {At(2024, 12, 5, 12, 0, 0), "05/12/2024 12:00:00",
       "12/5/2024 12:00:00 PM"},
      {Variant(Date{0}), "00:00:00", "12:00:00 AM"},
      {Variant(Date{0.75}), "18:00:00", "6:00:00 PM"},
      {Variant(Date{-0.25}), "06:00:00", "6:00:00 AM"},
      {Variant(Date{-1.25}), "29/12/1899 06:00:00", "12/29/1899 6:00:00 AM"},
      {Variant(Date{1}), "31/12/1899", "12/31/1899"},
      {Variant(Date{45306.99999999}), "16/01/2024", "1/16/2024"},
      {At(100, 1, 1), "01/01/100", "1/1/100"},
      {At(9999, 12, 31, 23, 59, 59), "31/12/9999 23:59:59",
       "12/31/9999 11:59:59 PM"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mx);
    EXPECT_EQ(CStr(c.value, Mx()), c.mx);
    EXPECT_EQ(CStr(c.value, Us()), c.us);
  }
  EXPECT_EQ(At(2024, 1, 15), Variant(Date{45306}));
  EXPECT_AUTOMATION_ERROR(CStr(Variant(Date{3e6})), errors::kOverflow);
}

TEST(ConversionsTest, DatePatternsUseTheLocaleNames) {
  const Date date = Date::FromParts(2024, 9, 4, 7, 5, 3);  // a Wednesday
  struct Case {
    const char* pattern;
    const char* mx;
    const char* us;
  };
  const Case cases[] = {
      {"dddddd", "miércoles, 4 de septiembre de 2024",
       "Wednesday, September 4, 2024"},
      {"ddd d mmm yy", "mié 4 sept 24", "Wed 4 Sep 24"},
      {"hh:mm:ss", "07:05:03", "07:05:03"},
      {"h:nn AMPM", "7:05 a. m.", "7:05 AM"},
      {"h:nn am/pm", "7:05 am", "7:05 am"},
      {"ttttt", "07:05:03", "7:05:03 AM"},
      {"\"d\" \\m y w ww", "d m 248 4 36", "d m 248 4 36"},
      {"c", "04/09/2024 07:05:03", "9/4/2024 7:05:03 AM"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pattern);
    EXPECT_EQ(FormatDatePattern(date, c.pattern, Mx()), c.mx);
    EXPECT_EQ(FormatDatePattern(date, c.pattern, Us()), c.us);
  }
}

TEST(ConversionsTest, TextsReadAsDatesInTheLocaleOrder) {
  struct Case {
    const char* text;
    Variant mx;
    Variant us;
  };
  const Case cases[] = {
      {"15/01/2024", At(2024, 1, 15), At(2024, 1, 15)},  // swapped in en-US
      {"1/2/2024", At(2024, 2, 1), At(2024, 1, 2)},
      {"12/25/2024", At(2024, 12, 25), At(2024, 12, 25)},
      {" 1-2-2024 ", At(2024, 2, 1), At(2024, 1, 2)},
      {"1/2/24", At(2024, 2, 1), At(2024, 1, 2)},
      {"1/2/30", At(1930, 2, 1), At(1930, 1, 2)},
      {"15/01/2024 14:30", At(2024, 1, 15, 14, 30), At(2024, 1, 15, 14, 30)},
      {"15/01/2024 2:30:05 PM", At(2024, 1, 15, 14, 30, 5),
       At(2024, 1, 15, 14, 30, 5)},
      {"2024-01-15", At(2024, 1, 15), At(2024, 1, 15)},
      {"2024-01-15 08:09", At(2024, 1, 15, 8, 9), At(2024, 1, 15, 8, 9)},
      {"2024-01-15T08:09:10", At(2024, 1, 15, 8, 9, 10),
       At(2024, 1, 15, 8, 9, 10)},
      {"14:30", Variant(Date{14.5 / 24}), Variant(Date{14.5 / 24})},
      {"12:00 a. m.", Variant(Date{0}), Variant(Date{0})},
      {"2:30 p.m.", Variant(Date{14.5 / 24}), Variant(Date{14.5 / 24})},
      {"01/01/0100", At(100, 1, 1), At(100, 1, 1)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(Variant(CDate(Variant(c.text), Mx())), c.mx);
    EXPECT_EQ(Variant(CDate(Variant(c.text), Us())), c.us);
  }
}

TEST(ConversionsTest, OtherValuesConvertToDatesAsSerials) {
  EXPECT_EQ(CDate(Variant(45306.5)), Date{45306.5});
  EXPECT_EQ(CDate(Lng(1)), Date{1});
  EXPECT_EQ(CDate(Variant(true)), Date{-1});
  EXPECT_EQ(CDate(Variant()), Date{0});
  EXPECT_AUTOMATION_ERROR(CDate(Variant::Null()), errors::kInvalidUseOfNull);
  const char* const texts[] = {
      "31/02/2024",       "2024-13-01", "25:00", "15/01/2024 x", "45000", "abc",
      "15/01/2024T10:00", "1/1/10000",  "1:60",  "13:00 PM",     ""};
  for (const char* text : texts) {
    SCOPED_TRACE(text);
    EXPECT_AUTOMATION_ERROR_MSG(CDate(Variant(text)), errors::kTypeMismatch,
                                "is not a date");
  }
}

TEST(LocaleTest, SpanishMexicoIsCurrentUntilChanged) {
  EXPECT_EQ(Locale::Current().name, "es-MX");
  const Variant date = At(2024, 3, 9, 16, 0, 0);
  EXPECT_EQ(CStr(date), "09/03/2024 16:00:00");
  Locale::SetCurrent(Locale::EnglishUnitedStates());
  EXPECT_EQ(CStr(date), "3/9/2024 4:00:00 PM");
  EXPECT_EQ(CDate(Variant("3/9/2024")), Date::FromParts(2024, 3, 9));
  Locale::SetCurrent(Locale::SpanishMexico());
  EXPECT_EQ(CDate(Variant("3/9/2024")), Date::FromParts(2024, 9, 3));
}

TEST(LocaleTest, SeparatorsComeFromTheLocale) {
  Locale comma = Locale::SpanishMexico();
  comma.decimal_separator = ",";
  comma.group_separator = ".";
  EXPECT_EQ(CStr(Variant(1234.5), comma), "1234,5");
  EXPECT_EQ(CStr(Cur(-0.25), comma), "-0,25");
  EXPECT_EQ(CStr(Variant(1.5e-7), comma), "1,5E-07");
  EXPECT_EQ(CStr(Variant(1234.0), comma), "1234");
  EXPECT_EQ(CStr(Variant(std::nan("")), comma), "-1,#IND");
  EXPECT_EQ(CDbl(Variant("1.234,5"), comma), 1234.5);
  EXPECT_EQ(Add(Variant("2,5"), Int(1), comma), Variant(3.5));
  EXPECT_AUTOMATION_ERROR(CDbl(Variant("1,2,3"), comma), errors::kTypeMismatch);
}

}  // namespace
}  // namespace nerolin
