// PrintReport of one report twice in one host process, against a private
// CUPS server (the tests' harness) with a PDF queue: the first print starts
// the warm browser, the second finds it running. Each print returns once
// its job is completed. Prints the seconds of each, one line per run.
//
//   print_twice REPORT.html [RUNS]

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "nerolin/automation_error.h"
#include "nerolin/cls_main.h"
#include "support/private_cups.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: print_twice REPORT.html [RUNS]\n");
    return 2;
  }
  const int runs = argc > 2 ? std::atoi(argv[2]) : 1;
  std::string why;
  std::unique_ptr<nerolin::testing::PrivateCups> cups =
      nerolin::testing::PrivateCups::Start(&why);
  if (!cups) {
    std::fprintf(stderr, "print_twice: no private CUPS server: %s\n",
                 why.c_str());
    return 1;
  }
  cups->AddQueue("Oficina", nerolin::testing::PrivateCups::Driver::kPdf);
  cups->Run("lpoptions -d Oficina >/dev/null");
  std::shared_ptr<nerolin::clsMain> engine = nerolin::clsMain::Create();
  engine->SetobjPrinterName("Oficina");
  try {
    for (int run = 0; run < runs; ++run) {
      // The browser of a run before is ended, so each run's first print
      // starts one, as the first print of a host process does.
      double seconds[2];
      for (double& took : seconds) {
        const auto start = std::chrono::steady_clock::now();
        engine->PrintReport(argv[1]);
        took = std::chrono::duration<double>(std::chrono::steady_clock::now() -
                                             start)
                   .count();
      }
      std::printf("first %.3f second %.3f\n", seconds[0], seconds[1]);
      std::fflush(stdout);
      setenv("NEROLIN_BROWSER_IDLE_S", "0", 1);
      engine->PrintReport(argv[1]);  // ends the browser after it
      unsetenv("NEROLIN_BROWSER_IDLE_S");
    }
  } catch (const nerolin::AutomationError& error) {
    std::fprintf(stderr, "print_twice: Error %d: %s\n", error.number(),
                 error.description().c_str());
    return 1;
  }
  return 0;
}
