// EmbedImages over a 1 MB report that holds 200 picture tags naming 20
// distinct local pictures of about 4 KB each, half by absolute path and half
// relative to the template's folder, with the host library over a real
// database whose setting leaves embedding on. Reports the time per call and
// the report bytes handled per second; the accents-only run over the same
// report without pictures shows what the pictures themselves cost.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include "bench_support.h"
#include "component/component_state.h"
#include "fields/images.h"
#include "nerolin/sqlite_library.h"

namespace {

constexpr int kTags = 200;
constexpr int kPictures = 20;
constexpr std::size_t kPictureBytes = 4 * 1024;
constexpr std::size_t kReportBytes = 1 << 20;

// A folder with the pictures, a template name and the host database,
// removed when the process ends.
class BenchFolder {
 public:
  BenchFolder() : scratch_("images"), folder_(scratch_.path()) {
    std::filesystem::create_directory(folder_ / "img");
    for (int p = 0; p < kPictures; ++p) {
      std::string bytes = "\x89PNG\r\n\x1A\n";
      for (std::size_t i = 0; bytes.size() < kPictureBytes; ++i) {
        bytes +=
            static_cast<char>((i * 31 + static_cast<std::size_t>(p)) % 251);
      }
      std::ofstream(folder_ / "img" / Picture(p), std::ios::binary) << bytes;
    }
    database_ = (folder_ / "host.db").string();
    nerolin::bench::BuildDatabase(
        database_,
        "CREATE TABLE engParameter (\"Key\" TEXT PRIMARY KEY NOT NULL "
        "COLLATE NOCASE, \"Value\" TEXT);"
        "INSERT INTO engParameter VALUES ('ConvertImagesToBase64', 'False');");
  }

  static std::string Picture(int p) {
    return "foto" + std::to_string(p) + ".png";
  }
  std::string Template() const { return (folder_ / "factura.html").string(); }
  std::string AbsolutePicture(int p) const {
    return (folder_ / "img" / Picture(p)).string();
  }
  const std::string& database() const { return database_; }

 private:
  nerolin::bench::ScratchFolder scratch_;
  std::filesystem::path folder_;
  std::string database_;
};

const BenchFolder& Folder() {
  static BenchFolder folder;
  return folder;
}

// Rows of an invoice with accents, and a picture tag every few rows.
std::string BuildReport(bool with_pictures) {
  static const std::string kRow =
      "<tr><td class=\"c\">Artículo de prueba, pieza única</td><td>"
      "1,234.50</td><td>Almacén Ñuñoa</td></tr>\n";
  std::string report = "<html><body><table>\n";
  const std::size_t share = kReportBytes / kTags;
  for (int t = 0; t < kTags; ++t) {
    const std::size_t end = report.size() + share;
    while (report.size() + kRow.size() <= end) report += kRow;
    if (!with_pictures) continue;
    const int p = t % kPictures;
    const std::string source = t % 2 == 0 ? Folder().AbsolutePicture(p)
                                          : "img\\" + BenchFolder::Picture(p);
    report += "<tr><td><img src=\"" + source + "\" width=\"80\"></td></tr>\n";
  }
  report += "</table></body></html>\n";
  return report;
}

std::shared_ptr<nerolin::ComponentState> MakeState() {
  auto state = std::make_shared<nerolin::ComponentState>();
  auto library = nerolin::sqlite::HostDataLibrary::Create();
  library->Datalayer()->CreateConnection(Folder().database());
  state->set_host_library(library);
  return state;
}

void Run(benchmark::State& state, bool with_pictures) {
  const std::string report = BuildReport(with_pictures);
  const auto component = MakeState();
  const std::string template_path = Folder().Template();
  std::size_t result_size = 0;
  for (auto _ : state) {
    const std::string html =
        nerolin::fields::EmbedImages(*component, report, template_path);
    result_size = html.size();
    benchmark::DoNotOptimize(html.data());
  }
  if (with_pictures && result_size <= report.size()) {
    state.SkipWithError("the pictures were not embedded");
  }
  state.SetBytesProcessed(state.iterations() *
                          static_cast<std::int64_t>(report.size()));
  state.counters["report_bytes"] = static_cast<double>(report.size());
  state.counters["result_bytes"] = static_cast<double>(result_size);
}

void BM_EmbedImages(benchmark::State& state) { Run(state, true); }
BENCHMARK(BM_EmbedImages)->Unit(benchmark::kMillisecond);

void BM_EncodeAccentsOnly(benchmark::State& state) { Run(state, false); }
BENCHMARK(BM_EncodeAccentsOnly)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
