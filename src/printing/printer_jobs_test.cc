#include "printing/printer_jobs.h"

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "nerolin/automation_error.h"
#include "printing/cups_print_service.h"
#include "printing/printing_testing.h"
#include "support/test_support.h"

namespace nerolin::printing {
namespace {

using ::nerolin::testing::PrivateCups;

TEST(JobStatusText, CombinesTheBitsTexts) {
  struct Row {
    std::int32_t status;
    const char* service_text;
    const char* expected;
  };
  const Row rows[] = {
      {0, "", ""},
      {0x1 | 0x10, "", "Paused - Printing..."},
      {0x1 | 0x2, "", "Error"},
      {0x2 | 0x400 | 0x20, "", "User Intervention Required - Offline"},
      {0x20 | 0x40 | 0x4 | 0x8 | 0x10 | 0x800 | 0x80 | 0x100 | 0x200, "",
       "Offline - Paper Out - Deleting... - Spooling... - Printing... - "
       "Restarting... - Printed - Deleted - Cannot Print"},
      {0x8, "", "Spooling..."},
      {0x1, "Sending data to printer.", "Sending data to printer."},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.status);
    EXPECT_EQ(JobStatusText(row.status, row.service_text), row.expected);
  }
}

TEST(JobKey, IsTheIdInUpperCaseHex) {
  EXPECT_EQ(JobKey(255), "FF");
  EXPECT_EQ(JobKey(1), "1");
  EXPECT_EQ(JobKey(0x1A2B), "1A2B");
  EXPECT_EQ(JobKey(-1), "FFFFFFFF");
}

// With a print-service double

class PrinterJobsTest : public ::testing::Test {
 protected:
  PrinterJobsTest() { service_->AddPrinter("P"); }
  std::vector<JobRecord>& Jobs() { return service_->printers["P"].jobs.jobs; }

  std::shared_ptr<FakePrintService> service_ =
      std::make_shared<FakePrintService>();
};

TEST_F(PrinterJobsTest, KeepsTheLargestSizeAndPageCountAcrossRefreshes) {
  Jobs() = {FakeJob(255, 5000, 7)};
  CPrinterJobs jobs(service_);
  jobs.SetDeviceName("P");
  std::shared_ptr<CPrinterJobInfo> first = jobs.Item("ff");
  Jobs() = {FakeJob(255, 1200, 3)};
  jobs.Refresh();
  std::shared_ptr<CPrinterJobInfo> second = jobs.Item("FF");
  EXPECT_NE(second, first);
  EXPECT_EQ(second->Size(), 1200);
  EXPECT_EQ(second->SizeMax(), 5000);
  EXPECT_EQ(second->TotalPages(), 3);
  EXPECT_EQ(second->TotalPagesMax(), 7);
  // An object fetched earlier keeps its values.
  EXPECT_EQ(first->Size(), 5000);
  Jobs() = {FakeJob(255, 9000, 1)};
  jobs.Refresh();
  EXPECT_EQ(jobs.Item("FF")->SizeMax(), 9000);
  EXPECT_EQ(jobs.Item("FF")->TotalPagesMax(), 7);
}

TEST_F(PrinterJobsTest, CountRefreshesOnlyWhenTheCountDiffers) {
  CPrinterJobs jobs(service_);
  jobs.SetDeviceName("P");
  Jobs() = {FakeJob(1), FakeJob(2)};
  EXPECT_EQ(jobs.CachedCount(), 0);
  EXPECT_EQ(jobs.Count(), 2);
  EXPECT_EQ(jobs.CachedCount(), 2);
  // Same count, other jobs: the collection is not brought up to date.
  Jobs() = {FakeJob(3), FakeJob(4)};
  EXPECT_EQ(jobs.Count(), 2);
  EXPECT_EQ(jobs.Item(1)->JobId(), 1);
  // Count gives the service's count even when the listing differs.
  service_->printers["P"].jobs.outcome = ReadOutcome::kFailed;
  service_->printers["P"].jobs.error = 0x0500;
  EXPECT_EQ(jobs.Count(), 0);
  EXPECT_EQ(jobs.GetPrinterError(), 0x0500);
  EXPECT_EQ(jobs.CachedCount(), 0);
}

TEST_F(PrinterJobsTest, ItemFailsWithTheCollectionsErrors) {
  Jobs() = {FakeJob(10), FakeJob(11)};
  CPrinterJobs jobs(service_);
  jobs.SetDeviceName("P");
  EXPECT_EQ(jobs.Item(2)->JobId(), 11);
  EXPECT_EQ(jobs.ItemByVariant(Variant("a"))->JobId(), 10);
  EXPECT_EQ(jobs.ItemByVariant(Variant(std::int16_t{1}))->JobId(), 10);
  EXPECT_AUTOMATION_ERROR(jobs.Item(3), errors::kSubscriptOutOfRange);
  EXPECT_AUTOMATION_ERROR(jobs.Item(0), errors::kSubscriptOutOfRange);
  EXPECT_AUTOMATION_ERROR(jobs.Item("C"), errors::kInvalidArgument);
  EXPECT_AUTOMATION_ERROR(jobs.ItemByVariant(Variant::Null()),
                          errors::kTypeMismatch);
}

TEST_F(PrinterJobsTest, CommandsRefreshExceptMovesAndCancelDeletes) {
  Jobs() = {FakeJob(1)};
  CPrinterJobs jobs(service_);
  jobs.SetDeviceName("P");
  Jobs().clear();
  EXPECT_TRUE(jobs.ControlCancel(1));
  EXPECT_EQ(jobs.CachedCount(), 0);  // refreshed
  EXPECT_TRUE(jobs.ControlPause(2));
  EXPECT_TRUE(jobs.ControlResume(3));
  EXPECT_TRUE(jobs.ControlRestart(4));
  using C = JobCommand;
  EXPECT_EQ(
      service_->job_commands,
      (std::vector<std::pair<std::int32_t, JobCommand>>{
          {1, C::kDelete}, {2, C::kPause}, {3, C::kResume}, {4, C::kRestart}}));
  Jobs() = {FakeJob(5)};
  EXPECT_TRUE(jobs.PositionMoveUp(5));
  EXPECT_TRUE(jobs.PositionMoveDown(5));
  EXPECT_EQ(jobs.CachedCount(), 0);  // moves do not refresh
  EXPECT_EQ(
      service_->moves,
      (std::vector<std::pair<std::int32_t, std::int32_t>>{{5, -1}, {5, 1}}));
  service_->command_outcome = CommandOutcome::kRefused;
  EXPECT_FALSE(jobs.ControlPause(5));
  EXPECT_EQ(jobs.CachedCount(), 1);  // a refused command still refreshes
}

TEST_F(PrinterJobsTest, MembersAreReachableByName) {
  JobRecord job = FakeJob(0x2A, 2048, 2);
  job.status = job_status::kPaused | job_status::kPrinting;
  job.user_name = "ana";
  job.submitted = 1700000000;
  Jobs() = {job};
  auto jobs = std::make_shared<CPrinterJobs>(service_);
  Object& object = *jobs;
  object.Put("DeviceName", Variant("P"));
  EXPECT_EQ(object.Get("Count"), Variant(std::int32_t{1}));
  Variant item = object.Call("Item", {Variant("2a")});
  ASSERT_TRUE(item.IsObject());
  Object& info = *item.AsObject();
  EXPECT_EQ(info.Get("JobId"), Variant(std::int32_t{42}));
  EXPECT_EQ(info.Get("UserName"), Variant("ana"));
  EXPECT_EQ(info.Get("IsPaused"), Variant(true));
  EXPECT_EQ(info.Get("StatusText"), Variant("Paused - Printing..."));
  EXPECT_EQ(info.Get("SizeMax"), Variant(std::int32_t{2048}));
  EXPECT_EQ(info.Get("Submitted").type(), VarType::kDate);
  EXPECT_TRUE(info.Get("DevMode").IsObject());
  Variant all = object.Call("NewEnum");
  ASSERT_EQ(all.AsArray().size(), 1u);
  EXPECT_EQ(object.Call("ControlPause", {Variant(std::int32_t{42})}),
            Variant(true));
  EXPECT_AUTOMATION_ERROR(object.Call("Item", {Variant("FF")}),
                          errors::kInvalidArgument);
}

TEST(CPrinterJobInfo, SubmittedIsTheLocalTimeToTheSecond) {
  setenv("TZ", "America/Mexico_City", 1);
  tzset();
  CPrinterJobInfo job;
  JobRecord record = FakeJob(1);
  record.submitted = 1700000000;  // 2023-11-14 22:13:20 UTC
  job.LoadFromBuffer(record);
  EXPECT_EQ(job.Submitted(), Date::FromParts(2023, 11, 14, 16, 13, 20));
  unsetenv("TZ");
  tzset();
}

// Against the private server

class PrinterJobsCupsTest : public CupsTest {
 protected:
  void SetUp() override {
    CupsTest::SetUp();
    if (IsSkipped()) return;
    cups().AddQueue("Queue");
  }
};

TEST_F(PrinterJobsCupsTest, TwoHeldJobsGiveCountTwoAndFillTheCollection) {
  CPrinterJobs jobs;
  jobs.SetDeviceName("Queue");
  int first = cups().SubmitHeld("Queue", "first");
  int second = cups().SubmitHeld("Queue", "second");
  EXPECT_EQ(jobs.CachedCount(), 0);
  EXPECT_EQ(jobs.Count(), 2);
  ASSERT_EQ(jobs.CachedCount(), 2);
  EXPECT_EQ(jobs.Item(JobKey(first))->Document(), "first");
  EXPECT_EQ(jobs.Item(JobKey(second))->Document(), "second");
  EXPECT_EQ(jobs.Item(1)->JobId(), first);
  EXPECT_EQ(jobs.Item(1)->StatusText(), "Paused");
  EXPECT_EQ(jobs.Item(1)->SizeMax(), jobs.Item(1)->Size());
  EXPECT_EQ(jobs.GetPrinterError(), 0);
}

TEST_F(PrinterJobsCupsTest, AVanishedJobIsRemovedAtTheNextRefresh) {
  int kept = cups().SubmitHeld("Queue");
  int gone = cups().SubmitHeld("Queue");
  CPrinterJobs jobs;
  jobs.SetDeviceName("Queue");
  ASSERT_EQ(jobs.CachedCount(), 2);
  cups().Run("cancel " + std::to_string(gone));
  EXPECT_EQ(jobs.CachedCount(), 2);
  jobs.Refresh();
  EXPECT_EQ(jobs.CachedCount(), 1);
  EXPECT_EQ(jobs.Item(1)->JobId(), kept);
  EXPECT_AUTOMATION_ERROR(jobs.Item(JobKey(gone)), errors::kInvalidArgument);
}

TEST_F(PrinterJobsCupsTest, PauseAndResumeHoldAndReleaseTheJob) {
  cups().Run("cupsdisable Queue");  // jobs wait instead of printing
  cups().Run("echo x | lp -d Queue");
  CPrinterJobs jobs;
  jobs.SetDeviceName("Queue");
  ASSERT_EQ(jobs.CachedCount(), 1);
  std::int32_t id = jobs.Item(1)->JobId();
  EXPECT_FALSE(jobs.Item(1)->IsPaused());
  EXPECT_EQ(jobs.Item(1)->Status(), 0);

  EXPECT_TRUE(jobs.ControlPause(id));
  EXPECT_TRUE(jobs.Item(1)->IsPaused());
  EXPECT_NE(cups().Run("lpstat -l -o Queue").find("job-hold-until-specified"),
            std::string::npos);

  EXPECT_TRUE(jobs.ControlResume(id));
  EXPECT_FALSE(jobs.Item(1)->IsPaused());
  EXPECT_EQ(cups().Run("lpstat -l -o Queue").find("job-hold-until-specified"),
            std::string::npos);
}

TEST_F(PrinterJobsCupsTest, CancelDeletesTheJobFromTheServer) {
  int id = cups().SubmitHeld("Queue");
  CPrinterJobs jobs;
  jobs.SetDeviceName("Queue");
  EXPECT_TRUE(jobs.ControlCancel(id));
  EXPECT_EQ(jobs.CachedCount(), 0);
  // Deleted, not just canceled: the job is not kept among completed ones.
  std::string completed = cups().Run("lpstat -W completed -o Queue");
  EXPECT_EQ(completed.find("Queue-" + std::to_string(id)), std::string::npos)
      << completed;
  EXPECT_FALSE(jobs.ControlCancel(id));

  // The service's plain cancel keeps it in the history.
  int canceled = cups().SubmitHeld("Queue");
  CupsPrintService service;
  EXPECT_EQ(service.ControlJob("Queue", canceled, JobCommand::kCancel),
            CommandOutcome::kDone);
  completed = cups().Run("lpstat -W completed -o Queue");
  EXPECT_NE(completed.find("Queue-" + std::to_string(canceled)),
            std::string::npos)
      << completed;
}

TEST_F(PrinterJobsCupsTest, RestartSendsAPrintingJobThroughAgain) {
  cups().AddQueue("Slow", PrivateCups::Driver::kRaw,
                  PrivateCups::Backend::kSlow);
  cups().Run("echo x | lp -d Slow");
  CPrinterJobs jobs;
  jobs.SetDeviceName("Slow");
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline &&
         !(jobs.CachedCount() == 1 &&
           (jobs.Item(1)->Status() & job_status::kPrinting))) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    jobs.Refresh();
  }
  ASSERT_EQ(jobs.CachedCount(), 1);
  ASSERT_EQ(jobs.Item(1)->Status(), job_status::kPrinting);
  std::int32_t id = jobs.Item(1)->JobId();
  EXPECT_TRUE(jobs.ControlRestart(id));
  ASSERT_EQ(jobs.CachedCount(), 1);
  EXPECT_FALSE(jobs.Item(1)->IsPaused());

  // A job that is only waiting has nothing to restart.
  int held = cups().SubmitHeld("Queue");
  CPrinterJobs waiting;
  waiting.SetDeviceName("Queue");
  EXPECT_FALSE(waiting.ControlRestart(held));
  EXPECT_EQ(waiting.CachedCount(), 1);
}

TEST_F(PrinterJobsCupsTest, MovesReorderTheServersQueue) {
  int a = cups().SubmitHeld("Queue", "a");
  int b = cups().SubmitHeld("Queue", "b");
  int c = cups().SubmitHeld("Queue", "c");
  CPrinterJobs jobs;
  jobs.SetDeviceName("Queue");
  ASSERT_EQ(QueueOrder("Queue"), (std::vector<int>{a, b, c}));

  // Up: ahead of the neighbour and every job of the neighbour's priority.
  EXPECT_TRUE(jobs.PositionMoveUp(c));
  EXPECT_EQ(QueueOrder("Queue"), (std::vector<int>{c, a, b}));
  EXPECT_EQ(jobs.Item(3)->JobId(), c);  // the collection waits for Refresh
  jobs.Refresh();
  EXPECT_EQ(jobs.Item(1)->JobId(), c);
  EXPECT_EQ(jobs.Item(1)->Position(), 1);
  EXPECT_EQ(jobs.Item(1)->Priority(), 51);

  EXPECT_TRUE(jobs.PositionMoveDown(c));
  EXPECT_EQ(QueueOrder("Queue"), (std::vector<int>{a, b, c}));
  EXPECT_TRUE(jobs.PositionMoveDown(a));
  EXPECT_EQ(QueueOrder("Queue"), (std::vector<int>{b, c, a}));

  // No neighbour in that direction: nothing asked, false.
  EXPECT_FALSE(jobs.PositionMoveUp(b));
  EXPECT_FALSE(jobs.PositionMoveDown(a));
  EXPECT_FALSE(jobs.PositionMoveUp(9999));
  EXPECT_EQ(QueueOrder("Queue"), (std::vector<int>{b, c, a}));
}

TEST_F(PrinterJobsCupsTest, APrinterThatDoesNotExistHasNoJobs) {
  cups().SubmitHeld("Queue");
  CPrinterJobs jobs;
  jobs.SetDeviceName("Queue");
  ASSERT_EQ(jobs.CachedCount(), 1);
  std::int32_t id = jobs.Item(1)->JobId();
  jobs.SetDeviceName("Missing");
  EXPECT_EQ(jobs.CachedCount(), 0);
  EXPECT_EQ(jobs.Count(), 0);
  EXPECT_FALSE(jobs.ControlPause(id));
  EXPECT_FALSE(jobs.ControlCancel(id));
  EXPECT_FALSE(jobs.PositionMoveUp(id));
  EXPECT_EQ(jobs.GetPrinterError(), 0);
  EXPECT_AUTOMATION_ERROR(jobs.Item(1), errors::kSubscriptOutOfRange);
}

}  // namespace
}  // namespace nerolin::printing
