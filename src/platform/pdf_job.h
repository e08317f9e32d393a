#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "nerolin/automation_error.h"
#include "platform/browser.h"

namespace nerolin::platform {

// One HTML file rendered to PDF on a page of its own in the process's warm
// Chromium: the page loads the file's URL, and at its load event prints it
// (the paper of the report's `@page`, Letter when it names none; no header
// or footer of the browser's, so the report's own margin boxes print).
// Nothing blocks: Poll advances the render as far as the messages that
// have arrived allow.
//
// Failures (error(), never thrown by Poll): 53 when the file does not exist;
// browser_errors::kFailed when the page cannot be loaded or printed, or
// does not finish within load_timeout. A browser that ended or stopped
// answering is started again once and the document rendered again once,
// with a fresh load_timeout; a second time fails the document.
class PdfJob {
 public:
  // Starts rendering `document` (an absolute path). Starts Chromium when
  // none runs; raises 429 when it cannot be started.
  PdfJob(std::string document, BrowserSettings settings);
  // Closes the page and lets the browser go idle.
  ~PdfJob();
  PdfJob(const PdfJob&) = delete;
  PdfJob& operator=(const PdfJob&) = delete;

  // Reads what has arrived and takes every step it allows; true once the
  // render is over (done or failed).
  bool Poll();
  bool finished() const { return step_ == Step::kFinished; }
  // Set once finished without a PDF.
  const std::optional<AutomationError>& error() const { return error_; }
  // The PDF's bytes once finished without error; moved out.
  std::string TakePdf() { return std::move(pdf_); }
  const std::string& document() const { return document_; }

 private:
  enum class Step {
    kCreate,
    kAttach,
    kEnable,
    kNavigate,
    kLoad,
    kPrint,
    kFinished
  };

  void Begin();
  void Advance();
  void Retry(const std::string& reason);
  void Finish(std::optional<AutomationError> error);
  void ClosePage();

  std::string document_;
  BrowserSettings settings_;
  Step step_ = Step::kCreate;
  std::uint64_t generation_ = 0;
  bool retried_ = false;
  int pending_ = 0;  // the command whose response the step waits for
  std::uint64_t navigated_at_ = 0;
  std::string target_;
  std::string session_;
  std::chrono::steady_clock::time_point deadline_;
  int probe_ = 0;
  std::chrono::steady_clock::time_point probe_deadline_;
  std::optional<AutomationError> error_;
  std::string pdf_;
};

// Writes `bytes` to `path` whole or not at all: into a file beside it,
// renamed over it once complete, so an existing file stays as it was when
// the write fails. Raises 75 naming the path.
void WriteWholeFile(const std::string& path, const std::string& bytes);

// Renders many HTML files to PDF files through the warm Chromium, up to
// `in_flight` pages at once, on the caller's thread.
class PdfQueue {
 public:
  // Told once per file added, in the order the renders finish: its ticket
  // and its failure (nullopt when the PDF was written).
  using Done = std::function<void(std::size_t ticket,
                                  const std::optional<AutomationError>&)>;

  PdfQueue(BrowserSettings settings, int in_flight, Done done);
  ~PdfQueue();
  PdfQueue(const PdfQueue&) = delete;
  PdfQueue& operator=(const PdfQueue&) = delete;

  // Starts rendering `html_path` to `pdf_path` once fewer than `in_flight`
  // renders are under way, telling meanwhile those that finish.
  void Add(std::size_t ticket, const std::string& html_path,
           const std::string& pdf_path);
  // Returns once every render added has finished and been told.
  void Finish();

 private:
  struct Entry;
  // Waits a little for messages and tells the renders that finished.
  void Turn();

  BrowserSettings settings_;
  std::size_t in_flight_;
  Done done_;
  std::deque<std::unique_ptr<Entry>> running_;
};

}  // namespace nerolin::platform
