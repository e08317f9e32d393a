#include "automation/format.h"

#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "automation/conversions.h"
#include "automation/locale.h"
#include "nerolin/automation_error.h"
#include "nerolin/object.h"
#include "nerolin/variant.h"
#include "support/test_support.h"

namespace nerolin {
namespace {

const Locale* Mx() { return &Locale::SpanishMexico(); }
const Locale* Us() { return &Locale::EnglishUnitedStates(); }

// Friday 2024-01-05 14:07:09: an afternoon in the first week of a year.
Variant Afternoon() { return Variant(Date::FromParts(2024, 1, 5, 14, 7, 9)); }
// Sunday 2023-12-31 09:05:03: a morning on the last day of a year.
Variant Morning() { return Variant(Date::FromParts(2023, 12, 31, 9, 5, 3)); }

Variant Field(Variant value) {
  return Variant(std::make_shared<testing::FieldLike>(std::move(value)));
}

struct Case {
  Variant value;
  const char* pattern;
  const Locale* locale;
  const char* expected;
};

void RunCases(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("pattern '") + c.pattern + "' in " +
                 c.locale->name);
    EXPECT_EQ(Format(c.value, c.pattern, *c.locale), c.expected);
  }
}

// Rows that must come out the same in both locales.
std::vector<Case> InBoth(const std::vector<Case>& cases) {
  std::vector<Case> both;
  for (const Case& c : cases) {
    both.push_back({c.value, c.pattern, Mx(), c.expected});
    both.push_back({c.value, c.pattern, Us(), c.expected});
  }
  return both;
}

TEST(FormatTest, NumberPlaceholdersPointAndGrouping) {
  RunCases(InBoth({
      {Variant(1234.5), "0.00", nullptr, "1234.50"},
      {Variant(1234.5), "#,##0.00", nullptr, "1,234.50"},
      {Variant(1234567.891), "#,##0.00", nullptr, "1,234,567.89"},
      {Variant(123456.0), "#,#", nullptr, "123,456"},
      {Variant(5.0), "#,##0.00", nullptr, "5.00"},
      {Variant(0.5), "#,##0.00", nullptr, "0.50"},
      {Variant(0.5), "#.##", nullptr, ".5"},
      {Variant(5.0), "#.##", nullptr, "5."},
      {Variant(0.0), "#", nullptr, ""},
      {Variant(12.0), "000", nullptr, "012"},
      {Variant(12345.0), "000", nullptr, "12345"},
      {Variant(1.5), "0.0###", nullptr, "1.5"},
      {Variant(1.23456), "0.0###", nullptr, "1.2346"},
      {Variant(static_cast<std::int64_t>(5551234567)), "(000) 000-0000",
       nullptr, "(555) 123-4567"},
      {Variant(std::int16_t{-1234}), "#,##0", nullptr, "-1,234"},
      {Variant(true), "0", nullptr, "-1"},
      {Variant(Currency::FromDouble(1234.5678)), "#,##0.00", nullptr,
       "1,234.57"},
  }));
}

TEST(FormatTest, NumbersRoundHalfAwayFromZeroOnTheirDecimalDigits) {
  RunCases(InBoth({
      {Variant(2.675), "0.00", nullptr, "2.68"},
      {Variant(1.005), "0.00", nullptr, "1.01"},
      {Variant(2.5), "0", nullptr, "3"},
      {Variant(-2.5), "0", nullptr, "-3"},
      {Variant(0.125), "0.00", nullptr, "0.13"},
      {Variant(Currency::FromDouble(0.125)), "0.00", nullptr, "0.13"},
      {Variant(999.996), "#,##0.00", nullptr, "1,000.00"},
      {Variant(0.0004), "0.000", nullptr, "0.000"},
      {Variant(9.995), "0", nullptr, "10"},
      {Variant(0.5), "#", nullptr, "1"},
      {Variant(0.4), "#", nullptr, ""},
      {Variant(120.03), "0.#", nullptr, "120."},
      {Variant(std::numeric_limits<std::int64_t>::min()), "#,##0.00", nullptr,
       "-9,223,372,036,854,775,808.00"},
      {Variant(Currency{std::numeric_limits<std::int64_t>::min()}), "0.000",
       nullptr, "-922337203685477.581"},
  }));
}

// Patterns are remembered between calls; the texts must not depend on which
// pattern came before.
TEST(FormatTest, PatternsGiveTheSameTextsInAnyOrder) {
  const std::vector<Variant> values = {
      Variant(1234.5),          Variant(-0.005), Variant(Currency{-12345}),
      Variant(std::int32_t{7}), Variant("12"),   Variant::Null()};
  const std::vector<std::string> patterns = {
      "#,##0.00",      "0.0#", "0%",         "0.00E+00",
      "#,##0;(#,##0)", "@@@",  "dd/mm/yyyy", "0.00;;\"zero\";\"none\"",
      "Standard"};
  std::vector<std::string> one_pattern_at_a_time;
  for (const std::string& pattern : patterns) {
    for (const Variant& value : values) {
      one_pattern_at_a_time.push_back(Format(value, pattern, *Mx()));
    }
  }
  for (std::size_t v = 0; v < values.size(); ++v) {
    for (std::size_t p = 0; p < patterns.size(); ++p) {
      SCOPED_TRACE(patterns[p]);
      EXPECT_EQ(Format(values[v], std::string(patterns[p]), *Mx()),
                one_pattern_at_a_time[p * values.size() + v]);
    }
  }
}

TEST(FormatTest, CommasBeforeThePointOrTheEndScaleByAThousand) {
  RunCases(InBoth({
      {Variant(1234567.0), "#,##0,", nullptr, "1,235"},
      {Variant(100000000.0), "##0,,", nullptr, "100"},
      {Variant(1234567890.0), "0,,", nullptr, "1235"},
      {Variant(1234567.0), "0,.00", nullptr, "1234.57"},
  }));
}

TEST(FormatTest, PercentAndExponents) {
  RunCases(InBoth({
      {Variant(0.1234), "0.00%", nullptr, "12.34%"},
      {Variant(0.5), "0%", nullptr, "50%"},
      {Variant(1234.5), "0.00E+00", nullptr, "1.23E+03"},
      {Variant(1234.5), "0.00E-00", nullptr, "1.23E03"},
      {Variant(0.000123), "0.00E-00", nullptr, "1.23E-04"},
      {Variant(0.000123), "0.00E+00", nullptr, "1.23E-04"},
      {Variant(1234.5), "0.00e+00", nullptr, "1.23e+03"},
      {Variant(1234.5), "0.00e-0", nullptr, "1.23e3"},
      {Variant(9.999), "0.00E+00", nullptr, "1.00E+01"},
      {Variant(0.0), "0.00E+00", nullptr, "0.00E+00"},
      {Variant(-1234.5), "0.0E+0", nullptr, "-1.2E+3"},
  }));
}

TEST(FormatTest, LiteralsEscapesAndQuotedText) {
  RunCases(InBoth({
      {Variant(5.0), "$0.00", nullptr, "$5.00"},
      {Variant(-5.0), "$0.00", nullptr, "-$5.00"},
      {Variant(5.0), "0 \"pzs\"", nullptr, "5 pzs"},
      {Variant(5.0), "\\#0", nullptr, "#5"},
      {Variant(5.0), "0 \"0;#\"", nullptr, "5 0;#"},
      {Variant(7.0), "+0 -", nullptr, "+7 -"},
  }));
}

TEST(FormatTest, SectionsForNegativeZeroAndNull) {
  RunCases(InBoth({
      {Variant(-5.0), "0.00;(0.00)", nullptr, "(5.00)"},
      {Variant(5.0), "0.00;(0.00)", nullptr, "5.00"},
      {Variant(0.0), "0.00;(0.00);\\z\\e\\r\\o", nullptr, "zero"},
      {Variant(0.0), "0;(0);\"nada\"", nullptr, "nada"},
      {Variant(0.0), "0.00;(0.00)", nullptr, "0.00"},
      {Variant(std::int32_t{0}), "0;(0);;\"nulo\"", nullptr, "0"},
      {Variant::Null(), "0;(0);z;\"nulo\"", nullptr, "nulo"},
      {Variant::Null(), "0.00", nullptr, ""},
      {Variant::Null(), "0;(0)", nullptr, ""},
  }));
}

TEST(FormatTest, TextsDatesAndEmptyPatternsUnderNumberPatterns) {
  RunCases(InBoth({
      {Variant("12.5"), "0.00", nullptr, "12.50"},
      {Variant(" -1,234.5 "), "#,##0.0", nullptr, "-1,234.5"},
      {Variant("abc"), "0.00", nullptr, "abc"},
      {Variant(Date::FromParts(2024, 1, 5)), "0", nullptr, "45296"},
      {Afternoon(), "0.0000", nullptr, "45296.5883"},
      {Variant(1234.5), "", nullptr, "1234.5"},
      {Variant("x"), "", nullptr, "x"},
      {Variant::Null(), "", nullptr, ""},
      {Variant(), "0.00", nullptr, "0.00"},
      {Field(Variant(1234.5)), "#,##0.00", nullptr, "1,234.50"},
      {Field(Variant::Null()), "0;(0);z;\"nulo\"", nullptr, "nulo"},
      {Field(Variant("ab")), ">@@@", nullptr, " AB"},
  }));
  RunCases({
      {Afternoon(), "", Mx(), "05/01/2024 14:07:09"},
      {Afternoon(), "", Us(), "1/5/2024 2:07:09 PM"},
  });
}

// A number text formats as the Double it reads as, whether it has few
// digits (read from its digits) or more than a Double keeps.
TEST(FormatTest, NumberTextsFormatAsTheirDouble) {
  const char* const texts[] = {
      "-0.000",
      "0.1E3",
      "999999999999999.5",
      "1E-280",
      "9.99999999999999",
      "-2469.135",
      "123456789012345E+5",
      "1234567890.12345",
      "0.004999999",
      "12345678901234567",
  };
  for (const char* text : texts) {
    for (const char* pattern : {"#,##0.00", "0.##############E+000", "0;(0)"}) {
      SCOPED_TRACE(std::string(text) + " " + pattern);
      EXPECT_EQ(Format(Variant(text), pattern, *Mx()),
                Format(Variant(std::stod(text)), pattern, *Mx()));
    }
  }
}

// Callers holding a number format it under a digit pattern without making
// its text where the two agree.
TEST(FormatTest, NumbersFormatAsTheirTextsUnderDigitPatterns) {
  const Variant values[] = {
      Variant(0.1 + 0.2),
      Variant(2.675),
      Variant(1.0 / 3),
      Variant(-0.005),
      Variant(1e16 + 2),
      Variant(123456789.125),
      Variant(1e-7),
      Variant(-0.0),
      Variant(std::int32_t{-2147483647}),
      Variant(std::int64_t{999'999'999'999'999}),
      Variant(Currency{-999'999'999'999'999}),
  };
  for (const Variant& value : values) {
    for (const char* pattern : {"#,##0.00", "0.000", "#", "0,0.0000000000"}) {
      SCOPED_TRACE(TextOf(value, *Mx()) + " " + pattern);
      ASSERT_TRUE(FormatsLikeItsText(value, pattern));
      EXPECT_EQ(Format(value, pattern, *Mx()),
                Format(Variant(TextOf(value, *Mx())), pattern, *Mx()));
    }
  }
  // Sixteen digits do not survive their text.
  EXPECT_FALSE(
      FormatsLikeItsText(Variant(std::int64_t{9007199254740993}), "#"));
  EXPECT_FALSE(
      FormatsLikeItsText(Variant(Currency{10'000'000'000'000'000}), "#"));
  EXPECT_FALSE(FormatsLikeItsText(Variant("12"), "#"));
  EXPECT_FALSE(FormatsLikeItsText(Variant(true), "#"));
  for (const char* pattern : {"", ",.", "Standard", "0.00%", "dd/mm", "0;0"}) {
    EXPECT_FALSE(IsDigitPattern(pattern)) << pattern;
  }
}

TEST(FormatTest, NamedNumberFormats) {
  RunCases(InBoth({
      {Variant(1234567.891), "General Number", nullptr, "1234567.891"},
      {Variant(Currency::FromDouble(12.5)), "General Number", nullptr, "12.5"},
      {Variant(1234.567), "Currency", nullptr, "$1,234.57"},
      {Variant(1234.567), "Fixed", nullptr, "1234.57"},
      {Variant(0.5), "Fixed", nullptr, "0.50"},
      {Variant(1234.567), "Standard", nullptr, "1,234.57"},
      {Variant(0.1234), "Percent", nullptr, "12.34%"},
      {Variant(1234.5), "Scientific", nullptr, "1.23E+03"},
      {Variant(0.0), "Yes/No", nullptr, "No"},
      {Variant(5.0), "Yes/No", nullptr, "Yes"},
      {Variant(true), "True/False", nullptr, "True"},
      {Variant(std::int16_t{0}), "True/False", nullptr, "False"},
      {Variant(-2.0), "On/Off", nullptr, "On"},
      {Variant("0"), "On/Off", nullptr, "Off"},
      {Variant(1234.567), "currency", nullptr, "$1,234.57"},
      {Variant(0.0), "YES/NO", nullptr, "No"},
      {Variant::Null(), "Standard", nullptr, ""},
  }));
}

TEST(FormatTest, NamedDateFormats) {
  RunCases({
      {Afternoon(), "General Date", Mx(), "05/01/2024 14:07:09"},
      {Afternoon(), "General Date", Us(), "1/5/2024 2:07:09 PM"},
      {Variant(Date::FromParts(2024, 1, 5)), "General Date", Mx(),
       "05/01/2024"},
      {Afternoon(), "Long Date", Mx(), "viernes, 5 de enero de 2024"},
      {Afternoon(), "Long Date", Us(), "Friday, January 5, 2024"},
      {Afternoon(), "Medium Date", Us(), "05-Jan-24"},
      {Afternoon(), "Short Date", Mx(), "05/01/2024"},
      {Afternoon(), "Short Date", Us(), "1/5/2024"},
      {Afternoon(), "short date", Us(), "1/5/2024"},
      {Afternoon(), "Long Time", Mx(), "14:07:09"},
      {Afternoon(), "Long Time", Us(), "2:07:09 PM"},
      {Afternoon(), "Medium Time", Mx(), "02:07 p. m."},
      {Afternoon(), "Medium Time", Us(), "02:07 PM"},
      {Afternoon(), "Short Time", Mx(), "14:07"},
      {Afternoon(), "Short Time", Us(), "14:07"},
      {Variant(45296.5), "Short Date", Mx(), "05/01/2024"},
      {Variant("5/1/2024"), "Long Date", Mx(), "viernes, 5 de enero de 2024"},
      {Variant("5/1/2024"), "Long Date", Us(), "Wednesday, May 1, 2024"},
      {Variant("no es fecha"), "Short Date", Mx(), "no es fecha"},
      {Variant::Null(), "Short Date", Mx(), ""},
  });
}

TEST(FormatTest, DateTokens) {
  RunCases({
      {Afternoon(), "c", Mx(), "05/01/2024 14:07:09"},
      {Afternoon(), "c", Us(), "1/5/2024 2:07:09 PM"},
      {Afternoon(), "ddd", Mx(), "vie"},
      {Afternoon(), "ddd", Us(), "Fri"},
      {Afternoon(), "dddd", Mx(), "viernes"},
      {Afternoon(), "dddd", Us(), "Friday"},
      {Afternoon(), "ddddd", Mx(), "05/01/2024"},
      {Afternoon(), "ddddd", Us(), "1/5/2024"},
      {Afternoon(), "dddddd", Mx(), "viernes, 5 de enero de 2024"},
      {Afternoon(), "dddddd", Us(), "Friday, January 5, 2024"},
      {Afternoon(), "mmm", Mx(), "ene"},
      {Afternoon(), "mmm", Us(), "Jan"},
      {Afternoon(), "mmmm", Mx(), "enero"},
      {Afternoon(), "mmmm", Us(), "January"},
      {Afternoon(), "ttttt", Mx(), "14:07:09"},
      {Afternoon(), "ttttt", Us(), "2:07:09 PM"},
      {Afternoon(), "AMPM", Mx(), "p. m."},
      {Afternoon(), "AMPM", Us(), "PM"},
      {Morning(), "h AMPM", Mx(), "9 a. m."},
  });
  RunCases(InBoth({
      {Afternoon(), "d", nullptr, "5"},
      {Afternoon(), "dd", nullptr, "05"},
      {Afternoon(), "w", nullptr, "6"},
      {Morning(), "w", nullptr, "1"},
      {Afternoon(), "ww", nullptr, "1"},
      {Morning(), "ww", nullptr, "53"},
      {Afternoon(), "m", nullptr, "1"},
      {Afternoon(), "mm", nullptr, "01"},
      {Afternoon(), "q", nullptr, "1"},
      {Morning(), "q", nullptr, "4"},
      {Afternoon(), "y", nullptr, "5"},
      {Morning(), "y", nullptr, "365"},
      {Afternoon(), "yy", nullptr, "24"},
      {Afternoon(), "yyyy", nullptr, "2024"},
      {Afternoon(), "h", nullptr, "14"},
      {Morning(), "h", nullptr, "9"},
      {Morning(), "hh", nullptr, "09"},
      {Afternoon(), "n", nullptr, "7"},
      {Afternoon(), "nn", nullptr, "07"},
      {Afternoon(), "s", nullptr, "9"},
      {Afternoon(), "ss", nullptr, "09"},
      {Afternoon(), "h:m", nullptr, "14:7"},
      {Afternoon(), "hh:mm", nullptr, "14:07"},
      {Afternoon(), "hh:nn AM/PM", nullptr, "02:07 PM"},
      {Morning(), "hh:nn AM/PM", nullptr, "09:05 AM"},
      {Afternoon(), "h am/pm", nullptr, "2 pm"},
      {Afternoon(), "h A/P", nullptr, "2 P"},
      {Morning(), "h a/p", nullptr, "9 a"},
      {Afternoon(), "dd/mm/yyyy hh:nn", nullptr, "05/01/2024 14:07"},
      {Afternoon(), "\\d \"de\" d", nullptr, "d de 5"},
      {Variant(45296.5), "dd/mm/yyyy hh:nn", nullptr, "05/01/2024 12:00"},
      {Variant("abc"), "dd/mm/yyyy", nullptr, "abc"},
      {Variant::Null(), "dd/mm/yyyy", nullptr, ""},
  }));
}

TEST(FormatTest, TextTokensAndSections) {
  RunCases(InBoth({
      {Variant("abc"), "@@@@@", nullptr, "  abc"},
      {Variant("abc"), "!@@@@@", nullptr, "abc  "},
      {Variant("abc"), "&&&&&", nullptr, "abc"},
      {Variant("abcdef"), "@@", nullptr, "abcdef"},
      {Variant("abcdef"), "!@@", nullptr, "abcdef"},
      {Variant("abc"), ">", nullptr, "ABC"},
      {Variant("AbC"), "<", nullptr, "abc"},
      {Variant("abc"), ">@@@@", nullptr, " ABC"},
      {Variant("ñandú"), ">@@@@@@", nullptr, " ÑANDÚ"},
      {Variant("5551234"), "@@@-@@@@", nullptr, "555-1234"},
      {Variant("12"), "&&&-&&", nullptr, "-12"},
      {Variant(std::int32_t{123}), "@@@@@", nullptr, "  123"},
      {Variant(""), "@;\"vacío\"", nullptr, "vacío"},
      {Variant::Null(), "@;\"nulo\"", nullptr, "nulo"},
      {Variant::Null(), "@@", nullptr, ""},
      {Variant("x"), "@;\"vacío\"", nullptr, "x"},
  }));
}

TEST(FormatTest, HugeNumbersPrintAllTheirWholeDigitsOnly) {
  const std::string text = Format(Variant(1e300), "0.00", *Mx());
  EXPECT_EQ(text, "1" + std::string(300, '0') + ".00");
  // Scaling stops after a bounded count of "%" and ",".
  EXPECT_LT(Format(Variant(1e300), "0" + std::string(10000, '%'), *Mx()).size(),
            10000u + 400u);
}

TEST(FormatTest, NonsensePatternsNeitherCrashNorGrow) {
  const std::string nonsense = "0#.,%E+e-\\\"@&<>!;dmyhnswqct/:AM/PMa/p";
  std::string pattern;
  while (pattern.size() < 10000) pattern += nonsense;
  const std::vector<Variant> values = {
      Variant(1234.5), Variant(-0.001), Variant("text"), Variant(""),
      Variant::Null(), Afternoon(),     Variant(true),   Variant(1e300)};
  for (const std::string& p :
       {pattern, std::string(10000, '#'), std::string(10000, ';'),
        std::string(10000, '"'), std::string(10000, '\\'),
        std::string(10000, 'd'), std::string(10000, '@'),
        std::string(10000, 'E'), std::string(10000, ',')}) {
    for (const Variant& value : values) {
      SCOPED_TRACE(p.substr(0, 12) + " / " +
                   std::to_string(static_cast<int>(value.type())));
      std::string out;
      try {
        out = Format(value, p, *Mx());
      } catch (const AutomationError&) {
        continue;  // a date out of range under a date pattern
      }
      EXPECT_LT(out.size(), 40 * p.size() + 400);
    }
  }
  EXPECT_EQ(Format(Variant(5.0), "0 \"abc", *Mx()), "5 abc");
  EXPECT_EQ(Format(Variant(5.0), "0\\", *Mx()), "5");
}

TEST(FormatTest, RaisesOnValuesThatCannotBeWritten) {
  EXPECT_AUTOMATION_ERROR(Format(Variant(1e10), "dd/mm/yyyy", *Mx()),
                          errors::kOverflow);
  EXPECT_AUTOMATION_ERROR(Format(Variant(VariantArray{}), "0", *Mx()),
                          errors::kTypeMismatch);
}

}  // namespace
}  // namespace nerolin
