#pragma once

#include <string>
#include <string_view>
#include <unordered_map>

namespace nerolin::jet {

// The SQL a data library's server speaks.
enum class Dialect { kSqlite, kPostgreSql, kSqlServer };

// The dialect of a server from its ODBC SQL_DBMS_NAME ("PostgreSQL",
// "Microsoft SQL Server"); kSqlite for any other name.
Dialect DialectOfDbms(std::string_view dbms_name);

// Database names as the catalog spells them, keyed by the name in ASCII
// lower case (tables and columns together).
using NameSpellings = std::unordered_map<std::string, std::string>;

// The host's Jet-flavoured SQL rewritten for the dialect of the database
// that runs it; every statement a data library runs passes through here.
// Text inside '...' and comments is never changed, nor is a {...} run of
// up to 64 characters: the engine's own tokens ({DocumentID}), which it
// replaces after the rewrite. Rewriting the rewritten text again leaves it
// as it is. A text that does not begin with a statement keyword (SELECT,
// WITH, VALUES, INSERT, UPDATE, DELETE, REPLACE, PRAGMA, EXPLAIN), such as
// a call expression, comes back unchanged. The rewrite never fails: what
// it cannot rewrite stays as written, for the database to take or reject.
// `names` is read during the call only; null when the catalog is not at
// hand (SQLite never uses it).
//
// SQLite (the default):
// - Date literals #yyyy-mm-dd#, #yyyy/mm/dd# and #m/d/yyyy#, each optionally
//   followed by a time hh:nn[:ss] and AM / PM, become the text literals
//   'yyyy-mm-dd' or 'yyyy-mm-dd hh:nn:ss' in which dates are stored (the
//   time is left out at midnight). A #...# that is no valid date stays.
// - `&` (Jet's concatenation) becomes `||`.
// - SELECT [DISTINCT | ALL] TOP n drops "TOP n" and gets " LIMIT n" at the
//   end of its query (before the closing parenthesis of a subquery).
// - DISTINCTROW becomes DISTINCT.
// - The functions Left( and Right(, whose names SQLite reads as join
//   keywords, become kLeftFunction( and kRightFunction(.
// - "...", [...] and `...` stay as written.
//
// PostgreSQL, whose tables and columns are created quoted and spelled as
// the catalog spells them:
// - A name `names` knows (by its ASCII lower case), bare or in brackets or
//   double quotes, becomes "CatalogSpelling". An alias after AS is quoted
//   as written, and so is every reference to it in the statement, also
//   after a "." (a subquery's column named outside it), unless `names`
//   knows the name; in an ORDER BY list a bare alias wins over a column
//   of the same name. A bracketed name nobody knows stays in its brackets
//   with `names` (the engine's own reference, such as
//   [CartaPorte_RemolqueID], replaced after the rewrite) and is quoted as
//   written without; other bare words (table aliases without AS,
//   keywords, functions) stay as written.
// - "..." is text to Jet and a name to PostgreSQL. The host writes both
//   ("Key" and "Value" of engParameter as names, DLookup criteria such as
//   Code = "A1" as text), so it is read as SQLite reads it: with `names`, a
//   double-quoted run that names no table, column or alias becomes the
//   text literal '...'; without `names` it stays a name. An empty "" is
//   always text.
// - Date literals become DATE 'yyyy-mm-dd' or TIMESTAMP 'yyyy-mm-dd
//   hh:nn:ss', which compare right with DATE and TIMESTAMP columns.
// - a & b & c becomes CONCAT(a, b, c), so that Null counts as empty text
//   and numbers become their text. An operand is what Jet binds tighter
//   than `&`: operands joined by + - * / \ ^ % Mod, with a sign in front.
// - TOP n becomes LIMIT n as for SQLite; DISTINCTROW becomes DISTINCT;
//   True and False become TRUE and FALSE.
// - Jet's functions become inline expressions of the same meaning:
//   Nz(x) the text of x or '' (a Jet Nz without default is text, and
//   PostgreSQL has no '' of a number), likewise Nz(x, 'text'), Nz(x, d)
//   as COALESCE(x, d) otherwise, Len, UCase, LCase, Left,
//   Right, Mid, Trim, LTrim, RTrim, InStr(x, find) and InStr(1, x, find)
//   on the text of x, CStr, CLng and CInt (half to even), CDbl, Val (the
//   leading number of the text, 0 if none), IIf as CASE, Year, Month and
//   Day, Date() as CURRENT_DATE and Now() as LOCALTIMESTAMP(0). Other
//   calls, and these with other numbers of arguments, stay.
// - ORDER BY terms get NULLS FIRST going up and NULLS LAST going down, as
//   Jet sorts, unless the statement says NULLS itself.
//
// SQL Server:
// - Date literals become 'yyyymmdd' or 'yyyy-mm-ddThh:nn:ss', which it
//   reads the same in any language; True and False become 1 and 0;
//   DISTINCTROW becomes DISTINCT; TOP n, IIf, Left, Right, LTrim, RTrim,
//   Year, Month, Day and [names] stay.
// - Nz becomes ISNULL (with '' by default), Mid SUBSTRING, UCase UPPER,
//   LCase LOWER, Len LEN, Trim LTRIM(RTRIM()), InStr CHARINDEX, CStr a
//   cast to nvarchar(max), CLng and CInt a cast of ROUND(x, 0), CDbl a cast
//   to float, Date() CAST(GETDATE() AS date) and Now() GETDATE(). Val and
//   other calls stay.
// - `&` stays: whether to add or concatenate depends on the operands'
//   types, which the text does not tell.
// - "..." as for PostgreSQL: with `names` a known name stays and other
//   runs become text literals; "" is always text.
//
// Parentheses and calls nested past a fixed depth are left as written
// below it.
std::string RewriteJetSql(std::string_view sql,
                          Dialect dialect = Dialect::kSqlite,
                          const NameSpellings* names = nullptr);

// The names under which Jet's Left and Right functions are registered.
inline constexpr std::string_view kLeftFunction = "JetLeft";
inline constexpr std::string_view kRightFunction = "JetRight";

}  // namespace nerolin::jet
