#include "fields/amount_in_words.h"

#include <charconv>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <unicode/locid.h>
#include <unicode/rbnf.h>
#include <unicode/unistr.h>

#include "automation/conversions.h"
#include "automation/format.h"
#include "automation/vb_text.h"
#include "nerolin/automation_error.h"

namespace nerolin::fields {
namespace {

constexpr std::string_view kSource = "IMPORTECONLETRA";
// Past this a Double no longer holds every whole digit it shows.
constexpr std::size_t kMaxWholeDigits = 15;
constexpr std::int64_t kMillion = 1'000'000;
constexpr char16_t kSoftHyphen = 0x00AD;

[[noreturn]] void Fail(std::int32_t number, std::string what) {
  throw AutomationError(number,
                        std::string(StandardDescription(number)) + ": " + what,
                        std::string(kSource));
}

struct CurrencyWords {
  std::string singular;
  std::string plural;
  std::string mark;
};

CurrencyWords WordsFor(std::string_view currency) {
  const std::string code = UCase(Trim(currency));
  if (code.empty() || code == "MXN") return {"PESO", "PESOS", "M.N."};
  if (code == "USD") return {"DÓLAR", "DÓLARES", "USD"};
  if (code == "EUR") return {"EURO", "EUROS", "EUR"};
  return {code, code, code};
}

const icu::Locale& Spanish() {
  static const icu::Locale spanish("es");
  return spanish;
}

// `whole` in upper-case words, as the masculine cardinal agrees with a
// currency's name ("UN", "VEINTIÚN").
std::string WholeInWords(std::int64_t whole) {
  // Building the rules costs far more than using them; a formatter is no
  // thing to share between threads.
  thread_local const std::unique_ptr<icu::RuleBasedNumberFormat> spellout = [] {
    UErrorCode status = U_ZERO_ERROR;
    auto format = std::make_unique<icu::RuleBasedNumberFormat>(
        icu::URBNF_SPELLOUT, Spanish(), status);
    return U_FAILURE(status) ? nullptr : std::move(format);
  }();
  UErrorCode status = U_ZERO_ERROR;
  icu::UnicodeString words;
  icu::FieldPosition position;
  if (spellout) {
    spellout->format(static_cast<int64_t>(whole),
                     icu::UnicodeString(u"%spellout-cardinal-masculine"), words,
                     position, status);
  }
  if (!spellout || U_FAILURE(status)) {
    Fail(errors::kInvalidArgument,
         "the Spanish spelling of numbers is missing");
  }
  // ICU marks where long words may break; a printed amount must not.
  words.findAndReplace(icu::UnicodeString(kSoftHyphen), icu::UnicodeString());
  words.toUpper(Spanish());
  std::string text;
  words.toUTF8String(text);
  return text;
}

bool AllDigits(std::string_view text) {
  return !text.empty() &&
         text.find_first_not_of("0123456789") == std::string_view::npos;
}

}  // namespace

std::string AmountInWords(const Variant& value, std::string_view currency) {
  const Variant amount = Unwrap(value);
  if (amount.IsEmpty() || amount.IsNull()) return {};
  if (amount.IsString() && amount.AsString().empty()) return {};
  if (!IsNumeric(amount)) {
    Fail(errors::kTypeMismatch, "\"" + TextOf(amount) + "\" is no amount");
  }
  // FORMAT's own rounding, so that the words and a "0.00" of the same
  // amount never disagree on the cents.
  const std::string rounded = Format(amount, "0.00");
  std::string_view digits = rounded;
  const bool minus = digits.starts_with('-');
  if (minus) digits.remove_prefix(1);
  // Whole digits, the decimal separator, two digits.
  if (digits.size() < 4 || !AllDigits(digits.substr(digits.size() - 2)) ||
      !AllDigits(digits.substr(0, digits.size() - 3)) ||
      AllDigits(digits.substr(digits.size() - 3, 1))) {
    Fail(errors::kTypeMismatch, "\"" + TextOf(amount) + "\" is no amount");
  }
  const std::string_view whole_digits = digits.substr(0, digits.size() - 3);
  const std::string_view cents = digits.substr(digits.size() - 2);
  if (whole_digits.size() > kMaxWholeDigits) {
    Fail(errors::kOverflow, TextOf(amount) + " is too large to be written");
  }
  std::int64_t whole = 0;
  std::from_chars(whole_digits.data(),
                  whole_digits.data() + whole_digits.size(), whole);

  const CurrencyWords words = WordsFor(currency);
  std::string text;
  // A negative amount that rounds to nothing is no debt.
  if (minus && (whole != 0 || cents != "00")) text += "MENOS ";
  text += WholeInWords(whole);
  text += whole >= kMillion && whole % kMillion == 0 ? " DE " : " ";
  text += whole == 1 ? words.singular : words.plural;
  text.append(" ").append(cents).append("/100 ").append(words.mark);
  return text;
}

std::string AmountInWordsPlaceholder(
    const std::vector<std::string_view>& arguments, const NameLookup& look_up) {
  if (arguments.empty() || arguments.size() > 2 || arguments[0].empty()) {
    Fail(errors::kInvalidArgument,
         "an amount in words takes a name and, after a comma, the name of "
         "its currency");
  }
  const auto value_of = [&](std::string_view name) {
    std::optional<std::string> value = look_up(name);
    if (!value) {
      Fail(errors::kInvalidArgument,
           "no value is known for " + std::string(name));
    }
    return std::move(*value);
  };
  const std::string amount = value_of(arguments[0]);
  std::string currency;
  if (arguments.size() == 2 && !arguments[1].empty()) {
    currency = value_of(arguments[1]);
  }
  return AmountInWords(Variant(amount), currency);
}

}  // namespace nerolin::fields
