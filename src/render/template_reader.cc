#include "render/template_reader.h"

#include <string>
#include <string_view>

#include "platform/files.h"

namespace nerolin::render {

std::string ReadTemplate(const std::string& path) {
  // Read once, then decoded by its first bytes: a second open could find
  // another file, or wait on a FIFO.
  return DecodeTemplate(platform::ReadBytes(path, kMaxTemplateSize));
}

TemplateReading TemplateReadingOf(std::string_view bytes) {
  if (bytes.starts_with("\xEF\xBB\xBF")) return TemplateReading::kUtf8;
  if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")) {
    return TemplateReading::kUtf16;
  }
  return TemplateReading::kAnsiLines;
}

std::string DecodeTemplate(std::string_view bytes) {
  switch (TemplateReadingOf(bytes)) {
    case TemplateReading::kUtf8:
      return platform::DecodeUtf8Text(bytes);
    case TemplateReading::kUtf16:
      return platform::DecodeUtf16Text(bytes);
    case TemplateReading::kAnsiLines:
      break;
  }
  return platform::DecodeAnsiLines(bytes);
}

}  // namespace nerolin::render
