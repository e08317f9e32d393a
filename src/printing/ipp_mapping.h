#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "printing/print_service.h"

namespace nerolin::printing {

// How CUPS's values become the printer classes' values.

// printer-state (3 idle, 4 processing, 5 stopped) and printer-state-reasons
// as printer_status bits.
std::int32_t PrinterStatusFromIpp(int state,
                                  const std::vector<std::string>& reasons);

// job-state (3 pending .. 9 completed) and job-state-reasons as job_status
// bits.
std::int32_t JobStatusFromIpp(int state,
                              const std::vector<std::string>& reasons);

// Fills the paper fields of `settings` from a media name (PWG self-describing
// name, PPD or legacy name): the paper size code, the length and width in
// tenths of a millimetre, the form name. Unknown names leave it unchanged.
void ApplyMedia(std::string_view media, DeviceSettings& settings);

// Sets the server name, printer name, port name and the network or local
// attribute of `record` from the queue's device URI and printer-type. A
// file: device gives the port "FILE:PATH"; a queue forwarding to another
// CUPS server (ipp://SERVER/printers/NAME, or the remote printer-type bit)
// gives "\\SERVER" and "\\SERVER\NAME".
void DescribeDevice(const std::string& queue_name,
                    const std::string& device_uri, std::int32_t printer_type,
                    PrinterRecord& record);

// Applies one device setting, named and written as lpoptions has it
// ("media" "A4", "copies" "2", "sides" "two-sided-long-edge", the IPP
// names without "-default", and the PPD names PageSize, Duplex,
// Resolution), to `settings`. Names it does not know and values it cannot
// read change nothing.
void ApplySetting(std::string_view name, const std::string& value,
                  DeviceSettings& settings);

}  // namespace nerolin::printing
