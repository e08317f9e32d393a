// The demo invoice end to end, as a host prints it: the demo database built
// once (data/schema.sql, examples/demo/demo.sql and the print formats made
// absolute, as `nerolin-report demo` builds it), then the invoice's rows
// read with Datalayer.GetRecordset and handed with the template of its
// module's default print format to GenerateReportBasedOnRecordset, which
// renders, looks its addenda and Carta Porte data up, embeds the logo,
// cleans and writes the report file. Reports per second.
//
// "BM_DemoInvoice" prints the same invoice again and again with the same
// library (its SQLite connection answers repeated statements from memory
// while the database is unchanged). "BM_DemoInvoiceAfterAChange" commits a
// change to the database from another connection before every report
// (outside the timing): every statement runs on SQLite again, as for the
// first print of a document.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include "automation/conversions.h"
#include "bench_support.h"
#include "cli/demo_build.h"
#include "component/component_state.h"
#include "nerolin/cls_main.h"
#include "nerolin/recordset.h"
#include "nerolin/sqlite_library.h"

namespace {

constexpr const char* kInvoice = "factura-A-1187";

// A folder with the demo database and the report file, removed when the
// process ends.
class DemoFiles {
 public:
  DemoFiles() : scratch_("demo"), folder_(scratch_.path()) {
    std::ostringstream out;
    std::ostringstream err;
    if (nerolin::cli::BuildAndRenderDemo(folder_.string(), out, err) != 0) {
      std::fprintf(stderr, "demo: %s\n", err.str().c_str());
      std::abort();
    }
  }
  std::string database() const { return (folder_ / "demo.db").string(); }
  std::string report() const { return (folder_ / "bench.html").string(); }

 private:
  nerolin::bench::ScratchFolder scratch_;
  std::filesystem::path folder_;
};

const DemoFiles& Files() {
  static DemoFiles files;
  return files;
}

// Commits a change to the database, as another program of the host would.
void CommitAChange(sqlite3* db, int change) {
  const std::string sql =
      "INSERT OR REPLACE INTO engParameter VALUES ('BenchChange', '" +
      std::to_string(change) + "')";
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
    std::abort();
  }
}

void RunDemoInvoice(benchmark::State& bench, bool after_a_change) {
  auto state = std::make_shared<nerolin::ComponentState>();
  auto engine = nerolin::clsMain::Create(state);
  auto library = nerolin::sqlite::HostDataLibrary::Create();
  library->Datalayer()->CreateConnection("Data Source=" + Files().database());
  engine->SetNerolinLib(library);
  engine->SetFindMatchIfFieldDoesntExists(true);
  const std::string sql = nerolin::TextOf(library->DLookup(
      "SQL", "demoReport", std::string("Name='") + kInvoice + "'"));
  const std::string module =
      nerolin::TextOf(library->Datalayer()->GetRecordset(sql)->Value(
          nerolin::Variant("ModuleID")));
  const std::string template_path = nerolin::TextOf(
      library->DLookup("FileName", "engModulePrintFormat",
                       "FormatIsDefault<>0 AND ModuleID=" + module));

  auto report = [&] {
    auto rows = library->Datalayer()->GetRecordset(sql);
    std::string source = template_path;
    std::string destination = Files().report();
    return engine->GenerateReportBasedOnRecordset(rows, source, destination)
        .size();
  };
  std::size_t report_bytes = report();
  sqlite3* writer = nullptr;
  if (sqlite3_open(Files().database().c_str(), &writer) != SQLITE_OK) {
    std::abort();
  }
  int changes = 0;
  for (auto _ : bench) {
    if (after_a_change) {
      bench.PauseTiming();
      CommitAChange(writer, ++changes);
      bench.ResumeTiming();
    }
    report_bytes = report();
  }
  sqlite3_close(writer);
  if (report_bytes < 10'000) bench.SkipWithError("the invoice is incomplete");
  bench.counters["report_KB"] = static_cast<double>(report_bytes) / 1024.0;
  bench.counters["reports_per_second"] =
      benchmark::Counter(1, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_DemoInvoice(benchmark::State& bench) { RunDemoInvoice(bench, false); }
BENCHMARK(BM_DemoInvoice)->Unit(benchmark::kMicrosecond);

void BM_DemoInvoiceAfterAChange(benchmark::State& bench) {
  RunDemoInvoice(bench, true);
}
BENCHMARK(BM_DemoInvoiceAfterAChange)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
