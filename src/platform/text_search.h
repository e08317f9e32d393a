#pragma once

#include <cstddef>
#include <string_view>

namespace nerolin::platform {

// Where `what` first stands in `text` at or after `from`;
// std::string_view::npos when it does not (or `from` is past the end). An
// empty `what` stands at `from`.
//
// Made for the passes over a whole report, which look for fixed markup:
// memmem skips through text where the markup's first byte "<" stands
// everywhere, where std::string_view::find stops at every one.
std::size_t FindText(std::string_view text, std::string_view what,
                     std::size_t from = 0);

}  // namespace nerolin::platform
