#include "printing/printer_info.h"

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "nerolin/automation_error.h"
#include "printing/default_printer.h"
#include "printing/ipp_mapping.h"
#include "printing/printing_testing.h"
#include "support/test_support.h"

namespace nerolin::printing {
namespace {

using ::nerolin::testing::PrivateCups;

// With a print-service double

class PrinterInfoTest : public ::testing::Test {
 protected:
  std::shared_ptr<FakePrintService> service_ =
      std::make_shared<FakePrintService>();
};

TEST(PrinterStatusText, LooksTheWholeValueUpInTheTable) {
  const std::pair<std::int32_t, const char*> rows[] = {
      {0, "Ready"},
      {0x1, "Paused"},
      {0x2, "Error"},
      {0x4, "Deleting..."},
      {0x8, "Paper Jam"},
      {0x10, "Paper Out"},
      {0x20, "Manual Feed Required"},
      {0x40, "Paper Problem"},
      {0x80, "Offline"},
      {0x100, "Downloading Job"},
      {0x200, "Busy"},
      {0x400, "Printing"},
      {0x800, "Output Bill Full"},
      {0x1000, "Not Available"},
      {0x2000, "Waiting"},
      {0x4000, "Processing Job"},
      {0x8000, "Initializing"},
      {0x10000, "Warming Up"},
      {0x20000, "Toner Low"},
      {0x40000, "Toner Out"},
      {0x80000, "Page too Complex"},
      {0x100000, "User Intervention Required"},
      {0x200000, "Out of Memory"},
      {0x400000, "Door Open"},
      {0x800000, "Unable to connect"},
      {0x1000000, "Power Save Mode"},
      // Values outside the table give their hexadecimal digits.
      {0x410, "410"},
      {0x3, "3"},
      {0x2000000, "2000000"},
      {-1, "FFFFFFFF"},
  };
  for (const auto& [status, text] : rows) {
    SCOPED_TRACE(status);
    EXPECT_EQ(PrinterStatusText(status), text);
  }
}

TEST_F(PrinterInfoTest, DisplayNameShowsARemoteQueueAsPrinterOnServer) {
  struct Row {
    const char* server;
    const char* printer;
    std::int32_t attributes;
    const char* expected;
  };
  const Row rows[] = {
      {"\\\\PRNSRV", "\\\\PRNSRV\\Laser 2", printer_attributes::kNetwork,
       "Laser 2 on PRNSRV"},
      {"", "Office", printer_attributes::kLocal, "Office"},
      // No backslash after the second character: the device name stays.
      {"\\\\PRNSRV", "\\\\PRNSRV", printer_attributes::kNetwork, "Office"},
      // A server name of two characters or one not starting with "\\".
      {"\\\\", "\\\\\\Laser", printer_attributes::kNetwork, "Office"},
      {"PRNSRV", "\\\\PRNSRV\\Laser 2", printer_attributes::kNetwork, "Office"},
      // The same names on a printer not marked as a network printer.
      {"\\\\PRNSRV", "\\\\PRNSRV\\Laser 2", printer_attributes::kLocal,
       "Office"},
      // The first backslash from the third character on counts.
      {"\\\\SRV", "\\\\SRV\\Dept\\Laser", printer_attributes::kNetwork,
       "Dept\\Laser on SRV"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.printer);
    auto& printer = service_->AddPrinter("Office");
    printer.reading.record.server_name = row.server;
    printer.reading.record.printer_name = row.printer;
    printer.reading.record.attributes = row.attributes;
    CPrinterInfo info(service_);
    info.SetDeviceName("Office");
    EXPECT_EQ(info.DisplayName(), row.expected);
  }
}

TEST_F(PrinterInfoTest, RemoteQueueThroughTheServiceReadsAsNetworkPrinter) {
  auto& printer = service_->AddPrinter("Laser-2");
  DescribeDevice("Laser-2", "ipp://PRNSRV/printers/Laser%202", 0,
                 printer.reading.record);
  CPrinterInfo info(service_);
  info.SetDeviceName("Laser-2");
  EXPECT_EQ(info.DisplayName(), "Laser 2 on PRNSRV");
  EXPECT_EQ(info.ServerName(), "\\\\PRNSRV");
  EXPECT_TRUE(info.IsNetwork());
  EXPECT_FALSE(info.IsLocal());
  EXPECT_FALSE(info.IsToFile());
}

TEST_F(PrinterInfoTest, IsToFileNeedsUpperCaseFilePort) {
  const std::pair<const char*, bool> rows[] = {
      {"FILE:/tmp/out.prn", true},
      {"file:/tmp/out.prn", false},
      {"File:", false},
      {"LPT1:,FILE:", true},
      {"", false},
  };
  for (const auto& [port, expected] : rows) {
    SCOPED_TRACE(port);
    service_->AddPrinter("P").reading.record.port_name = port;
    CPrinterInfo info(service_);
    info.SetDeviceName("P");
    EXPECT_EQ(info.IsToFile(), expected);
  }
}

TEST_F(PrinterInfoTest, FlagsComeFromAttributesAndStatus) {
  auto& record = service_->AddPrinter("P").reading.record;
  record.attributes = printer_attributes::kShared | printer_attributes::kLocal;
  record.status = printer_status::kPaused;
  CPrinterInfo info(service_);
  info.SetDeviceName("P");
  EXPECT_TRUE(info.IsShared());
  EXPECT_TRUE(info.IsLocal());
  EXPECT_FALSE(info.IsNetwork());
  EXPECT_TRUE(info.IsPaused());
  EXPECT_EQ(info.StatusText(), "Paused");
}

TEST_F(PrinterInfoTest, StatusTextOfAFailedReadIsTheErrorText) {
  auto& printer = service_->AddPrinter("P");
  printer.reading.record.status = 0x8000;
  CPrinterInfo info(service_);
  info.SetDeviceName("P");
  EXPECT_EQ(info.StatusText(), "Initializing");

  printer.reading.outcome = ReadOutcome::kFailed;
  printer.reading.error = 1801;
  info.Refresh();
  EXPECT_EQ(info.GetPrinterError(), 1801);
  EXPECT_EQ(info.StatusText(), "Error (1801) not defined.");
  EXPECT_EQ(info.Status(), 0);  // the record is cleared

  service_->error_texts[0x0401] = "Forbidden";
  printer.reading.error = 0x0401;
  info.Refresh();
  EXPECT_EQ(info.StatusText(), "Forbidden");

  // A printer that cannot be opened keeps the previous error.
  service_->printers.erase("P");
  info.Refresh();
  EXPECT_EQ(info.GetPrinterError(), 0x0401);
  EXPECT_EQ(info.PrinterName(), "");

  // A successful read clears it.
  service_->AddPrinter("P");
  info.Refresh();
  EXPECT_EQ(info.GetPrinterError(), 0);
  EXPECT_EQ(info.StatusText(), "Ready");
}

TEST_F(PrinterInfoTest, IsDefaultIgnoresCaseAndAsksAfresh) {
  service_->AddPrinter("Laser");
  CPrinterInfo info(service_);
  info.SetDeviceName("LASER");
  service_->default_name = "laser";
  EXPECT_TRUE(info.IsDefault());
  service_->default_name = "Other";
  EXPECT_FALSE(info.IsDefault());
  EXPECT_EQ(service_->default_reads, 2);

  // No default printer is no device name, the empty one included.
  service_->default_name = "";
  CPrinterInfo unnamed(service_);
  EXPECT_FALSE(unnamed.IsDefault());
}

TEST_F(PrinterInfoTest, SettingIsDefaultFalseDoesNothing) {
  service_->AddPrinter("Laser");
  CPrinterInfo info(service_);
  info.SetDeviceName("Laser");
  int reads = service_->reads;
  info.SetIsDefault(false);
  EXPECT_TRUE(service_->set_default_calls.empty());
  EXPECT_EQ(service_->reads, reads);

  info.SetIsDefault(true);
  EXPECT_EQ(service_->set_default_calls, std::vector<std::string>{"Laser"});
  EXPECT_EQ(service_->reads, reads + 1);  // refreshed
  EXPECT_TRUE(info.IsDefault());
}

TEST_F(PrinterInfoTest, RefreshGivesANewDevModeAndTheOldOneKeepsItsValues) {
  auto& printer = service_->AddPrinter("P");
  printer.reading.settings.copies = 2;
  CPrinterInfo info(service_);
  info.SetDeviceName("P");
  std::shared_ptr<CDevMode> first = info.DevMode();
  EXPECT_EQ(first->Copies(), 2);
  printer.reading.settings.copies = 5;
  info.Refresh();
  EXPECT_NE(info.DevMode(), first);
  EXPECT_EQ(info.DevMode()->Copies(), 5);
  EXPECT_EQ(first->Copies(), 2);
}

TEST_F(PrinterInfoTest, PrinterCommandsRefreshOnlyWhenThePrinterOpened) {
  service_->AddPrinter("P");
  CPrinterInfo info(service_);
  info.SetDeviceName("P");
  int reads = service_->reads;
  EXPECT_TRUE(info.ControlPause());
  EXPECT_EQ(service_->reads, reads + 1);
  service_->command_outcome = CommandOutcome::kRefused;
  EXPECT_FALSE(info.ControlResume());
  EXPECT_EQ(service_->reads, reads + 2);
  service_->command_outcome = CommandOutcome::kNotOpened;
  EXPECT_FALSE(info.ControlPurge());
  EXPECT_EQ(service_->reads, reads + 2);
}

TEST_F(PrinterInfoTest, MembersAreReachableByName) {
  auto& printer = service_->AddPrinter("Office");
  printer.reading.record.comment = "Second floor";
  printer.reading.record.average_ppm = 20;
  printer.reading.settings.copies = 3;
  auto info = std::make_shared<CPrinterInfo>(service_);
  Object& object = *info;
  object.Put("devicename", Variant("Office"));
  EXPECT_EQ(object.Get("DeviceName"), Variant("Office"));
  EXPECT_EQ(object.Get("Comment"), Variant("Second floor"));
  EXPECT_EQ(object.Get("AveragePPM"), Variant(std::int32_t{20}));
  EXPECT_EQ(object.Get("IsToFile"), Variant(false));
  EXPECT_EQ(object.Get("StatusText"), Variant("Ready"));
  Variant dev_mode = object.Get("DevMode");
  ASSERT_TRUE(dev_mode.IsObject());
  EXPECT_EQ(dev_mode.AsObject()->Get("Copies"), Variant(std::int16_t{3}));
  EXPECT_EQ(dev_mode.AsObject()->Get("DeviceName"), Variant("Office"));
  Variant jobs = object.Get("Jobs");
  ASSERT_TRUE(jobs.IsObject());
  EXPECT_EQ(jobs.AsObject()->Get("Count"), Variant(std::int32_t{0}));
  EXPECT_EQ(object.Call("ControlPause"), Variant(true));
  object.Put("IsDefault", Variant(true));
  EXPECT_EQ(object.Get("IsDefault"), Variant(true));
  EXPECT_AUTOMATION_ERROR(object.Get("NoSuchMember"), errors::kNoSuchMember);
  EXPECT_AUTOMATION_ERROR(object.Put("DisplayName", Variant("x")),
                          errors::kNoSuchMember);
}

TEST(CDevMode, TextsAreCutAtNulOrTrimmed) {
  EXPECT_EQ(RecordText(std::string("Laser\0junk", 10)), "Laser");
  EXPECT_EQ(RecordText("  Laser  "), "Laser");
  EXPECT_EQ(RecordText(std::string(" A4 \0x", 6)), " A4 ");
  CDevMode fresh;
  EXPECT_EQ(fresh.settings(), DeviceSettings());
  fresh.LoadFromPointer(nullptr);
  EXPECT_EQ(fresh.settings(), DeviceSettings());
}

TEST_F(PrinterInfoTest, TheModuleRoutinesWalkPrintersInTheServicesOrder) {
  ScopedPrintService scope(service_);
  service_->AddPrinter("Alpha");
  service_->AddPrinter("Beta");
  service_->AddPrinter("Gamma");
  EXPECT_EQ(GetDefaultPrinterName(), "");
  service_->default_name = "beta";
  EXPECT_EQ(GetDefaultPrinterName(), "Beta");  // the device name's spelling
  SetDefaultPrinterByName("Gamma");
  EXPECT_EQ(GetDefaultPrinterName(), "Gamma");
  SetDefaultPrinterByName("");
  EXPECT_EQ(GetDefaultPrinterName(), "Gamma");
}

// Against the private server

using CPrinterInfoCupsTest = CupsTest;

TEST_F(CPrinterInfoCupsTest, AFileQueueReadsAsALocalPrinterPrintingToFile) {
  cups().AddQueue("Office", PrivateCups::Driver::kPdf);
  CPrinterInfo info;
  info.SetDeviceName("Office");
  EXPECT_EQ(info.GetPrinterError(), 0);
  EXPECT_EQ(info.PrinterName(), "Office");
  EXPECT_EQ(info.DisplayName(), "Office");
  EXPECT_TRUE(info.IsToFile());
  EXPECT_TRUE(info.IsLocal());
  EXPECT_FALSE(info.IsNetwork());
  EXPECT_EQ(info.StatusText(), "Ready");
  EXPECT_EQ(info.DevMode()->DeviceName(), "Office");
  EXPECT_TRUE(info.CanAdminister());
}

TEST_F(CPrinterInfoCupsTest, APrinterThatDoesNotExistIsEmpty) {
  cups().AddQueue("Real");
  CPrinterInfo info;
  info.SetDeviceName("Missing");
  EXPECT_EQ(info.PrinterName(), "");
  EXPECT_EQ(info.PortName(), "");
  EXPECT_EQ(info.Attributes(), 0);
  EXPECT_EQ(info.DevMode()->settings(), DeviceSettings());
  EXPECT_EQ(info.GetPrinterError(), 0);
  EXPECT_EQ(info.DisplayName(), "Missing");
  EXPECT_FALSE(info.ControlPause());
  EXPECT_FALSE(info.ControlResume());
  EXPECT_FALSE(info.ControlPurge());
  EXPECT_FALSE(info.CanAdminister());
  EXPECT_FALSE(info.IsDefault());
  EXPECT_EQ(info.Jobs()->Count(), 0);
  EXPECT_EQ(info.Jobs()->CachedCount(), 0);
  info.SetIsDefault(true);
  EXPECT_EQ(cups().Run("lpstat -d", false).find("Missing"), std::string::npos);
}

TEST_F(CPrinterInfoCupsTest, PauseResumeAndPurgeChangeTheServersQueue) {
  cups().AddQueue("Desk");
  cups().SubmitHeld("Desk");
  cups().SubmitHeld("Desk");
  CPrinterInfo info;
  info.SetDeviceName("Desk");
  EXPECT_EQ(info.Jobs()->CachedCount(), 2);

  EXPECT_TRUE(info.ControlPause());
  EXPECT_TRUE(info.IsPaused());
  EXPECT_EQ(info.StatusText(), "Paused");
  EXPECT_NE(cups().Run("lpstat -p Desk").find("disabled"), std::string::npos);

  EXPECT_TRUE(info.ControlResume());
  EXPECT_FALSE(info.IsPaused());
  EXPECT_EQ(cups().Run("lpstat -p Desk").find("disabled"), std::string::npos);

  EXPECT_TRUE(info.ControlPurge());
  EXPECT_EQ(info.Jobs()->CachedCount(), 0);
  EXPECT_EQ(cups().Run("lpstat -o Desk"), "");
}

TEST_F(CPrinterInfoCupsTest, SettingIsDefaultMakesLpstatReportThePrinter) {
  cups().AddQueue("Alpha");
  cups().AddQueue("Beta");
  CPrinterInfo info;
  info.SetDeviceName("beta");  // a name differing in case finds the queue
  EXPECT_FALSE(info.IsDefault());
  info.SetIsDefault(true);
  EXPECT_TRUE(info.IsDefault());
  EXPECT_EQ(cups().Run("lpstat -d"), "system default destination: Beta\n");

  CPrinterInfo alpha;
  alpha.SetDeviceName("Alpha");
  EXPECT_FALSE(alpha.IsDefault());
  alpha.SetIsDefault(false);
  EXPECT_EQ(cups().Run("lpstat -d"), "system default destination: Beta\n");
}

TEST_F(CPrinterInfoCupsTest, DefaultPrinterRoutinesFollowTheServer) {
  for (const char* name : {"Alpha", "Beta", "Gamma"}) cups().AddQueue(name);
  EXPECT_EQ(GetDefaultPrinterName(), "");
  SetDefaultPrinterByName("Gamma");
  EXPECT_EQ(GetDefaultPrinterName(), "Gamma");
  EXPECT_EQ(cups().Run("lpstat -d"), "system default destination: Gamma\n");
  // Restoring "no default" asks for the printer with the empty name, which
  // changes nothing.
  SetDefaultPrinterByName("");
  SetDefaultPrinterByName("Missing");
  EXPECT_EQ(GetDefaultPrinterName(), "Gamma");
}

TEST_F(CPrinterInfoCupsTest, FaultStatesOfTheDeviceShowInTheStatus) {
  cups().AddQueue("Empty", PrivateCups::Driver::kRaw,
                  PrivateCups::Backend::kMediaEmpty);
  cups().AddQueue("Broken", PrivateCups::Driver::kRaw,
                  PrivateCups::Backend::kError);
  cups().Run("echo x | lp -d Empty");
  cups().Run("echo x | lp -d Broken");
  CPrinterInfo empty;
  CPrinterInfo broken;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  do {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    empty.SetDeviceName("Empty");
    broken.SetDeviceName("Broken");
  } while (
      std::chrono::steady_clock::now() < deadline &&
      (!(empty.Status() & printer_status::kPaperOut) || !broken.IsPaused()));
  EXPECT_EQ(empty.Status(),
            printer_status::kPrinting | printer_status::kPaperOut);
  EXPECT_EQ(empty.StatusText(), "410");
  EXPECT_TRUE(broken.IsPaused())
      << cups().Run("lpstat -l -p Broken; lpstat -l -o Broken", false)
      << ::nerolin::testing::ReadFile(
             (cups().dir() / "log/error_log").string());
  ASSERT_EQ(broken.Jobs()->CachedCount(), 1);
  EXPECT_EQ(broken.Jobs()->Item(1)->Status() & job_status::kUserIntervention,
            job_status::kUserIntervention);
}

}  // namespace
}  // namespace nerolin::printing
