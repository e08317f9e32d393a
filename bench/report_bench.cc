// An invoice of 10, 100, 1,000 and 10,000 lines, as a host asks for it: the
// rows of vwVADDocDocumentPrint read with Datalayer.GetRecordset, then
// GenerateReportBasedOnRecordset, which renders, cleans and writes the
// report file, finds the module's print format, runs the extra-detail step
// and the retention clean-up. Every line computes its Importe from Cantidad
// and ValorUnitario, so it pays for its DocSalesUnitPriceDecimals look-up.
// Reports the time per report and per line, and the process's peak resident
// memory after the run.
//
// The cost per line that matters is the slope: (time at 10,000 - time at
// 1,000) / 9,000. An ordinary invoice template has no retention blocks; the
// "WithRetentionBlocks" family renders one that has, so the retention
// clean-up parses the whole report as an HTML document.
//
// A host prints the same document again with the same library, whose
// SQLite connection keeps the answers of repeated statements while the
// database is unchanged: "BM_Invoice" measures that (one report before the
// timed ones). "BM_InvoiceAfterAChange" commits a change to the database
// from another connection before every report (outside the timing), so
// every statement runs on SQLite again: the first print of a document.
// Peak memory is the process's: run one size a process to read it per
// size.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <sys/resource.h>

#include "bench_support.h"
#include "component/component_state.h"
#include "nerolin/cls_main.h"
#include "nerolin/recordset.h"
#include "nerolin/sqlite_library.h"

namespace {

constexpr const char* kTemplate = R"html(<!DOCTYPE html>
<html><head><meta charset="windows-1252"><title>Factura [Serie]-[Folio]</title>
<style>body{font-family:Arial,sans-serif;font-size:9pt}td{-ms-word-break: break-all;}
table.lineas td{border-bottom:1px solid #ccc;padding:2px 4px}.num{text-align:right}</style>
</head><body>
<table width="100%"><tr><td><img border="0" src="" width="120"></td>
<td><h1>Factura [Serie]-[Folio]</h1><p>Fecha: [DocumentDate]</p>
<p>Cliente: [CustomerName] RFC: [CustomerRFC]</p>
<p>Folio fiscal: [CFDIFolioFiscal] Uso CFDI: [UsoCFDI33] Forma de pago: [FormaPago33]
M&eacute;todo de pago: [MetodoPago33]</p></td></tr></table>
<table class="lineas" width="100%"><tr><th>#</th><th>Clave</th><th>Descripci&oacute;n</th>
<th>Unidad</th><th>Cantidad</th><th>Precio</th><th>Importe</th></tr>
<DETAIL><tr><td>[LineNumber]</td><td>[ClaveProdServ]</td><td>[Descripcion]</td>
<td>[ClaveUnidad] [Unidad]</td><td class="num">[Cantidad]</td>
<td class="num">[ValorUnitario]</td><td class="num">[Importe]</td></tr>
</DETAIL></table>
<table width="100%"><tr><td class="num">Subtotal: [SubTotal]</td></tr>
<tr><td class="num">IVA: [TaxTotal]</td></tr><tr><td class="num">Total: [Total] [CurrencyCode]</td></tr></table>
</body></html>
)html";

constexpr const char* kRetentionBlocks =
    R"html(<div name="complementretention" id="1">Dividendos</div>
<div name="complementretention" id="2">Intereses</div>
)html";

// A folder with the host database, the template and the report files,
// removed when the process ends.
class BenchFiles {
 public:
  BenchFiles() : scratch_("report"), folder_(scratch_.path()) {
    template_ = (folder_ / "factura.html").string();
    std::ofstream(template_, std::ios::binary) << kTemplate;
    // The same invoice with the blocks before its end.
    retention_template_ = (folder_ / "retenciones.html").string();
    std::string with_blocks = kTemplate;
    with_blocks.insert(with_blocks.rfind("</body>"), kRetentionBlocks);
    std::ofstream(retention_template_, std::ios::binary) << with_blocks;
    database_ = (folder_ / "host.db").string();

    std::ostringstream script;
    script << std::ifstream(NEROLIN_SOURCE_DIR "/data/schema.sql").rdbuf();
    script << R"sql(
      INSERT INTO engParameter VALUES ('DocSalesUnitPriceDecimals', '2');
      INSERT INTO engParameter VALUES ('ConvertImagesToBase64', 'False');
      INSERT INTO engCurrency VALUES (1, 'MXN', '$', 2);
      INSERT INTO orgCustomer (CustomerID, BusinessEntityID,
        OwnedBusinessEntityID, Name, RFC)
        VALUES (1, 7, 1, 'Comercializadora del Bajío SA de CV', 'CBA0101019Z8');
      INSERT INTO engModulePrintFormat VALUES (1, 1, 'Factura', ')sql"
           << template_ << R"sql(', 1);
      WITH RECURSIVE d(n) AS (SELECT 10 UNION ALL SELECT n * 10 FROM d
                              WHERE n < 10000)
      INSERT INTO docDocument (DocumentID, ModuleID, BusinessEntityID,
        OwnedBusinessEntityID, Serie, Folio, DocumentDate, CurrencyID,
        SubTotal, TaxTotal, Total)
      SELECT n, 1, 7, 1, 'A', n, '2024-03-15', 1, 1000, 160, 1160 FROM d;
      INSERT INTO docDocumentCFD (DocumentID, CFDIFolioFiscal,
        TipoComprobante33, FormaPago33, MetodoPago33, UsoCFDI33)
      SELECT DocumentID, 'A1B2C3D4-0000-4000-8000-' || printf('%012d',
        DocumentID), 'I - Ingreso', '03', 'PUE', 'G03' FROM docDocument;
      WITH RECURSIVE i(k) AS (SELECT 1 UNION ALL SELECT k + 1 FROM i
                              WHERE k < 10000)
      INSERT INTO docDocumentItem (DocumentID, LineNumber, ClaveProdServ,
        Descripcion, Unidad, ClaveUnidad, Cantidad, ValorUnitario, Importe)
      SELECT DocumentID, k, '43211503',
        'Computadora portátil modelo ' || k || ' con garantía de un año',
        'Pieza', 'H87', 1 + k % 7, 1234.5678 + k, 0
      FROM docDocument JOIN i ON k <= DocumentID;
    )sql";
    nerolin::bench::BuildDatabase(database_, script.str());
  }

  const std::string& database() const { return database_; }
  const std::string& template_file(bool retention_blocks) const {
    return retention_blocks ? retention_template_ : template_;
  }
  std::string Report(std::int64_t lines) const {
    return (folder_ / ("factura-" + std::to_string(lines) + ".html")).string();
  }

 private:
  nerolin::bench::ScratchFolder scratch_;
  std::filesystem::path folder_;
  std::string database_;
  std::string template_;
  std::string retention_template_;
};

const BenchFiles& Files() {
  static BenchFiles files;
  return files;
}

double PeakResidentMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// Commits a change to the database, as another program of the host would.
class DatabaseWriter {
 public:
  DatabaseWriter() {
    if (sqlite3_open(Files().database().c_str(), &db_) != SQLITE_OK) {
      std::abort();
    }
  }
  ~DatabaseWriter() { sqlite3_close(db_); }
  DatabaseWriter(const DatabaseWriter&) = delete;
  DatabaseWriter& operator=(const DatabaseWriter&) = delete;

  void Commit() {
    const std::string sql =
        "INSERT OR REPLACE INTO engParameter VALUES ('BenchChange', '" +
        std::to_string(++changes_) + "')";
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) !=
        SQLITE_OK) {
      std::abort();
    }
  }

 private:
  sqlite3* db_ = nullptr;
  int changes_ = 0;
};

void RunInvoice(benchmark::State& bench, bool retention_blocks,
                bool after_a_change = false) {
  const std::int64_t lines = bench.range(0);
  auto state = std::make_shared<nerolin::ComponentState>();
  auto engine = nerolin::clsMain::Create(state);
  auto library = nerolin::sqlite::HostDataLibrary::Create();
  library->Datalayer()->CreateConnection("Data Source=" + Files().database());
  engine->SetNerolinLib(library);
  // As a host sets it before its first report.
  engine->SetFindMatchIfFieldDoesntExists(true);
  const std::string sql =
      "SELECT * FROM vwVADDocDocumentPrint WHERE ID=" + std::to_string(lines) +
      " ORDER BY LineNumber";
  auto report = [&] {
    auto rst = library->Datalayer()->GetRecordset(sql);
    std::string source = Files().template_file(retention_blocks);
    std::string destination = Files().Report(lines);
    return engine->GenerateReportBasedOnRecordset(rst, source, destination)
        .size();
  };
  std::size_t report_bytes = report();
  DatabaseWriter writer;
  for (auto _ : bench) {
    if (after_a_change) {
      bench.PauseTiming();
      writer.Commit();
      bench.ResumeTiming();
    }
    report_bytes = report();
  }
  if (report_bytes < static_cast<std::size_t>(lines) * 100) {
    bench.SkipWithError("the report is missing its lines");
  }
  bench.counters["per_line"] =
      benchmark::Counter(static_cast<double>(lines),
                         benchmark::Counter::kIsIterationInvariantRate |
                             benchmark::Counter::kInvert);
  bench.counters["report_KB"] = static_cast<double>(report_bytes) / 1024.0;
  bench.counters["peak_rss_MB"] = PeakResidentMegabytes();
}

void BM_Invoice(benchmark::State& bench) { RunInvoice(bench, false); }

void BM_InvoiceWithRetentionBlocks(benchmark::State& bench) {
  RunInvoice(bench, true);
}

void BM_InvoiceAfterAChange(benchmark::State& bench) {
  RunInvoice(bench, false, true);
}

BENCHMARK(BM_Invoice)
    ->Arg(10)
    ->Arg(100)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InvoiceAfterAChange)
    ->Arg(10)
    ->Arg(100)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InvoiceWithRetentionBlocks)
    ->Arg(10)
    ->Arg(100)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
