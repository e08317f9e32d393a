#include "platform/pdf_job.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <signal.h>
#include <string>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include "platform/process.h"
#include "platform/warm_chromium.h"
#include "platform/warm_chromium_testing.h"
#include "support/private_display.h"
#include "support/test_support.h"

namespace nerolin::platform {
namespace {

using nerolin::testing::ChromiumUnavailable;
using nerolin::testing::PdfText;
using nerolin::testing::TempDir;
using std::chrono::milliseconds;
using std::chrono::seconds;
using Clock = std::chrono::steady_clock;
using nerolin::platform::testing::OpenPages;
using Outcomes = std::map<std::size_t, std::optional<AutomationError>>;

#define SKIP_WITHOUT_CHROMIUM()                        \
  do {                                                 \
    const std::string why_not = ChromiumUnavailable(); \
    if (!why_not.empty()) GTEST_SKIP() << why_not;     \
  } while (false)

BrowserSettings Settings(seconds idle = seconds(60),
                         milliseconds load = milliseconds(60000)) {
  BrowserSettings settings = BrowserSettings::FromEnvironment();
  settings.idle = idle;
  settings.load_timeout = load;
  return settings;
}

std::string Report(int n) {
  return "<!DOCTYPE html><meta charset=\"utf-8\"><p>Factura número " +
         std::to_string(n) + "</p>";
}

// Renders every file with `jobs` pages in flight; `between` runs after
// the first render finished.
Outcomes RenderAll(const BrowserSettings& settings, int jobs,
                   const std::vector<std::string>& files,
                   const std::function<void()>& between = {}) {
  Outcomes outcomes;
  PdfQueue queue(
      settings, jobs,
      [&](std::size_t ticket, const std::optional<AutomationError>& error) {
        outcomes[ticket] = error;
        if (outcomes.size() == 1 && between) between();
      });
  for (std::size_t i = 0; i < files.size(); ++i) {
    queue.Add(i, files[i], files[i] + ".pdf");
  }
  queue.Finish();
  return outcomes;
}

bool Alive(pid_t pid) {
  for (const ProcessStat& stat : ReadProcessStats()) {
    if (stat.pid == pid) return stat.state != 'Z';
  }
  return false;
}

TEST(WarmChromium, OneBrowserServesEveryDocumentUntilItIsIdle) {
  SKIP_WITHOUT_CHROMIUM();
  TempDir dir;
  const std::vector<std::string> files = {dir.Write("a.html", Report(1)),
                                          dir.Write("b.html", Report(2))};
  ASSERT_TRUE(RenderAll(Settings(seconds(1)), 1, {files[0]}).at(0) ==
              std::nullopt);
  const std::optional<pid_t> first = WarmChromium::Instance().pid();
  ASSERT_TRUE(first.has_value());
  EXPECT_TRUE(RenderAll(Settings(seconds(1)), 1, {files[1]}).at(0) ==
              std::nullopt);
  EXPECT_EQ(WarmChromium::Instance().pid(), first);
  EXPECT_NE(PdfText(files[1] + ".pdf").find("Factura número 2"),
            std::string::npos);

  // Idle for longer than a second, it is ended by itself.
  const auto start = Clock::now();
  while (WarmChromium::Instance().pid() && Clock::now() - start < seconds(6)) {
    std::this_thread::sleep_for(milliseconds(50));
  }
  EXPECT_FALSE(WarmChromium::Instance().pid().has_value());
  EXPECT_FALSE(Alive(*first));

  // An idle time of 0 ends it after the use.
  EXPECT_TRUE(RenderAll(Settings(seconds(0)), 2, files).at(1) == std::nullopt);
  EXPECT_FALSE(WarmChromium::Instance().pid().has_value());
}

TEST(WarmChromium, ABrowserKilledMidwayIsStartedAgainAndEveryDocumentDone) {
  SKIP_WITHOUT_CHROMIUM();
  TempDir dir;
  std::vector<std::string> files;
  for (int i = 0; i < 6; ++i) {
    files.push_back(dir.Write("f" + std::to_string(i) + ".html", Report(i)));
  }
  std::optional<pid_t> killed;
  const Outcomes outcomes = RenderAll(Settings(), 2, files, [&] {
    killed = WarmChromium::Instance().pid();
    if (killed) kill(-*killed, SIGKILL);
  });
  ASSERT_TRUE(killed.has_value());
  ASSERT_EQ(outcomes.size(), files.size());
  for (const auto& [ticket, error] : outcomes) {
    SCOPED_TRACE(files[ticket]);
    EXPECT_FALSE(error.has_value()) << error->description();
    EXPECT_NE(PdfText(files[ticket] + ".pdf")
                  .find("Factura número " + std::to_string(ticket)),
              std::string::npos);
  }
  ASSERT_TRUE(WarmChromium::Instance().pid().has_value());
  EXPECT_NE(WarmChromium::Instance().pid(), killed);
}

TEST(WarmChromium, ABrowserThatStopsAnsweringIsStartedAgain) {
  SKIP_WITHOUT_CHROMIUM();
  TempDir dir;
  const std::string file = dir.Write("a.html", Report(7));
  ASSERT_TRUE(RenderAll(Settings(), 1, {file}).at(0) == std::nullopt);
  const pid_t stopped = *WarmChromium::Instance().pid();
  kill(-stopped, SIGSTOP);
  const auto start = Clock::now();
  const Outcomes outcomes =
      RenderAll(Settings(seconds(60), milliseconds(3000)), 1, {file});
  EXPECT_FALSE(outcomes.at(0).has_value()) << outcomes.at(0)->description();
  EXPECT_LT(Clock::now() - start, seconds(20));
  EXPECT_NE(WarmChromium::Instance().pid(), stopped);
  EXPECT_FALSE(Alive(stopped));
}

TEST(WarmChromium, AReportThatNeverLoadsIsBoundedAndTheOthersComplete) {
  SKIP_WITHOUT_CHROMIUM();
  TempDir dir;
  const std::vector<std::string> files = {
      dir.Write("a.html", Report(1)),
      dir.Write("endless.html", "<!DOCTYPE html><script>for (;;) {}</script>"),
      dir.Write("c.html", Report(3)), dir.Write("d.html", Report(4))};
  const auto start = Clock::now();
  const Outcomes outcomes =
      // Room for the ordinary pages on a loaded machine; only the bound
      // ends the endless one.
      RenderAll(Settings(seconds(60), milliseconds(5000)), 2, files);
  EXPECT_LT(Clock::now() - start, seconds(25));
  ASSERT_TRUE(outcomes.at(1).has_value());
  EXPECT_EQ(outcomes.at(1)->number(), browser_errors::kFailed);
  EXPECT_EQ(
      outcomes.at(1)->description(),
      "The browser did not finish loading " + files[1] + " within 5000 ms");
  for (std::size_t i : {0u, 2u, 3u}) {
    EXPECT_FALSE(outcomes.at(i).has_value()) << files[i];
  }
  EXPECT_FALSE(std::filesystem::exists(files[1] + ".pdf"));
  // No page is left open, the endless one included.
  const auto closing = Clock::now();
  while (OpenPages().size() > 1 && Clock::now() - closing < seconds(10)) {
    std::this_thread::sleep_for(milliseconds(100));
  }
  EXPECT_EQ(OpenPages(), std::vector<std::string>{"about:blank"});
}

TEST(WarmChromium, NoPictureIsFetchedFromTheNetwork) {
  SKIP_WITHOUT_CHROMIUM();
  const int listener = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
  ASSERT_GE(listener, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), length), 0);
  ASSERT_EQ(listen(listener, 8), 0);
  getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
  const std::string port = std::to_string(ntohs(address.sin_port));
  TempDir dir;
  const std::string file =
      dir.Write("pictures.html",
                "<!DOCTYPE html><p>Con logotipo</p>"
                "<img src=\"http://127.0.0.1:" +
                    port +
                    "/logo.png\">"
                    "<img src=\"http://localhost:" +
                    port +
                    "/logo.png\">"
                    "<img src=\"https://example.com/logo.png\">");
  const Outcomes outcomes = RenderAll(Settings(), 1, {file});
  EXPECT_FALSE(outcomes.at(0).has_value());
  EXPECT_NE(PdfText(file + ".pdf").find("Con logotipo"), std::string::npos);
  EXPECT_LT(accept(listener, nullptr, nullptr), 0);
  EXPECT_EQ(errno, EAGAIN);
  close(listener);
}

}  // namespace
}  // namespace nerolin::platform
