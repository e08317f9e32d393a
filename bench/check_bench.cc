// The template check over a 10 MB template read from its bytes: CR LF
// lines of placeholders, FORMAT patterns and accents in Windows-1252, a
// group with its header and footer and a detail block, with and without a
// statement's columns. Reports the time per check and the bytes checked
// per second.

#include <cstddef>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "check/template_check.h"

namespace {

constexpr std::size_t kMegabyte = 1 << 20;

std::string BuildTemplate(std::size_t size) {
  static const std::string kRow =
      "<tr><td class=\"c\">[Descripci\xF3n]</td><td>[FORMAT(Importe,#,##0.00)]"
      "</td><td>[Cantidad]</td></tr>\r\n";
  std::string text = "<html>\r\n<GROUPH G [Cliente]>[Cliente]</GROUPH G>\r\n";
  text += "<DETAIL>";
  while (text.size() + kRow.size() < size) text += kRow;
  text += "</DETAIL>\r\n<GROUPF G [Cliente]>[SUM(Importe)]</GROUPF G>\r\n";
  return text;
}

void BM_CheckTemplate(benchmark::State& state) {
  const std::string bytes =
      BuildTemplate(static_cast<std::size_t>(state.range(0)) * kMegabyte);
  nerolin::check::CheckOptions options;
  if (state.range(1) != 0) {
    options.columns =
        std::vector<std::string>{"Cliente", "Importe", "Cantidad"};
  }
  std::size_t findings = 0;
  for (auto _ : state) {
    findings =
        nerolin::check::CheckTemplateBytes(bytes, "bench.html", options).size();
    benchmark::DoNotOptimize(findings);
  }
  state.counters["findings"] = static_cast<double>(findings);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(bytes.size()));
}
// Without columns; with columns, where every row's "Descripción" is a
// finding.
BENCHMARK(BM_CheckTemplate)
    ->Args({10, 0})
    ->Args({10, 1})
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
