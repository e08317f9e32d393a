#include "check/source_map.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "platform/files.h"
#include "render/template_reader.h"

namespace nerolin::check {

namespace {

bool IsContinuationByte(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// How many bytes each byte of a Windows-1252 file becomes in UTF-8.
const std::array<std::size_t, 256>& AnsiLengths() {
  static const std::array<std::size_t, 256> lengths = [] {
    std::array<std::size_t, 256> table{};
    for (std::size_t byte = 0; byte < table.size(); ++byte) {
      const char c = static_cast<char>(byte);
      table[byte] = platform::AnsiToUtf8(std::string_view(&c, 1)).size();
    }
    return table;
  }();
  return lengths;
}

// Line starts of a text that kept its line breaks.
std::vector<std::size_t> StartsInText(std::string_view text) {
  std::vector<std::size_t> starts{0};
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
      starts.push_back(i + 1);
    } else if (text[i] == '\n') {
      starts.push_back(i + 1);
    }
  }
  return starts;
}

// Line starts of the ANSI reading, found in the file's bytes: a CR or CR LF
// is gone from the text, so the next line starts where the text goes on;
// an LF stays in it.
std::vector<std::size_t> StartsInAnsiLines(std::string_view bytes,
                                           std::string_view text) {
  std::size_t kept = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] != '\r') ++kept;
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
  }
  // A file that is valid UTF-8 keeps its bytes; a Windows-1252 one grows
  // with each byte above 7F, so equal lengths tell the readings apart.
  const bool as_utf8 = kept == text.size();
  const std::array<std::size_t, 256>& lengths = AnsiLengths();
  std::vector<std::size_t> starts{0};
  std::size_t at = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const char c = bytes[i];
    if (c == '\r') {
      if (i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
      starts.push_back(at);
    } else if (c == '\n') {
      starts.push_back(++at);
    } else {
      at += as_utf8 ? 1 : lengths[static_cast<unsigned char>(c)];
    }
  }
  return starts;
}

}  // namespace

SourceMap::SourceMap(std::string_view bytes)
    : text_(render::DecodeTemplate(bytes)) {
  line_starts_ =
      render::TemplateReadingOf(bytes) == render::TemplateReading::kAnsiLines
          ? StartsInAnsiLines(bytes, text_)
          : StartsInText(text_);
}

SourcePosition SourceMap::PositionOf(std::size_t offset) const {
  offset = std::min(offset, text_.size());
  // The last line starting at or before the offset: of lines that start at
  // the same place, the earlier ones are empty.
  const auto after =
      std::upper_bound(line_starts_.begin(), line_starts_.end(), offset);
  const auto line = static_cast<std::size_t>(after - line_starts_.begin()) - 1;
  std::size_t from = line_starts_[line];
  std::size_t column = 1;
  if (line == cached_line_ && cached_offset_ >= from &&
      cached_offset_ <= offset) {
    from = cached_offset_;
    column = cached_column_;
  }
  for (std::size_t i = from; i < offset; ++i) {
    if (!IsContinuationByte(text_[i])) ++column;
  }
  cached_line_ = line;
  cached_offset_ = offset;
  cached_column_ = column;
  return {line + 1, column};
}

}  // namespace nerolin::check
