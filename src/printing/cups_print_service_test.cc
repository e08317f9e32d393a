#include "printing/cups_print_service.h"

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <thread>
#include <unistd.h>

#include <cups/cups.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include "printing/printing_testing.h"
#include "support/private_cups.h"

namespace nerolin::printing {
namespace {

using ::nerolin::testing::PrivateCups;
using Clock = std::chrono::steady_clock;

// Waits up to 10 s for `done`.
template <class Predicate>
bool Eventually(Predicate done) {
  auto deadline = Clock::now() + std::chrono::seconds(10);
  while (Clock::now() < deadline) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return done();
}

TEST(PrivateCups, StartsAndStopsWithinFiveSecondsLeavingNothing) {
  auto begin = Clock::now();
  std::string why;
  std::filesystem::path dir;
  pid_t pid = -1;
  {
    auto cups = PrivateCups::Start(&why);
    if (!cups) GTEST_SKIP() << why;
    dir = cups->dir();
    pid = cups->pid();
    cups->AddQueue("Plain");
    cups->AddQueue("Slow", PrivateCups::Driver::kRaw,
                   PrivateCups::Backend::kSlow);
    // A job still printing when the server stops must not outlive it.
    cups->Run("echo x | lp -d Slow");
    EXPECT_NE(cups->Run("lpstat -p Plain").find("Plain"), std::string::npos);
  }
  double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
  EXPECT_LT(seconds, 5.0);
  EXPECT_FALSE(std::filesystem::exists(dir));
  EXPECT_NE(kill(pid, 0), 0);
  // No backend of ours is left sleeping.
  std::string leftover;
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    std::ifstream cmdline(entry.path() / "cmdline");
    std::string text((std::istreambuf_iterator<char>(cmdline)), {});
    if (text.find(dir.string()) != std::string::npos) leftover += text + "\n";
  }
  EXPECT_EQ(leftover, "");
}

TEST(PrivateCups, LibcupsUsesThePrivateServerAndHome) {
  std::string why;
  auto cups = PrivateCups::Start(&why);
  if (!cups) GTEST_SKIP() << why;
  cups->AddQueue("First");
  cups->AddQueue("Second");
  auto default_name = [] {
    cups_dest_t* dests = nullptr;
    int count = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
    cups_dest_t* chosen = cupsGetDest(nullptr, nullptr, count, dests);
    std::string name = chosen ? chosen->name : "";
    cupsFreeDests(count, dests);
    return count == 2 ? name : "count " + std::to_string(count);
  };
  cups->Run("lpoptions -d Second");
  EXPECT_EQ(default_name(), "Second");
  // The private HOME's lpoptions is the user's, read after the system's.
  std::filesystem::create_directory(cups->HomePath() + "/.cups");
  std::ofstream(cups->HomePath() + "/.cups/lpoptions") << "Default First\n";
  EXPECT_EQ(default_name(), "First");
}

TEST(PrivateCups, ASecondServerInTheSameProcessIsSeenAfresh) {
  std::string why;
  {
    auto first = PrivateCups::Start(&why);
    if (!first) GTEST_SKIP() << why;
    first->AddQueue("Old");
    EXPECT_EQ(CupsPrintService().PrinterNames(),
              std::vector<std::string>{"Old"});
    std::string second_why;
    EXPECT_EQ(PrivateCups::Start(&second_why), nullptr);
    EXPECT_NE(second_why, "");
  }
  auto second = PrivateCups::Start(&why);
  ASSERT_NE(second, nullptr) << why;
  second->AddQueue("New");
  EXPECT_EQ(CupsPrintService().PrinterNames(), std::vector<std::string>{"New"});
}

TEST(PrivateCups, RestoresTheEnvironment) {
  setenv("LPDEST", "SomewhereElse", 1);
  std::string home = getenv("HOME") ? getenv("HOME") : "";
  std::string why;
  {
    auto cups = PrivateCups::Start(&why);
    if (!cups) {
      unsetenv("LPDEST");
      GTEST_SKIP() << why;
    }
    EXPECT_EQ(getenv("LPDEST"), nullptr);
    EXPECT_EQ(std::string(getenv("HOME")), cups->HomePath());
  }
  EXPECT_STREQ(getenv("LPDEST"), "SomewhereElse");
  EXPECT_EQ(std::string(getenv("HOME") ? getenv("HOME") : ""), home);
  unsetenv("LPDEST");
}

// Against the private server

using CupsPrintServiceTest = CupsTest;

TEST_F(CupsPrintServiceTest, ReadsARecordAndSettingsWithLpoptionsOverriding) {
  cups().AddQueue("Office", PrivateCups::Driver::kPdf);
  cups().Run(
      "lpadmin -p Office -D 'Second floor' -L 'Room 12' "
      "-o media-default=iso_a4_210x297mm -o sides-default=one-sided");
  CupsPrintService service;
  PrinterReading before = service.ReadPrinter("Office");
  ASSERT_EQ(before.outcome, ReadOutcome::kRead);
  EXPECT_EQ(before.record.printer_name, "Office");
  EXPECT_EQ(before.record.comment, "Second floor");
  EXPECT_EQ(before.record.location, "Room 12");
  EXPECT_EQ(before.record.port_name, "FILE:" + cups().OutputPath("Office"));
  EXPECT_NE(before.record.driver_name, "");
  EXPECT_EQ(before.record.attributes & printer_attributes::kLocal,
            printer_attributes::kLocal);
  EXPECT_EQ(before.record.status, 0);
  EXPECT_EQ(before.settings.device_name, "Office");
  EXPECT_EQ(before.settings.paper_size, 9);
  EXPECT_EQ(before.settings.paper_width, 2100);
  EXPECT_EQ(before.settings.duplex, 1);

  cups().Run(
      "lpoptions -p Office -o media=Letter -o copies=3 "
      "-o orientation-requested=4 -o sides=two-sided-long-edge");
  PrinterReading after = service.ReadPrinter("Office");
  EXPECT_EQ(after.settings.paper_size, 1);
  EXPECT_EQ(after.settings.form_name, "Letter");
  EXPECT_EQ(after.settings.copies, 3);
  EXPECT_EQ(after.settings.orientation, 2);
  EXPECT_EQ(after.settings.duplex, 2);
}

TEST_F(CupsPrintServiceTest, APrinterThatDoesNotExistCannotBeOpened) {
  CupsPrintService service;
  for (const char* name : {"Missing", "", "bad/name", "with space"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(service.ReadPrinter(name).outcome, ReadOutcome::kNotOpened);
    EXPECT_EQ(service.JobCount(name).outcome, ReadOutcome::kNotOpened);
    EXPECT_EQ(service.ReadJobs(name).outcome, ReadOutcome::kNotOpened);
    EXPECT_EQ(service.ControlJob(name, 1, JobCommand::kPause),
              CommandOutcome::kNotOpened);
    EXPECT_EQ(service.ControlPrinter(name, PrinterCommand::kPause),
              CommandOutcome::kNotOpened);
    EXPECT_FALSE(service.MoveJob(name, 1, -1));
    EXPECT_FALSE(service.CanAdminister(name));
    EXPECT_FALSE(service.SetDefaultPrinter(name));
  }
}

TEST_F(CupsPrintServiceTest, ReadsJobsWithTheirFields) {
  cups().AddQueue("Jobs");
  int first = cups().SubmitHeld("Jobs", "invoice.html", std::string(3000, 'x'));
  int second = cups().SubmitHeld("Jobs", "note.html");
  CupsPrintService service;
  JobCountReading count = service.JobCount("Jobs");
  EXPECT_EQ(count.outcome, ReadOutcome::kRead);
  EXPECT_EQ(count.count, 2);
  JobsReading reading = service.ReadJobs("Jobs");
  ASSERT_EQ(reading.outcome, ReadOutcome::kRead);
  ASSERT_EQ(reading.jobs.size(), 2u);
  const JobRecord& job = reading.jobs[0];
  EXPECT_EQ(job.job_id, first);
  EXPECT_EQ(reading.jobs[1].job_id, second);
  EXPECT_EQ(job.document, "invoice.html");
  EXPECT_EQ(job.printer_name, "Jobs");
  EXPECT_EQ(job.user_name, "root");
  EXPECT_EQ(job.status, job_status::kPaused);
  EXPECT_EQ(job.position, 1);
  EXPECT_EQ(reading.jobs[1].position, 2);
  EXPECT_EQ(job.priority, 50);
  EXPECT_EQ(job.size, 3 * 1024);
  EXPECT_NEAR(static_cast<double>(job.submitted),
              static_cast<double>(std::time(nullptr)), 60.0);
}

TEST_F(CupsPrintServiceTest, TheDefaultIsWhatLpstatReportsAndFollowsLpdest) {
  cups().AddQueue("Alpha");
  cups().AddQueue("Beta");
  CupsPrintService service;
  EXPECT_EQ(service.DefaultPrinterName(), "");
  ASSERT_TRUE(service.SetDefaultPrinter("beta"));  // letter case ignored
  EXPECT_EQ(service.DefaultPrinterName(), "Beta");
  EXPECT_NE(cups().Run("lpstat -d").find("Beta"), std::string::npos);

  setenv("LPDEST", "Alpha", 1);
  EXPECT_EQ(service.DefaultPrinterName(), "Alpha");
  ASSERT_TRUE(service.SetDefaultPrinter("Beta"));
  EXPECT_STREQ(getenv("LPDEST"), "Beta");
  EXPECT_EQ(service.DefaultPrinterName(), "Beta");
  unsetenv("LPDEST");
}

TEST_F(CupsPrintServiceTest, ErrorTextNamesKnownCodesAndTheServersMessage) {
  CupsPrintService service;
  EXPECT_EQ(service.ErrorText(IPP_STATUS_ERROR_FORBIDDEN),
            "client-error-forbidden");
  EXPECT_EQ(service.ErrorText(1801), "");
  // A failure the server explained is described with its message.
  cups().AddQueue("Held");
  EXPECT_EQ(service.ControlJob("Held", 999, JobCommand::kResume),
            CommandOutcome::kRefused);
  EXPECT_NE(service.ErrorText(IPP_STATUS_ERROR_NOT_FOUND), "");
  EXPECT_NE(service.ErrorText(IPP_STATUS_ERROR_NOT_FOUND),
            "client-error-not-found");
}

TEST_F(CupsPrintServiceTest, PropertiesDialogOfADomainSocketServerDoesNothing) {
  cups().AddQueue("Props");
  // An opener that would leave a mark if it were run.
  std::string bin = (cups().dir() / "home").string();
  std::string mark = bin + "/opened";
  {
    std::ofstream script(bin + "/xdg-open");
    script << "#!/bin/sh\ntouch " << mark << "\n";
  }
  std::filesystem::permissions(bin + "/xdg-open", std::filesystem::perms(0755));
  std::string path = getenv("PATH");
  setenv("PATH", (bin + ":" + path).c_str(), 1);
  CupsPrintService().ShowPropertiesDialog("Props", 0);
  setenv("PATH", path.c_str(), 1);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(std::filesystem::exists(mark));
}

TEST_F(CupsPrintServiceTest, AServerThatCannotBeReachedIsAFailureNotAPrinter) {
  cups().AddQueue("Lost");
  std::string socket = getenv("CUPS_SERVER");
  setenv("CUPS_SERVER", (cups().dir() / "no-server.sock").c_str(), 1);
  cupsSetServer(nullptr);
  auto begin = Clock::now();
  CupsPrintService service;
  PrinterReading reading = service.ReadPrinter("Lost");
  EXPECT_EQ(reading.outcome, ReadOutcome::kFailed);
  EXPECT_NE(reading.error, 0);
  EXPECT_NE(service.ErrorText(reading.error), "");
  EXPECT_EQ(service.DefaultPrinterName(), "");
  EXPECT_TRUE(service.PrinterNames().empty());
  EXPECT_FALSE(service.SetDefaultPrinter("Lost"));
  EXPECT_LT(std::chrono::duration<double>(Clock::now() - begin).count(), 2.0);
  setenv("CUPS_SERVER", socket.c_str(), 1);
  cupsSetServer(nullptr);
  EXPECT_EQ(service.ReadPrinter("Lost").outcome, ReadOutcome::kRead);
}

// Runs `body` as user nobody in a child process and returns what it
// printed, one result a line.
std::string RunAsNobody(const std::function<std::string()>& body) {
  passwd* nobody = getpwnam("nobody");
  if (!nobody) return "no user nobody";
  int fds[2];
  if (pipe(fds) != 0) return "no pipe";
  pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    if (setgroups(0, nullptr) != 0 || setgid(nobody->pw_gid) != 0 ||
        setuid(nobody->pw_uid) != 0) {
      _exit(2);
    }
    // libcups keeps the parent's connection and user name; start afresh.
    cupsSetServer(nullptr);
    cupsSetUser(nullptr);
    std::string out = body();
    (void)!write(fds[1], out.data(), out.size());
    _exit(0);
  }
  close(fds[1]);
  std::string out;
  char buffer[512];
  ssize_t n;
  while ((n = read(fds[0], buffer, sizeof buffer)) > 0) out.append(buffer, n);
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return "child failed";
  return out;
}

TEST_F(CupsPrintServiceTest, AUserWithoutAdminRightsReadsButCannotAdminister) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to become nobody";
  cups().AddQueue("Shared");
  int job = cups().SubmitHeld("Shared");
  std::string out = RunAsNobody([job] {
    CupsPrintService service;
    std::string result;
    auto line = [&](const std::string& name, auto value) {
      result += name + "=" + std::to_string(value) + "\n";
    };
    PrinterReading reading = service.ReadPrinter("Shared");
    line("read", static_cast<int>(reading.outcome));
    line("count", service.JobCount("Shared").count);
    line("admin", service.CanAdminister("Shared"));
    line("pause", static_cast<int>(service.ControlPrinter(
                      "Shared", PrinterCommand::kPause)));
    line("release", static_cast<int>(service.ControlJob("Shared", job,
                                                        JobCommand::kResume)));
    line("move", service.MoveJob("Shared", job, 1));
    return result;
  });
  EXPECT_EQ(out, "read=0\ncount=1\nadmin=0\npause=0\nrelease=1\nmove=0\n");
  // Nothing changed on the server.
  EXPECT_EQ(cups().Run("lpstat -p Shared").find("disabled"), std::string::npos);
  EXPECT_NE(
      cups().Run("lpstat -o Shared").find("Shared-" + std::to_string(job)),
      std::string::npos);
}

}  // namespace
}  // namespace nerolin::printing
