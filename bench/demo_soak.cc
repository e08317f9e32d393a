// The demo invoice rendered 10,000 times in one process, as a host that
// prints all day does: its rows read with Datalayer.GetRecordset and handed
// with the template of its module's default print format to
// GenerateReportBasedOnRecordset, which writes the report file. Every 1,000
// documents the program prints what the process holds: its resident memory
// (VmRSS) and its open descriptors. It fails (exit 1) when the memory grows
// by more than kRssGrowthLimitKb or the descriptors grow at all from the
// 1,000th document to the last, or when a report differs from the first.
// Run by scripts/soak; not a test of the suite, as it takes a while.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>

#include "automation/conversions.h"
#include "bench_support.h"
#include "cli/demo_build.h"
#include "component/component_state.h"
#include "nerolin/cls_main.h"
#include "nerolin/message_sink.h"
#include "nerolin/recordset.h"
#include "nerolin/sqlite_library.h"

namespace {

constexpr int kDocuments = 10'000;
constexpr int kReportEvery = 1'000;
// Room for the allocator's own ups and downs; a leak of a hundred bytes a
// document passes it by the end.
constexpr long kRssGrowthLimitKb = 1024;
constexpr std::string_view kInvoice = "factura-A-1187";

// The process's resident memory in kB, from /proc/self/status; -1 when it
// cannot be read.
long ResidentKb() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  }
  return -1;
}

// The process's open descriptors, the one that lists them included.
int OpenDescriptors() {
  int count = 0;
  for ([[maybe_unused]] const auto& entry :
       std::filesystem::directory_iterator("/proc/self/fd")) {
    ++count;
  }
  return count;
}

// Counts the engine's messages: a fault-free run shows none, and keeping
// them would grow the process.
class CountingSink : public nerolin::MessageSink {
 public:
  void Show(std::string_view text, std::string_view title,
            nerolin::MessageIcon) override {
    if (count_++ == 0) {
      std::fprintf(stderr, "message: %.*s: %.*s\n",
                   static_cast<int>(title.size()), title.data(),
                   static_cast<int>(text.size()), text.data());
    }
  }
  int count() const { return count_; }

 private:
  int count_ = 0;
};

}  // namespace

int main() {
  nerolin::bench::ScratchFolder folder("soak");
  std::ostringstream listing;
  std::ostringstream failure;
  if (nerolin::cli::BuildAndRenderDemo(folder.path().string(), listing,
                                       failure) != 0) {
    std::fprintf(stderr, "demo: %s", failure.str().c_str());
    return 1;
  }

  auto state = std::make_shared<nerolin::ComponentState>();
  auto sink = std::make_shared<CountingSink>();
  state->set_message_sink(sink);
  auto engine = nerolin::clsMain::Create(state);
  auto library = nerolin::sqlite::HostDataLibrary::Create();
  library->Datalayer()->CreateConnection("Data Source=" +
                                         folder.File("demo.db"));
  engine->SetNerolinLib(library);
  engine->SetFindMatchIfFieldDoesntExists(true);
  const std::string sql = nerolin::TextOf(library->DLookup(
      "SQL", "demoReport", "Name='" + std::string(kInvoice) + "'"));
  const std::string module = nerolin::TextOf(
      library->Datalayer()->GetRecordset(sql)->Value("ModuleID"));
  const std::string template_path = nerolin::TextOf(
      library->DLookup("FileName", "engModulePrintFormat",
                       "FormatIsDefault<>0 AND ModuleID=" + module));
  const std::string report = folder.File("soak.html");

  std::string first_text;
  // At the first report and at the last.
  long first_rss = 0;
  long last_rss = 0;
  int first_descriptors = 0;
  int last_descriptors = 0;
  for (int document = 1; document <= kDocuments; ++document) {
    auto rows = library->Datalayer()->GetRecordset(sql);
    std::string source = template_path;
    std::string destination = report;
    const std::string text =
        engine->GenerateReportBasedOnRecordset(rows, source, destination);
    if (document == 1) first_text = text;
    if (text.empty() || text != first_text) {
      std::fprintf(stderr, "document %d: the report differs from the first\n",
                   document);
      return 1;
    }
    if (document % kReportEvery != 0) continue;
    const long rss = ResidentKb();
    const int descriptors = OpenDescriptors();
    std::printf("%6d documents  RSS %6.1f MB  descriptors %d\n", document,
                static_cast<double>(rss) / 1024.0, descriptors);
    std::fflush(stdout);
    if (document == kReportEvery) {
      first_rss = rss;
      first_descriptors = descriptors;
    }
    last_rss = rss;
    last_descriptors = descriptors;
  }

  const long rss_growth = last_rss - first_rss;
  const int descriptor_growth = last_descriptors - first_descriptors;
  std::printf(
      "from document %d to %d: RSS %+ld kB (limit %ld), "
      "descriptors %+d, messages %d\n",
      kReportEvery, kDocuments, rss_growth, kRssGrowthLimitKb,
      descriptor_growth, sink->count());
  const bool holds = first_rss > 0 && rss_growth <= kRssGrowthLimitKb &&
                     descriptor_growth <= 0 && sink->count() == 0;
  std::printf("%s\n", holds ? "soak: steady" : "soak: FAILED");
  return holds ? 0 : 1;
}
