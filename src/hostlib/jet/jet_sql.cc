#include "hostlib/jet/jet_sql.h"

#include <array>
#include <optional>
#include <vector>

#include "hostlib/jet/stored_dates.h"

namespace nerolin::jet {

namespace {

// A #...# literal longer than this is no date.
constexpr std::size_t kMaxDateLiteral = 40;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' ||
         c == '\v';
}
bool IsWordStart(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' ||
         static_cast<unsigned char>(c) >= 0x80;
}
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

// Whitespace and comments from `at` on skipped.
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

// The stored text form of a date literal's body ("2024-01-31",
// "1/31/2024 5:30 PM"); nothing when it is no valid date.
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

// "TOP n" after a SELECT that starts at `at`: where TOP begins and where
// the text after n resumes, and n itself.
struct TopClause {
  std::size_t begin = 0;
  std::size_t end = 0;
  std::string_view count;
};

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

struct PendingLimit {
  int depth;
  std::string_view count;
};

}  // namespace

Dialect DialectOfDbms(std::string_view dbms_name) {
  if (dbms_name == "PostgreSQL") return Dialect::kPostgreSql;
  if (dbms_name == "Microsoft SQL Server") return Dialect::kSqlServer;
  return Dialect::kSqlite;
}

std::string RewriteJetSql(std::string_view sql, Dialect, const NameSpellings*) {
  if (!StartsWithStatementKeyword(sql)) return std::string(sql);
  std::string out;
  out.reserve(sql.size() + 16);
  std::vector<PendingLimit> limits;  // innermost last
  int depth = 0;
  // Where a LIMIT for the outermost query goes: after its last token,
  // before a final ";", blanks or comment.
  std::size_t end_of_query = 0;
  std::size_t i = 0;
  while (i < sql.size()) {
    char c = sql[i];
    std::size_t next = i + 1;
    bool significant = true;
    switch (c) {
      case '\'':
      case '"':
      case '`':
        next = SkipQuoted(sql, i, c);
        out.append(sql.substr(i, next - i));
        break;
      case '[':
        next = SkipQuoted(sql, i, ']');
        out.append(sql.substr(i, next - i));
        break;
      case '-':
      case '/':
        next = SkipComment(sql, i);
        if (next == i) {
          next = i + 1;
          out += c;
        } else {
          out.append(sql.substr(i, next - i));
          significant = false;
        }
        break;
      case '#': {
        std::size_t close = sql.find('#', i + 1);
        std::optional<std::string> literal;
        if (close != std::string_view::npos && close - i <= kMaxDateLiteral) {
          literal = DateLiteralText(sql.substr(i + 1, close - i - 1));
        }
        if (literal) {
          out += '\'';
          out += *literal;
          out += '\'';
          next = close + 1;
        } else {
          out += c;
        }
        break;
      }
      case '&':
        out += "||";
        break;
      case '(':
        ++depth;
        out += c;
        break;
      case ')':
        if (!limits.empty() && limits.back().depth == depth) {
          out += " LIMIT ";
          out.append(limits.back().count);
          limits.pop_back();
        }
        if (depth > 0) --depth;
        out += c;
        break;
      case ';':
        significant = false;
        out += c;
        break;
      default:
        if (IsSpace(c)) {
          significant = false;
          out += c;
        } else if (IsDigit(c)) {
          while (next < sql.size() && IsWordChar(sql[next])) ++next;
          out.append(sql.substr(i, next - i));
        } else if (IsWordStart(c)) {
          std::string_view word = WordAt(sql, i);
          next = i + word.size();
          if (WordIs(word, "DISTINCTROW")) {
            out += "DISTINCT";
          } else if ((WordIs(word, "LEFT") || WordIs(word, "RIGHT")) &&
                     SkipBlanks(sql, next) < sql.size() &&
                     sql[SkipBlanks(sql, next)] == '(') {
            // Join keywords to SQLite, so the functions go by other names.
            out += WordIs(word, "LEFT") ? kLeftFunction : kRightFunction;
          } else {
            out.append(word);
          }
          if (WordIs(word, "SELECT")) {
            bool open_here = !limits.empty() && limits.back().depth == depth;
            std::optional<TopClause> top = FindTop(sql, next);
            if (top && !open_here) {
              // Keep what lies between SELECT and TOP (DISTINCT, blanks).
              std::string_view between = sql.substr(next, top->begin - next);
              if (WordIs(WordAt(between, SkipBlanks(between, 0)),
                         "DISTINCTROW")) {
                std::size_t word_at = SkipBlanks(between, 0);
                out.append(between.substr(0, word_at));
                out += "DISTINCT";
                out.append(between.substr(word_at + 11));
              } else {
                out.append(between);
              }
              limits.push_back(PendingLimit{depth, top->count});
              next = top->end;
            }
          }
        } else {
          out += c;
        }
        break;
    }
    if (significant) end_of_query = out.size();
    i = next;
  }
  if (!limits.empty() && limits.front().depth == 0) {
    std::string limit = " LIMIT ";
    limit.append(limits.front().count);
    out.insert(end_of_query, limit);
  }
  return out;
}

}  // namespace nerolin::jet
