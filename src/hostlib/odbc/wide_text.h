#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/files.h"

namespace nerolin::odbc {

// ODBC's wide characters (SQLWCHAR) are UTF-16 code units, handed over as
// unsigned short.

inline std::u16string WideFromUtf8(std::string_view text) {
  return platform::Utf16FromUtf8(text);
}

// `length` code units from `text` as UTF-8.
inline std::string Utf8FromWide(const char16_t* text, std::size_t length) {
  return platform::Utf8FromUtf16(std::u16string_view(text, length));
}
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
