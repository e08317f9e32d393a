#include "hostlib/jet/jet_tokens.h"

#include <algorithm>
#include <array>
#include <utility>

#include "hostlib/jet/stored_dates.h"

namespace nerolin::jet {

namespace {

// A #...# literal longer than this is no date.
constexpr std::size_t kMaxDateLiteral = 40;

// A {...} longer than this is none of the engine's tokens.
constexpr std::size_t kMaxBraceRun = 64;

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' ||
         c == '\v';
}
bool IsWordStart(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' ||
         static_cast<unsigned char>(c) >= 0x80;
}
// One past the end of the quoted run that starts at `begin`. Doubling the
// closing character escapes it, except in brackets. An unclosed run takes
// the rest of the text.
std::size_t SkipQuoted(std::string_view sql, std::size_t begin, char close) {
  bool doubled_escapes = close != ']';
  std::size_t i = begin + 1;
  while (i < sql.size()) {
    if (sql[i] == close) {
      if (doubled_escapes && i + 1 < sql.size() && sql[i + 1] == close) {
        i += 2;
        continue;
      }
      return i + 1;
    }
    ++i;
  }
  return sql.size();
}

// One past the end of the comment at `begin`, or `begin` when none starts
// there.
std::size_t SkipComment(std::string_view sql, std::size_t begin) {
  if (begin + 1 >= sql.size()) return begin;
  if (sql[begin] == '-' && sql[begin + 1] == '-') {
    std::size_t end = sql.find('\n', begin);
    return end == std::string_view::npos ? sql.size() : end + 1;
  }
  if (sql[begin] == '/' && sql[begin + 1] == '*') {
    std::size_t end = sql.find("*/", begin + 2);
    return end == std::string_view::npos ? sql.size() : end + 2;
  }
  return begin;
}

// Reads from `min_digits` to `max_digits` digits at `at`; -1 otherwise.
int ReadNumber(std::string_view text, std::size_t& at, std::size_t min_digits,
               std::size_t max_digits) {
  std::size_t start = at;
  int value = 0;
  while (at < text.size() && at - start < max_digits && IsDigit(text[at])) {
    value = value * 10 + (text[at] - '0');
    ++at;
  }
  if (at - start < min_digits || (at < text.size() && IsDigit(text[at]))) {
    return -1;
  }
  return value;
}

void SkipSpaces(std::string_view text, std::size_t& at) {
  while (at < text.size() && text[at] == ' ') ++at;
}

// The kind and end of the token that starts at `at`.
std::pair<TokenKind, std::size_t> NextToken(std::string_view sql,
                                            std::size_t at) {
  char c = sql[at];
  switch (c) {
    case '\'':
      return {TokenKind::kText, SkipQuoted(sql, at, c)};
    case '"':
      return {TokenKind::kQuoted, SkipQuoted(sql, at, c)};
    case '`':
      return {TokenKind::kBacktick, SkipQuoted(sql, at, c)};
    case '[':
      return {TokenKind::kBracket, SkipQuoted(sql, at, ']')};
    case '{': {
      // Bounded, so that many "{" without a "}" take linear time.
      std::size_t close =
          sql.substr(0, std::min(sql.size(), at + kMaxBraceRun)).find('}', at);
      if (close != std::string_view::npos) {
        return {TokenKind::kBrace, close + 1};
      }
      break;
    }
    case '-':
    case '/': {
      std::size_t end = SkipComment(sql, at);
      if (end != at) return {TokenKind::kComment, end};
      break;
    }
    case '#': {
      std::size_t close = sql.find('#', at + 1);
      if (close != std::string_view::npos && close - at <= kMaxDateLiteral &&
          DateLiteralText(sql.substr(at + 1, close - at - 1))) {
        return {TokenKind::kDate, close + 1};
      }
      break;
    }
    default:
      break;
  }
  if (IsSpace(c)) return {TokenKind::kBlank, at + 1};
  if (IsDigit(c) || IsWordStart(c)) {
    std::size_t end = at + 1;
    while (end < sql.size() && IsWordChar(sql[end])) ++end;
    return {IsDigit(c) ? TokenKind::kNumber : TokenKind::kWord, end};
  }
  return {TokenKind::kPunct, at + 1};
}

}  // namespace

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsWordChar(char c) { return IsWordStart(c) || IsDigit(c) || c == '$'; }

bool WordIs(std::string_view word, std::string_view upper) {
  if (word.size() != upper.size()) return false;
  for (std::size_t i = 0; i < word.size(); ++i) {
    char c = word[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != upper[i]) return false;
  }
  return true;
}

std::string AsciiLower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

bool IsClosed(const Token& token) {
  char open = token.text.front();
  char close = open == '[' ? ']' : open;
  return token.text.size() >= 2 && token.text.back() == close;
}

std::vector<Token> Tokenize(std::string_view sql) {
  std::vector<Token> tokens;
  std::size_t at = 0;
  while (at < sql.size()) {
    auto [kind, end] = NextToken(sql, at);
    tokens.push_back(Token{kind, at, sql.substr(at, end - at)});
    at = end;
  }
  return tokens;
}

std::size_t SkipBlanks(std::string_view sql, std::size_t at) {
  while (at < sql.size()) {
    if (IsSpace(sql[at])) {
      ++at;
      continue;
    }
    std::size_t after = SkipComment(sql, at);
    if (after == at) break;
    at = after;
  }
  return at;
}

std::string_view WordAt(std::string_view sql, std::size_t at) {
  if (at >= sql.size() || !IsWordStart(sql[at])) return {};
  std::size_t end = at + 1;
  while (end < sql.size() && IsWordChar(sql[end])) ++end;
  return sql.substr(at, end - at);
}

bool StartsWithStatementKeyword(std::string_view sql) {
  static constexpr std::array<std::string_view, 9> kKeywords = {
      "SELECT", "WITH",    "VALUES", "INSERT", "UPDATE",
      "DELETE", "REPLACE", "PRAGMA", "EXPLAIN"};
  std::size_t at = SkipBlanks(sql, 0);
  while (at < sql.size() && sql[at] == '(') at = SkipBlanks(sql, at + 1);
  std::string_view word = WordAt(sql, at);
  for (std::string_view keyword : kKeywords) {
    if (WordIs(word, keyword)) return true;
  }
  return false;
}

std::optional<std::string> DateLiteralText(std::string_view body) {
  CivilDateTime parts;
  std::size_t at = 0;
  SkipSpaces(body, at);
  std::size_t probe = at;
  if (ReadNumber(body, probe, 4, 4) >= 0) {
    parts.year = ReadNumber(body, at, 4, 4);
    if (at >= body.size() || (body[at] != '-' && body[at] != '/')) {
      return std::nullopt;
    }
    char separator = body[at++];
    parts.month = ReadNumber(body, at, 1, 2);
    if (at >= body.size() || body[at++] != separator) return std::nullopt;
    parts.day = ReadNumber(body, at, 1, 2);
  } else {
    parts.month = ReadNumber(body, at, 1, 2);
    if (at >= body.size() || body[at++] != '/') return std::nullopt;
    parts.day = ReadNumber(body, at, 1, 2);
    if (at >= body.size() || body[at++] != '/') return std::nullopt;
    parts.year = ReadNumber(body, at, 4, 4);
  }
  std::size_t before_time = at;
  SkipSpaces(body, at);
  if (at < body.size() && at > before_time) {
    parts.hour = ReadNumber(body, at, 1, 2);
    if (at >= body.size() || body[at++] != ':') return std::nullopt;
    parts.minute = ReadNumber(body, at, 2, 2);
    if (at < body.size() && body[at] == ':') {
      ++at;
      parts.second = ReadNumber(body, at, 2, 2);
    }
    SkipSpaces(body, at);
    if (at + 2 <= body.size()) {
      std::string_view marker = body.substr(at, 2);
      bool pm = WordIs(marker, "PM");
      if (pm || WordIs(marker, "AM")) {
        if (parts.hour < 1 || parts.hour > 12) return std::nullopt;
        parts.hour = parts.hour % 12 + (pm ? 12 : 0);
        at += 2;
        SkipSpaces(body, at);
      }
    }
  }
  if (at != body.size() || !IsValidDateTime(parts)) return std::nullopt;
  return IsoDateTimeText(parts);
}

std::string DateTokenText(const Token& token) {
  return *DateLiteralText(token.text.substr(1, token.text.size() - 2));
}

std::optional<TopClause> FindTop(std::string_view sql, std::size_t at) {
  at = SkipBlanks(sql, at);
  std::string_view word = WordAt(sql, at);
  if (WordIs(word, "DISTINCT") || WordIs(word, "ALL") ||
      WordIs(word, "DISTINCTROW")) {
    at = SkipBlanks(sql, at + word.size());
    word = WordAt(sql, at);
  }
  if (!WordIs(word, "TOP")) return std::nullopt;
  TopClause top;
  top.begin = at;
  at = SkipBlanks(sql, at + word.size());
  std::size_t digits = at;
  while (at < sql.size() && IsDigit(sql[at])) ++at;
  if (at == digits || (at < sql.size() && IsWordChar(sql[at]))) {
    return std::nullopt;
  }
  top.count = sql.substr(digits, at - digits);
  at = SkipBlanks(sql, at);
  if (WordIs(WordAt(sql, at), "PERCENT")) return std::nullopt;
  top.end = at;
  return top;
}

}  // namespace nerolin::jet
