#include "automation/conversions.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include "automation/conversion_steps.h"
#include "automation/date_text.h"
#include "automation/number_text.h"
#include "automation/vb_text.h"
#include "nerolin/automation_error.h"
#include "nerolin/object.h"

namespace nerolin {

using conversion_steps::Describe;
using conversion_steps::Plain;
using conversion_steps::PlainText;
using conversion_steps::PlainToCurrency;
using conversion_steps::PlainToDouble;
using conversion_steps::Quote;
using conversion_steps::Raise;
using conversion_steps::TypeNameOf;

namespace {

// A default value may itself be an object; more levels than this is a loop.
constexpr int kMaxUnwrapDepth = 16;
// How much of an offending text an error message quotes.
constexpr std::size_t kQuotedTextLimit = 40;

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
      result = scaled / Currency::kScale;
      const std::int64_t remainder = scaled % Currency::kScale;
      const std::int64_t twice = 2 * (remainder < 0 ? -remainder : remainder);
      if (twice > Currency::kScale ||
          (twice == Currency::kScale && result % 2 != 0)) {
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
  const double scaled = RoundHalfEven(value * Currency::kScale);
  // 2^63: the first scaled value past Currency's range.
  constexpr double kLimit = 9223372036854775808.0;
  if (!(scaled >= -kLimit && scaled < kLimit)) {
    Raise(errors::kOverflow,
          std::string(function) + "(" + Describe(source) + ")");
  }
  return Currency{static_cast<std::int64_t>(scaled)};
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

}  // namespace

namespace conversion_steps {

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

std::string Describe(const Variant& value) {
  if (value.IsString()) return Quote(value.AsString());
  if (value.IsNumber()) {
    return PlainText(value, Locale::Current(), true);
  }
  return std::string(TypeNameOf(value));
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
      if (__builtin_mul_overflow(whole, Currency::kScale, &scaled)) {
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

}  // namespace conversion_steps

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
  if (plain->IsEmpty() || plain->IsNumber()) return true;
  return plain->IsString() &&
         conversion_steps::NumericTextValue(plain->AsString(), locale)
             .has_value();
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
