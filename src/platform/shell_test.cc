#include "platform/shell.h"

#include <chrono>
#include <fstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "platform/process.h"
#include "support/private_display.h"
#include "support/test_support.h"

namespace nerolin::platform {
namespace {

using nerolin::testing::RecordingOpener;
using nerolin::testing::TempDir;
using std::chrono::milliseconds;
using std::chrono::seconds;

// The process ids whose parent is this process, zombies included.
std::vector<long> Children() {
  std::vector<long> children;
  for (const ProcessStat& stat : ReadProcessStats()) {
    if (stat.parent == getpid()) children.push_back(stat.pid);
  }
  return children;
}

bool NoChildrenWithin(milliseconds bound) {
  const auto deadline = std::chrono::steady_clock::now() + bound;
  while (!Children().empty()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(milliseconds(20));
  }
  return true;
}

std::unique_ptr<RecordingOpener> StartOpener() {
  std::string why;
  auto opener = RecordingOpener::Start(&why);
  if (opener == nullptr) ADD_FAILURE() << why;
  return opener;
}

constexpr const char* kHtml =
    "<!DOCTYPE html>\n<html><head><title>Factura</title></head>"
    "<body><p>Hola</p></body></html>\n";

TEST(ShellExecute, OpenHandsTheFileToTheRegisteredProgram) {
  auto opener = StartOpener();
  if (opener == nullptr) GTEST_SKIP() << "no opener";
  TempDir files;
  const std::string html = files.Write("Factura Ñandú.html", kHtml);
  const std::string pdf = files.Write("Factura.pdf", "%PDF-1.4\n%%EOF\n");

  ShellExecute("open", html, "", "", 1);
  EXPECT_EQ(opener->WaitForRecords(1, seconds(20)),
            std::vector<std::string>{html});
  ShellExecute("Open", pdf, "ignored", files.path().string(), 1);
  EXPECT_EQ(opener->WaitForRecords(2, seconds(20)),
            (std::vector<std::string>{html, pdf}));
  EXPECT_TRUE(NoChildrenWithin(seconds(10)));
}

TEST(ShellExecute, ARelativeNameIsOpenedAsAnAbsolutePathNeverAsAnOption) {
  auto opener = StartOpener();
  if (opener == nullptr) GTEST_SKIP() << "no opener";
  TempDir files;
  const std::string report = files.Write("-report.html", kHtml);
  const std::string previous = std::filesystem::current_path().string();
  std::filesystem::current_path(files.path());
  ShellExecute("open", "-report.html", "", "", 1);
  std::filesystem::current_path(previous);
  EXPECT_EQ(opener->WaitForRecords(1, seconds(20)),
            std::vector<std::string>{report});
  EXPECT_TRUE(NoChildrenWithin(seconds(10)));
}

TEST(ShellExecute, OtherOperationsAndNoFileRunNothing) {
  auto opener = StartOpener();
  if (opener == nullptr) GTEST_SKIP() << "no opener";
  TempDir files;
  const std::string html = files.Write("a.html", kHtml);
  const struct {
    const char* operation;
    std::string file;
  } cases[] = {{"print", html},
               {"edit", html},
               {"", html},
               {"opened", html},
               {"open", ""}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.operation) + " " + c.file);
    ShellExecute(c.operation, c.file, "", "", 1);
    EXPECT_TRUE(Children().empty());
  }
  EXPECT_TRUE(opener->Recorded().empty());
}

TEST(ShellExecute, ReturnsAtOnceWhileTheProgramStaysOpenAndLeavesNoZombie) {
  auto opener = StartOpener();
  if (opener == nullptr) GTEST_SKIP() << "no opener";
  opener->SetLinger(seconds(30));
  TempDir files;
  const std::string html = files.Write("a.html", kHtml);
  const auto start = std::chrono::steady_clock::now();
  ShellExecute("open", html, "", "", 1);
  // A file that does not exist: the opener fails, and nobody is told.
  ShellExecute("open", files.File("missing.html"), "", "", 1);
  EXPECT_LT(std::chrono::steady_clock::now() - start, milliseconds(500));
  EXPECT_EQ(opener->WaitForRecords(1, seconds(20)),
            std::vector<std::string>{html});
  // The viewer still runs, and with it the opener that waits for it.
  EXPECT_FALSE(Children().empty());
  opener.reset();  // ends the lingering program
  EXPECT_TRUE(NoChildrenWithin(seconds(10)));
}

}  // namespace
}  // namespace nerolin::platform
