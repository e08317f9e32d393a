// Format calls per second over a number pattern and a date pattern, with
// values that change from call to call so that no result repeats; a third
// run feeds a 10,000-character pattern to show the cost growing with the
// pattern's length only.

#include <string>

#include <benchmark/benchmark.h>

#include "automation/format.h"
#include "automation/locale.h"
#include "nerolin/variant.h"

namespace {

void BM_FormatNumber(benchmark::State& state) {
  const nerolin::Locale& locale = nerolin::Locale::SpanishMexico();
  double value = 1234567.891;
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        nerolin::Format(nerolin::Variant(value), "#,##0.00", locale));
    value += 0.37;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FormatNumber);

void BM_FormatDate(benchmark::State& state) {
  const nerolin::Locale& locale = nerolin::Locale::SpanishMexico();
  double serial = 45000.25;
  for (auto _ : state) {
    benchmark::DoNotOptimize(nerolin::Format(
        nerolin::Variant(nerolin::Date{serial}), "dd/mm/yyyy hh:nn", locale));
    serial += 0.013;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FormatDate);

void BM_FormatLongPattern(benchmark::State& state) {
  const nerolin::Locale& locale = nerolin::Locale::SpanishMexico();
  std::string pattern;
  while (pattern.size() < static_cast<std::size_t>(state.range(0))) {
    pattern += "#,##0.00 \"x\" ";
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        nerolin::Format(nerolin::Variant(98765.4321), pattern, locale));
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_FormatLongPattern)->Arg(10000)->Arg(40000);

}  // namespace

BENCHMARK_MAIN();
