#include "hostlib/jet/stored_dates.h"

namespace nerolin::jet {

namespace {

// Reads exactly `count` digits at `at`; -1 when they are not all digits.
int Digits(std::string_view text, std::size_t at, std::size_t count) {
  if (at + count > text.size()) return -1;
  int value = 0;
  for (std::size_t i = at; i < at + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return -1;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

void AppendTwoDigits(std::string& out, int value) {
  out += static_cast<char>('0' + value / 10);
  out += static_cast<char>('0' + value % 10);
}

}  // namespace

bool IsValidDateTime(const CivilDateTime& parts) {
  return MakeDate(parts.year, parts.month, parts.day, parts.hour, parts.minute,
                  parts.second)
      .has_value();
}

std::optional<CivilDateTime> ParseIsoDateTime(std::string_view text) {
  CivilDateTime parts;
  parts.year = Digits(text, 0, 4);
  parts.month = Digits(text, 5, 2);
  parts.day = Digits(text, 8, 2);
  if (parts.year < 0 || parts.month < 0 || parts.day < 0 || text[4] != '-' ||
      text[7] != '-') {
    return std::nullopt;
  }
  std::size_t at = 10;
  if (at < text.size()) {
    if (text[at] != ' ' && text[at] != 'T') return std::nullopt;
    parts.hour = Digits(text, at + 1, 2);
    parts.minute = Digits(text, at + 4, 2);
    if (parts.hour < 0 || parts.minute < 0 || text[at + 3] != ':') {
      return std::nullopt;
    }
    at += 6;
    if (at < text.size() && text[at] == ':') {
      parts.second = Digits(text, at + 1, 2);
      if (parts.second < 0) return std::nullopt;
      at += 3;
      if (at < text.size() && text[at] == '.') {
        ++at;
        std::size_t digits = 0;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
          ++at;
          ++digits;
        }
        if (digits == 0) return std::nullopt;
      }
    }
    if (at != text.size()) return std::nullopt;
  }
  if (!IsValidDateTime(parts)) return std::nullopt;
  return parts;
}

Date ToDate(const CivilDateTime& parts) {
  return Date::FromParts(parts.year, parts.month, parts.day, parts.hour,
                         parts.minute, parts.second);
}

std::string IsoDateTimeText(const CivilDateTime& parts) {
  std::string out;
  out.reserve(19);
  AppendTwoDigits(out, parts.year / 100);
  AppendTwoDigits(out, parts.year % 100);
  out += '-';
  AppendTwoDigits(out, parts.month);
  out += '-';
  AppendTwoDigits(out, parts.day);
  if (parts.hour != 0 || parts.minute != 0 || parts.second != 0) {
    out += ' ';
    AppendTwoDigits(out, parts.hour);
    out += ':';
    AppendTwoDigits(out, parts.minute);
    out += ':';
    AppendTwoDigits(out, parts.second);
  }
  return out;
}

}  // namespace nerolin::jet
