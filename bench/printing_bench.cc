// The printer classes against a private CUPS server on a domain socket:
// Refresh of a printer holding 200 queued (held) jobs, which reads the
// printer record, the user's lpoptions, the job count and the job list and
// rebuilds the job collection; and GetDefaultPrinterName over 20 printers
// with the last one as the default, so that every printer is refreshed and
// asked whether it is the default.

#include <cstdio>
#include <memory>
#include <string>

#include <benchmark/benchmark.h>

#include "printing/default_printer.h"
#include "printing/printer_info.h"
#include "support/private_cups.h"

namespace {

using nerolin::testing::PrivateCups;

constexpr int kJobs = 200;
constexpr int kPrinters = 20;

void BM_RefreshPrinterWith200Jobs(benchmark::State& state) {
  nerolin::printing::CPrinterInfo printer;
  printer.SetDeviceName("Busy");
  if (printer.Jobs()->CachedCount() != kJobs) {
    state.SkipWithError("the queue does not hold 200 jobs");
    return;
  }
  for (auto _ : state) {
    printer.Refresh();
    benchmark::DoNotOptimize(printer.Jobs()->CachedCount());
  }
  state.counters["jobs"] = printer.Jobs()->CachedCount();
}
BENCHMARK(BM_RefreshPrinterWith200Jobs)->Unit(benchmark::kMillisecond);

void BM_GetDefaultPrinterNameOver20Printers(benchmark::State& state) {
  if (nerolin::printing::GetDefaultPrinterName() != "Printer19") {
    state.SkipWithError("Printer19 is not the default");
    return;
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(nerolin::printing::GetDefaultPrinterName());
  }
}
BENCHMARK(BM_GetDefaultPrinterNameOver20Printers)
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  std::string why;
  std::unique_ptr<PrivateCups> cups = PrivateCups::Start(&why);
  if (!cups) {
    std::fprintf(stderr, "printing_bench: %s\n", why.c_str());
    return 1;
  }
  cups->AddQueue("Busy");
  cups->Run("i=0; while [ $i -lt " + std::to_string(kJobs) +
            " ]; do echo job | lp -d Busy -H hold -t job$i >/dev/null; "
            "i=$((i+1)); done");
  for (int i = 0; i < kPrinters; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "Printer%02d", i);
    cups->AddQueue(name);
  }
  cups->Run("lpoptions -d Printer19 >/dev/null");
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
