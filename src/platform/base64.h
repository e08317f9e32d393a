#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace nerolin::platform {

// Base64 with the standard alphabet of RFC 4648 ("A-Z a-z 0-9 + /"), "="
// padding and no line breaks, as data URIs carry it.

// The base64 text of `bytes`; "" for no bytes.
std::string Base64Encode(std::string_view bytes);

// The bytes of a base64 text, or nothing when the text is not the exact
// form Base64Encode writes: a length that is not a multiple of four, a
// character outside the alphabet (line breaks and blanks included), "="
// anywhere but in the last two places, or padding bits that are not zero.
std::optional<std::string> Base64Decode(std::string_view text);

}  // namespace nerolin::platform
