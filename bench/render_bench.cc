// GetHTML over 10,000 sales rows of a database file, grouped by region (10
// instances) and by customer within it (100 instances), with sums in both
// group levels: every group instance runs one total query per sum. Reports
// the time per report and per row (CPU time: the machine is shared); the
// variant without sums shows what the total queries cost, the variant with a
// destination file what writing each row's detail to it (as GenerateReport
// does) costs.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include "bench_support.h"
#include "component/component_state.h"
#include "nerolin/cls_main.h"
#include "nerolin/message_sink.h"
#include "nerolin/sqlite_library.h"

namespace {

constexpr int kRows = 10'000;
constexpr const char* kStatement =
    "SELECT ID, Region, Customer, Product, Quantity, Amount, Day FROM Sales "
    "ORDER BY ID";

constexpr const char* kTemplateWithSums = R"html(<html><body>
<h1>Ventas por regi&oacute;n</h1><table>
<GROUPH Region [Region]><tr><th colspan="5">Regi&oacute;n [Region]: [FORMAT(SUM(Amount),#,##0.00)] en [SUM(Quantity)] piezas</th></tr></GROUPH Region>
<GROUPH Customer [Customer]><tr><th colspan="5">Cliente [Customer]: [FORMAT(SUM(Amount),#,##0.00)]</th></tr></GROUPH Customer>
<DETAIL><tr><td>[ID]</td><td>[Product]</td><td>[FORMAT(Quantity,#,##0)]</td><td>[FORMAT(Amount,#,##0.00)]</td><td>[FORMAT(Day,dd/mm/yyyy)]</td></tr>
</DETAIL>
<GROUPF Customer [Customer]><tr><td colspan="5">Total [Customer]: [FORMAT(SUM(Amount),#,##0.00)]</td></tr></GROUPF Customer>
<GROUPF Region [Region]><tr><td colspan="5">Total [Region]: [FORMAT(SUM(Amount),#,##0.00)]</td></tr></GROUPF Region>
</table></body></html>)html";

// The same report without sum placeholders: no total queries.
constexpr const char* kTemplateWithoutSums = R"html(<html><body>
<h1>Ventas por regi&oacute;n</h1><table>
<GROUPH Region [Region]><tr><th colspan="5">Regi&oacute;n [Region]</th></tr></GROUPH Region>
<GROUPH Customer [Customer]><tr><th colspan="5">Cliente [Customer]</th></tr></GROUPH Customer>
<DETAIL><tr><td>[ID]</td><td>[Product]</td><td>[FORMAT(Quantity,#,##0)]</td><td>[FORMAT(Amount,#,##0.00)]</td><td>[FORMAT(Day,dd/mm/yyyy)]</td></tr>
</DETAIL>
<GROUPF Customer [Customer]><tr><td colspan="5">Total [Customer]</td></tr></GROUPF Customer>
<GROUPF Region [Region]><tr><td colspan="5">Total [Region]</td></tr></GROUPF Region>
</table></body></html>)html";

// A folder holding the database, the templates and the report file,
// removed when the process ends.
class BenchFiles {
 public:
  BenchFiles() : folder_("render") {
    nerolin::bench::BuildDatabase(Path("sales.db"), R"sql(
      CREATE TABLE Sales (ID INTEGER PRIMARY KEY, Region TEXT, Customer TEXT,
                          Product TEXT, Quantity INTEGER, Amount REAL,
                          Day DATE);
      WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n
                              WHERE i < 10000)
      INSERT INTO Sales
      SELECT i, 'R' || ((i - 1) / 1000), 'C' || ((i - 1) / 100),
             'Producto de prueba n&uacute;mero ' || i, i % 17 + 1,
             (i % 97) * 12.5, date('2024-01-01', '+' || (i % 365) || ' days')
      FROM n;
    )sql");
    std::ofstream(Path("with_sums.html")) << kTemplateWithSums;
    std::ofstream(Path("without_sums.html")) << kTemplateWithoutSums;
  }
  std::string Path(const char* name) const { return folder_.File(name); }

 private:
  nerolin::bench::ScratchFolder folder_;
};

const BenchFiles& Files() {
  static BenchFiles files;
  return files;
}

void RunReport(benchmark::State& bench, const char* template_name,
               bool with_destination) {
  auto state = std::make_shared<nerolin::ComponentState>();
  auto sink = std::make_shared<nerolin::CapturingMessageSink>();
  state->set_message_sink(sink);
  auto library = nerolin::sqlite::HostDataLibrary::Create();
  library->Datalayer()->CreateConnection("Data Source=" +
                                         Files().Path("sales.db"));
  auto engine = nerolin::clsMain::Create(state);
  engine->SetNerolinLib(library);
  const nerolin::Variant sql(kStatement);
  const nerolin::Variant source(Files().Path(template_name));
  const nerolin::Variant destination(
      with_destination ? Files().Path("report.html") : std::string());

  std::size_t report_bytes = 0;
  for (auto _ : bench) {
    const nerolin::Variant report = engine->GetHTML(sql, source, destination);
    if (!report.IsString() || !sink->messages.empty()) {
      bench.SkipWithError(sink->messages.empty()
                              ? "no report"
                              : sink->messages.front().text.c_str());
      break;
    }
    report_bytes = report.AsString().size();
  }
  bench.counters["rows"] = kRows;
  bench.counters["report_bytes"] = static_cast<double>(report_bytes);
  // Seconds per row, shown with an SI prefix ("30us").
  bench.counters["time_per_row"] =
      benchmark::Counter(kRows, benchmark::Counter::kIsIterationInvariantRate |
                                    benchmark::Counter::kInvert);
}

void BM_GetHTMLTwoGroupLevelsWithSums(benchmark::State& bench) {
  RunReport(bench, "with_sums.html", false);
}
BENCHMARK(BM_GetHTMLTwoGroupLevelsWithSums)->Unit(benchmark::kMillisecond);

void BM_GetHTMLTwoGroupLevelsWithoutSums(benchmark::State& bench) {
  RunReport(bench, "without_sums.html", false);
}
BENCHMARK(BM_GetHTMLTwoGroupLevelsWithoutSums)->Unit(benchmark::kMillisecond);

void BM_GetHTMLTwoGroupLevelsWithSumsToAFile(benchmark::State& bench) {
  RunReport(bench, "with_sums.html", true);
}
BENCHMARK(BM_GetHTMLTwoGroupLevelsWithSumsToAFile)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
