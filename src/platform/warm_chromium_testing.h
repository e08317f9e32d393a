#pragma once

#include <chrono>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/warm_chromium.h"

namespace nerolin::platform::testing {

// The URLs of the pages the warm browser has open; none when it does not
// answer within five seconds.
inline std::vector<std::string> OpenPages() {
  using std::chrono::milliseconds;
  WarmChromium& chromium = WarmChromium::Instance();
  const int id = chromium.Send("Target.getTargets", nlohmann::json::object());
  std::vector<std::string> urls;
  const auto start = std::chrono::steady_clock::now();
  while (id != 0 &&
         std::chrono::steady_clock::now() - start < std::chrono::seconds(5)) {
    chromium.Pump(milliseconds(20));
    if (auto response = chromium.TakeResponse(id)) {
      for (const auto& target : response->result["targetInfos"]) {
        if (target.value("type", "") == "page") {
          urls.push_back(target.value("url", ""));
        }
      }
      break;
    }
  }
  return urls;
}

}  // namespace nerolin::platform::testing
