#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "automation/conversions.h"
#include "automation/locale.h"
#include "nerolin/variant.h"

// The steps that VB's conversions (conversions.cc) and operators
// (operators.cc) share, so that both word their errors alike. Private to
// automation/.
namespace nerolin::conversion_steps {

// Raises `number` with VB's description, ": " and `detail`.
[[noreturn]] void Raise(std::int32_t number, std::string_view detail);

// `text` in double quotes, cut short (never inside a character) with "..."
// when long.
std::string Quote(std::string_view text);

// VB's name for the type of `value`: "Integer", "String", "Variant()".
std::string_view TypeNameOf(const Variant& value);

// How an error message names a value: texts quoted, numbers as written, any
// other value by its type.
std::string Describe(const Variant& value);

// Holds the value of an object's default member, so that plain values are
// not copied. Raises what Unwrap raises.
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

// The two operands of a binary operator as Plain holds one, `a` asked for
// its value before `b`. Asking an object may run host code that changes
// what the other operand refers to (a row of the rows the code opens
// again), so beside an object both are copied before either is asked.
class PlainOperands {
 public:
  PlainOperands(const Variant& a, const Variant& b) : x_(&a), y_(&b) {
    if (!a.IsObject() && !b.IsObject()) return;
    held_x_ = a;
    held_y_ = b;
    x_ = &held_x_;
    y_ = &held_y_;
    if (held_x_.IsObject()) held_x_ = Unwrap(held_x_);
    if (held_y_.IsObject()) held_y_ = Unwrap(held_y_);
  }
  PlainOperands(const PlainOperands&) = delete;
  PlainOperands& operator=(const PlainOperands&) = delete;

  const Variant& x() const { return *x_; }
  const Variant& y() const { return *y_; }

 private:
  Variant held_x_;
  Variant held_y_;
  const Variant* x_;
  const Variant* y_;
};

// The text of a value that is no object, as CStr gives it; Null gives ""
// when `null_is_empty`, else raises 94.
std::string PlainText(const Variant& value, const Locale& locale,
                      bool null_is_empty);

// The number of a value that is no object, as CDbl and CCur give it;
// `function` names the conversion in error messages.
double PlainToDouble(const Variant& value, const Locale& locale,
                     std::string_view function);
Currency PlainToCurrency(const Variant& value, const Locale& locale,
                         std::string_view function);

// The number a text stands for in arithmetic and comparison: a Long for
// "&H" texts, a Double otherwise. Nothing when it is no number.
std::optional<Variant> NumericTextValue(const std::string& text,
                                        const Locale& locale);

}  // namespace nerolin::conversion_steps
