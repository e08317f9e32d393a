// The browser of a build without printing: there is no Chromium to drive,
// so whatever would start one raises, and nothing else can be reached
// without one.
#include "platform/browser.h"
#include "platform/pdf_job.h"
#include "platform/printing_build.h"

namespace nerolin::platform {

BrowserSettings BrowserSettings::FromEnvironment() { RaisePrintingNotBuilt(); }

Browser::Browser(BrowserSettings) { RaisePrintingNotBuilt(); }

Browser::~Browser() = default;

void Browser::Navigate(const std::string&) { RaisePrintingNotBuilt(); }

int Browser::ReadyState() { RaisePrintingNotBuilt(); }

void Browser::ExecWB(int, int, int, int) { RaisePrintingNotBuilt(); }

std::optional<pid_t> Browser::PreviewProcess() const { return std::nullopt; }

void ExportPdf(const std::string&, const std::string&, const BrowserSettings&) {
  RaisePrintingNotBuilt();
}

PdfJob::PdfJob(std::string, BrowserSettings) { RaisePrintingNotBuilt(); }

PdfJob::~PdfJob() = default;

bool PdfJob::Poll() { RaisePrintingNotBuilt(); }

struct PdfQueue::Entry {};

PdfQueue::PdfQueue(BrowserSettings, int, Done) { RaisePrintingNotBuilt(); }

PdfQueue::~PdfQueue() = default;

void PdfQueue::Add(std::size_t, const std::string&, const std::string&) {
  RaisePrintingNotBuilt();
}

void PdfQueue::Finish() { RaisePrintingNotBuilt(); }

}  // namespace nerolin::platform
