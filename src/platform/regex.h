#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace nerolin::platform {

// A pattern that does not compile: the scripting runtime's "Syntax error in
// regular expression".
inline constexpr std::int32_t kErrRegexSyntax = 5017;

struct RegexOptions {
  // Letters match without regard to case.
  bool ignore_case = false;
  // Every match of the text rather than the first one only.
  bool global = false;
};

// One match: where it starts (a byte offset from 0), its text, and the text
// of each capturing group in order ("" for a group that took no part).
struct RegexMatch {
  std::size_t first_index = 0;
  std::string value;
  std::vector<std::string> sub_matches;
};

// A regular expression with the semantics of the scripting runtime's
// regular-expression object, over PCRE2: ECMAScript-style syntax (classes,
// look-ahead, lazy quantifiers), "$" matching at the very end of the text
// only (not before a final line feed), "^" at its start only, "." matching
// anything but a line feed. Texts are UTF-8; bytes that are no valid UTF-8
// match as themselves and never fail a search. Immutable once built, so one
// object may serve any number of searches.
class Regex {
 public:
  // Raises kErrRegexSyntax when `pattern` does not compile; the description
  // names the pattern, the position and PCRE2's reason.
  explicit Regex(std::string_view pattern, RegexOptions options = {});
  ~Regex();
  Regex(const Regex&) = delete;
  Regex& operator=(const Regex&) = delete;

  const std::string& pattern() const { return pattern_; }
  const RegexOptions& options() const { return options_; }

  // The matches of the text from left to right: at most one unless the
  // options ask for all. After an empty match the search goes on one
  // character further, so every search ends. Raises error 5 when a match
  // needs more backtracking than PCRE2's limits allow, rather than hanging.
  std::vector<RegexMatch> Execute(std::string_view text) const;

  // Whether the text holds a match.
  bool Test(std::string_view text) const;

 private:
  struct Code;

  std::string pattern_;
  RegexOptions options_;
  std::unique_ptr<Code> code_;
};

}  // namespace nerolin::platform
