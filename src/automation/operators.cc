#include "automation/operators.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "automation/conversion_steps.h"
#include "automation/date_text.h"
#include "nerolin/automation_error.h"

namespace nerolin {

using conversion_steps::Describe;
using conversion_steps::NumericTextValue;
using conversion_steps::PlainOperands;
using conversion_steps::PlainToDouble;
using conversion_steps::Raise;

namespace {

bool IsIntegral(const Variant& value) {
  switch (value.type()) {
    case VarType::kBoolean:
    case VarType::kInteger:
    case VarType::kLong:
    case VarType::kLongLong:
      return true;
    default:
      return false;
  }
}

std::int64_t IntegralValue(const Variant& value) {
  switch (value.type()) {
    case VarType::kBoolean:
      return value.AsBoolean() ? -1 : 0;
    case VarType::kInteger:
      return value.AsInteger();
    case VarType::kLong:
      return value.AsLong();
    default:
      return value.AsLongLong();
  }
}

// The order in which the result type of `+` widens.
enum class Rank { kInteger, kLong, kLongLong, kDouble, kCurrency, kDate };

Rank RankOf(const Variant& value) {
  switch (value.type()) {
    case VarType::kLong:
      return Rank::kLong;
    case VarType::kLongLong:
      return Rank::kLongLong;
    case VarType::kCurrency:
      return Rank::kCurrency;
    case VarType::kDate:
      return Rank::kDate;
    case VarType::kDouble:
    case VarType::kString:  // a numeric text adds as a Double
      return Rank::kDouble;
    default:
      return Rank::kInteger;
  }
}

Variant AddNumbers(const Variant& a, const Variant& b, const Locale& locale) {
  const Rank rank = std::max(RankOf(a), RankOf(b));
  switch (rank) {
    case Rank::kInteger:
    case Rank::kLong:
    case Rank::kLongLong: {
      std::int64_t sum = 0;
      if (__builtin_add_overflow(IntegralValue(a), IntegralValue(b), &sum)) {
        Raise(errors::kOverflow, Describe(a) + " + " + Describe(b));
      }
      if (rank == Rank::kLongLong) return Variant(sum);
      if (rank == Rank::kInteger && sum >= INT16_MIN && sum <= INT16_MAX) {
        return Variant(static_cast<std::int16_t>(sum));
      }
      if (sum >= INT32_MIN && sum <= INT32_MAX) {
        return Variant(static_cast<std::int32_t>(sum));
      }
      return Variant(static_cast<double>(sum));
    }
    case Rank::kDouble: {
      const double sum =
          PlainToDouble(a, locale, "+") + PlainToDouble(b, locale, "+");
      if (!std::isfinite(sum)) {
        Raise(errors::kOverflow, Describe(a) + " + " + Describe(b));
      }
      return Variant(sum);
    }
    case Rank::kCurrency: {
      std::int64_t sum = 0;
      if (__builtin_add_overflow(
              conversion_steps::PlainToCurrency(a, locale, "+").scaled,
              conversion_steps::PlainToCurrency(b, locale, "+").scaled, &sum)) {
        Raise(errors::kOverflow, Describe(a) + " + " + Describe(b));
      }
      return Variant(Currency{sum});
    }
    case Rank::kDate: {
      const double sum =
          PlainToDouble(a, locale, "+") + PlainToDouble(b, locale, "+");
      if (!IsDateSerialInRange(sum)) {
        Raise(errors::kOverflow, Describe(a) + " + " + Describe(b) +
                                     " is outside the range of dates");
      }
      return Variant(Date{sum});
    }
  }
  return Variant();
}

int Sign(double difference) {
  return difference < 0 ? -1 : (difference > 0 ? 1 : 0);
}

int CompareIntegerWithCurrency(std::int64_t whole, Currency amount) {
  const std::int64_t quotient = amount.scaled / Currency::kScale;
  const std::int64_t remainder = amount.scaled % Currency::kScale;
  if (whole != quotient) return whole < quotient ? -1 : 1;
  return remainder == 0 ? 0 : (remainder > 0 ? -1 : 1);
}

// Both values are numbers or dates.
int CompareNumbers(const Variant& a, const Variant& b) {
  const bool a_currency = a.type() == VarType::kCurrency;
  const bool b_currency = b.type() == VarType::kCurrency;
  if (IsIntegral(a) && IsIntegral(b)) {
    const std::int64_t x = IntegralValue(a);
    const std::int64_t y = IntegralValue(b);
    return x < y ? -1 : (x > y ? 1 : 0);
  }
  if (a_currency && b_currency) {
    const std::int64_t x = a.AsCurrency().scaled;
    const std::int64_t y = b.AsCurrency().scaled;
    return x < y ? -1 : (x > y ? 1 : 0);
  }
  if (IsIntegral(a) && b_currency) {
    return CompareIntegerWithCurrency(IntegralValue(a), b.AsCurrency());
  }
  if (a_currency && IsIntegral(b)) {
    return -CompareIntegerWithCurrency(IntegralValue(b), a.AsCurrency());
  }
  const Locale& locale = Locale::Current();  // no text reaches here
  return Sign(PlainToDouble(a, locale, "Compare") -
              PlainToDouble(b, locale, "Compare"));
}

int CompareTexts(std::string_view a, std::string_view b) {
  const int result = a.compare(b);
  return result < 0 ? -1 : (result > 0 ? 1 : 0);
}

// `number` is a number or a date, `text` a text.
int CompareNumberWithText(const Variant& number, const std::string& text,
                          const Locale& locale) {
  if (const std::optional<Variant> value = NumericTextValue(text, locale)) {
    return CompareNumbers(number, *value);
  }
  if (number.type() == VarType::kDate) {
    if (const std::optional<Date> date = ParseDateText(text, locale)) {
      return Sign(number.AsDate().serial - date->serial);
    }
  }
  return -1;  // a number sorts before a text that is no number
}

}  // namespace

Variant Concat(const Variant& a, const Variant& b) {
  return Concat(a, b, Locale::Current());
}

Variant Concat(const Variant& a, const Variant& b, const Locale& locale) {
  const PlainOperands operands(a, b);
  const Variant& x = operands.x();
  const Variant& y = operands.y();
  if (x.IsNull() && y.IsNull()) return Variant::Null();
  std::string text = conversion_steps::PlainText(x, locale, true);
  if (y.IsString()) {
    text += y.AsString();
  } else {
    text += conversion_steps::PlainText(y, locale, true);
  }
  return Variant(std::move(text));
}

Variant Add(const Variant& a, const Variant& b) {
  return Add(a, b, Locale::Current());
}

Variant Add(const Variant& a, const Variant& b, const Locale& locale) {
  const PlainOperands operands(a, b);
  const Variant& x = operands.x();
  const Variant& y = operands.y();
  if (x.IsArray() || y.IsArray()) {
    Raise(errors::kTypeMismatch,
          std::string(conversion_steps::TypeNameOf(x)) + " + " +
              std::string(conversion_steps::TypeNameOf(y)));
  }
  if (x.IsNull() || y.IsNull()) return Variant::Null();
  if (x.IsEmpty() && y.IsEmpty()) return Variant(std::int16_t{0});
  if (x.IsString() && y.IsString()) {
    std::string text;
    text.reserve(x.AsString().size() + y.AsString().size());
    text += x.AsString();
    text += y.AsString();
    return Variant(std::move(text));
  }
  if (x.IsEmpty() || y.IsEmpty()) {
    const Variant& other = x.IsEmpty() ? y : x;
    if (other.type() == VarType::kBoolean) {
      return Variant(static_cast<std::int16_t>(other.AsBoolean() ? -1 : 0));
    }
    return other;
  }
  // A text beside a number must read as one: "+" never joins it.
  std::optional<Variant> x_number;
  std::optional<Variant> y_number;
  if (x.IsString()) {
    x_number = NumericTextValue(x.AsString(), locale);
    if (!x_number) {
      Raise(errors::kTypeMismatch, conversion_steps::Quote(x.AsString()) +
                                       " + " + Describe(y) +
                                       ": the text is no number");
    }
    // "&H" texts still add as Doubles.
    x_number = Variant(PlainToDouble(*x_number, locale, "+"));
  }
  if (y.IsString()) {
    y_number = NumericTextValue(y.AsString(), locale);
    if (!y_number) {
      Raise(errors::kTypeMismatch, Describe(x) + " + " +
                                       conversion_steps::Quote(y.AsString()) +
                                       ": the text is no number");
    }
    y_number = Variant(PlainToDouble(*y_number, locale, "+"));
  }
  return AddNumbers(x_number ? *x_number : x, y_number ? *y_number : y, locale);
}

int Compare(const Variant& a, const Variant& b, bool* has_null) {
  return Compare(a, b, Locale::Current(), has_null);
}

int Compare(const Variant& a, const Variant& b, const Locale& locale,
            bool* has_null) {
  const PlainOperands operands(a, b);
  const Variant& x = operands.x();
  const Variant& y = operands.y();
  if (x.IsArray() || y.IsArray()) {
    Raise(errors::kTypeMismatch,
          std::string("comparing ") +
              std::string(conversion_steps::TypeNameOf(x)) + " with " +
              std::string(conversion_steps::TypeNameOf(y)));
  }
  const bool null = x.IsNull() || y.IsNull();
  if (has_null != nullptr) *has_null = null;
  if (null) return 0;
  if (x.IsString() || y.IsString()) {
    if (x.IsString() && y.IsString()) {
      return CompareTexts(x.AsString(), y.AsString());
    }
    if (x.IsEmpty()) return CompareTexts("", y.AsString());
    if (y.IsEmpty()) return CompareTexts(x.AsString(), "");
    if (x.IsString()) return -CompareNumberWithText(y, x.AsString(), locale);
    return CompareNumberWithText(x, y.AsString(), locale);
  }
  // Empty beside a number is 0; two Empty values are equal.
  const Variant zero(std::int16_t{0});
  return CompareNumbers(x.IsEmpty() ? zero : x, y.IsEmpty() ? zero : y);
}

bool Equals(const Variant& a, const Variant& b) {
  bool has_null = false;
  const int result = Compare(a, b, Locale::Current(), &has_null);
  return !has_null && result == 0;
}

}  // namespace nerolin
