#include <cstdio>
#include <string>

#include "nerolin/message_sink.h"

namespace nerolin {

void StderrMessageSink::Show(std::string_view text, std::string_view title,
                             MessageIcon /*icon*/) {
  std::string line;
  line.reserve(title.size() + text.size() + 3);
  if (!title.empty()) {
    line.append(title);
    line.append(": ");
  }
  line.append(text);
  line.push_back('\n');
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

}  // namespace nerolin
