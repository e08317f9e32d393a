#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nerolin::hostlib {

// One "key=value" pair of a connection string, the key trimmed and the
// value unquoted.
struct ConnectionPair {
  std::string key;
  std::string value;
};

// The pairs of `text`, separated by ";". A value may be quoted with ' or "
// (the quote doubled inside) or wrapped in ODBC's { } ("}}" inside), and may
// then hold ";"; an unquoted value is trimmed. A piece without "=" says
// nothing and is skipped.
std::vector<ConnectionPair> ConnectionPairs(std::string_view text);

// The value of the last pair whose key is one of `keys`, compared without
// regard to case; nothing when there is none.
std::optional<std::string> ConnectionValue(
    const std::vector<ConnectionPair>& pairs,
    std::initializer_list<std::string_view> keys);

// `name` trimmed and without one pair of surrounding brackets or double
// quotes: a path or a table's or column's name as the host may write it.
std::string_view Unquoted(std::string_view name);

// Whether `text` names an ODBC data source: it has a Driver, DSN or FileDSN
// key. Anything else (Data Source=PATH, a bare path) is a SQLite file.
bool IsOdbcConnectionString(std::string_view text);

}  // namespace nerolin::hostlib
