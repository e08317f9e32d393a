#include "render/template_reader.h"

#include "platform/files.h"

namespace nerolin::render {

std::string ReadTemplate(const std::string& path) {
  return platform::ReadAnsiLines(path);
}

}  // namespace nerolin::render
