#include "hostlib/jet/jet_sql.h"

#include <optional>
#include <utility>
#include <vector>

#include "hostlib/jet/jet_server_sql.h"
#include "hostlib/jet/jet_tokens.h"

namespace nerolin::jet {

namespace {

// Whether the next token after `at` that is no blank or comment is "(".
bool CallFollows(const std::vector<Token>& tokens, std::size_t at) {
  for (++at; at < tokens.size(); ++at) {
    if (!IsSpacing(tokens[at])) return IsPunct(tokens[at], '(');
  }
  return false;
}

// One pass over the tokens, each written in SQLite's terms.
class SqliteRewrite {
 public:
  explicit SqliteRewrite(std::string_view sql)
      : sql_(sql), tokens_(Tokenize(sql)) {}

  std::string Run();

 private:
  struct PendingLimit {
    int depth;
    std::string_view count;
  };

  void AppendWord(std::size_t index);
  void MoveTop(std::size_t after_select);
  void CloseGroup();

  std::string_view sql_;
  std::vector<Token> tokens_;
  std::string out_;
  std::vector<PendingLimit> limits_;  // innermost last
  int depth_ = 0;
  std::size_t resume_ = 0;  // tokens that begin before this are dropped
};

std::string SqliteRewrite::Run() {
  out_.reserve(sql_.size() + 16);
  // Where a LIMIT for the outermost query goes: after its last token,
  // before a final ";", blanks or comment.
  std::size_t end_of_query = 0;
  for (std::size_t i = 0; i < tokens_.size(); ++i) {
    const Token& token = tokens_[i];
    if (token.begin < resume_) continue;
    if (token.kind == TokenKind::kDate) {
      out_ += '\'' + DateTokenText(token) + '\'';
    } else if (token.kind == TokenKind::kWord) {
      AppendWord(i);
    } else if (IsPunct(token, '&')) {
      out_ += "||";
    } else if (IsPunct(token, ')')) {
      CloseGroup();
    } else {
      if (IsPunct(token, '(')) ++depth_;
      out_.append(token.text);
    }
    if (!IsSpacing(token) && !IsPunct(token, ';')) end_of_query = out_.size();
  }
  if (!limits_.empty() && limits_.front().depth == 0) {
    std::string limit = " LIMIT ";
    limit.append(limits_.front().count);
    out_.insert(end_of_query, limit);
  }
  return std::move(out_);
}

void SqliteRewrite::AppendWord(std::size_t index) {
  std::string_view word = tokens_[index].text;
  if (WordIs(word, "DISTINCTROW")) {
    out_ += "DISTINCT";
  } else if ((WordIs(word, "LEFT") || WordIs(word, "RIGHT")) &&
             CallFollows(tokens_, index)) {
    // Join keywords to SQLite, so the functions go by other names.
    out_ += WordIs(word, "LEFT") ? kLeftFunction : kRightFunction;
  } else {
    out_.append(word);
  }
  if (WordIs(word, "SELECT")) MoveTop(tokens_[index].begin + word.size());
}

// SELECT ... TOP n: "TOP n" goes and the LIMIT it owes is noted, unless a
// query at this depth already owes one.
void SqliteRewrite::MoveTop(std::size_t after_select) {
  bool open_here = !limits_.empty() && limits_.back().depth == depth_;
  std::optional<TopClause> top = FindTop(sql_, after_select);
  if (!top || open_here) return;
  // Keep what lies between SELECT and TOP (DISTINCT, blanks).
  std::string_view between =
      sql_.substr(after_select, top->begin - after_select);
  std::size_t word_at = SkipBlanks(between, 0);
  if (WordIs(WordAt(between, word_at), "DISTINCTROW")) {
    out_.append(between.substr(0, word_at));
    out_ += "DISTINCT";
    out_.append(between.substr(word_at + 11));
  } else {
    out_.append(between);
  }
  limits_.push_back(PendingLimit{depth_, top->count});
  resume_ = top->end;
}

void SqliteRewrite::CloseGroup() {
  if (!limits_.empty() && limits_.back().depth == depth_) {
    out_ += " LIMIT ";
    out_.append(limits_.back().count);
    limits_.pop_back();
  }
  if (depth_ > 0) --depth_;
  out_ += ')';
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
  if (dialect == Dialect::kSqlite) return SqliteRewrite(sql).Run();
  return RewriteForServer(sql, dialect, names);
}

}  // namespace nerolin::jet
