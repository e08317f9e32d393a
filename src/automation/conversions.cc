#include "automation/conversions.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include "automation/date_text.h"
#include "automation/number_text.h"
#include "automation/vb_text.h"
#include "nerolin/automation_error.h"
#include "nerolin/object.h"

namespace nerolin {

namespace {

// A default value may itself be an object; more levels than this is a loop.
constexpr int kMaxUnwrapDepth = 16;
// How much of an offending text an error message quotes.
constexpr std::size_t kQuotedTextLimit = 40;
constexpr std::int64_t kCurrencyScale = 10000;

[[noreturn]] void Raise(std::int32_t number, std::string_view detail) {
  std::string description(StandardDescription(number));
  description += ": ";
  description += detail;
  throw AutomationError(number, std::move(description), {});
}

std::string Quote(std::string_view text) {
  std::string quoted = "\"";
  if (text.size() <= kQuotedTextLimit) {
    quoted += text;
  } else {
    std::size_t cut = kQuotedTextLimit;
    // Never split a UTF-8 sequence.
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) {
      --cut;
    }
    quoted += text.substr(0, cut);
    quoted += "...";
  }
  quoted += '"';
  return quoted;
}

std::string_view TypeNameOf(const Variant& value) {
  switch (value.type()) {
    case VarType::kEmpty:
      return "Empty";
    case VarType::kNull:
      return "Null";
    case VarType::kBoolean:
      return "Boolean";
    case VarType::kInteger:
      return "Integer";
    case VarType::kLong:
      return "Long";
    case VarType::kLongLong:
      return "LongLong";
    case VarType::kDouble:
      return "Double";
    case VarType::kCurrency:
      return "Currency";
    case VarType::kDate:
      return "Date";
    case VarType::kString:
      return "String";
    case VarType::kObject:
      return "Object";
    case VarType::kArray:
      return "Variant()";
  }
  return "Variant";
}

// Holds the value of an object's default member, so that plain values are
// not copied.
class Plain {
 public:
  explicit Plain(const Variant& value) : value_(&value) {
    if (value.IsObject()) {
      held_ = Unwrap(value);
      value_ = &held_;
    }
  }
  Plain(const Plain&) = delete;
  Plain& operator=(const Plain&) = delete;

  const Variant& operator*() const { return *value_; }
  const Variant* operator->() const { return value_; }

 private:
  Variant held_;
  const Variant* value_;
};

// The text of a value that is no object.
std::string PlainText(const Variant& value, const Locale& locale,
                      bool null_is_empty) {
  switch (value.type()) {
    case VarType::kEmpty:
      return {};
    case VarType::kNull:
      if (null_is_empty) return {};
      Raise(errors::kInvalidUseOfNull, "Null has no text");
    case VarType::kBoolean:
      return value.AsBoolean() ? "True" : "False";
    case VarType::kInteger:
      return std::to_string(value.AsInteger());
    case VarType::kLong:
      return std::to_string(value.AsLong());
    case VarType::kLongLong:
      return std::to_string(value.AsLongLong());
    case VarType::kDouble:
      return DoubleText(value.AsDouble(), locale);
    case VarType::kCurrency:
      return CurrencyText(value.AsCurrency(), locale);
    case VarType::kDate:
      return DateText(value.AsDate(), locale);
    case VarType::kString:
      return value.AsString();
    case VarType::kObject:
    case VarType::kArray:
      break;
  }
  Raise(errors::kTypeMismatch, std::string("a value of type ") +
                                   std::string(TypeNameOf(value)) +
                                   " has no text");
}

// How an error message names a value: texts quoted, numbers as written.
std::string Describe(const Variant& value) {
  if (value.IsString()) return Quote(value.AsString());
  if (value.IsNumber()) {
    return PlainText(value, Locale::Current(), true);
  }
  return std::string(TypeNameOf(value));
}

ParsedNumber RequireNumber(const std::string& text, const Locale& locale) {
  std::optional<ParsedNumber> number = ParseNumber(text, locale);
  if (!number) Raise(errors::kTypeMismatch, Quote(text) + " is not a number");
  return std::move(*number);
}

double TextToDouble(const std::string& text, const Locale& locale) {
  const std::optional<double> value = RequireNumber(text, locale).ToDouble();
  if (!value) Raise(errors::kOverflow, Quote(text) + " is too large");
  return *value;
}

// ----- Numbers -----

double RoundHalfEven(double value) {
  const double rounded = std::round(value);
  if (std::fabs(value - std::trunc(value)) == 0.5) {
    return 2.0 * std::round(value / 2.0);
  }
  return rounded;
}

[[noreturn]] void RaiseNull(std::string_view function) {
  Raise(errors::kInvalidUseOfNull, std::string(function) + "(Null)");
}

[[noreturn]] void RaiseNoNumber(const Variant& value,
                                std::string_view function) {
  Raise(errors::kTypeMismatch, std::string(function) + " of a value of type " +
                                   std::string(TypeNameOf(value)));
}

double PlainToDouble(const Variant& value, const Locale& locale,
                     std::string_view function) {
  switch (value.type()) {
    case VarType::kEmpty:
      return 0;
    case VarType::kNull:
      RaiseNull(function);
    case VarType::kBoolean:
      return value.AsBoolean() ? -1 : 0;
    case VarType::kInteger:
      return value.AsInteger();
    case VarType::kLong:
      return value.AsLong();
    case VarType::kLongLong:
      return static_cast<double>(value.AsLongLong());
    case VarType::kDouble:
      return value.AsDouble();
    case VarType::kCurrency:
      return value.AsCurrency().ToDouble();
    case VarType::kDate:
      return value.AsDate().serial;
    case VarType::kString:
      return TextToDouble(value.AsString(), locale);
    case VarType::kObject:
    case VarType::kArray:
      break;
  }
  RaiseNoNumber(value, function);
}

// Rounds half to even and checks [min, max].
std::int64_t PlainToInteger(const Variant& value, const Locale& locale,
                            std::int64_t min, std::int64_t max,
                            std::string_view function) {
  std::int64_t result = 0;
  switch (value.type()) {
    case VarType::kBoolean:
      result = value.AsBoolean() ? -1 : 0;
      break;
    case VarType::kInteger:
      result = value.AsInteger();
      break;
    case VarType::kLong:
      result = value.AsLong();
      break;
    case VarType::kLongLong:
      result = value.AsLongLong();
      break;
    case VarType::kCurrency: {
      const std::int64_t scaled = value.AsCurrency().scaled;
      result = scaled / kCurrencyScale;
      const std::int64_t remainder = scaled % kCurrencyScale;
      const std::int64_t twice = 2 * (remainder < 0 ? -remainder : remainder);
      if (twice > kCurrencyScale ||
          (twice == kCurrencyScale && result % 2 != 0)) {
        result += remainder < 0 ? -1 : 1;
      }
      break;
    }
    default: {
      std::optional<double> number;
      if (value.IsString()) {
        const ParsedNumber parsed = RequireNumber(value.AsString(), locale);
        if (parsed.radix) {
          const std::optional<std::int32_t> radix = parsed.RadixValue();
          if (!radix) {
            Raise(errors::kOverflow,
                  std::string(function) + "(" + Describe(value) + ")");
          }
          result = *radix;
          break;
        }
        number = parsed.ToDouble();
        // A text past Double's range is past any integer's too.
        if (!number) number = std::numeric_limits<double>::infinity();
      } else {
        number = PlainToDouble(value, locale, function);
      }
      const double rounded = RoundHalfEven(*number);
      if (!(rounded >= static_cast<double>(min) &&
            rounded <= static_cast<double>(max))) {
        Raise(errors::kOverflow,
              std::string(function) + "(" + Describe(value) + ")");
      }
      result = static_cast<std::int64_t>(rounded);
      break;
    }
  }
  if (result < min || result > max) {
    Raise(errors::kOverflow,
          std::string(function) + "(" + Describe(value) + ")");
  }
  return result;
}

Currency DoubleToCurrency(double value, std::string_view function,
                          const Variant& source) {
  const double scaled = RoundHalfEven(value * kCurrencyScale);
  // 2^63: the first scaled value past Currency's range.
  constexpr double kLimit = 9223372036854775808.0;
  if (!(scaled >= -kLimit && scaled < kLimit)) {
    Raise(errors::kOverflow,
          std::string(function) + "(" + Describe(source) + ")");
  }
  return Currency{static_cast<std::int64_t>(scaled)};
}

Currency PlainToCurrency(const Variant& value, const Locale& locale,
                         std::string_view function) {
  switch (value.type()) {
    case VarType::kCurrency:
      return value.AsCurrency();
    case VarType::kBoolean:
    case VarType::kInteger:
    case VarType::kLong:
    case VarType::kLongLong: {
      const std::int64_t whole = PlainToInteger(
          value, locale, std::numeric_limits<std::int64_t>::min(),
          std::numeric_limits<std::int64_t>::max(), function);
      std::int64_t scaled = 0;
      if (__builtin_mul_overflow(whole, kCurrencyScale, &scaled)) {
        Raise(errors::kOverflow,
              std::string(function) + "(" + Describe(value) + ")");
      }
      return Currency{scaled};
    }
    case VarType::kString: {
      const std::optional<std::int64_t> scaled =
          RequireNumber(value.AsString(), locale).ToScaledCurrency();
      if (!scaled) {
        Raise(errors::kOverflow,
              std::string(function) + "(" + Describe(value) + ")");
      }
      return Currency{*scaled};
    }
    default:
      return DoubleToCurrency(PlainToDouble(value, locale, function), function,
                              value);
  }
}

bool PlainToBoolean(const Variant& value, const Locale& locale,
                    std::string_view function) {
  switch (value.type()) {
    case VarType::kEmpty:
      return false;
    case VarType::kNull:
      RaiseNull(function);
    case VarType::kBoolean:
      return value.AsBoolean();
    case VarType::kInteger:
      return value.AsInteger() != 0;
    case VarType::kLong:
      return value.AsLong() != 0;
    case VarType::kLongLong:
      return value.AsLongLong() != 0;
    case VarType::kDouble:
      return value.AsDouble() != 0;
    case VarType::kCurrency:
      return value.AsCurrency().scaled != 0;
    case VarType::kDate:
      return value.AsDate().serial != 0;
    case VarType::kString: {
      const std::string& text = value.AsString();
      if (EqualsIgnoreCase(text, "True")) return true;
      if (EqualsIgnoreCase(text, "False")) return false;
      const std::optional<ParsedNumber> number = ParseNumber(text, locale);
      if (!number) {
        Raise(errors::kTypeMismatch,
              Quote(text) + " is neither True, False nor a number");
      }
      return !number->IsZero();
    }
    case VarType::kObject:
    case VarType::kArray:
      break;
  }
  RaiseNoNumber(value, function);
}

Date SerialToDate(double serial, const Variant& source) {
  if (!IsDateSerialInRange(serial)) {
    Raise(errors::kOverflow,
          Describe(source) + " is outside the range of dates");
  }
  return Date{serial};
}

Date PlainToDate(const Variant& value, const Locale& locale) {
  switch (value.type()) {
    case VarType::kNull:
      RaiseNull("CDate");
    case VarType::kDate:
      return value.AsDate();
    case VarType::kString: {
      const std::optional<Date> date = ParseDateText(value.AsString(), locale);
      if (!date) {
        Raise(errors::kTypeMismatch,
              Quote(value.AsString()) + " is not a date");
      }
      return *date;
    }
    case VarType::kObject:
    case VarType::kArray:
      RaiseNoNumber(value, "CDate");
    default:
      return SerialToDate(PlainToDouble(value, locale, "CDate"), value);
  }
}

// ----- Operators -----

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

// The number a text stands for in arithmetic and comparison: a Long for
// "&H" texts, a Double otherwise. Nothing when it is no number.
std::optional<Variant> NumericTextValue(const std::string& text,
                                        const Locale& locale) {
  const std::optional<ParsedNumber> number = ParseNumber(text, locale);
  if (!number) return std::nullopt;
  if (number->radix) {
    const std::optional<std::int32_t> value = number->RadixValue();
    if (!value) return std::nullopt;
    return Variant(*value);
  }
  const std::optional<double> value = number->ToDouble();
  if (!value) return std::nullopt;
  return Variant(*value);
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
      if (__builtin_add_overflow(PlainToCurrency(a, locale, "+").scaled,
                                 PlainToCurrency(b, locale, "+").scaled,
                                 &sum)) {
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
  const std::int64_t quotient = amount.scaled / kCurrencyScale;
  const std::int64_t remainder = amount.scaled % kCurrencyScale;
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

std::string CStr(const Variant& value) {
  // A text is its own text in every locale.
  if (value.IsString()) return value.AsString();
  return CStr(value, Locale::Current());
}

std::string CStr(Variant&& value) {
  if (value.IsString()) return value.TakeString();
  return CStr(value, Locale::Current());
}

std::string CStr(const Variant& value, const Locale& locale) {
  const Plain plain(value);
  return PlainText(*plain, locale, false);
}

std::string TextOf(const Variant& value) {
  if (value.IsString()) return value.AsString();
  return TextOf(value, Locale::Current());
}

std::string TextOf(const Variant& value, const Locale& locale) {
  const Plain plain(value);
  return PlainText(*plain, locale, true);
}

double CDbl(const Variant& value) {
  // A Double needs no locale; reports convert amounts for every line.
  if (value.type() == VarType::kDouble) return value.AsDouble();
  return CDbl(value, Locale::Current());
}

double CDbl(const Variant& value, const Locale& locale) {
  const Plain plain(value);
  return PlainToDouble(*plain, locale, "CDbl");
}

std::int16_t CInt(const Variant& value) {
  return CInt(value, Locale::Current());
}

std::int16_t CInt(const Variant& value, const Locale& locale) {
  const Plain plain(value);
  if (plain->IsNull()) RaiseNull("CInt");
  return static_cast<std::int16_t>(
      PlainToInteger(*plain, locale, INT16_MIN, INT16_MAX, "CInt"));
}

std::int32_t CLng(const Variant& value) {
  return CLng(value, Locale::Current());
}

std::int32_t CLng(const Variant& value, const Locale& locale) {
  const Plain plain(value);
  if (plain->IsNull()) RaiseNull("CLng");
  return static_cast<std::int32_t>(
      PlainToInteger(*plain, locale, INT32_MIN, INT32_MAX, "CLng"));
}

Currency CCur(const Variant& value) { return CCur(value, Locale::Current()); }

Currency CCur(const Variant& value, const Locale& locale) {
  const Plain plain(value);
  if (plain->IsNull()) RaiseNull("CCur");
  return PlainToCurrency(*plain, locale, "CCur");
}

bool CBool(const Variant& value) { return CBool(value, Locale::Current()); }

bool CBool(const Variant& value, const Locale& locale) {
  const Plain plain(value);
  return PlainToBoolean(*plain, locale, "CBool");
}

Date CDate(const Variant& value) { return CDate(value, Locale::Current()); }

Date CDate(const Variant& value, const Locale& locale) {
  const Plain plain(value);
  return PlainToDate(*plain, locale);
}

bool IsNumeric(const Variant& value) {
  return IsNumeric(value, Locale::Current());
}

bool IsNumeric(const Variant& value, const Locale& locale) {
  Variant unwrapped;
  const Variant* plain = &value;
  if (value.IsObject()) {
    try {
      unwrapped = Unwrap(value);
    } catch (const AutomationError&) {
      return false;
    }
    plain = &unwrapped;
  }
  switch (plain->type()) {
    case VarType::kEmpty:
    case VarType::kBoolean:
    case VarType::kInteger:
    case VarType::kLong:
    case VarType::kLongLong:
    case VarType::kDouble:
    case VarType::kCurrency:
      return true;
    case VarType::kString:
      return NumericTextValue(plain->AsString(), locale).has_value();
    default:
      return false;
  }
}

Variant Concat(const Variant& a, const Variant& b) {
  return Concat(a, b, Locale::Current());
}

Variant Concat(const Variant& a, const Variant& b, const Locale& locale) {
  const Plain x(a);
  const Plain y(b);
  if (x->IsNull() && y->IsNull()) return Variant::Null();
  std::string text = PlainText(*x, locale, true);
  if (y->IsString()) {
    text += y->AsString();
  } else {
    text += PlainText(*y, locale, true);
  }
  return Variant(std::move(text));
}

Variant Add(const Variant& a, const Variant& b) {
  return Add(a, b, Locale::Current());
}

Variant Add(const Variant& a, const Variant& b, const Locale& locale) {
  const Plain px(a);
  const Plain py(b);
  const Variant& x = *px;
  const Variant& y = *py;
  if (x.IsArray() || y.IsArray()) {
    Raise(errors::kTypeMismatch,
          std::string(TypeNameOf(x)) + " + " + std::string(TypeNameOf(y)));
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
      Raise(errors::kTypeMismatch, Quote(x.AsString()) + " + " + Describe(y) +
                                       ": the text is no number");
    }
    // "&H" texts still add as Doubles.
    x_number = Variant(PlainToDouble(*x_number, locale, "+"));
  }
  if (y.IsString()) {
    y_number = NumericTextValue(y.AsString(), locale);
    if (!y_number) {
      Raise(errors::kTypeMismatch, Describe(x) + " + " + Quote(y.AsString()) +
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
  const Plain px(a);
  const Plain py(b);
  const Variant& x = *px;
  const Variant& y = *py;
  if (x.IsArray() || y.IsArray()) {
    Raise(errors::kTypeMismatch, std::string("comparing ") +
                                     std::string(TypeNameOf(x)) + " with " +
                                     std::string(TypeNameOf(y)));
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

Variant Unwrap(const Variant& value) {
  if (!value.IsObject()) return value;
  Variant current = value;
  for (int depth = 0; current.IsObject(); ++depth) {
    if (depth == kMaxUnwrapDepth) {
      Raise(errors::kTypeMismatch, "object default values nest more than " +
                                       std::to_string(kMaxUnwrapDepth) +
                                       " levels deep");
    }
    const ObjectRef object = current.AsObject();
    if (!object) {
      throw AutomationError(
          errors::kObjectNotSet,
          std::string(StandardDescription(errors::kObjectNotSet)) +
              ": Nothing has no value",
          {});
    }
    current = object->DefaultValue();
  }
  return current;
}

bool IsTrue(const Variant& value) {
  const Plain plain(value);
  if (plain->IsNull()) return false;
  return PlainToBoolean(*plain, Locale::Current(), "If");
}

}  // namespace nerolin
