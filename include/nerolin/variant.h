#pragma once

#include <concepts>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "nerolin/export.h"

namespace nerolin {

class Object;
class Variant;

using ObjectRef = std::shared_ptr<Object>;
using VariantArray = std::vector<Variant>;

// The type codes of an automation VARIANT.
enum class VarType : std::uint16_t {
  kEmpty = 0,
  kNull = 1,
  kInteger = 2,
  kLong = 3,
  kDouble = 5,
  kCurrency = 6,
  kDate = 7,
  kString = 8,
  kObject = 9,
  kBoolean = 11,
  kLongLong = 20,
  kArray = 0x200C,  // an array of variants
};

// A fixed-point amount: the value times 10,000, as the Currency type holds
// it.
struct NEROLIN_EXPORT Currency {
  static constexpr std::int64_t kScale = 10000;

  std::int64_t scaled = 0;

  // REQUIRES: `value` within Currency's range; see CCur for the checked
  // conversion.
  static Currency FromDouble(double value);
  double ToDouble() const { return static_cast<double>(scaled) / kScale; }
  friend bool operator==(Currency, Currency) = default;
};

// An OLE date: days since 1899-12-30, the fraction being the time of day.
struct NEROLIN_EXPORT Date {
  double serial = 0;

  static Date FromParts(int year, int month, int day, int hour = 0,
                        int minute = 0, int second = 0);
  friend bool operator==(Date, Date) = default;
};

// An automation value. Copying is cheap for everything but long texts;
// objects and arrays are shared references.
class NEROLIN_EXPORT Variant {
 public:
  Variant() = default;  // Empty
  static Variant Null();

  Variant(bool value) : value_(value) {}
  Variant(std::int16_t value) : value_(value) {}
  Variant(std::int32_t value) : value_(value) {}
  Variant(std::int64_t value) : value_(value) {}
  Variant(double value) : value_(value) {}
  Variant(Currency value) : value_(value) {}
  Variant(Date value) : value_(value) {}
  Variant(std::string value) : value_(std::move(value)) {}
  Variant(std::string_view value) : value_(std::string(value)) {}
  Variant(const char* value) : value_(std::string(value)) {}
  // A null reference is the object Nothing.
  Variant(ObjectRef value) : value_(std::move(value)) {}
  template <class T>
  requires std::derived_from<T, Object> Variant(std::shared_ptr<T> value)
      : value_(ObjectRef(std::move(value))) {}
  Variant(VariantArray value)
      : value_(std::make_shared<const VariantArray>(std::move(value))) {}

  VarType type() const;
  bool IsEmpty() const { return value_.index() == 0; }
  bool IsNull() const { return value_.index() == 1; }
  bool IsString() const { return std::holds_alternative<std::string>(value_); }
  bool IsObject() const { return std::holds_alternative<ObjectRef>(value_); }
  bool IsArray() const { return value_.index() == kArrayIndex; }
  // Integer, Long, LongLong, Double, Currency or Boolean.
  bool IsNumber() const;

  // Typed access. Each raises error 13 (type mismatch) unless the value
  // holds exactly that type; use the conversions (CStr, CLng, ...) to
  // convert.
  bool AsBoolean() const;
  std::int16_t AsInteger() const;
  std::int32_t AsLong() const;
  std::int64_t AsLongLong() const;
  double AsDouble() const;
  Currency AsCurrency() const;
  Date AsDate() const;
  const std::string& AsString() const;
  const ObjectRef& AsObject() const;
  const VariantArray& AsArray() const;

  // Makes this the String `text`, in the room the text it holds already
  // has when it is a String.
  void AssignString(std::string_view text) {
    if (auto* held = std::get_if<std::string>(&value_)) {
      held->assign(text);
    } else {
      value_.emplace<std::string>(text);
    }
  }

  // The String this holds, moved out; this is left an empty String. Raises
  // error 13 unless this holds a String.
  std::string TakeString();

  // Same type and same value; no conversion (for tests and caches).
  friend bool operator==(const Variant& a, const Variant& b);

 private:
  struct NullTag {
    friend bool operator==(NullTag, NullTag) = default;
  };
  static constexpr std::size_t kArrayIndex = 11;

  std::variant<std::monostate, NullTag, bool, std::int16_t, std::int32_t,
               std::int64_t, double, Currency, Date, std::string, ObjectRef,
               std::shared_ptr<const VariantArray>>
      value_;
};

}  // namespace nerolin
