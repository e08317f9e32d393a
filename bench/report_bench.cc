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
//
// "BM_InvoiceFloorJoined" is the mark to measure the first print against,
// on the same machine at the same time: the least work that writes the
// same lines from the same statement the engine runs (the print view,
// header and lines joined). "BM_InvoiceFloor" is the least work of all: it
// reads the invoice's lines alone, the seven columns it shows straight
// from docDocumentItem. Both read with the sqlite3 C API, find the columns
// they show by name once per report,
// writes each line's cells as the engine does (accented
// letters as entities, the Importe from the unit price rounded to two
// decimals) and writes the report file with one call. It checks once that
// its lines stand in the engine's report as they are.
//
// "BM_FirstPrintAgainstFloor" gives the figure to hold the first print
// against: it and the joined floor alternate within each iteration, and
// the median of the iterations' own ratios is reported.

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <sys/resource.h>

#include "bench_support.h"
#include "component/component_state.h"
#include "hostlib/sqlite/connection.h"
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

// The engine's statement for the invoice of `lines` lines.
std::string PrintView(std::int64_t lines) {
  return "SELECT * FROM vwVADDocDocumentPrint WHERE ID=" +
         std::to_string(lines) + " ORDER BY LineNumber";
}

// A host's library and engine, as a host sets them up before its first
// report; Print makes the report of the invoice of `lines` lines.
class EnginePrint {
 public:
  explicit EnginePrint(std::int64_t lines)
      : lines_(lines),
        engine_(nerolin::clsMain::Create(
            std::make_shared<nerolin::ComponentState>())),
        library_(nerolin::sqlite::HostDataLibrary::Create()),
        sql_(PrintView(lines)) {
    library_->Datalayer()->CreateConnection("Data Source=" +
                                            Files().database());
    engine_->SetNerolinLib(library_);
    engine_->SetFindMatchIfFieldDoesntExists(true);
  }

  // The size of the report.
  std::size_t Print(bool retention_blocks = false) {
    const auto start = std::chrono::steady_clock::now();
    auto rst = library_->Datalayer()->GetRecordset(sql_);
    read_ = std::chrono::steady_clock::now() - start;
    std::string source = Files().template_file(retention_blocks);
    std::string destination = Files().Report(lines_);
    return engine_->GenerateReportBasedOnRecordset(rst, source, destination)
        .size();
  }
  // How long the last Print took to read the rows.
  std::chrono::duration<double, std::micro> read() const { return read_; }

 private:
  std::int64_t lines_;
  std::chrono::duration<double, std::micro> read_{};
  std::shared_ptr<nerolin::clsMain> engine_;
  std::shared_ptr<nerolin::sqlite::HostDataLibrary> library_;
  std::string sql_;
};

void RunInvoice(benchmark::State& bench, bool retention_blocks,
                bool after_a_change = false) {
  const std::int64_t lines = bench.range(0);
  EnginePrint engine(lines);
  std::size_t report_bytes = engine.Print(retention_blocks);
  DatabaseWriter writer;
  for (auto _ : bench) {
    if (after_a_change) {
      bench.PauseTiming();
      writer.Commit();
      bench.ResumeTiming();
    }
    report_bytes = engine.Print(retention_blocks);
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
  // What the recordset's rows take in memory.
  bench.counters["rows_MB"] =
      static_cast<double>(nerolin::sqlite::Connection::Open(Files().database())
                              ->SharedQuery(PrintView(lines))
                              ->bytes_held()) /
      (1024.0 * 1024.0);
}

void BM_Invoice(benchmark::State& bench) { RunInvoice(bench, false); }

void BM_InvoiceWithRetentionBlocks(benchmark::State& bench) {
  RunInvoice(bench, true);
}

void BM_InvoiceAfterAChange(benchmark::State& bench) {
  RunInvoice(bench, false, true);
}

// The least work that writes the detail lines of the invoice: see the top
// of the file.
class FloorReport {
 public:
  // With `touch_every_column`, each row's every column is also read, as a
  // recordset reads it (value, type, and a text's bytes), and dropped: what
  // reading the columns the lines do not show costs.
  FloorReport(const std::string& database, const std::string& sql,
              bool touch_every_column = false)
      : touch_every_column_(touch_every_column) {
    if (sqlite3_open_v2(database.c_str(), &db_,
                        SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK ||
        // The sort's memory the engine's connection allows.
        sqlite3_exec(db_, "PRAGMA cache_size=-16384", nullptr, nullptr,
                     nullptr) != SQLITE_OK) {
      std::abort();
    }
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &statement_, nullptr) !=
        SQLITE_OK) {
      std::abort();
    }
  }
  ~FloorReport() {
    sqlite3_finalize(statement_);
    sqlite3_close(db_);
  }
  FloorReport(const FloorReport&) = delete;
  FloorReport& operator=(const FloorReport&) = delete;

  // The lines, also written to `path`.
  const std::string& Write(const std::string& path) {
    enum {
      kLine,
      kClave,
      kDescripcion,
      kClaveUnidad,
      kUnidad,
      kCantidad,
      kValorUnitario,
      kCount
    };
    static constexpr std::array<const char*, kCount> kNames = {
        "LineNumber", "ClaveProdServ", "Descripcion",  "ClaveUnidad",
        "Unidad",     "Cantidad",      "ValorUnitario"};
    std::array<int, kCount> at{};
    for (int i = 0; i < kCount; ++i) {
      at[i] = -1;
      for (int c = 0; c < sqlite3_column_count(statement_); ++c) {
        if (std::strcmp(sqlite3_column_name(statement_, c), kNames[i]) == 0) {
          at[i] = c;
        }
      }
      if (at[i] < 0) std::abort();
    }
    out_.clear();
    while (sqlite3_step(statement_) == SQLITE_ROW) {
      if (touch_every_column_) TouchEveryColumn();
      out_ += "<tr><td>";
      Cell(at[kLine]);
      out_ += "</td><td>";
      Cell(at[kClave]);
      out_ += "</td><td>";
      Cell(at[kDescripcion]);
      out_ += "</td>\n<td>";
      Cell(at[kClaveUnidad]);
      out_ += ' ';
      Cell(at[kUnidad]);
      out_ += "</td><td class=\"num\">";
      Cell(at[kCantidad]);
      out_ += "</td>\n<td class=\"num\">";
      Cell(at[kValorUnitario]);
      out_ += "</td><td class=\"num\">";
      const double price =
          std::round(sqlite3_column_double(statement_, at[kValorUnitario]) *
                     100) /
          100;
      Number(price * sqlite3_column_double(statement_, at[kCantidad]));
      out_ += "</td></tr>\n";
    }
    sqlite3_reset(statement_);
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || write(fd, out_.data(), out_.size()) !=
                      static_cast<ssize_t>(out_.size())) {
      std::abort();
    }
    close(fd);
    return out_;
  }

 private:
  void Cell(int column) {
    if (sqlite3_column_type(statement_, column) == SQLITE_FLOAT) {
      Number(sqlite3_column_double(statement_, column));
      return;
    }
    const auto* text =
        reinterpret_cast<const char*>(sqlite3_column_text(statement_, column));
    const std::string_view value(
        text ? text : "",
        static_cast<std::size_t>(sqlite3_column_bytes(statement_, column)));
    // The report is Windows-1252: its accented letters go as entities.
    std::size_t copied = 0;
    for (std::size_t i = value.find('\xC3');
         i != std::string_view::npos && i + 1 < value.size();
         i = value.find('\xC3', copied)) {
      out_.append(value, copied, i - copied);
      switch (static_cast<unsigned char>(value[i + 1])) {
        case 0xA1:
          out_ += "&aacute;";
          break;
        case 0xA9:
          out_ += "&eacute;";
          break;
        case 0xAD:
          out_ += "&iacute;";
          break;
        case 0xB3:
          out_ += "&oacute;";
          break;
        case 0xBA:
          out_ += "&uacute;";
          break;
        case 0xB1:
          out_ += "&ntilde;";
          break;
        default:
          out_.append(value, i, 2);
      }
      copied = i + 2;
    }
    out_.append(value, copied);
  }
  void Number(double value) {
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value,
                                   std::chars_format::general, 15);
    out_.append(text, end.ptr);
  }

  void TouchEveryColumn() {
    std::size_t bytes = 0;
    for (int c = 0; c < sqlite3_column_count(statement_); ++c) {
      sqlite3_value* value = sqlite3_column_value(statement_, c);
      if (sqlite3_value_type(value) == SQLITE_TEXT) {
        benchmark::DoNotOptimize(sqlite3_value_text(value));
        bytes += static_cast<std::size_t>(sqlite3_value_bytes(value));
      }
    }
    benchmark::DoNotOptimize(bytes);
  }

  bool touch_every_column_;
  sqlite3* db_ = nullptr;
  sqlite3_stmt* statement_ = nullptr;
  std::string out_;
};

// Whether the engine's report file (Windows-1252) holds the floor's lines
// as they are.
bool EngineWritesTheFloorsLines(std::int64_t lines,
                                const std::string& lines_text) {
  EnginePrint(lines).Print();
  std::ostringstream report;
  report << std::ifstream(Files().Report(lines), std::ios::binary).rdbuf();
  return report.str().find(lines_text) != std::string::npos;
}

void RunFloor(benchmark::State& bench, const std::string& sql) {
  const std::int64_t lines = bench.range(0);
  FloorReport floor(Files().database(), sql);
  const std::string path = Files().Report(lines) + ".floor";
  if (!EngineWritesTheFloorsLines(lines, floor.Write(path))) {
    bench.SkipWithError("the floor's lines differ from the engine's");
    return;
  }
  for (auto _ : bench) {
    benchmark::DoNotOptimize(floor.Write(path).size());
  }
  bench.counters["per_line"] =
      benchmark::Counter(static_cast<double>(lines),
                         benchmark::Counter::kIsIterationInvariantRate |
                             benchmark::Counter::kInvert);
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t middle = values.size() / 2;
  return values.size() % 2 == 1 ? values[middle]
                                : (values[middle - 1] + values[middle]) / 2;
}

// The first print (after another connection's commit, outside the timing)
// and the joined floor, one after the other in every iteration, so that
// whatever slows the machine for a while slows both: each one's median
// microseconds per line, and the median of the iterations' own ratios.
// Then the same floor reading every column of every row as well, and the
// print's ratio to that ("ratio_every_column"): the print's cost beyond
// reading the whole print view. "read_ratio" holds the print's first part,
// the host library reading the rows into a recordset, against the whole
// floor.
void BM_FirstPrintAgainstFloor(benchmark::State& bench) {
  using Clock = std::chrono::steady_clock;
  const std::int64_t lines = bench.range(0);
  EnginePrint engine(lines);
  FloorReport floor(Files().database(), PrintView(lines));
  FloorReport every_column(Files().database(), PrintView(lines), true);
  const std::string path = Files().Report(lines) + ".floor";
  if (!EngineWritesTheFloorsLines(lines, floor.Write(path))) {
    bench.SkipWithError("the floor's lines differ from the engine's");
    return;
  }
  DatabaseWriter writer;
  std::vector<double> engine_us, read_us, floor_us, ratios, read_ratios,
      every_column_ratios;
  for (auto _ : bench) {
    bench.PauseTiming();
    writer.Commit();
    bench.ResumeTiming();
    const auto start = Clock::now();
    benchmark::DoNotOptimize(engine.Print());
    const auto printed = Clock::now();
    benchmark::DoNotOptimize(floor.Write(path).size());
    const auto written = Clock::now();
    benchmark::DoNotOptimize(every_column.Write(path).size());
    const auto read_whole = Clock::now();
    const std::chrono::duration<double, std::micro> print = printed - start;
    const std::chrono::duration<double, std::micro> least = written - printed;
    const std::chrono::duration<double, std::micro> whole =
        read_whole - written;
    engine_us.push_back(print.count() / static_cast<double>(lines));
    read_us.push_back(engine.read().count() / static_cast<double>(lines));
    floor_us.push_back(least.count() / static_cast<double>(lines));
    ratios.push_back(print.count() / least.count());
    read_ratios.push_back(engine.read().count() / least.count());
    every_column_ratios.push_back(print.count() / whole.count());
  }
  bench.counters["engine_us_per_line"] = Median(engine_us);
  bench.counters["read_us_per_line"] = Median(read_us);
  bench.counters["floor_us_per_line"] = Median(floor_us);
  bench.counters["ratio"] = Median(ratios);
  bench.counters["read_ratio"] = Median(read_ratios);
  bench.counters["ratio_every_column"] = Median(every_column_ratios);
}

void BM_InvoiceFloor(benchmark::State& bench) {
  RunFloor(bench,
           "SELECT LineNumber, ClaveProdServ, Descripcion, ClaveUnidad, "
           "Unidad, Cantidad, ValorUnitario FROM docDocumentItem WHERE "
           "DocumentID=" +
               std::to_string(bench.range(0)) + " ORDER BY LineNumber");
}

void BM_InvoiceFloorJoined(benchmark::State& bench) {
  RunFloor(bench, PrintView(bench.range(0)));
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
BENCHMARK(BM_InvoiceFloorJoined)
    ->Arg(10)
    ->Arg(100)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FirstPrintAgainstFloor)
    ->Arg(1000)
    ->Arg(10000)
    ->MinTime(2.0)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InvoiceFloor)
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
