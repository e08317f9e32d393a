#include "render/template_reader.h"

#include <array>
#include <cstddef>
#include <fstream>
#include <string>

#include "platform/files.h"

namespace nerolin::render {

namespace {

enum class TemplateEncoding { kAnsi, kUtf8, kUtf16 };

// Classifies the file by its first bytes without reading the rest. A file
// that cannot be opened here is classified ANSI, and the reader then raises
// the platform's own error for it (53 for a missing file, 75 for a folder);
// an input stream never creates the file it names.
TemplateEncoding EncodingOf(const std::string& path) {
  std::array<unsigned char, 3> mark{};
  std::size_t got = 0;
  std::ifstream file(path, std::ios::binary);
  if (file) {
    file.read(reinterpret_cast<char*>(mark.data()), mark.size());
    got = static_cast<std::size_t>(file.gcount());
  }
  if (got >= 3 && mark[0] == 0xEF && mark[1] == 0xBB && mark[2] == 0xBF) {
    return TemplateEncoding::kUtf8;
  }
  if (got >= 2 && ((mark[0] == 0xFF && mark[1] == 0xFE) ||
                   (mark[0] == 0xFE && mark[1] == 0xFF))) {
    return TemplateEncoding::kUtf16;
  }
  return TemplateEncoding::kAnsi;
}

}  // namespace

std::string ReadTemplate(const std::string& path) {
  platform::CheckFileName(path);
  switch (EncodingOf(path)) {
    case TemplateEncoding::kUtf8:
      return platform::ReadUtf8Text(path);
    case TemplateEncoding::kUtf16:
      return platform::ReadUtf16Text(path);
    case TemplateEncoding::kAnsi:
      break;
  }
  return platform::ReadAnsiLines(path);
}

}  // namespace nerolin::render
