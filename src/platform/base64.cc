#include "platform/base64.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace nerolin::platform {
namespace {

constexpr char kAlphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::uint8_t kInvalid = 0xFF;

constexpr std::array<std::uint8_t, 256> MakeDecodeTable() {
  std::array<std::uint8_t, 256> table{};
  for (auto& entry : table) entry = kInvalid;
  for (std::uint8_t i = 0; i < 64; ++i) {
    table[static_cast<unsigned char>(kAlphabet[i])] = i;
  }
  return table;
}

constexpr std::array<std::uint8_t, 256> kDecode = MakeDecodeTable();

std::uint32_t Byte(std::string_view bytes, std::size_t index) {
  return static_cast<unsigned char>(bytes[index]);
}

}  // namespace

std::string Base64Encode(std::string_view bytes) {
  const std::size_t whole = bytes.size() / 3 * 3;
  std::string text((bytes.size() + 2) / 3 * 4, '=');
  char* out = text.data();
  for (std::size_t i = 0; i < whole; i += 3) {
    const std::uint32_t group =
        Byte(bytes, i) << 16 | Byte(bytes, i + 1) << 8 | Byte(bytes, i + 2);
    *out++ = kAlphabet[group >> 18];
    *out++ = kAlphabet[(group >> 12) & 0x3F];
    *out++ = kAlphabet[(group >> 6) & 0x3F];
    *out++ = kAlphabet[group & 0x3F];
  }
  const std::size_t rest = bytes.size() - whole;
  if (rest > 0) {
    std::uint32_t group = Byte(bytes, whole) << 16;
    if (rest == 2) group |= Byte(bytes, whole + 1) << 8;
    *out++ = kAlphabet[group >> 18];
    *out++ = kAlphabet[(group >> 12) & 0x3F];
    if (rest == 2) *out = kAlphabet[(group >> 6) & 0x3F];
  }
  return text;
}

std::optional<std::string> Base64Decode(std::string_view text) {
  if (text.size() % 4 != 0) return std::nullopt;
  std::size_t padding = 0;
  if (!text.empty() && text.back() == '=') {
    padding = text[text.size() - 2] == '=' ? 2 : 1;
  }
  const std::size_t length = text.size() - padding;
  std::string bytes;
  bytes.reserve(text.size() / 4 * 3);
  std::uint32_t group = 0;
  std::size_t held = 0;
  for (std::size_t i = 0; i < length; ++i) {
    const std::uint8_t value = kDecode[static_cast<unsigned char>(text[i])];
    if (value == kInvalid) return std::nullopt;
    group = group << 6 | value;
    if (++held == 4) {
      bytes += static_cast<char>(group >> 16);
      bytes += static_cast<char>((group >> 8) & 0xFF);
      bytes += static_cast<char>(group & 0xFF);
      group = 0;
      held = 0;
    }
  }
  // The last group holds two or three characters before its padding; the
  // bits they carry past the last whole byte must be zero.
  if (held == 2) {
    if ((group & 0x0F) != 0) return std::nullopt;
    bytes += static_cast<char>(group >> 4);
  } else if (held == 3) {
    if ((group & 0x03) != 0) return std::nullopt;
    bytes += static_cast<char>(group >> 10);
    bytes += static_cast<char>((group >> 2) & 0xFF);
  }
  return bytes;
}

}  // namespace nerolin::platform
