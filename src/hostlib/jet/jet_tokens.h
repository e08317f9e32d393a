#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The lexical pieces of the host's Jet-flavoured SQL, shared by the
// rewrites for each dialect. Internal to hostlib/jet.
namespace nerolin::jet {

enum class TokenKind {
  kBlank,     // one whitespace character
  kComment,   // -- to the end of the line, or /* ... */
  kText,      // '...'
  kQuoted,    // "..."
  kBacktick,  // `...`
  kBracket,   // [...]
  kBrace,     // {...}, up to 64 characters: the engine's own token
  kDate,      // #...# holding a valid date
  kWord,      // a name or keyword
  kNumber,    // digits and the word characters that follow them
  kPunct,     // any other single character
};

// One piece of the text; the pieces cover the text exactly, in order.
struct Token {
  TokenKind kind;
  std::size_t begin;
  std::string_view text;
};

// The text in pieces. A quoted run or comment that is never closed takes
// the rest of the text; a "{" that is never closed is a kPunct.
std::vector<Token> Tokenize(std::string_view sql);

bool IsDigit(char c);
bool IsWordChar(char c);

// Whether `word` is `upper` without regard to ASCII case.
bool WordIs(std::string_view word, std::string_view upper);

// `text` in ASCII lower case.
std::string AsciiLower(std::string_view text);

// Whether a blank or comment, which separate tokens without meaning.
inline bool IsSpacing(const Token& token) {
  return token.kind == TokenKind::kBlank || token.kind == TokenKind::kComment;
}

inline bool IsPunct(const Token& token, char c) {
  return token.kind == TokenKind::kPunct && token.text[0] == c;
}

// Whether the quoted run (' " ` or [) ends with its closing character.
bool IsClosed(const Token& token);

// Whether the text begins, after blanks, comments and opening parentheses,
// with a statement keyword (SELECT, WITH, VALUES, INSERT, UPDATE, DELETE,
// REPLACE, PRAGMA, EXPLAIN).
bool StartsWithStatementKeyword(std::string_view sql);

// The stored text form of a date literal's body ("2024-01-31",
// "1/31/2024 5:30 PM" give "2024-01-31", "2024-01-31 17:30:00"); nothing
// when it is no valid date.
std::optional<std::string> DateLiteralText(std::string_view body);

// The stored text form of a kDate token.
std::string DateTokenText(const Token& token);

// "TOP n" after a SELECT whose word ends at `at`: where TOP begins, where
// the text after n resumes, and n itself. Nothing for TOP n PERCENT.
struct TopClause {
  std::size_t begin = 0;
  std::size_t end = 0;
  std::string_view count;
};
std::optional<TopClause> FindTop(std::string_view sql, std::size_t at);

// Whitespace and comments from `at` on skipped.
std::size_t SkipBlanks(std::string_view sql, std::size_t at);

// The word that starts at `at`; empty when none does.
std::string_view WordAt(std::string_view sql, std::size_t at);

}  // namespace nerolin::jet
