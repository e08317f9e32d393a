// Test helpers of the printing module: a print-service double for the states
// a private CUPS server cannot produce, and a fixture owning such a server.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "printing/print_service.h"
#include "support/private_cups.h"

namespace nerolin::printing {

// A print service whose printers and jobs the test writes. Commands are
// recorded and answered with `command_outcome`.
class FakePrintService : public PrintService {
 public:
  struct Printer {
    PrinterReading reading;  // outcome kRead unless the test says otherwise
    JobsReading jobs;
  };

  Printer& AddPrinter(const std::string& name) {
    Printer& printer = printers[name];
    printer.reading.outcome = ReadOutcome::kRead;
    printer.reading.record.printer_name = name;
    printer.reading.settings.device_name = name;
    printer.jobs.outcome = ReadOutcome::kRead;
    return printer;
  }

  std::vector<std::string> PrinterNames() override {
    std::vector<std::string> names;
    for (const auto& [name, printer] : printers) names.push_back(name);
    return names;
  }
  PrinterReading ReadPrinter(const std::string& name) override {
    ++reads;
    auto it = printers.find(name);
    if (it == printers.end()) return {};
    PrinterReading reading = it->second.reading;
    reading.record.jobs =
        static_cast<std::int32_t>(it->second.jobs.jobs.size());
    return reading;
  }
  std::string DefaultPrinterName() override {
    ++default_reads;
    return default_name;
  }
  bool SetDefaultPrinter(const std::string& name) override {
    set_default_calls.push_back(name);
    if (!printers.contains(name)) return false;
    default_name = name;
    return true;
  }
  CommandOutcome ControlPrinter(const std::string& name,
                                PrinterCommand) override {
    if (!printers.contains(name)) return CommandOutcome::kNotOpened;
    return command_outcome;
  }
  bool CanAdminister(const std::string& name) override {
    return printers.contains(name);
  }
  void ShowPropertiesDialog(const std::string&, std::int32_t) override {}
  JobCountReading JobCount(const std::string& name) override {
    JobCountReading reading;
    auto it = printers.find(name);
    if (it == printers.end()) return reading;
    reading.outcome = it->second.jobs.outcome;
    reading.error = it->second.jobs.error;
    if (reading.outcome == ReadOutcome::kRead) {
      reading.count = static_cast<std::int32_t>(it->second.jobs.jobs.size());
    }
    return reading;
  }
  JobsReading ReadJobs(const std::string& name) override {
    auto it = printers.find(name);
    return it == printers.end() ? JobsReading() : it->second.jobs;
  }
  CommandOutcome ControlJob(const std::string& name, std::int32_t job_id,
                            JobCommand command) override {
    job_commands.push_back({job_id, command});
    if (!printers.contains(name)) return CommandOutcome::kNotOpened;
    return command_outcome;
  }
  bool MoveJob(const std::string& name, std::int32_t job_id,
               std::int32_t delta) override {
    moves.push_back({job_id, delta});
    return printers.contains(name);
  }
  std::string ErrorText(std::int32_t code) override {
    auto it = error_texts.find(code);
    return it == error_texts.end() ? "" : it->second;
  }

  std::map<std::string, Printer> printers;
  std::string default_name;
  std::map<std::int32_t, std::string> error_texts;
  CommandOutcome command_outcome = CommandOutcome::kDone;
  int reads = 0;
  int default_reads = 0;
  std::vector<std::string> set_default_calls;
  std::vector<std::pair<std::int32_t, JobCommand>> job_commands;
  std::vector<std::pair<std::int32_t, std::int32_t>> moves;
};

// A job record for the double.
inline JobRecord FakeJob(std::int32_t id, std::int32_t size = 0,
                         std::int32_t pages = 0) {
  JobRecord job;
  job.job_id = id;
  job.size = size;
  job.total_pages = pages;
  job.document = "job " + std::to_string(id);
  return job;
}

// Owns a private CUPS server for each test; skips when cupsd cannot run.
class CupsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    cups_ = ::nerolin::testing::PrivateCups::Start(&why);
    if (!cups_) GTEST_SKIP() << why;
  }
  void TearDown() override { cups_.reset(); }

  ::nerolin::testing::PrivateCups& cups() { return *cups_; }

  // The ids of the server's not-completed jobs on `queue`, in its order.
  std::vector<int> QueueOrder(const std::string& queue) {
    std::vector<int> ids;
    std::string out = cups_->Run("lpstat -o " +
                                 ::nerolin::testing::PrivateCups::Quote(queue));
    std::size_t at = 0;
    std::string prefix = queue + "-";
    while ((at = out.find(prefix, at)) != std::string::npos) {
      if (at == 0 || out[at - 1] == '\n') {
        ids.push_back(std::atoi(out.c_str() + at + prefix.size()));
      }
      at += prefix.size();
    }
    return ids;
  }

 private:
  std::unique_ptr<::nerolin::testing::PrivateCups> cups_;
};

}  // namespace nerolin::printing
