#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hostlib/jet/jet_sql.h"

// The rewrite of Jet SQL for database servers (PostgreSQL, SQL Server):
// one driver over the shared tokens, and each dialect's own forms.
// Internal to hostlib/jet.
namespace nerolin::jet {

// Statements nested deeper than this (parentheses and calls together) are
// left as written below that depth, for the server to take or reject.
inline constexpr int kMaxNesting = 40;

// RewriteJetSql for a server dialect.
// REQUIRES: dialect != Dialect::kSqlite.
std::string RewriteForServer(std::string_view sql, Dialect dialect,
                             const NameSpellings* names);

// A call of the Jet function `name` in the dialect's own terms, its
// arguments already rewritten and trimmed; nothing when the dialect runs
// the call as written or the number of arguments fits no form. Each
// argument appears once at most in the result, so nested calls grow the
// text by a bounded amount each.
std::optional<std::string> PostgreSqlCall(
    std::string_view name, const std::vector<std::string>& arguments);
std::optional<std::string> SqlServerCall(
    std::string_view name, const std::vector<std::string>& arguments);

// A date literal given in its stored text form ("yyyy-mm-dd" or
// "yyyy-mm-dd hh:nn:ss") in the dialect's terms.
std::string PostgreSqlDate(std::string_view stored);
std::string SqlServerDate(std::string_view stored);

}  // namespace nerolin::jet
