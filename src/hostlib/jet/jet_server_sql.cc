#include "hostlib/jet/jet_server_sql.h"

#include <array>
#include <cstddef>
#include <unordered_map>

#include "hostlib/jet/jet_tokens.h"

namespace nerolin::jet {

namespace {

// Words that are never names; the values among them (NULL, TRUE, FALSE)
// are operands all the same. Jet's First and Last are functions, so the
// words of NULLS FIRST / LAST are not here.
constexpr auto kKeywords = std::to_array<std::string_view>({
    "ALL",      "AND",         "ANY",    "AS",      "ASC",    "BETWEEN",
    "BY",       "CASE",        "CAST",   "CROSS",   "DELETE", "DESC",
    "DISTINCT", "DISTINCTROW", "ELSE",   "END",     "ESCAPE", "EXCEPT",
    "EXISTS",   "FALSE",       "FETCH",  "FOR",     "FROM",   "FULL",
    "GROUP",    "HAVING",      "IN",     "INNER",   "INSERT", "INTERSECT",
    "INTO",     "IS",          "JOIN",   "LEFT",    "LIKE",   "LIMIT",
    "MOD",      "NOT",         "NULL",   "NULLS",   "OFFSET", "ON",
    "OR",       "ORDER",       "OUTER",  "PERCENT", "RIGHT",  "SELECT",
    "SET",      "SOME",        "THEN",   "TOP",     "TRUE",   "UNION",
    "UPDATE",   "USING",       "VALUES", "WHEN",    "WHERE",  "WITH",
    "XOR",
});

// Jet's functions, which keep their calls even where their names are
// keywords (Left, Right).
constexpr auto kJetFunctions = std::to_array<std::string_view>({
    "CDBL",  "CINT",  "CLNG", "CSTR",  "DATE", "DAY",   "IIF", "INSTR",
    "LCASE", "LEFT",  "LEN",  "LTRIM", "MID",  "MONTH", "NOW", "NZ",
    "RIGHT", "RTRIM", "TRIM", "UCASE", "VAL",  "YEAR",
});

// Clauses that end an ORDER BY or GROUP BY list.
constexpr auto kClauseEnds = std::to_array<std::string_view>({
    "SELECT",
    "FROM",
    "WHERE",
    "HAVING",
    "LIMIT",
    "OFFSET",
    "UNION",
    "INTERSECT",
    "EXCEPT",
    "FETCH",
});

template <std::size_t n>
bool IsOneOf(std::string_view word,
             const std::array<std::string_view, n>& words) {
  for (std::string_view candidate : words) {
    if (WordIs(word, candidate)) return true;
  }
  return false;
}

bool IsKeyword(std::string_view word) { return IsOneOf(word, kKeywords); }

// A double-quoted name for PostgreSQL.
std::string Quoted(std::string_view name) {
  std::string quoted = "\"";
  for (char c : name) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + '"';
}

// The text of a "..." run without its quotes and with "" read as ".
std::string Unquoted(std::string_view run) {
  std::string text;
  for (std::size_t i = 1; i + 1 < run.size(); ++i) {
    text += run[i];
    if (run[i] == '"') ++i;
  }
  return text;
}

std::string TextLiteral(std::string_view text) {
  std::string literal = "'";
  for (char c : text) {
    if (c == '\'') literal += '\'';
    literal += c;
  }
  return literal + '\'';
}

std::string Trimmed(std::string_view text) {
  std::size_t begin = text.find_first_not_of(" \t");
  if (begin == std::string_view::npos) return {};
  std::size_t end = text.find_last_not_of(" \t");
  return std::string(text.substr(begin, end - begin + 1));
}

// A token, a parenthesized group or a call, as seen from the level of the
// statement it belongs to.
enum class ItemKind { kToken, kGroup, kCall };

// How an item takes part in Jet's `&`, which binds looser than arithmetic
// and tighter than comparisons, logic, commas and keywords.
enum class Role { kOperand, kJoin, kAmpersand, kSpacing, kBoundary };

struct Item {
  ItemKind kind = ItemKind::kToken;
  std::size_t first = 0;  // token indexes, both included
  std::size_t last = 0;
  std::string prefix;
  std::string replacement;  // when `replaced`
  std::string suffix;
  bool replaced = false;
};

class ServerRewrite {
 public:
  ServerRewrite(std::string_view sql, Dialect dialect,
                const NameSpellings* names);

  std::string Run() { return Range(0, tokens_.size(), 0); }

 private:
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

  bool ForPostgreSql() const { return dialect_ == Dialect::kPostgreSql; }
  std::string_view Verbatim(std::size_t first, std::size_t last) const;
  std::size_t NextToken(std::size_t at, std::size_t end) const;
  void MatchParentheses();
  void CollectAliases();

  std::vector<Item> Items(std::size_t begin, std::size_t end) const;
  Role RoleOf(const Item& item) const;
  bool IsSpaceOrTab(const Item& item) const;
  std::size_t Significant(const std::vector<Item>& items, std::size_t at,
                          int step) const;
  std::optional<std::size_t> LeftOperand(const std::vector<Item>& items,
                                         std::size_t ampersand) const;
  std::optional<std::size_t> RightOperand(const std::vector<Item>& items,
                                          std::size_t ampersand) const;
  void MarkConcatenations(std::vector<Item>& items) const;
  void MarkOrderTerm(std::vector<Item>& items, std::size_t first,
                     std::size_t last) const;
  void MarkNullsOrder(std::vector<Item>& items) const;
  void MarkTop(std::vector<Item>& items) const;

  std::string Range(std::size_t begin, std::size_t end, int nesting);
  std::string Emit(const Item& item, int nesting, bool in_order_list);
  std::string Group(const Item& item, int nesting);
  std::string CallText(const Item& item, int nesting);
  std::string Word(std::size_t index, bool in_order_list) const;
  bool IsWordOfForm(std::size_t index) const;
  std::string Name(std::size_t index, bool in_order_list) const;
  std::string SqlServerQuoted(std::size_t index) const;

  std::string_view sql_;
  Dialect dialect_;
  const NameSpellings* names_;
  std::vector<Token> tokens_;
  std::vector<std::size_t> match_;  // of each "(": its ")", or kNone
  std::vector<bool> alias_definition_;
  std::vector<bool> cast_type_;  // the type in CAST(x AS type)
  NameSpellings aliases_;        // column and table aliases, as for names_
  bool says_nulls_ = false;
};

ServerRewrite::ServerRewrite(std::string_view sql, Dialect dialect,
                             const NameSpellings* names)
    : sql_(sql), dialect_(dialect), names_(names), tokens_(Tokenize(sql)) {
  MatchParentheses();
  CollectAliases();
}

std::string_view ServerRewrite::Verbatim(std::size_t first,
                                         std::size_t last) const {
  std::size_t end = tokens_[last].begin + tokens_[last].text.size();
  return sql_.substr(tokens_[first].begin, end - tokens_[first].begin);
}

// The first token from `at` on, before `end`, that is no blank or
// comment; `end` when none is.
std::size_t ServerRewrite::NextToken(std::size_t at, std::size_t end) const {
  while (at < end && IsSpacing(tokens_[at])) ++at;
  return at;
}

void ServerRewrite::MatchParentheses() {
  match_.assign(tokens_.size(), kNone);
  std::vector<std::size_t> open;
  for (std::size_t i = 0; i < tokens_.size(); ++i) {
    if (IsPunct(tokens_[i], '(')) {
      open.push_back(i);
    } else if (IsPunct(tokens_[i], ')') && !open.empty()) {
      match_[open.back()] = i;
      open.pop_back();
    }
  }
}

// Names after AS are aliases, quoted as written, and so are the
// references to them; in CAST(x AS type) the type is no name at all.
void ServerRewrite::CollectAliases() {
  alias_definition_.assign(tokens_.size(), false);
  cast_type_.assign(tokens_.size(), false);
  std::vector<bool> in_cast;  // for each open parenthesis
  std::size_t previous = kNone;
  for (std::size_t i = 0; i < tokens_.size(); ++i) {
    const Token& token = tokens_[i];
    if (IsSpacing(token)) continue;
    if (IsPunct(token, '(')) {
      in_cast.push_back(previous != kNone &&
                        (WordIs(tokens_[previous].text, "CAST") ||
                         WordIs(tokens_[previous].text, "CONVERT")));
    } else if (IsPunct(token, ')') && !in_cast.empty()) {
      in_cast.pop_back();
    } else if (token.kind == TokenKind::kWord && WordIs(token.text, "NULLS")) {
      says_nulls_ = true;
    }
    previous = i;
    if (token.kind != TokenKind::kWord || !WordIs(token.text, "AS")) continue;
    std::size_t next = NextToken(i + 1, tokens_.size());
    if (next == tokens_.size()) continue;
    if (!in_cast.empty() && in_cast.back()) {
      cast_type_[next] = true;
      continue;
    }
    const Token& name = tokens_[next];
    std::string spelled;
    if (name.kind == TokenKind::kWord && !IsKeyword(name.text)) {
      spelled = name.text;
    } else if (name.kind == TokenKind::kBracket && IsClosed(name)) {
      spelled = name.text.substr(1, name.text.size() - 2);
    } else if (name.kind == TokenKind::kQuoted && IsClosed(name)) {
      spelled = Unquoted(name.text);
    } else {
      continue;
    }
    alias_definition_[next] = true;
    aliases_.emplace(AsciiLower(spelled), spelled);
  }
}

// The items of tokens [begin, end) at their own level: a group or a call
// stands for everything inside it.
std::vector<Item> ServerRewrite::Items(std::size_t begin,
                                       std::size_t end) const {
  std::vector<Item> items;
  std::size_t i = begin;
  while (i < end) {
    const Token& token = tokens_[i];
    Item item;
    item.kind = ItemKind::kToken;
    item.first = item.last = i;
    if (IsPunct(token, '(')) {
      item.kind = ItemKind::kGroup;
      item.last = match_[i] < end ? match_[i] : end - 1;
    } else if (token.kind == TokenKind::kWord &&
               (IsOneOf(token.text, kJetFunctions) || !IsKeyword(token.text))) {
      std::size_t open = NextToken(i + 1, end);
      if (open < end && IsPunct(tokens_[open], '(') && match_[open] < end) {
        item.kind = ItemKind::kCall;
        item.last = match_[open];
      }
    }
    items.push_back(item);
    i = item.last + 1;
  }
  return items;
}

Role ServerRewrite::RoleOf(const Item& item) const {
  if (item.kind != ItemKind::kToken) return Role::kOperand;
  const Token& token = tokens_[item.first];
  switch (token.kind) {
    case TokenKind::kBlank:
    case TokenKind::kComment:
      return Role::kSpacing;
    case TokenKind::kWord:
      if (WordIs(token.text, "MOD")) return Role::kJoin;
      if (WordIs(token.text, "NULL") || WordIs(token.text, "TRUE") ||
          WordIs(token.text, "FALSE") || !IsKeyword(token.text)) {
        return Role::kOperand;
      }
      return Role::kBoundary;
    case TokenKind::kPunct:
      if (token.text[0] == '&') return Role::kAmpersand;
      if (std::string_view(".+-*/\\^%").find(token.text[0]) !=
          std::string_view::npos) {
        return Role::kJoin;
      }
      return Role::kBoundary;
    default:
      return Role::kOperand;
  }
}

bool ServerRewrite::IsSpaceOrTab(const Item& item) const {
  const Token& token = tokens_[item.first];
  return token.kind == TokenKind::kBlank &&
         (token.text[0] == ' ' || token.text[0] == '\t');
}

// The nearest item from `at` in the direction `step` (1 or -1) that is no
// blank or comment; kNone when there is none.
std::size_t ServerRewrite::Significant(const std::vector<Item>& items,
                                       std::size_t at, int step) const {
  while (at < items.size()) {
    if (RoleOf(items[at]) != Role::kSpacing) return at;
    at += step;
  }
  return kNone;
}

// Where the left operand of the `&` at `ampersand` begins: operands joined
// by arithmetic, a sign in front.
std::optional<std::size_t> ServerRewrite::LeftOperand(
    const std::vector<Item>& items, std::size_t ampersand) const {
  std::size_t start = Significant(items, ampersand - 1, -1);
  if (start == kNone || RoleOf(items[start]) != Role::kOperand) {
    return std::nullopt;
  }
  while (start > 0) {
    std::size_t before = Significant(items, start - 1, -1);
    if (before == kNone) break;
    Role role = RoleOf(items[before]);
    if (role != Role::kJoin &&
        !(role == Role::kOperand && RoleOf(items[start]) == Role::kJoin)) {
      break;
    }
    start = before;
  }
  return start;
}

// Where the right operand of the `&` at `ampersand` ends, at its last
// operand; two operands side by side (an alias after its expression)
// belong to different things.
std::optional<std::size_t> ServerRewrite::RightOperand(
    const std::vector<Item>& items, std::size_t ampersand) const {
  std::optional<std::size_t> end;
  std::size_t at = Significant(items, ampersand + 1, 1);
  while (at != kNone) {
    Role role = RoleOf(items[at]);
    if (role == Role::kOperand) {
      end = at;
    } else if (role != Role::kJoin) {
      break;
    }
    std::size_t next = Significant(items, at + 1, 1);
    if (next == kNone ||
        (role == Role::kOperand && RoleOf(items[next]) != Role::kJoin)) {
      break;
    }
    at = next;
  }
  return end;
}

// a & b & c becomes CONCAT(a, b, c): Null operands count as empty text
// and numbers become their text, as with Jet's `&`.
void ServerRewrite::MarkConcatenations(std::vector<Item>& items) const {
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (RoleOf(items[i]) != Role::kAmpersand) continue;
    std::optional<std::size_t> start = LeftOperand(items, i);
    if (!start) continue;
    std::optional<std::size_t> end;
    std::size_t ampersand = i;
    while (std::optional<std::size_t> right = RightOperand(items, ampersand)) {
      // Spaces before the comma go; a line break stays, since a line
      // comment before it would otherwise take in the comma.
      for (std::size_t k = ampersand; k > 0 && IsSpaceOrTab(items[k - 1]);
           --k) {
        items[k - 1].replaced = true;
      }
      items[ampersand].replaced = true;
      items[ampersand].replacement = ",";
      end = right;
      ampersand = Significant(items, *right + 1, 1);
      if (ampersand == kNone || RoleOf(items[ampersand]) != Role::kAmpersand) {
        break;
      }
    }
    if (!end) continue;
    items[*start].prefix += "CONCAT(";
    items[*end].suffix += ")";
    i = *end;
  }
}

void ServerRewrite::MarkOrderTerm(std::vector<Item>& items, std::size_t first,
                                  std::size_t last) const {
  std::size_t end = Significant(items, last, -1);
  if (end == kNone || end < first) return;
  const Token& token = tokens_[items[end].last];
  bool descending = items[end].kind == ItemKind::kToken &&
                    token.kind == TokenKind::kWord &&
                    WordIs(token.text, "DESC");
  items[end].suffix += descending ? " NULLS LAST" : " NULLS FIRST";
}

// Jet sorts Nulls first going up and last going down, which PostgreSQL
// does the other way round unless told.
void ServerRewrite::MarkNullsOrder(std::vector<Item>& items) const {
  for (std::size_t i = 0; i < items.size(); ++i) {
    const Token& token = tokens_[items[i].first];
    if (items[i].kind != ItemKind::kToken || !WordIs(token.text, "ORDER")) {
      continue;
    }
    std::size_t by = Significant(items, i + 1, 1);
    if (by == kNone || items[by].kind != ItemKind::kToken ||
        !WordIs(tokens_[items[by].first].text, "BY")) {
      continue;
    }
    std::size_t term = by + 1;
    std::size_t k = term;
    for (; k < items.size(); ++k) {
      const Token& at = tokens_[items[k].first];
      if (items[k].kind != ItemKind::kToken) continue;
      if (IsPunct(at, ',')) {
        MarkOrderTerm(items, term, k - 1);
        term = k + 1;
      } else if (IsPunct(at, ';') || IsPunct(at, ')') ||
                 (at.kind == TokenKind::kWord &&
                  IsOneOf(at.text, kClauseEnds))) {
        break;
      }
    }
    if (k > term) MarkOrderTerm(items, term, k - 1);
    i = k;
  }
}

// SELECT TOP n: the LIMIT goes after the last item of the query, before a
// final ";".
void ServerRewrite::MarkTop(std::vector<Item>& items) const {
  for (std::size_t i = 0; i < items.size(); ++i) {
    const Token& token = tokens_[items[i].first];
    if (items[i].kind != ItemKind::kToken || !WordIs(token.text, "SELECT")) {
      continue;
    }
    std::optional<TopClause> top =
        FindTop(sql_, token.begin + token.text.size());
    if (!top) continue;
    std::size_t last = kNone;
    for (std::size_t k = i + 1; k < items.size(); ++k) {
      std::size_t begin = tokens_[items[k].first].begin;
      if (begin >= top->begin && begin < top->end) {
        items[k].replaced = true;
      } else if (begin >= top->end && RoleOf(items[k]) != Role::kSpacing &&
                 !IsPunct(tokens_[items[k].first], ';')) {
        last = k;
      }
    }
    if (last == kNone) last = i;
    items[last].suffix += " LIMIT " + std::string(top->count);
    return;
  }
}

std::string ServerRewrite::Range(std::size_t begin, std::size_t end,
                                 int nesting) {
  std::vector<Item> items = Items(begin, end);
  if (ForPostgreSql()) {
    MarkConcatenations(items);
    if (!says_nulls_) MarkNullsOrder(items);
    MarkTop(items);
  }
  std::string out;
  bool in_order_list = false;
  for (const Item& item : items) {
    const Token& token = tokens_[item.first];
    if (item.kind == ItemKind::kToken && token.kind == TokenKind::kWord) {
      if (WordIs(token.text, "ORDER")) {
        in_order_list = true;
      } else if (IsOneOf(token.text, kClauseEnds)) {
        in_order_list = false;
      }
    }
    out += item.prefix;
    out +=
        item.replaced ? item.replacement : Emit(item, nesting, in_order_list);
    out += item.suffix;
  }
  return out;
}

std::string ServerRewrite::Emit(const Item& item, int nesting,
                                bool in_order_list) {
  if (item.kind == ItemKind::kGroup) return Group(item, nesting);
  if (item.kind == ItemKind::kCall) return CallText(item, nesting);
  const Token& token = tokens_[item.first];
  switch (token.kind) {
    case TokenKind::kDate:
      return ForPostgreSql() ? PostgreSqlDate(DateTokenText(token))
                             : SqlServerDate(DateTokenText(token));
    case TokenKind::kWord:
      return Word(item.first, in_order_list);
    case TokenKind::kBracket:
    case TokenKind::kQuoted:
      // No database has a name of no characters.
      if (token.text == "\"\"") return "''";
      return ForPostgreSql() ? Name(item.first, in_order_list)
                             : SqlServerQuoted(item.first);
    default:
      return std::string(token.text);
  }
}

std::string ServerRewrite::Group(const Item& item, int nesting) {
  if (nesting >= kMaxNesting) {
    return std::string(Verbatim(item.first, item.last));
  }
  bool closed = item.last > item.first && IsPunct(tokens_[item.last], ')');
  std::size_t inner_end = closed ? item.last : item.last + 1;
  return "(" + Range(item.first + 1, inner_end, nesting + 1) +
         (closed ? ")" : "");
}

std::string ServerRewrite::CallText(const Item& item, int nesting) {
  if (nesting >= kMaxNesting) {
    return std::string(Verbatim(item.first, item.last));
  }
  std::size_t open = NextToken(item.first + 1, item.last);
  std::vector<std::string> arguments;
  std::size_t start = open + 1;
  for (std::size_t k = open + 1; k <= item.last; ++k) {
    if (k == item.last || IsPunct(tokens_[k], ',')) {
      arguments.push_back(Range(start, k, nesting + 1));
      start = k + 1;
    } else if (match_[k] != kNone) {
      k = match_[k];  // past the group, whose commas are its own
    }
  }
  std::string_view name = tokens_[item.first].text;
  if (IsOneOf(name, kJetFunctions)) {
    std::vector<std::string> trimmed;
    for (const std::string& argument : arguments) {
      trimmed.push_back(Trimmed(argument));
    }
    if (trimmed.size() == 1 && trimmed[0].empty()) trimmed.clear();
    std::optional<std::string> form = ForPostgreSql()
                                          ? PostgreSqlCall(name, trimmed)
                                          : SqlServerCall(name, trimmed);
    if (form) return *form;
  }
  std::string out = IsOneOf(name, kJetFunctions) || !ForPostgreSql()
                        ? std::string(name)
                        : Name(item.first, false);
  out.append(Verbatim(item.first + 1, open));
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    out += i == 0 ? "" : ",";
    out += arguments[i];
  }
  return out + ")";
}

std::string ServerRewrite::Word(std::size_t index, bool in_order_list) const {
  std::string_view word = tokens_[index].text;
  if (WordIs(word, "DISTINCTROW")) return "DISTINCT";
  bool is_true = WordIs(word, "TRUE");
  if (is_true || WordIs(word, "FALSE")) {
    if (ForPostgreSql()) return is_true ? "TRUE" : "FALSE";
    return is_true ? "1" : "0";
  }
  if (!ForPostgreSql() || IsKeyword(word) || cast_type_[index] ||
      IsWordOfForm(index)) {
    return std::string(word);
  }
  return Name(index, in_order_list);
}

// The words of forms this rewrite writes itself, which a second rewrite
// must leave as they are even where the catalog has a column so named:
// DATE '...' and TIMESTAMP '...', NULLS FIRST and NULLS LAST.
bool ServerRewrite::IsWordOfForm(std::size_t index) const {
  std::string_view word = tokens_[index].text;
  if (WordIs(word, "DATE") || WordIs(word, "TIMESTAMP")) {
    std::size_t next = NextToken(index + 1, tokens_.size());
    return next < tokens_.size() && tokens_[next].kind == TokenKind::kText;
  }
  if (WordIs(word, "FIRST") || WordIs(word, "LAST")) {
    std::size_t previous = index;
    while (previous > 0 && IsSpacing(tokens_[previous - 1])) --previous;
    return previous > 0 && WordIs(tokens_[previous - 1].text, "NULLS");
  }
  return false;
}

// A name for PostgreSQL, where the tables and columns were created quoted
// as the catalog spells them. In an ORDER BY list an alias wins over a
// column of the same name, as the server resolves it (in GROUP BY the
// column wins).
std::string ServerRewrite::Name(std::size_t index, bool in_order_list) const {
  const Token& token = tokens_[index];
  if (token.kind != TokenKind::kWord && !IsClosed(token)) {
    return std::string(token.text);
  }
  std::string spelled =
      token.kind == TokenKind::kWord ? std::string(token.text)
      : token.kind == TokenKind::kQuoted
          ? Unquoted(token.text)
          : std::string(token.text.substr(1, token.text.size() - 2));
  if (alias_definition_[index]) return Quoted(spelled);
  bool qualified = index > 0 && IsPunct(tokens_[index - 1], '.');
  std::string key = AsciiLower(spelled);
  // A subquery's column alias is named from outside it too, qualified and
  // often before its definition in the text.
  auto alias = aliases_.find(key);
  bool alias_wins = in_order_list && !qualified && alias != aliases_.end();
  if (names_) {
    auto name = names_->find(key);
    if (name != names_->end() && !alias_wins) return Quoted(name->second);
  }
  if (alias != aliases_.end()) return Quoted(alias->second);
  if (token.kind == TokenKind::kWord) return spelled;
  // With the catalog at hand, a bracketed name it does not know is none of
  // the database's: the engine's own reference, replaced after the rewrite,
  // which must find it as written.
  if (token.kind == TokenKind::kBracket && names_) {
    return std::string(token.text);
  }
  // Jet reads "..." as text; with the catalog at hand, one that names
  // nothing is text here too.
  if (token.kind == TokenKind::kQuoted && names_ && !qualified) {
    return TextLiteral(spelled);
  }
  return Quoted(spelled);
}

// SQL Server reads "..." as a name, Jet as text: with the catalog at
// hand, one that names nothing becomes text.
std::string ServerRewrite::SqlServerQuoted(std::size_t index) const {
  const Token& token = tokens_[index];
  if (token.kind != TokenKind::kQuoted || !names_ || !IsClosed(token) ||
      alias_definition_[index] ||
      (index > 0 && IsPunct(tokens_[index - 1], '.'))) {
    return std::string(token.text);
  }
  std::string spelled = Unquoted(token.text);
  std::string key = AsciiLower(spelled);
  if (names_->contains(key) || aliases_.contains(key)) {
    return std::string(token.text);
  }
  return TextLiteral(spelled);
}

}  // namespace

std::string RewriteForServer(std::string_view sql, Dialect dialect,
                             const NameSpellings* names) {
  return ServerRewrite(sql, dialect, names).Run();
}

}  // namespace nerolin::jet
