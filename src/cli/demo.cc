#include "cli/demo.h"

#include <iostream>
#include <sstream>

#include "cli/demo_build.h"

namespace nerolin::cli {

std::string RunDemo(const std::string& out_dir) {
  std::ostringstream err;
  if (BuildAndRenderDemo(out_dir, std::cout, err) == 0) return {};
  std::string message = err.str();
  while (!message.empty() && message.back() == '\n') message.pop_back();
  return message.empty() ? "the demo failed" : message;
}

}  // namespace nerolin::cli
