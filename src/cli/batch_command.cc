#include "cli/batch_command.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <unistd.h>
#include <unordered_set>
#include <vector>

#include <CLI/CLI.hpp>

#include "automation/conversions.h"
#include "automation/vb_text.h"
#include "component/component_state.h"
#include "fiscal/statement_text.h"
#include "nerolin/automation_error.h"
#include "nerolin/cls_main.h"
#include "nerolin/diagnostics.h"
#include "nerolin/message_sink.h"
#include "nerolin/recordset.h"
#include "platform/browser.h"
#include "platform/pdf_job.h"
#include "platform/printing_build.h"

namespace nerolin::cli {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kMaxNameLength = 120;
// The progress line is redrawn at most this often.
constexpr auto kProgressEvery = std::chrono::milliseconds(250);

// Every message of a document also reaches the diagnostics channel, which
// fails the document with it; written out one by one they would bury the
// progress line and the summary.
class QuietMessageSink : public MessageSink {
 public:
  void Show(std::string_view, std::string_view, MessageIcon) override {}
};

bool IsPlainDecimal(std::string_view text) {
  std::size_t i = text.starts_with('-') ? 1 : 0;
  const std::size_t digits_from = i;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
  if (i == digits_from) return false;
  if (i < text.size() && text[i] == '.') {
    const std::size_t fraction_from = ++i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
    if (i == fraction_from) return false;
  }
  return i == text.size();
}

std::string Describe(const Diagnostic& diagnostic) {
  switch (diagnostic.kind) {
    case DiagnosticKind::kMessage:
      return diagnostic.subject.empty()
                 ? diagnostic.detail
                 : diagnostic.subject + ": " + diagnostic.detail;
    case DiagnosticKind::kPlaceholderFailed:
      return "placeholder " + diagnostic.subject +
             " failed: " + diagnostic.detail;
    case DiagnosticKind::kStepSkipped:
      return "step " + diagnostic.subject + " skipped: " + diagnostic.detail;
    case DiagnosticKind::kReportFileNotWritten:
      return "report file " + diagnostic.subject +
             " not written: " + diagnostic.detail;
  }
  return diagnostic.detail;
}

// done/total, documents per second and the time left, on one line that
// each call redraws; only on a terminal.
class Progress {
 public:
  explicit Progress(std::size_t total)
      : total_(total), shown_(isatty(STDERR_FILENO) == 1) {}

  void Done() {
    ++done_;
    const auto now = Clock::now();
    if (!shown_ || (now - drawn_ < kProgressEvery && done_ < total_)) return;
    drawn_ = now;
    const double seconds = std::chrono::duration<double>(now - start_).count();
    const double rate = seconds > 0 ? done_ / seconds : 0;
    const double left = rate > 0 ? (total_ - done_) / rate : 0;
    std::fprintf(stderr, "\r%zu/%zu documents, %.1f/s, %.0f s left\33[K", done_,
                 total_, rate, left);
    std::fflush(stderr);
  }

  void Clear() {
    if (shown_ && done_ > 0) std::fputs("\r\33[K", stderr);
  }

  double Seconds() const {
    return std::chrono::duration<double>(Clock::now() - start_).count();
  }

 private:
  std::size_t total_;
  bool shown_;
  std::size_t done_ = 0;
  Clock::time_point start_ = Clock::now();
  Clock::time_point drawn_{};
};

struct Document {
  std::string key;
  std::string name;
  std::optional<std::string> failure;
};

// The keys, each once, in the order first seen; the recordset is closed
// before the documents are rendered.
std::vector<std::string> ReadKeys(clsMain& engine, const std::string& sql) {
  std::shared_ptr<ado::Recordset> rows =
      engine.state()->Library().GetRecordset(sql);
  std::vector<std::string> keys;
  std::unordered_set<std::string> seen;
  while (!rows->Eof()) {
    std::string key = TextOf(rows->ValueAt(0));
    if (seen.insert(key).second) keys.push_back(std::move(key));
    rows->MoveNext();
  }
  rows->Close();
  return keys;
}

}  // namespace

std::string SubstituteKey(std::string_view sql, std::string_view key) {
  const std::string literal = IsPlainDecimal(key)
                                  ? std::string(key)
                                  : "'" + fiscal::QuotedText(key) + "'";
  return Replace(sql, "{KEY}", literal);
}

std::string SafeFileName(std::string_view key) {
  std::string name;
  for (char c : key.substr(0, kMaxNameLength)) {
    const bool kept = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                      (c >= '0' && c <= '9') || c == '.' || c == '-' ||
                      c == '_';
    name.push_back(kept ? c : '_');
  }
  if (name.empty() || name.front() == '.') name.insert(name.begin(), '_');
  return name;
}

void Batch(const GlobalOptions& global, const BatchRequest& request) {
  if (!global.connection && !global.db) {
    throw UsageError("needs --connection or --db");
  }
  // Refused before any document is written, rather than once per document.
  if (request.pdf || request.print) platform::RequirePrinting();
  std::shared_ptr<clsMain> engine = MakeEngine(global);
  engine->state()->set_message_sink(std::make_shared<QuietMessageSink>());
  auto recorded = std::make_shared<RecordingDiagnosticListener>();
  engine->state()->set_diagnostic_listener(recorded);
  if (!engine->state()->host_library()) engine->OpenConnection();

  std::vector<Document> documents;
  {
    std::unordered_set<std::string> taken;
    for (std::string& key : ReadKeys(*engine, request.keys_sql)) {
      const std::string base = SafeFileName(key);
      std::string name = base;
      for (int n = 2; !taken.insert(name).second; ++n) {
        name = base + "-" + std::to_string(n);
      }
      documents.push_back({std::move(key), std::move(name), std::nullopt});
    }
  }
  CreateFolder(request.out_dir);

  Progress progress(documents.size());
  std::optional<platform::PdfQueue> pdfs;
  if (request.pdf) {
    pdfs.emplace(
        platform::BrowserSettings::FromEnvironment(), request.jobs,
        [&](std::size_t ticket, const std::optional<AutomationError>& error) {
          if (error) documents[ticket].failure = "PDF: " + ErrorLine(*error);
          progress.Done();
        });
  }
  const std::filesystem::path folder(request.out_dir);
  for (std::size_t i = 0; i < documents.size(); ++i) {
    Document& document = documents[i];
    const std::string html = (folder / (document.name + ".html")).string();
    recorded->diagnostics.clear();
    try {
      std::shared_ptr<ado::Recordset> rows =
          engine->state()->Library().GetRecordset(
              SubstituteKey(request.sql, document.key));
      // Both are by reference and may be changed for the caller: fresh
      // copies for each document.
      std::string source = request.template_path;
      std::string destination = html;
      engine->GenerateReportBasedOnRecordset(rows, source, destination);
      if (rows->State() == ado::kStateOpen) rows->Close();
    } catch (const AutomationError& error) {
      document.failure = ErrorLine(error);
    }
    if (!document.failure && !recorded->diagnostics.empty()) {
      document.failure = Describe(recorded->diagnostics.front());
      if (recorded->diagnostics.size() > 1) {
        *document.failure += " (and " +
                             std::to_string(recorded->diagnostics.size() - 1) +
                             " more)";
      }
    }
    if (!document.failure && request.print) {
      try {
        engine->PrintReport(html);
      } catch (const AutomationError& error) {
        document.failure = "print: " + ErrorLine(error);
      }
    }
    if (document.failure || !request.pdf) {
      progress.Done();
      continue;
    }
    pdfs->Add(i, html, (folder / (document.name + ".pdf")).string());
  }
  if (pdfs) pdfs->Finish();
  progress.Clear();

  std::size_t failed = 0;
  for (const Document& document : documents) {
    if (!document.failure) continue;
    ++failed;
    std::fputs(
        (OneLine(document.key) + ": " + OneLine(*document.failure) + "\n")
            .c_str(),
        stderr);
  }
  const double seconds = progress.Seconds();
  std::fprintf(stderr,
               "%zu documents written, %zu failed, in %.1f s (%.1f/s)\n",
               documents.size() - failed, failed, seconds,
               seconds > 0 ? documents.size() / seconds : 0.0);
  if (failed > 0) {
    throw CommandFailure(std::to_string(failed) + " of " +
                         std::to_string(documents.size()) +
                         " documents failed");
  }
}

std::pair<CLI::App*, std::function<void()>> AddBatchCommand(
    CLI::App& app, const GlobalOptions& global, std::string_view footer) {
  auto request = std::make_shared<BatchRequest>();
  request->jobs = DefaultJobs();
  CLI::App* command = app.add_subcommand(
      "batch", "GenerateReportBasedOnRecordset once per document key");
  command->group("Commands");
  command->footer(
      "Each key of --keys (its first column, each key once) replaces {KEY} "
      "in --sql: a plain decimal number as it is, anything else as a quoted "
      "text. The rows of that statement become DIR/KEY.html (a file name "
      "made safe; -2, -3 when two keys give one name), with --pdf also "
      "KEY.pdf, with --print printed on --printer --copies times. A document "
      "fails when the method raised, when it reported any failure on the "
      "way, or when its PDF or print failed; the others go on. Standard "
      "error gets a progress line on a terminal and a summary; the exit "
      "status is 1 when any document failed. Needs --db or --connection.\n" +
      std::string(footer));
  command
      ->add_option("--keys", request->keys_sql,
                   "The statement whose first column lists the keys")
      ->type_name("SQL")
      ->required();
  command
      ->add_option("--sql", request->sql,
                   "The statement of one document, with {KEY}")
      ->type_name("SQL")
      ->required();
  command->add_option("--template", request->template_path, "The template file")
      ->type_name("PATH")
      ->required();
  command
      ->add_option("--out-dir", request->out_dir,
                   "The folder for the documents (created when missing)")
      ->type_name("DIR")
      ->required();
  command->add_flag("--pdf", request->pdf, "Also write each document's PDF");
  command->add_flag("--print", request->print, "Also print each document");
  command
      ->add_option("--jobs", request->jobs,
                   "PDFs rendered at once (default: the number of cores)")
      ->type_name("N")
      ->check(CLI::PositiveNumber);
  return {command, [request, &global] { Batch(global, *request); }};
}

}  // namespace nerolin::cli
