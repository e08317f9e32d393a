// The template split over a 1 MB template: 100 groups, each with a header
// and a footer block (200 group blocks), 2,000 sum placeholders in those
// blocks, a detail block and ordinary HTML filler. Reports the time per
// split and the bytes split per second; a 4 MB run with the same markup
// shows the time growing with the length only.

#include <cstddef>
#include <string>

#include <benchmark/benchmark.h>

#include "template/template_split.h"

namespace {

constexpr int kGroups = 100;
constexpr int kSumsPerBlock = 10;
constexpr std::size_t kMegabyte = 1 << 20;

// Filler that looks like a template's rows: placeholders, markup, accents.
void AppendFiller(std::string& text, std::size_t bytes) {
  static const std::string kRow =
      "<tr><td class=\"c\">[Descripción]</td><td>[FORMAT(Importe,#,##0.00)]"
      "</td><td>[Cantidad]</td></tr>\n";
  const std::size_t end = text.size() + bytes;
  while (text.size() + kRow.size() <= end) text += kRow;
}

void AppendSums(std::string& text, int group) {
  for (int i = 0; i < kSumsPerBlock; ++i) {
    const std::string column =
        "Col" + std::to_string(group) + "_" + std::to_string(i);
    text += i % 2 == 0 ? "<td>[SUM(" + column + ")]</td>"
                       : "<td>[FORMAT(SUM(" + column + "),#,##0.00)]</td>";
  }
}

// The template with `share` bytes of filler in each of its 203 text parts
// (report header, 200 group blocks, detail, report footer).
std::string BuildTemplate(std::size_t share) {
  std::string text = "<html><body><table>\n";
  AppendFiller(text, share);
  for (int g = 0; g < kGroups; ++g) {
    const std::string name = "G" + std::to_string(g);
    text += "<GROUPH " + name + " [Campo" + std::to_string(g) + "]>";
    AppendSums(text, g);
    AppendFiller(text, share);
    text += "</GROUPH " + name + ">\n";
  }
  text += "<DETAIL>";
  AppendFiller(text, share);
  text += "</DETAIL>\n";
  for (int g = kGroups - 1; g >= 0; --g) {
    const std::string name = "G" + std::to_string(g);
    text += "<GROUPF " + name + " [Campo" + std::to_string(g) + "]>";
    AppendSums(text, g);
    AppendFiller(text, share);
    text += "</GROUPF " + name + ">\n";
  }
  AppendFiller(text, share);
  text += "</table></body></html>";
  return text;
}

// A template of about `bytes` bytes: the markup and sums stay the same and
// the filler takes the rest.
std::string BuildTemplateOfSize(std::size_t bytes) {
  const std::size_t markup = BuildTemplate(0).size();
  const std::size_t parts = 2 * kGroups + 3;
  return BuildTemplate(bytes > markup ? (bytes - markup) / parts : 0);
}

void BM_SplitTemplate(benchmark::State& state) {
  const std::string text =
      BuildTemplateOfSize(static_cast<std::size_t>(state.range(0)) * kMegabyte);
  for (auto _ : state) {
    nerolin::tmpl::SplitResult split = nerolin::tmpl::SplitTemplate(text);
    benchmark::DoNotOptimize(split);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(text.size()));
  state.counters["template_bytes"] = static_cast<double>(text.size());
}
// 1 MB is the figure of interest; 4 MB shows that the time grows linearly.
BENCHMARK(BM_SplitTemplate)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
