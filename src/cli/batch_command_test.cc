#include "cli/batch_command.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <optional>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <sys/wait.h>

#include "platform/process.h"
#include "support/private_cups.h"
#include "support/private_display.h"
#include "support/test_database.h"
#include "support/test_support.h"

extern char** environ;

namespace nerolin::cli {
namespace {

using ::nerolin::testing::MakeTestDatabase;
using ::nerolin::testing::PdfText;
using ::nerolin::testing::ReadFile;
using ::nerolin::testing::TempDir;
using Outcome = ::nerolin::testing::ProgramRun;

Outcome RunTool(const std::vector<std::string>& arguments) {
  std::vector<std::string> command = {NEROLIN_REPORT_BINARY};
  command.insert(command.end(), arguments.begin(), arguments.end());
  return ::nerolin::testing::RunProgram(command);
}

TEST(BatchKeys, APlainNumberGoesAsWrittenAnythingElseQuoted) {
  struct Case {
    const char* key;
    const char* expected;
  };
  for (const Case& c : std::vector<Case>{
           {"42", "ID = 42 OR P = 42"},
           {"-3.50", "ID = -3.50 OR P = -3.50"},
           {"A-1187", "ID = 'A-1187' OR P = 'A-1187'"},
           {"O'Brien", "ID = 'O''Brien' OR P = 'O''Brien'"},
           {"1e5", "ID = '1e5' OR P = '1e5'"},
           {"7.", "ID = '7.' OR P = '7.'"},
           {" 7", "ID = ' 7' OR P = ' 7'"},
           {"", "ID = '' OR P = ''"},
       }) {
    SCOPED_TRACE(c.key);
    EXPECT_EQ(SubstituteKey("ID = {KEY} OR P = {KEY}", c.key), c.expected);
  }
  EXPECT_EQ(SubstituteKey("SELECT 1", "9"), "SELECT 1");
}

TEST(BatchKeys, FileNamesAreSafeNeverHiddenNorEmpty) {
  EXPECT_EQ(SafeFileName("A-1187_x.v2"), "A-1187_x.v2");
  EXPECT_EQ(SafeFileName("../etc/passwd"), "_.._etc_passwd");
  EXPECT_EQ(SafeFileName("a b\\c:d"), "a_b_c_d");
  EXPECT_EQ(SafeFileName(""), "_");
  EXPECT_EQ(SafeFileName("Ñ"), "__");
  EXPECT_EQ(SafeFileName(std::string(300, 'x')).size(), 120u);
}

constexpr const char* kTemplate =
    "<html><head><meta charset=\"utf-8\"></head><body>"
    "<DETAIL><p>[Name] [Amount]</p></DETAIL></body></html>";

// Keys with a repeat and two that give one file name.
std::string BatchDatabase(const TempDir& dir) {
  return MakeTestDatabase(
      dir,
      "CREATE TABLE doc (ID INTEGER, Folio TEXT, Name TEXT, Amount INTEGER);"
      "INSERT INTO doc VALUES (1, 'A/1', 'Uno', 10), (2, 'A_1', 'Dos', 20),"
      " (1, 'A/1', 'Uno bis', 11), (3, 'O''Brien', 'Tres', 30),"
      " (4, 'roto', 'Cuatro', NULL);");
}

TEST(BatchCommand, WritesEachKeyOnceUnderASafeName) {
  TempDir dir;
  const std::string db = BatchDatabase(dir);
  const std::string out = dir.File("out");
  const Outcome outcome = RunTool(
      {"--db", db, "batch", "--keys", "SELECT Folio FROM doc ORDER BY ID",
       "--sql", "SELECT * FROM doc WHERE Folio = {KEY} ORDER BY Amount",
       "--template", dir.Write("t.html", kTemplate), "--out-dir", out});
  EXPECT_EQ(outcome.exit_code, 0) << outcome.err;
  EXPECT_EQ(outcome.out, "");
  EXPECT_NE(ReadFile(out + "/A_1.html").find("Uno 10"), std::string::npos);
  EXPECT_NE(ReadFile(out + "/A_1.html").find("Uno bis 11"), std::string::npos);
  EXPECT_NE(ReadFile(out + "/A_1-2.html").find("Dos 20"), std::string::npos);
  EXPECT_NE(ReadFile(out + "/O_Brien.html").find("Tres 30"), std::string::npos);
  EXPECT_TRUE(std::filesystem::exists(out + "/roto.html"));
  EXPECT_EQ(outcome.err.rfind("4 documents written, 0 failed", 0), 0u)
      << outcome.err;
  EXPECT_FALSE(std::filesystem::exists(out + "/A_1-3.html"));
}

TEST(BatchCommand, AFailedDocumentNeverStopsTheOthers) {
  if (const std::string why = ::nerolin::testing::ChromiumUnavailable();
      !why.empty()) {
    GTEST_SKIP() << why;
  }
  TempDir dir;
  const std::string db = BatchDatabase(dir);
  const std::string out = dir.File("out");
  // A folder where the report file of "roto" goes: it cannot be written.
  std::filesystem::create_directories(out + "/roto.html");
  const Outcome outcome = RunTool(
      {"--db", db, "batch", "--keys", "SELECT Folio FROM doc ORDER BY ID",
       "--sql", "SELECT * FROM doc WHERE Folio = {KEY} ORDER BY Amount",
       "--template", dir.Write("t.html", kTemplate), "--out-dir", out, "--pdf",
       "--jobs", "2"});
  EXPECT_EQ(outcome.exit_code, 1);
  EXPECT_NE(outcome.err.find("roto: report file " + out + "/roto.html"),
            std::string::npos)
      << outcome.err;
  EXPECT_NE(outcome.err.find("3 documents written, 1 failed"),
            std::string::npos);
  EXPECT_NE(outcome.err.find("nerolin-report batch: 1 of 4 documents failed"),
            std::string::npos);
  EXPECT_NE(PdfText(out + "/A_1-2.pdf").find("Dos 20"), std::string::npos);
  EXPECT_NE(PdfText(out + "/O_Brien.pdf").find("Tres 30"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(out + "/roto.pdf"));
}

TEST(BatchCommand, PrintsEachDocumentOnTheGivenPrinter) {
  if (const std::string why = ::nerolin::testing::ChromiumUnavailable();
      !why.empty()) {
    GTEST_SKIP() << why;
  }
  std::string why;
  auto cups = ::nerolin::testing::PrivateCups::Start(&why);
  if (!cups) GTEST_SKIP() << why;
  cups->AddQueue("Caja", ::nerolin::testing::PrivateCups::Driver::kPdf);
  TempDir dir;
  const Outcome outcome = RunTool(
      {"--db", BatchDatabase(dir), "--printer", "Caja", "--copies", "2",
       "batch", "--keys", "SELECT Folio FROM doc WHERE ID < 3 ORDER BY ID",
       "--sql", "SELECT * FROM doc WHERE Folio = {KEY}", "--template",
       dir.Write("t.html", kTemplate), "--out-dir", dir.File("out"),
       "--print"});
  EXPECT_EQ(outcome.exit_code, 0) << outcome.err;
  const std::string completed = cups->Run("lpstat -W completed -o Caja");
  EXPECT_EQ(std::count(completed.begin(), completed.end(), '\n'), 4)
      << completed;
}

// One document a key, named after it.
constexpr const char* kCopySql =
    "SELECT 1 AS ID, 'Copia ' || {KEY} AS Name, {KEY} AS Amount";

// The browser of a running batch killed after its first PDFs: it is started
// again once and every document still gets its PDF.
TEST(BatchCommand, GoesOnAfterItsBrowserIsKilled) {
  if (const std::string why = ::nerolin::testing::ChromiumUnavailable();
      !why.empty()) {
    GTEST_SKIP() << why;
  }
  TempDir dir;
  const std::string out = dir.File("out");
  const std::string keys =
      "WITH RECURSIVE n(k) AS (SELECT 1 UNION ALL SELECT k + 1 FROM n WHERE "
      "k < 16) SELECT k FROM n";
  const std::vector<std::string> command = {
      NEROLIN_REPORT_BINARY,
      "--db",
      BatchDatabase(dir),
      "batch",
      "--keys",
      keys,
      "--sql",
      kCopySql,
      "--template",
      dir.Write("t.html", kTemplate),
      "--out-dir",
      out,
      "--pdf",
      "--jobs",
      "2",
  };
  std::vector<char*> argv;
  for (const std::string& argument : command) {
    argv.push_back(const_cast<char*>(argument.c_str()));
  }
  argv.push_back(nullptr);
  pid_t tool = -1;
  ASSERT_EQ(posix_spawn(&tool, argv[0], nullptr, nullptr, argv.data(), environ),
            0);
  // Its browser: the child whose command line asks for the pipe.
  std::optional<pid_t> browser;
  const auto start = std::chrono::steady_clock::now();
  while (!browser &&
         std::chrono::steady_clock::now() - start < std::chrono::seconds(60)) {
    if (std::filesystem::exists(out + "/3.pdf")) {
      for (const auto& stat : platform::ReadProcessStats()) {
        if (stat.parent != tool) continue;
        const std::string line =
            ReadFile("/proc/" + std::to_string(stat.pid) + "/cmdline");
        if (line.find("--remote-debugging-pipe") != std::string::npos) {
          browser = stat.pid;
        }
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ASSERT_TRUE(browser.has_value());
  kill(-*browser, SIGKILL);
  int status = 0;
  ASSERT_EQ(waitpid(tool, &status, 0), tool);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  for (int key = 1; key <= 16; ++key) {
    SCOPED_TRACE(key);
    EXPECT_NE(PdfText(out + "/" + std::to_string(key) + ".pdf")
                  .find("Copia " + std::to_string(key)),
              std::string::npos);
  }
}

TEST(PdfCommand, ManyFilesInOneCallAndEachMissingOneNamed) {
  if (const std::string why = ::nerolin::testing::ChromiumUnavailable();
      !why.empty()) {
    GTEST_SKIP() << why;
  }
  TempDir dir;
  const std::string a = dir.Write("a.html", "<p>Factura uno</p>");
  const std::string b = dir.Write("b.htm", "<p>Factura dos</p>");
  const std::string missing = dir.File("falta.html");
  Outcome outcome = RunTool({"pdf", a, missing, b, "--jobs", "2"});
  EXPECT_EQ(outcome.exit_code, 1);
  EXPECT_EQ(outcome.err, missing + ": Error 53: File not found: " + missing +
                             "\nnerolin-report pdf: 1 of 3 reports failed\n");
  EXPECT_NE(PdfText(dir.File("a.pdf")).find("Factura uno"), std::string::npos);
  EXPECT_NE(PdfText(dir.File("b.pdf")).find("Factura dos"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir.File("falta.pdf")));

  outcome = RunTool({"pdf", a, b, "--out-dir", dir.File("pdfs")});
  EXPECT_EQ(outcome.exit_code, 0) << outcome.err;
  EXPECT_EQ(outcome.err, "");
  EXPECT_TRUE(ReadFile(dir.File("pdfs/a.pdf")).starts_with("%PDF-"));
  EXPECT_TRUE(ReadFile(dir.File("pdfs/b.pdf")).starts_with("%PDF-"));
}

TEST(PdfCommand, NeverWritesAPdfOverAReport) {
  if (const std::string why = ::nerolin::testing::ChromiumUnavailable();
      !why.empty()) {
    GTEST_SKIP() << why;
  }
  TempDir dir;
  const std::string named_pdf = dir.Write("r.pdf", "<p>Factura uno</p>");
  const std::string other = dir.Write("o.html", "<p>Factura dos</p>");
  Outcome outcome = RunTool({"pdf", named_pdf});
  EXPECT_EQ(outcome.exit_code, 1);
  EXPECT_EQ(outcome.err, "Error 75: Path/File access error: " + named_pdf +
                             " is a report to convert\n");
  EXPECT_EQ(ReadFile(named_pdf), "<p>Factura uno</p>");

  outcome = RunTool({"pdf", other, "--out", other});
  EXPECT_EQ(outcome.exit_code, 1);
  EXPECT_EQ(ReadFile(other), "<p>Factura dos</p>");
}

}  // namespace
}  // namespace nerolin::cli
