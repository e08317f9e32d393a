#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "printing/print_service.h"

namespace nerolin::printing {

// The print service over CUPS (libcups and IPP), against the server that
// libcups is configured for (CUPS_SERVER, client.conf, the local server).
//
// - A printer's record comes from Get-Printer-Attributes; its device
//   settings from the printer's *-default attributes, overridden by the
//   user's lpoptions for that printer.
// - Jobs are those Get-Jobs lists as not completed, in the server's order
//   (job priority, then job id).
// - The default printer is the one `lpstat -d` reports (LPDEST, PRINTER,
//   the user's lpoptions, the server default); making a printer the default
//   writes the user's lpoptions and, where LPDEST or PRINTER is set in this
//   process's environment, that variable as well.
// - Moving a job in the queue changes its job priority to place it next to
//   its neighbour, the nearest thing to a queue position CUPS has.
// No call prompts for a password: requests that need one fail.
class CupsPrintService : public PrintService {
 public:
  std::vector<std::string> PrinterNames() override;
  PrinterReading ReadPrinter(const std::string& name) override;
  std::string DefaultPrinterName() override;
  // True only when the printer then is the default as DefaultPrinterName
  // reads it.
  bool SetDefaultPrinter(const std::string& name) override;
  CommandOutcome ControlPrinter(const std::string& name,
                                PrinterCommand command) override;
  bool CanAdminister(const std::string& name) override;
  // Opens the printer's page of the CUPS web interface with xdg-open when
  // the server offers that interface over the network; does nothing
  // otherwise (there is no driver dialog here). Never waits for the
  // browser.
  void ShowPropertiesDialog(const std::string& name,
                            std::int32_t parent_window) override;
  JobCountReading JobCount(const std::string& name) override;
  JobsReading ReadJobs(const std::string& name) override;
  CommandOutcome ControlJob(const std::string& name, std::int32_t job_id,
                            JobCommand command) override;
  bool MoveJob(const std::string& name, std::int32_t job_id,
               std::int32_t delta) override;
  // The server's message for the last failure with `code`, otherwise the
  // IPP name of the code ("client-error-not-found"); empty for a code that
  // IPP does not define.
  std::string ErrorText(std::int32_t code) override;

 private:
  // Notes the message of a failed request for ErrorText.
  void RememberFailure(std::int32_t code, const char* message);

  std::mutex mutex_;
  std::map<std::int32_t, std::string> messages_;
};

}  // namespace nerolin::printing
