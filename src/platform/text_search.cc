#include "platform/text_search.h"

#include <string.h>

namespace nerolin::platform {

std::size_t FindText(std::string_view text, std::string_view what,
                     std::size_t from) {
  if (from > text.size()) return std::string_view::npos;
  if (what.empty()) return from;
  const void* hit =
      memmem(text.data() + from, text.size() - from, what.data(), what.size());
  return hit == nullptr ? std::string_view::npos
                        : static_cast<std::size_t>(
                              static_cast<const char*>(hit) - text.data());
}

}  // namespace nerolin::platform
