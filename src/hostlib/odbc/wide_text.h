#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace nerolin::odbc {

// ODBC's wide characters (SQLWCHAR) are UTF-16 code units.

// UTF-8 `text` as UTF-16; a byte that starts no valid sequence becomes
// U+FFFD.
std::u16string WideFromUtf8(std::string_view text);

// `length` UTF-16 code units from `text` as UTF-8; an unpaired surrogate
// becomes U+FFFD.
std::string Utf8FromWide(const char16_t* text, std::size_t length);
inline std::string Utf8FromWide(const unsigned short* text,
                                std::size_t length) {
  return Utf8FromWide(reinterpret_cast<const char16_t*>(text), length);
}

// The code units before the first zero.
inline std::size_t WideLength(const unsigned short* text) {
  std::size_t length = 0;
  while (text[length] != 0) ++length;
  return length;
}

}  // namespace nerolin::odbc
