// The PostgreSQL forms of Jet's functions and date literals, inline
// expressions only: the data library never creates anything in the
// database, which it opens read-only.

#include <string>
#include <vector>

#include "hostlib/jet/jet_server_sql.h"
#include "hostlib/jet/jet_tokens.h"

namespace nerolin::jet {

namespace {

using Arguments = std::vector<std::string>;

bool IsTextLiteral(const std::string& x) {
  std::vector<Token> tokens = Tokenize(x);
  return tokens.size() == 1 && tokens[0].kind == TokenKind::kText &&
         IsClosed(tokens[0]);
}

// Whether `x` is CAST(... AS text) as a whole, as AsText writes it.
bool IsTextCast(const std::string& x) {
  std::vector<Token> tokens = Tokenize(x);
  std::vector<const Token*> significant;
  for (const Token& token : tokens) {
    if (!IsSpacing(token)) significant.push_back(&token);
  }
  std::size_t n = significant.size();
  if (n < 6 || !WordIs(significant[0]->text, "CAST") ||
      !IsPunct(*significant[1], '(') || !IsPunct(*significant[n - 1], ')') ||
      !WordIs(significant[n - 2]->text, "TEXT") ||
      !WordIs(significant[n - 3]->text, "AS")) {
    return false;
  }
  // The parenthesis after CAST must be the one that closes last.
  int depth = 0;
  for (std::size_t i = 1; i + 1 < n; ++i) {
    if (IsPunct(*significant[i], '(')) ++depth;
    if (IsPunct(*significant[i], ')') && --depth == 0) return false;
  }
  return depth == 1;
}

// Jet's text functions take any value and read it as text; PostgreSQL's
// want text. A quoted literal is text already, and so is a cast to text,
// which keeps a second rewrite of the rewritten text from adding another.
std::string AsText(const std::string& x) {
  return IsTextLiteral(x) || IsTextCast(x) ? x : "CAST(" + x + " AS text)";
}

// Jet converts with banker's rounding; PostgreSQL's cast of a double
// precision to an integer rounds half to even as well, where the cast of
// a numeric would round half away from zero.
std::string RoundedTo(const std::string& x, std::string_view type) {
  return "CAST(CAST(" + x + " AS double precision) AS " + std::string(type) +
         ")";
}

std::string DatePart(const std::string& x, std::string_view part) {
  return "CAST(EXTRACT(" + std::string(part) + " FROM CAST(" + x +
         " AS timestamp)) AS integer)";
}

// The number at the start of the text, 0 when none, Null for Null: the
// pattern always matches, and what it keeps is the sign, a 0 (so that an
// empty number reads as 0 and ".5" as "0.5"), the digits and the
// exponent.
std::string LeadingNumber(const std::string& x) {
  return "CAST(REGEXP_REPLACE(" + AsText(x) +
         ", '^[ \\t]*(?:([-+]?)(\\d+\\.?\\d*|\\.\\d+)([eE][-+]?\\d{1,4})?)?"
         ".*$', '\\10\\2\\3') AS double precision)";
}

std::optional<std::string> OneArgumentForm(std::string_view name,
                                           const std::string& x) {
  if (WordIs(name, "NZ")) return "COALESCE(" + AsText(x) + ", '')";
  if (WordIs(name, "LEN")) return "CHAR_LENGTH(" + AsText(x) + ")";
  if (WordIs(name, "UCASE")) return "UPPER(" + AsText(x) + ")";
  if (WordIs(name, "LCASE")) return "LOWER(" + AsText(x) + ")";
  // Jet trims spaces only, as these do without a set of characters.
  if (WordIs(name, "TRIM")) return "BTRIM(" + AsText(x) + ")";
  if (WordIs(name, "LTRIM")) return "LTRIM(" + AsText(x) + ")";
  if (WordIs(name, "RTRIM")) return "RTRIM(" + AsText(x) + ")";
  if (WordIs(name, "CSTR")) return AsText(x);
  if (WordIs(name, "CLNG")) return RoundedTo(x, "integer");
  if (WordIs(name, "CINT")) return RoundedTo(x, "smallint");
  if (WordIs(name, "CDBL")) return "CAST(" + x + " AS double precision)";
  if (WordIs(name, "VAL")) return LeadingNumber(x);
  if (WordIs(name, "YEAR")) return DatePart(x, "YEAR");
  if (WordIs(name, "MONTH")) return DatePart(x, "MONTH");
  if (WordIs(name, "DAY")) return DatePart(x, "DAY");
  return std::nullopt;
}

std::optional<std::string> TwoArgumentForm(std::string_view name,
                                           const std::string& x,
                                           const std::string& y) {
  if (WordIs(name, "NZ")) {
    // A text default makes the result text, which a number must become
    // too: PostgreSQL would read the text as a number otherwise.
    return "COALESCE(" + (IsTextLiteral(y) ? AsText(x) : x) + ", " + y + ")";
  }
  if (WordIs(name, "LEFT")) return "LEFT(" + AsText(x) + ", " + y + ")";
  if (WordIs(name, "RIGHT")) return "RIGHT(" + AsText(x) + ", " + y + ")";
  if (WordIs(name, "MID")) {
    return "SUBSTRING(" + AsText(x) + " FROM " + y + ")";
  }
  if (WordIs(name, "INSTR")) {
    return "STRPOS(" + AsText(x) + ", " + AsText(y) + ")";
  }
  return std::nullopt;
}

std::optional<std::string> ThreeArgumentForm(std::string_view name,
                                             const Arguments& a) {
  if (WordIs(name, "IIF")) {
    return "CASE WHEN " + a[0] + " THEN " + a[1] + " ELSE " + a[2] + " END";
  }
  if (WordIs(name, "MID")) {
    return "SUBSTRING(" + AsText(a[0]) + " FROM " + a[1] + " FOR " + a[2] + ")";
  }
  // From a later start the position found must be shifted, which needs
  // the start twice; only the plain form is rewritten.
  if (WordIs(name, "INSTR") && a[0] == "1") {
    return TwoArgumentForm(name, a[1], a[2]);
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> PostgreSqlCall(std::string_view name,
                                          const Arguments& arguments) {
  switch (arguments.size()) {
    case 0:
      if (WordIs(name, "DATE")) return "CURRENT_DATE";
      if (WordIs(name, "NOW")) return "LOCALTIMESTAMP(0)";
      return std::nullopt;
    case 1:
      return OneArgumentForm(name, arguments[0]);
    case 2:
      return TwoArgumentForm(name, arguments[0], arguments[1]);
    case 3:
      return ThreeArgumentForm(name, arguments);
    default:
      return std::nullopt;
  }
}

std::string PostgreSqlDate(std::string_view stored) {
  // A typed literal compares right with DATE and TIMESTAMP columns alike
  // and keeps date arithmetic working.
  return (stored.size() > 10 ? "TIMESTAMP '" : "DATE '") + std::string(stored) +
         "'";
}

}  // namespace nerolin::jet
