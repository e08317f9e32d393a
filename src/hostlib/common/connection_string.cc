#include "hostlib/common/connection_string.h"

#include "automation/vb_text.h"

namespace nerolin::hostlib {

std::vector<ConnectionPair> ConnectionPairs(std::string_view text) {
  std::vector<ConnectionPair> pairs;
  std::size_t at = 0;
  // Each round consumes at least one character.
  while (at < text.size()) {
    std::size_t equals = text.find('=', at);
    std::size_t semicolon = text.find(';', at);
    if (equals == std::string_view::npos || semicolon < equals) {
      if (semicolon == std::string_view::npos) break;
      at = semicolon + 1;
      continue;
    }
    ConnectionPair pair{std::string(TrimBlanks(text.substr(at, equals - at))),
                        {}};
    std::size_t value_at = equals + 1;
    while (value_at < text.size() && text[value_at] == ' ') ++value_at;
    std::size_t next = text.size();
    const char open = value_at < text.size() ? text[value_at] : '\0';
    if (open == '"' || open == '\'' || open == '{') {
      const char close = open == '{' ? '}' : open;
      std::size_t i = value_at + 1;
      while (i < text.size()) {
        if (text[i] == close) {
          if (i + 1 < text.size() && text[i + 1] == close) {
            pair.value += close;
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        pair.value += text[i++];
      }
      std::size_t end = text.find(';', i);
      next = end == std::string_view::npos ? text.size() : end + 1;
    } else {
      std::size_t end = text.find(';', value_at);
      std::size_t value_end = end == std::string_view::npos ? text.size() : end;
      pair.value =
          std::string(TrimBlanks(text.substr(value_at, value_end - value_at)));
      next = end == std::string_view::npos ? text.size() : end + 1;
    }
    pairs.push_back(std::move(pair));
    at = next;
  }
  return pairs;
}

std::optional<std::string> ConnectionValue(
    const std::vector<ConnectionPair>& pairs,
    std::initializer_list<std::string_view> keys) {
  std::optional<std::string> found;
  for (const ConnectionPair& pair : pairs) {
    for (std::string_view key : keys) {
      if (EqualsIgnoreCase(pair.key, key)) found = pair.value;
    }
  }
  return found;
}

bool IsOdbcConnectionString(std::string_view text) {
  return ConnectionValue(ConnectionPairs(text), {"Driver", "DSN", "FileDSN"})
      .has_value();
}

std::string_view Unquoted(std::string_view name) {
  name = TrimBlanks(name);
  if (name.size() >= 2 && ((name.front() == '[' && name.back() == ']') ||
                           (name.front() == '"' && name.back() == '"'))) {
    return name.substr(1, name.size() - 2);
  }
  return name;
}

}  // namespace nerolin::hostlib
