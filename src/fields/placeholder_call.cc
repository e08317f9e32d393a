#include "fields/placeholder_call.h"

#include <optional>
#include <string_view>
#include <vector>

#include "automation/vb_text.h"

namespace nerolin::fields {

std::optional<std::vector<std::string_view>> CallArguments(
    std::string_view placeholder, std::string_view function) {
  // "[" FUNCTION "(" ... ")]"
  const std::size_t opening = 1 + function.size();
  if (placeholder.size() < opening + 3 || placeholder.front() != '[' ||
      placeholder[opening] != '(' || !placeholder.ends_with(")]") ||
      !EqualsIgnoreCase(placeholder.substr(1, function.size()), function)) {
    return std::nullopt;
  }
  const std::string_view inside =
      placeholder.substr(opening + 1, placeholder.size() - opening - 3);
  if (inside.find_first_of("()") != std::string_view::npos) return std::nullopt;
  std::vector<std::string_view> arguments;
  for (std::size_t start = 0;;) {
    const std::size_t comma = inside.find(',', start);
    arguments.push_back(Trim(inside.substr(start, comma - start)));
    if (comma == std::string_view::npos) return arguments;
    start = comma + 1;
  }
}

}  // namespace nerolin::fields
