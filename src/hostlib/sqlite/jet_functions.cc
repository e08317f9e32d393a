#include "hostlib/sqlite/jet_functions.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <exception>
#include <new>
#include <optional>
#include <string>
#include <string_view>

#include <sqlite3.h>

#include "automation/conversions.h"
#include "automation/vb_text.h"
#include "hostlib/jet/jet_sql.h"
#include "hostlib/jet/stored_dates.h"
#include "hostlib/sqlite/column_types.h"
#include "nerolin/automation_error.h"
#include "nerolin/sqlite_library.h"

namespace nerolin::sqlite {

using jet::CivilDateTime;
using jet::IsoDateTimeText;
using jet::kLeftFunction;
using jet::kRightFunction;
using jet::ParseIsoDateTime;

namespace {

using Body = void (*)(sqlite3_context*, int, sqlite3_value**);

// SQLite calls these from C: nothing may be thrown through it, so each
// failure becomes the statement's error, named after the function.
template <Body body>
void Guarded(sqlite3_context* context, int argc, sqlite3_value** argv) {
  const char* name = static_cast<const char*>(sqlite3_user_data(context));
  try {
    body(context, argc, argv);
  } catch (const std::bad_alloc&) {
    // SQLite has its own answer for this, which its callers know.
    sqlite3_result_error_nomem(context);
  } catch (...) {
    const std::string message =
        std::string(name) + ": " +
        AsAutomationError(std::current_exception(), name).description();
    sqlite3_result_error(context, message.c_str(),
                         static_cast<int>(message.size()));
  }
}

[[noreturn]] void InvalidArgument(std::string_view what) {
  throw AutomationError(
      errors::kInvalidArgument,
      std::string(StandardDescription(errors::kInvalidArgument)) + " (" +
          std::string(what) + ")",
      "");
}

bool AnyNull(int argc, sqlite3_value** argv) {
  for (int i = 0; i < argc; ++i) {
    if (sqlite3_value_type(argv[i]) == SQLITE_NULL) return true;
  }
  return false;
}

std::string_view ValueText(sqlite3_value* value) {
  const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
  int size = sqlite3_value_bytes(value);
  return text ? std::string_view(text, static_cast<std::size_t>(size))
              : std::string_view();
}

Variant VariantOf(sqlite3_value* value) {
  switch (sqlite3_value_type(value)) {
    case SQLITE_INTEGER: {
      std::int64_t number = sqlite3_value_int64(value);
      if (number >= INT32_MIN && number <= INT32_MAX) {
        return Variant(static_cast<std::int32_t>(number));
      }
      return Variant(number);
    }
    case SQLITE_FLOAT:
      return Variant(sqlite3_value_double(value));
    case SQLITE_NULL:
      return Variant::Null();
    default:
      return Variant(ValueText(value));
  }
}

void ResultText(sqlite3_context* context, std::string_view text) {
  sqlite3_result_text64(context, text.data(), text.size(), SQLITE_TRANSIENT,
                        SQLITE_UTF8);
}

bool IsContinuationByte(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

std::int64_t CountChars(std::string_view text) {
  std::int64_t count = 0;
  for (char c : text) {
    if (!IsContinuationByte(c)) ++count;
  }
  return count;
}

// Byte offset of the character `chars` characters into `text` (the size
// when the text is shorter).
std::size_t OffsetOfChar(std::string_view text, std::int64_t chars) {
  std::size_t at = 0;
  while (at < text.size() && chars > 0) {
    ++at;
    while (at < text.size() && IsContinuationByte(text[at])) ++at;
    --chars;
  }
  return at;
}

void Nz(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) != SQLITE_NULL) {
    sqlite3_result_value(context, argv[0]);
  } else if (argc > 1) {
    sqlite3_result_value(context, argv[1]);
  } else {
    ResultText(context, "");
  }
}

void Len(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(context);
  sqlite3_result_int64(context, CountChars(ValueText(argv[0])));
}

void UpperCase(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(context);
  ResultText(context, UCase(ValueText(argv[0])));
}

void LowerCase(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(context);
  ResultText(context, LCase(ValueText(argv[0])));
}

std::int64_t Length(sqlite3_value* value, std::string_view function) {
  std::int64_t length = sqlite3_value_int64(value);
  if (length < 0) InvalidArgument(std::string(function) + " length below 0");
  return length;
}

void LeftChars(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(context);
  std::string_view text = ValueText(argv[0]);
  ResultText(context,
             text.substr(0, OffsetOfChar(text, Length(argv[1], "Left"))));
}

void RightChars(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(context);
  std::string_view text = ValueText(argv[0]);
  std::int64_t keep = Length(argv[1], "Right");
  std::int64_t total = CountChars(text);
  std::int64_t skip = keep >= total ? 0 : total - keep;
  ResultText(context, text.substr(OffsetOfChar(text, skip)));
}

void MidChars(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(context);
  std::string_view text = ValueText(argv[0]);
  std::int64_t start = sqlite3_value_int64(argv[1]);
  if (start < 1) InvalidArgument("Mid start below 1");
  std::string_view rest = text.substr(OffsetOfChar(text, start - 1));
  if (argc > 2)
    rest = rest.substr(0, OffsetOfChar(rest, Length(argv[2], "Mid")));
  ResultText(context, rest);
}

void InStrFrom(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(context);
  std::int64_t start = sqlite3_value_int64(argv[0]);
  if (start < 1) InvalidArgument("InStr start below 1");
  std::string_view text = ValueText(argv[1]);
  std::string_view find = ValueText(argv[2]);
  if (start > CountChars(text) + 1) return sqlite3_result_int64(context, 0);
  std::size_t from = OffsetOfChar(text, start - 1);
  std::size_t found = text.find(find, from);
  if (found == std::string_view::npos) return sqlite3_result_int64(context, 0);
  sqlite3_result_int64(context, CountChars(text.substr(0, found)) + 1);
}

void ToText(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(context);
  if (sqlite3_value_type(argv[0]) == SQLITE_TEXT) {
    return sqlite3_result_value(context, argv[0]);
  }
  ResultText(context, CStr(VariantOf(argv[0])));
}

void ToLong(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(context);
  sqlite3_result_int64(context, CLng(VariantOf(argv[0])));
}

void ToInteger(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(context);
  sqlite3_result_int64(context, CInt(VariantOf(argv[0])));
}

void ToDouble(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(context);
  sqlite3_result_double(context, CDbl(VariantOf(argv[0])));
}

// The longest number at the start of the text: blanks, a sign, digits, a
// point and digits, an exponent.
double LeadingNumber(std::string_view text) {
  std::size_t at = 0;
  while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
  std::string number;
  if (at < text.size() && (text[at] == '-' || text[at] == '+')) {
    number += text[at++];
  }
  bool digits = false;
  while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
    number += text[at++];
    digits = true;
  }
  if (at < text.size() && text[at] == '.') {
    number += text[at++];
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
      number += text[at++];
      digits = true;
    }
  }
  if (!digits) return 0;
  if (at + 1 < text.size() && (text[at] == 'e' || text[at] == 'E')) {
    std::size_t exponent = at + 1;
    std::string tail = "e";
    if (text[exponent] == '-' || text[exponent] == '+')
      tail += text[exponent++];
    std::size_t first_digit = exponent;
    while (exponent < text.size() && text[exponent] >= '0' &&
           text[exponent] <= '9' && exponent - first_digit < 4) {
      tail += text[exponent++];
    }
    if (exponent > first_digit) number += tail;
  }
  double value = std::strtod(number.c_str(), nullptr);
  if (!std::isfinite(value)) {
    throw AutomationError(errors::kOverflow, "");
  }
  return value;
}

void Val(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(context);
  if (sqlite3_value_type(argv[0]) == SQLITE_INTEGER) {
    return sqlite3_result_value(context, argv[0]);
  }
  sqlite3_result_double(context, LeadingNumber(ValueText(argv[0])));
}

CivilDateTime DateArgument(sqlite3_value* value) {
  std::optional<CivilDateTime> parts = ParseIsoDateTime(ValueText(value));
  if (!parts) {
    throw AutomationError(
        errors::kTypeMismatch,
        "Type mismatch (no date: " + std::string(ValueText(value)) + ")", "");
  }
  return *parts;
}

void YearOf(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(context);
  sqlite3_result_int(context, DateArgument(argv[0]).year);
}

void MonthOf(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(context);
  sqlite3_result_int(context, DateArgument(argv[0]).month);
}

void DayOf(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(context);
  sqlite3_result_int(context, DateArgument(argv[0]).day);
}

CivilDateTime LocalNow() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  CivilDateTime parts;
  parts.year = local.tm_year + 1900;
  parts.month = local.tm_mon + 1;
  parts.day = local.tm_mday;
  parts.hour = local.tm_hour;
  parts.minute = local.tm_min;
  parts.second = local.tm_sec > 59 ? 59 : local.tm_sec;  // leap second
  return parts;
}

void Today(sqlite3_context* context, int, sqlite3_value**) {
  CivilDateTime today = LocalNow();
  today.hour = today.minute = today.second = 0;
  ResultText(context, IsoDateTimeText(today));
}

void Now(sqlite3_context* context, int, sqlite3_value**) {
  // Always with its time, even at midnight, so that the text keeps one
  // shape.
  CivilDateTime now = LocalNow();
  char text[96];  // room for any int, which keeps the compiler sure
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", now.year,
                now.month, now.day, now.hour, now.minute, now.second);
  ResultText(context, text);
}

struct FunctionEntry {
  const char* name;
  int arguments;
  bool deterministic;
  Body body;
  const char* shown_name = nullptr;  // in messages, when not `name`
};

constexpr FunctionEntry kFunctions[] = {
    {"Nz", 1, true, Guarded<Nz>},
    {"Nz", 2, true, Guarded<Nz>},
    {"Len", 1, true, Guarded<Len>},
    {"UCase", 1, true, Guarded<UpperCase>},
    {"LCase", 1, true, Guarded<LowerCase>},
    {kLeftFunction.data(), 2, true, Guarded<LeftChars>, "Left"},
    {kRightFunction.data(), 2, true, Guarded<RightChars>, "Right"},
    {"Mid", 2, true, Guarded<MidChars>},
    {"Mid", 3, true, Guarded<MidChars>},
    {"InStr", 3, true, Guarded<InStrFrom>},
    {"CStr", 1, true, Guarded<ToText>},
    {"CLng", 1, true, Guarded<ToLong>},
    {"CInt", 1, true, Guarded<ToInteger>},
    {"CDbl", 1, true, Guarded<ToDouble>},
    {"Val", 1, true, Guarded<Val>},
    {"Year", 1, true, Guarded<YearOf>},
    {"Month", 1, true, Guarded<MonthOf>},
    {"Day", 1, true, Guarded<DayOf>},
    // With no argument only: date(x, ...) stays SQLite's own.
    {"Date", 0, false, Guarded<Today>},
    {"Now", 0, false, Guarded<Now>},
};

}  // namespace

void RegisterJetFunctions(sqlite3* db) {
  for (const FunctionEntry& function : kFunctions) {
    int flags = SQLITE_UTF8;
    if (function.deterministic)
      flags |= SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
    int rc = sqlite3_create_function_v2(
        db, function.name, function.arguments, flags,
        const_cast<char*>(function.shown_name ? function.shown_name
                                              : function.name),
        function.body, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
      throw AutomationError(kUnspecifiedError,
                            std::string("Cannot add the SQL function ") +
                                function.name + ": " + sqlite3_errstr(rc),
                            std::string(kSource));
    }
  }
}

}  // namespace nerolin::sqlite
