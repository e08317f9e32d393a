// Format over a value and a pattern from the input: the options byte picks
// the value's type (from the text of the first line) and the locale, the
// rest after the first line break is the pattern. Only the documented
// errors may come out.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "automation/conversions.h"
#include "automation/format.h"
#include "automation/locale.h"
#include "fuzz/fuzz_support.h"
#include "nerolin/automation_error.h"

namespace {

using nerolin::Variant;

// The value the first line stands for; its text when it cannot be read as
// the type asked for.
Variant ValueOf(std::uint8_t kind, std::string_view text) {
  const Variant as_text{text};
  try {
    switch (kind % 9) {
      case 0:
        return as_text;
      case 1:
        return Variant(nerolin::CDbl(as_text));
      case 2:
        return Variant(nerolin::CLng(as_text));
      case 3:
        return Variant(nerolin::CCur(as_text));
      case 4:
        return Variant(nerolin::CDate(as_text));
      case 5:
        return Variant(nerolin::CBool(as_text));
      case 6:
        return Variant::Null();
      case 7:
        return Variant();
      default: {
        const double number = nerolin::CDbl(as_text);
        // Only where the cast is defined.
        if (!(number > -9.2e18 && number < 9.2e18)) return as_text;
        return Variant(static_cast<std::int64_t>(number));
      }
    }
  } catch (const nerolin::AutomationError&) {
    return as_text;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  const nerolin::fuzz::Input input = nerolin::fuzz::SplitInput(data, size);
  const std::size_t line_end = input.text.find('\n');
  const std::string_view value_text = input.text.substr(0, line_end);
  const std::string_view pattern = line_end == std::string_view::npos
                                       ? std::string_view()
                                       : input.text.substr(line_end + 1);
  const nerolin::Locale& locale = input.options & 0x80
                                      ? nerolin::Locale::EnglishUnitedStates()
                                      : nerolin::Locale::SpanishMexico();
  const Variant value = ValueOf(input.options & 0x7F, value_text);
  try {
    nerolin::Format(value, pattern, locale);
  } catch (const nerolin::AutomationError& error) {
    if (error.number() != 6 && error.number() != 13) std::abort();
  }
  return 0;
}
