#include "render/template_reader.h"

#include <string>
#include <string_view>

#include "platform/files.h"

namespace nerolin::render {

std::string ReadTemplate(const std::string& path) {
  // Read once, then decoded by its first bytes: a second open could find
  // another file, or wait on a FIFO.
  const std::string bytes = platform::ReadBytes(path, kMaxTemplateSize);
  const std::string_view text = bytes;
  if (text.starts_with("\xEF\xBB\xBF")) return platform::DecodeUtf8Text(text);
  if (text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF")) {
    return platform::DecodeUtf16Text(text);
  }
  return platform::DecodeAnsiLines(text);
}

}  // namespace nerolin::render
