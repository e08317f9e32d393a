#include "nerolin/variant.h"

#include <cmath>
#include <utility>

#include "nerolin/automation_error.h"

namespace nerolin {

namespace {

// Days from 1899-12-30 to the given civil date (proleptic Gregorian).
std::int64_t DaysFromEpoch(int year, int month, int day) {
  // Howard Hinnant's days_from_civil, shifted to the OLE epoch.
  year -= month <= 2;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(year - era * 400);
  const unsigned doy =
      (153 * static_cast<unsigned>(month + (month > 2 ? -3 : 9)) + 2) / 5 +
      static_cast<unsigned>(day) - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  const std::int64_t unix_days =
      era * 146097 + static_cast<std::int64_t>(doe) - 719468;
  return unix_days + 25569;  // 1970-01-01 is OLE day 25569
}

template <class T>
const T& Expect(const auto& value) {
  if (const T* held = std::get_if<T>(&value)) return *held;
  throw AutomationError(errors::kTypeMismatch);
}

}  // namespace

Currency Currency::FromDouble(double value) {
  // Half to even at the fourth decimal, as the Currency conversion rounds.
  return Currency{static_cast<std::int64_t>(std::nearbyint(value * kScale))};
}

Date Date::FromParts(int year, int month, int day, int hour, int minute,
                     int second) {
  double days = static_cast<double>(DaysFromEpoch(year, month, day));
  double time = (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
  // Before the epoch the fraction counts away from zero, as OLE dates do.
  return Date{days < 0 ? days - time : days + time};
}

Variant Variant::Null() {
  Variant value;
  value.value_ = NullTag{};
  return value;
}

VarType Variant::type() const {
  static constexpr VarType kTypes[] = {
      VarType::kEmpty,   VarType::kNull,     VarType::kBoolean,
      VarType::kInteger, VarType::kLong,     VarType::kLongLong,
      VarType::kDouble,  VarType::kCurrency, VarType::kDate,
      VarType::kString,  VarType::kObject,   VarType::kArray};
  return kTypes[value_.index()];
}

bool Variant::IsNumber() const {
  switch (type()) {
    case VarType::kBoolean:
    case VarType::kInteger:
    case VarType::kLong:
    case VarType::kLongLong:
    case VarType::kDouble:
    case VarType::kCurrency:
      return true;
    default:
      return false;
  }
}

bool Variant::AsBoolean() const { return Expect<bool>(value_); }
std::int16_t Variant::AsInteger() const { return Expect<std::int16_t>(value_); }
std::int32_t Variant::AsLong() const { return Expect<std::int32_t>(value_); }
std::int64_t Variant::AsLongLong() const {
  return Expect<std::int64_t>(value_);
}
double Variant::AsDouble() const { return Expect<double>(value_); }
Currency Variant::AsCurrency() const { return Expect<Currency>(value_); }
Date Variant::AsDate() const { return Expect<Date>(value_); }
const std::string& Variant::AsString() const {
  return Expect<std::string>(value_);
}
std::string Variant::TakeString() {
  if (auto* held = std::get_if<std::string>(&value_)) return std::move(*held);
  return AsString();  // raises
}
const ObjectRef& Variant::AsObject() const { return Expect<ObjectRef>(value_); }
const VariantArray& Variant::AsArray() const {
  return *Expect<std::shared_ptr<const VariantArray>>(value_);
}

bool operator==(const Variant& a, const Variant& b) {
  if (a.value_.index() != b.value_.index()) return false;
  if (a.IsArray()) return a.AsArray() == b.AsArray();
  return a.value_ == b.value_;
}

}  // namespace nerolin
