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

// The host's Jet-flavoured SQL rewritten where SQLite cannot run it as
// written; every statement the library runs passes through here.
//
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
//
// Text inside '...', "...", [...], `...` and comments is never changed.
// A text that does not begin with a statement keyword (SELECT, WITH,
// VALUES, INSERT, UPDATE, DELETE, REPLACE, PRAGMA, EXPLAIN), such as a call
// expression, comes back unchanged.
std::string RewriteJetSql(std::string_view sql,
                          Dialect dialect = Dialect::kSqlite,
                          const NameSpellings* names = nullptr);

// The names under which Jet's Left and Right functions are registered.
inline constexpr std::string_view kLeftFunction = "JetLeft";
inline constexpr std::string_view kRightFunction = "JetRight";

}  // namespace nerolin::jet
