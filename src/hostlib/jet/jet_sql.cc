#include "hostlib/jet/jet_sql.h"

#include <optional>
#include <vector>

#include "hostlib/jet/jet_server_sql.h"
#include "hostlib/jet/jet_tokens.h"

namespace nerolin::jet {

namespace {

struct PendingLimit {
  int depth;
  std::string_view count;
};

// Whether the next token after `at` that is no blank or comment is "(".
bool CallFollows(const std::vector<Token>& tokens, std::size_t at) {
  for (++at; at < tokens.size(); ++at) {
    if (!IsSpacing(tokens[at])) return IsPunct(tokens[at], '(');
  }
  return false;
}

// SQLite's form of a word; a SELECT that carries TOP n also records the
// LIMIT owed and returns, in `resume`, where the text after n starts.
void AppendSqliteWord(std::string_view sql, const std::vector<Token>& tokens,
                      std::size_t index, int depth,
                      std::vector<PendingLimit>& limits, std::string& out,
                      std::size_t& resume) {
  std::string_view word = tokens[index].text;
  if (WordIs(word, "DISTINCTROW")) {
    out += "DISTINCT";
  } else if ((WordIs(word, "LEFT") || WordIs(word, "RIGHT")) &&
             CallFollows(tokens, index)) {
    // Join keywords to SQLite, so the functions go by other names.
    out += WordIs(word, "LEFT") ? kLeftFunction : kRightFunction;
  } else {
    out.append(word);
  }
  if (!WordIs(word, "SELECT")) return;
  std::size_t next = tokens[index].begin + word.size();
  bool open_here = !limits.empty() && limits.back().depth == depth;
  std::optional<TopClause> top = FindTop(sql, next);
  if (!top || open_here) return;
  // Keep what lies between SELECT and TOP (DISTINCT, blanks).
  std::string_view between = sql.substr(next, top->begin - next);
  std::size_t word_at = SkipBlanks(between, 0);
  if (WordIs(WordAt(between, word_at), "DISTINCTROW")) {
    out.append(between.substr(0, word_at));
    out += "DISTINCT";
    out.append(between.substr(word_at + 11));
  } else {
    out.append(between);
  }
  limits.push_back(PendingLimit{depth, top->count});
  resume = top->end;
}

std::string RewriteForSqlite(std::string_view sql) {
  const std::vector<Token> tokens = Tokenize(sql);
  std::string out;
  out.reserve(sql.size() + 16);
  std::vector<PendingLimit> limits;  // innermost last
  int depth = 0;
  // Where a LIMIT for the outermost query goes: after its last token,
  // before a final ";", blanks or comment.
  std::size_t end_of_query = 0;
  std::size_t resume = 0;
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    const Token& token = tokens[i];
    if (token.begin < resume) continue;
    if (token.kind == TokenKind::kDate) {
      out += '\'' + DateTokenText(token) + '\'';
    } else if (token.kind == TokenKind::kWord) {
      AppendSqliteWord(sql, tokens, i, depth, limits, out, resume);
    } else if (IsPunct(token, '&')) {
      out += "||";
    } else if (IsPunct(token, ')')) {
      if (!limits.empty() && limits.back().depth == depth) {
        out += " LIMIT ";
        out.append(limits.back().count);
        limits.pop_back();
      }
      if (depth > 0) --depth;
      out += ')';
    } else {
      if (IsPunct(token, '(')) ++depth;
      out.append(token.text);
    }
    if (!IsSpacing(token) && !IsPunct(token, ';')) end_of_query = out.size();
  }
  if (!limits.empty() && limits.front().depth == 0) {
    std::string limit = " LIMIT ";
    limit.append(limits.front().count);
    out.insert(end_of_query, limit);
  }
  return out;
}

}  // namespace

Dialect DialectOfDbms(std::string_view dbms_name) {
  if (WordIs(dbms_name, "POSTGRESQL")) return Dialect::kPostgreSql;
  if (AsciiLower(dbms_name) == "microsoft sql server") {
    return Dialect::kSqlServer;
  }
  return Dialect::kSqlite;
}

std::string RewriteJetSql(std::string_view sql, Dialect dialect,
                          const NameSpellings* names) {
  if (!StartsWithStatementKeyword(sql)) return std::string(sql);
  if (dialect == Dialect::kSqlite) return RewriteForSqlite(sql);
  return RewriteForServer(sql, dialect, names);
}

}  // namespace nerolin::jet
