// GetRecordset over 10,000 rows of 12 columns (integers, reals, texts and
// dates) read from a database file, through the SQLite host data library.
// Reports rows per second and the heap bytes a recordset holds per row.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <malloc.h>
#include <memory>
#include <string>
#include <unistd.h>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include "bench_support.h"
#include "nerolin/recordset.h"
#include "nerolin/sqlite_library.h"

namespace {

constexpr int kRows = 10'000;
constexpr const char* kQuery = "SELECT * FROM docLine ORDER BY LineID";

// A database file with kRows rows, removed when the process ends.
class BenchDatabase {
 public:
  BenchDatabase() : folder_("recordset"), path_(folder_.File("lines.db")) {
    nerolin::bench::BuildDatabase(path_, R"sql(
      CREATE TABLE docLine (
        LineID INTEGER PRIMARY KEY, DocumentID INTEGER, Quantity INTEGER,
        UnitPrice REAL, Amount DOUBLE, Description TEXT, Code VARCHAR(20),
        Unit TEXT, IssuedOn DATE, StampedOn DATETIME, Discount REAL,
        Notes TEXT);
      WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n
                              WHERE i < 10000)
      INSERT INTO docLine
      SELECT i, i / 10, i % 17, i * 1.25, i * 1.25 * (i % 17),
             'Artículo de prueba número ' || i, 'SKU-' || (i * 7919 % 100000),
             'PZA', date('2024-01-01', '+' || (i % 365) || ' days'),
             datetime('2024-01-01 08:00:00', '+' || i || ' minutes'),
             (i % 5) * 0.5,
             CASE WHEN i % 3 = 0 THEN NULL ELSE 'Entrega parcial' END
      FROM n;
    )sql");
  }

  const std::string& path() const { return path_; }

 private:
  nerolin::bench::ScratchFolder folder_;
  std::string path_;
};

const BenchDatabase& Database() {
  static BenchDatabase database;
  return database;
}

std::shared_ptr<nerolin::sqlite::HostDataLibrary> OpenLibrary() {
  auto library = nerolin::sqlite::HostDataLibrary::Create();
  library->Datalayer()->CreateConnection("Data Source=" + Database().path());
  return library;
}

std::size_t HeapInUse() { return mallinfo2().uordblks; }

void BM_GetRecordset(benchmark::State& state) {
  auto layer = OpenLibrary()->Datalayer();
  double bytes_per_row = 0;
  for (auto _ : state) {
    std::size_t before = HeapInUse();
    auto recordset = layer->GetRecordset(kQuery);
    std::size_t after = HeapInUse();
    benchmark::DoNotOptimize(recordset);
    if (recordset->RecordCount() != kRows) state.SkipWithError("row count");
    bytes_per_row = static_cast<double>(after - before) / kRows;
  }
  state.SetItemsProcessed(state.iterations() * kRows);
  state.counters["bytes_per_row"] = bytes_per_row;
}
BENCHMARK(BM_GetRecordset)->Unit(benchmark::kMillisecond);

void BM_RecordsetCloseAndOpen(benchmark::State& state) {
  auto layer = OpenLibrary()->Datalayer();
  auto recordset = layer->GetRecordset(kQuery);
  for (auto _ : state) {
    recordset->Close();
    recordset->Open();
  }
  state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_RecordsetCloseAndOpen)->Unit(benchmark::kMillisecond);

void BM_DLookup(benchmark::State& state) {
  auto library = OpenLibrary();
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        library->DLookup("Description", "docLine", "LineID = 5000"));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DLookup);

}  // namespace

BENCHMARK_MAIN();
