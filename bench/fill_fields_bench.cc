// FillFields over a detail block of about 20 KB holding 60 placeholders,
// filled once for each of 1,000 rows, as a renderer fills an invoice's lines.
// The line amount is computed with the unit-price decimals of a real host
// database, as in a report.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdlib.h>
#include <string>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include "bench_support.h"
#include "component/component_state.h"
#include "fields/fill_fields.h"
#include "nerolin/recordset.h"
#include "nerolin/sqlite_library.h"
#include "nerolin/sum_fields.h"
#include "template/sections.h"

namespace {

using nerolin::Variant;
using nerolin::ado::Column;
using nerolin::ado::Recordset;
using nerolin::ado::RowSet;

constexpr int kRows = 1000;

// A host database holding the unit-price decimals, removed when the process
// ends.
class HostDatabase {
 public:
  HostDatabase() : folder_("fill"), path_(folder_.File("host.db")) {
    nerolin::bench::BuildDatabase(
        path_,
        "CREATE TABLE engParameter (\"Key\" TEXT PRIMARY KEY NOT NULL "
        "COLLATE NOCASE, \"Value\" TEXT);"
        "INSERT INTO engParameter VALUES ('DocSalesUnitPriceDecimals', '2');");
  }

  const std::string& path() const { return path_; }

 private:
  nerolin::bench::ScratchFolder folder_;
  std::string path_;
};

std::shared_ptr<Recordset> Lines() {
  std::vector<Column> columns;
  for (const char* name :
       {"ID", "DocumentItemID", "LineNumber", "ClaveProdServ", "Descripcion",
        "Unidad", "Cantidad", "ValorUnitario", "Importe", "Descuento",
        "TasaIVA", "Notes"}) {
    columns.push_back(Column{name});
  }
  std::vector<std::vector<Variant>> rows;
  for (int i = 0; i < kRows; ++i) {
    rows.push_back(
        {Variant(7), Variant(1000 + i), Variant(i + 1), Variant("01010101"),
         Variant("Servicio de transporte de mercancía " + std::to_string(i)),
         Variant("Pieza"), Variant(2.0 + i % 5), Variant(1234.5678 + i),
         Variant(2469.14 + i), Variant(0.0), Variant(0.16),
         Variant("Primera línea\r\nsegunda línea")});
  }
  return Recordset::Create(RowSet(std::move(columns), rows));
}

// 40 plain names, 15 formatted values and 5 group totals, spread through
// about 20 KB of markup.
std::string DetailBlock() {
  const char* plain[] = {"ClaveProdServ", "Descripcion", "Unidad",
                         "Cantidad",      "LineNumber",  "Notes",
                         "TasaIVA",       "Descuento"};
  const char* formatted[] = {"[FORMAT(ValorUnitario,#,##0.00)]",
                             "[FORMAT(Importe,Standard)]",
                             "[FORMAT(Cantidad,0.000)]", "[FORMAT(TasaIVA,0%)]",
                             "[FORMAT(Importe,$#,##0.00;($#,##0.00))]"};
  std::string block;
  block.reserve(21 * 1024);
  const std::string filler(300, 'x');
  for (int i = 0; i < 60; ++i) {
    block += "<td class=\"c" + std::to_string(i) + "\">";
    if (i % 3 == 2 && i < 45) {
      block += formatted[(i / 3) % 5];
    } else if (i >= 55) {
      block += "[SUM(Importe)]";
    } else {
      block += std::string("[") + plain[i % 8] + "]";
    }
    block += "</td><!-- " + filler + " -->\n";
  }
  return block;
}

void BM_FillFieldsDetailBlock(benchmark::State& bench) {
  static const HostDatabase database;
  auto state = std::make_shared<nerolin::ComponentState>();
  auto library = nerolin::sqlite::HostDataLibrary::Create();
  library->Datalayer()->CreateConnection(database.path());
  state->set_host_library(library);
  nerolin::tmpl::Section detail;
  detail.SetName("DETAIL");
  detail.SumFields()->Add("Importe", "Importe")->SetTotal(Variant(98765.43));
  const std::string block = DetailBlock();
  const auto lines = Lines();
  {
    // Every placeholder must resolve, or the figure measures failures.
    std::string text = block;
    const std::string first =
        nerolin::fields::FillFields(state, text, lines, &detail).AsString();
    if (first.find("??") != std::string::npos) {
      bench.SkipWithError("a placeholder failed to resolve");
      return;
    }
  }
  std::size_t out_bytes = 0;
  for (auto _ : bench) {
    lines->MoveFirst();
    while (!lines->Eof()) {
      std::string text = block;
      const Variant filled =
          nerolin::fields::FillFields(state, text, lines, &detail);
      out_bytes += filled.AsString().size();
      lines->MoveNext();
    }
  }
  bench.counters["block_bytes"] = static_cast<double>(block.size());
  bench.counters["rows/s"] =
      benchmark::Counter(static_cast<double>(bench.iterations()) * kRows,
                         benchmark::Counter::kIsRate);
  bench.SetBytesProcessed(static_cast<std::int64_t>(out_bytes));
}
BENCHMARK(BM_FillFieldsDetailBlock)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
