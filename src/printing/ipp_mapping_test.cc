#include "printing/ipp_mapping.h"

#include <string>
#include <vector>

#include <cups/cups.h>
#include <gtest/gtest.h>

namespace nerolin::printing {
namespace {

TEST(PrinterStatusFromIpp, MapsStatesAndReasons) {
  struct Row {
    int state;
    std::vector<std::string> reasons;
    std::int32_t expected;
  };
  const Row rows[] = {
      {IPP_PSTATE_IDLE, {"none"}, 0},
      {IPP_PSTATE_STOPPED, {"paused"}, printer_status::kPaused},
      {IPP_PSTATE_PROCESSING, {}, printer_status::kPrinting},
      {IPP_PSTATE_IDLE, {"media-empty-error"}, printer_status::kPaperOut},
      {IPP_PSTATE_IDLE, {"media-needed-report"}, printer_status::kPaperOut},
      {IPP_PSTATE_IDLE, {"media-jam-error"}, printer_status::kPaperJam},
      {IPP_PSTATE_IDLE, {"toner-low-report"}, printer_status::kTonerLow},
      {IPP_PSTATE_IDLE, {"door-open-error"}, printer_status::kDoorOpen},
      {IPP_PSTATE_IDLE, {"offline-report"}, printer_status::kOffline},
      {IPP_PSTATE_IDLE, {"other-error"}, printer_status::kError},
      {IPP_PSTATE_IDLE, {"other-warning"}, 0},
      {IPP_PSTATE_PROCESSING,
       {"media-empty-error"},
       printer_status::kPrinting | printer_status::kPaperOut},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(::testing::Message()
                 << row.state << " " << ::testing::PrintToString(row.reasons));
    EXPECT_EQ(PrinterStatusFromIpp(row.state, row.reasons), row.expected);
  }
}

TEST(JobStatusFromIpp, MapsStatesAndReasons) {
  struct Row {
    int state;
    std::vector<std::string> reasons;
    std::int32_t expected;
  };
  const Row rows[] = {
      {IPP_JSTATE_PENDING, {"none"}, 0},
      {IPP_JSTATE_HELD, {"job-hold-until-specified"}, job_status::kPaused},
      {IPP_JSTATE_HELD, {"job-incoming"}, job_status::kSpooling},
      {IPP_JSTATE_PROCESSING, {"job-printing"}, job_status::kPrinting},
      {IPP_JSTATE_CANCELED,
       {"processing-to-stop-point"},
       job_status::kDeleting},
      {IPP_JSTATE_ABORTED, {}, job_status::kError},
      {IPP_JSTATE_STOPPED, {}, job_status::kError},
      {IPP_JSTATE_PROCESSING,
       {"offline-report"},
       job_status::kPrinting | job_status::kOffline},
      {IPP_JSTATE_PROCESSING,
       {"media-empty-error"},
       job_status::kPrinting | job_status::kPaperOut},
      {IPP_JSTATE_PENDING, {"printer-stopped"}, job_status::kUserIntervention},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(::testing::Message()
                 << row.state << " " << ::testing::PrintToString(row.reasons));
    EXPECT_EQ(JobStatusFromIpp(row.state, row.reasons), row.expected);
  }
}

TEST(ApplyMedia, GivesCodeSizeInTenthsOfMillimetresAndForm) {
  struct Row {
    const char* media;
    std::int16_t code, width, length;
    const char* form;
  };
  const Row rows[] = {
      {"iso_a4_210x297mm", 9, 2100, 2970, "A4"},
      {"na_letter_8.5x11in", 1, 2159, 2794, "Letter"},
      {"Legal", 5, 2159, 3556, "Legal"},
      {"iso_a6_105x148mm", 70, 1050, 1480, "A6"},
      {"oe_photo-l_3.5x5in", 256, 889, 1270, nullptr},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.media);
    DeviceSettings settings;
    ApplyMedia(row.media, settings);
    EXPECT_EQ(settings.paper_size, row.code);
    EXPECT_EQ(settings.paper_width, row.width);
    EXPECT_EQ(settings.paper_length, row.length);
    if (row.form) {
      EXPECT_EQ(settings.form_name, row.form);
    }
  }
  DeviceSettings untouched;
  ApplyMedia("no such paper", untouched);
  EXPECT_EQ(untouched, DeviceSettings());
}

TEST(DescribeDevice, NamesFilePortsAndRemoteQueuesAsTheSpoolerWould) {
  struct Row {
    const char* uri;
    std::int32_t type;
    const char* port;
    const char* server;
    const char* printer;
    std::int32_t attribute;
  };
  const Row rows[] = {
      {"file:/tmp/out.prn", 0, "FILE:/tmp/out.prn", "", "Q",
       printer_attributes::kLocal},
      {"file:///tmp/out.prn", 0, "FILE:/tmp/out.prn", "", "Q",
       printer_attributes::kLocal},
      {"ipp://PRNSRV/printers/Laser%202", 0, "ipp://PRNSRV/printers/Laser%202",
       "\\\\PRNSRV", "\\\\PRNSRV\\Laser 2", printer_attributes::kNetwork},
      {"ipps://srv.example:631/classes/All", 0,
       "ipps://srv.example:631/classes/All", "\\\\srv.example",
       "\\\\srv.example\\All", printer_attributes::kNetwork},
      // A printer spoken to directly over IPP is a local queue.
      {"ipp://printer.example/ipp/print", 0, "ipp://printer.example/ipp/print",
       "", "Q", printer_attributes::kLocal},
      {"ipp://other.example/ipp/print", CUPS_PRINTER_REMOTE,
       "ipp://other.example/ipp/print", "\\\\other.example",
       "\\\\other.example\\Q", printer_attributes::kNetwork},
      {"", 0, "", "", "Q", printer_attributes::kLocal},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.uri);
    PrinterRecord record;
    DescribeDevice("Q", row.uri, row.type, record);
    EXPECT_EQ(record.port_name, row.port);
    EXPECT_EQ(record.server_name, row.server);
    EXPECT_EQ(record.printer_name, row.printer);
    EXPECT_EQ(record.attributes, row.attribute);
  }
}

TEST(ApplySetting, ReadsLpoptionsValuesAndIgnoresWhatItCannotRead) {
  struct Row {
    const char* name;
    const char* value;
    std::int16_t DeviceSettings::*field;
    std::int16_t expected;
  };
  const Row rows[] = {
      {"copies", "3", &DeviceSettings::copies, 3},
      {"copies", "0", &DeviceSettings::copies, 0},
      {"copies", "many", &DeviceSettings::copies, 0},
      {"copies", "99999", &DeviceSettings::copies, 32767},
      {"orientation-requested", "4", &DeviceSettings::orientation, 2},
      {"orientation-requested", "3", &DeviceSettings::orientation, 1},
      {"orientation-requested", "9", &DeviceSettings::orientation, 0},
      {"landscape", "", &DeviceSettings::orientation, 2},
      {"sides", "two-sided-short-edge", &DeviceSettings::duplex, 3},
      {"Duplex", "DuplexNoTumble", &DeviceSettings::duplex, 2},
      {"sides", "sideways", &DeviceSettings::duplex, 0},
      {"print-color-mode", "monochrome", &DeviceSettings::color, 1},
      {"print-color-mode", "color", &DeviceSettings::color, 2},
      {"printer-resolution", "600dpi", &DeviceSettings::print_quality, 600},
      {"printer-resolution", "600x300dpi", &DeviceSettings::y_resolution, 300},
      {"Resolution", "118dpcm", &DeviceSettings::print_quality, 299},
      {"printer-resolution", "fine", &DeviceSettings::print_quality, 0},
      {"PageSize", "A4", &DeviceSettings::paper_size, 9},
      {"unknown-option", "1", &DeviceSettings::copies, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.name) + "=" + row.value);
    DeviceSettings settings;
    ApplySetting(row.name, row.value, settings);
    EXPECT_EQ(settings.*row.field, row.expected);
  }
}

}  // namespace
}  // namespace nerolin::printing
