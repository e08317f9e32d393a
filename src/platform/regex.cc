#include "platform/regex.h"

#define PCRE2_CODE_UNIT_WIDTH 8

#include <array>
#include <memory>
#include <new>
#include <string>
#include <utility>

#include <pcre2.h>

#include "nerolin/automation_error.h"

namespace nerolin::platform {

namespace {

constexpr std::string_view kSource = "RegExp";

// Generous for any pattern the engine runs, small enough that a runaway
// backtracking pattern fails within a fraction of a second.
constexpr std::uint32_t kMatchLimit = 10'000'000;

std::string ErrorText(int code) {
  std::array<PCRE2_UCHAR, 256> buffer{};
  const int length =
      pcre2_get_error_message(code, buffer.data(), buffer.size());
  if (length < 0) return "PCRE2 error " + std::to_string(code);
  return std::string(reinterpret_cast<const char*>(buffer.data()),
                     static_cast<std::size_t>(length));
}

// The offset of the character after the one at `offset`: continuation
// bytes of a UTF-8 sequence are skipped so that a search never starts
// inside a character.
std::size_t NextCharacter(std::string_view text, std::size_t offset) {
  ++offset;
  while (offset < text.size() &&
         (static_cast<unsigned char>(text[offset]) & 0xC0) == 0x80) {
    ++offset;
  }
  return offset;
}

}  // namespace

struct Regex::Code {
  struct CodeDeleter {
    void operator()(pcre2_code* code) const { pcre2_code_free(code); }
  };
  struct MatchContextDeleter {
    void operator()(pcre2_match_context* context) const {
      pcre2_match_context_free(context);
    }
  };
  std::unique_ptr<pcre2_code, CodeDeleter> code;
  std::unique_ptr<pcre2_match_context, MatchContextDeleter> match_context;
};

Regex::Regex(std::string_view pattern, RegexOptions options)
    : pattern_(pattern), options_(options), code_(std::make_unique<Code>()) {
  // "$" at the very end only; "\uXXXX" as ECMAScript writes code points;
  // invalid UTF-8 in a subject is matched, never rejected.
  std::uint32_t flags = PCRE2_UTF | PCRE2_MATCH_INVALID_UTF |
                        PCRE2_DOLLAR_ENDONLY | PCRE2_ALT_BSUX;
  if (options.ignore_case) flags |= PCRE2_CASELESS;

  pcre2_compile_context* context = pcre2_compile_context_create(nullptr);
  if (context == nullptr) throw std::bad_alloc();
  // "." stops at a line feed only, whatever the library was built with.
  pcre2_set_newline(context, PCRE2_NEWLINE_LF);
  int error_code = 0;
  PCRE2_SIZE error_offset = 0;
  code_->code.reset(pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern_.data()),
                                  pattern_.size(), flags, &error_code,
                                  &error_offset, context));
  pcre2_compile_context_free(context);
  if (!code_->code) {
    throw AutomationError(kErrRegexSyntax,
                          "Syntax error in regular expression: " + pattern_ +
                              " (at offset " + std::to_string(error_offset) +
                              ": " + ErrorText(error_code) + ")",
                          std::string(kSource));
  }
  code_->match_context.reset(pcre2_match_context_create(nullptr));
  if (!code_->match_context) throw std::bad_alloc();
  pcre2_set_match_limit(code_->match_context.get(), kMatchLimit);
}

Regex::~Regex() = default;

namespace {

struct MatchDataDeleter {
  void operator()(pcre2_match_data* data) const { pcre2_match_data_free(data); }
};
using MatchData = std::unique_ptr<pcre2_match_data, MatchDataDeleter>;

// One search from `offset`: true when it found a match, now in `data`.
bool MatchAt(const pcre2_code* code, pcre2_match_context* context,
             const std::string& pattern, pcre2_match_data* data,
             std::string_view text, std::size_t offset) {
  const int rc = pcre2_match(code, reinterpret_cast<PCRE2_SPTR>(text.data()),
                             text.size(), offset, 0, data, context);
  if (rc == PCRE2_ERROR_NOMATCH) return false;
  if (rc < 0) {
    throw AutomationError(
        errors::kInvalidArgument,
        std::string(StandardDescription(errors::kInvalidArgument)) +
            ": the regular expression " + pattern + " failed on a text of " +
            std::to_string(text.size()) + " bytes (" + ErrorText(rc) + ")",
        std::string(kSource));
  }
  return true;
}

}  // namespace

std::vector<RegexMatch> Regex::Execute(std::string_view text) const {
  MatchData data(
      pcre2_match_data_create_from_pattern(code_->code.get(), nullptr));
  if (!data) throw std::bad_alloc();
  std::uint32_t groups = 0;
  pcre2_pattern_info(code_->code.get(), PCRE2_INFO_CAPTURECOUNT, &groups);

  std::vector<RegexMatch> matches;
  std::size_t offset = 0;
  // Each pass either ends the search or moves `offset` forward, so the loop
  // runs at most once per byte of the text plus one.
  while (offset <= text.size() &&
         MatchAt(code_->code.get(), code_->match_context.get(), pattern_,
                 data.get(), text, offset)) {
    const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(data.get());
    const std::uint32_t pairs = pcre2_get_ovector_count(data.get());
    RegexMatch match;
    match.first_index = ovector[0];
    // A look-ahead may leave the end before the start; such a match is
    // empty.
    const std::size_t end = ovector[1] > ovector[0] ? ovector[1] : ovector[0];
    match.value.assign(text.substr(ovector[0], end - ovector[0]));
    match.sub_matches.reserve(groups);
    for (std::uint32_t i = 1; i <= groups; ++i) {
      const bool took_part = i < pairs && ovector[2 * i] != PCRE2_UNSET &&
                             ovector[2 * i + 1] >= ovector[2 * i];
      match.sub_matches.emplace_back(
          took_part
              ? text.substr(ovector[2 * i], ovector[2 * i + 1] - ovector[2 * i])
              : std::string_view());
    }
    matches.push_back(std::move(match));
    if (!options_.global) break;
    offset = end > ovector[0] ? end : NextCharacter(text, end);
  }
  return matches;
}

bool Regex::Test(std::string_view text) const {
  MatchData data(
      pcre2_match_data_create_from_pattern(code_->code.get(), nullptr));
  if (!data) throw std::bad_alloc();
  return MatchAt(code_->code.get(), code_->match_context.get(), pattern_,
                 data.get(), text, 0);
}

}  // namespace nerolin::platform
