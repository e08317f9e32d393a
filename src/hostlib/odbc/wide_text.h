#pragma once

#include <algorithm>
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

// What an ODBC call wrote into `buffer` of `capacity` code units, as UTF-8,
// by the length it reported in code units. A text too long for the buffer
// was cut to leave room for a zero while the call still reports its whole
// length, and a length below zero means no text.
inline std::string Utf8FromWideBuffer(const unsigned short* buffer,
                                      std::size_t capacity,
                                      long long reported) {
  if (reported <= 0 || capacity == 0) return {};
  const auto length =
      std::min(static_cast<std::size_t>(reported), capacity - 1);
  return Utf8FromWide(buffer, length);
}

// The code units before the first zero.
inline std::size_t WideLength(const unsigned short* text) {
  std::size_t length = 0;
  while (text[length] != 0) ++length;
  return length;
}

}  // namespace nerolin::odbc
