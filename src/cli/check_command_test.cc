#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/test_database.h"
#include "support/test_support.h"

// The check command and --strict, run as a script runs them.
namespace nerolin::cli {
namespace {

using ::nerolin::testing::MakeTestDatabase;
using ::nerolin::testing::ProgramRun;
using ::nerolin::testing::TempDir;

ProgramRun RunTool(const std::vector<std::string>& arguments) {
  std::vector<std::string> command = {NEROLIN_REPORT_BINARY};
  command.insert(command.end(), arguments.begin(), arguments.end());
  return ::nerolin::testing::RunProgram(command);
}

constexpr char kRows[] =
    "CREATE TABLE t (Nombre TEXT, Total REAL);"
    "INSERT INTO t VALUES ('Ana', 5);";

TEST(CheckCommand, FindingsAsTextAndJsonWithTheExitStatus) {
  TempDir dir;
  const std::string bad = dir.Write("bad.html", "<p>\r\n  <detail>[A</p>");
  const std::string warned = dir.Write("warned.html", "<p>a]</p>");
  const std::string clean = dir.Write("clean.html", "<p>[A]</p>");

  ProgramRun run = RunTool({"check", bad, warned, clean});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.out,
            bad +
                ":2:3: error: the detail tag \"<detail\" must be written in "
                "upper case (\"<DETAIL\"); the engine does not take it as a "
                "block tag [tag-case]\n" +
                bad +
                ":2:11: error: this \"[\" has no \"]\" after it in its "
                "block: the render stops with \"Missing '[' !\" and the "
                "block comes out empty [bracket-unclosed]\n" +
                warned +
                ":1:5: warning: this \"]\" closes no placeholder "
                "and stays as text [bracket-stray]\n");

  run = RunTool({"check", "--format", "json", warned});
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.out, "[\n {\"file\": \"" + warned +
                         "\", \"line\": 1, \"column\": 5, \"severity\": "
                         "\"warning\", \"code\": \"bracket-stray\", "
                         "\"message\": \"this \\\"]\\\" closes no placeholder "
                         "and stays as text\"}\n]\n");

  run = RunTool({"check", "--format", "json", clean});
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.out, "[]\n");
  // JSON is UTF-8: a byte that is no UTF-8, here in a file's name, goes as
  // U+FFFD.
  run = RunTool(
      {"check", "--format", "json", dir.Write("warned\xff.html", "<p>a]</p>")});
  EXPECT_NE(run.out.find("warned\xEF\xBF\xBD.html"), std::string::npos);
  EXPECT_EQ(run.out.find('\xff'), std::string::npos);
  EXPECT_EQ(RunTool({"check", "--format", "xml", clean}).exit_code, 2);
  EXPECT_EQ(RunTool({"check"}).exit_code, 2);
}

TEST(CheckCommand, DemoTemplatesCheckClean) {
  for (const char* name : {"factura.html", "mercancias.html", "pago.html",
                           "relacionados.html", "traslado.html"}) {
    SCOPED_TRACE(name);
    const ProgramRun run =
        RunTool({"check", ::nerolin::testing::SourcePath(
                              std::string("examples/demo/templates/") + name)});
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.out, "");
  }
}

TEST(CheckCommand, NamesAgainstTheStatementsColumns) {
  TempDir dir;
  const std::string db = MakeTestDatabase(dir, kRows);
  const std::string file = dir.Write("t.html", "[Nombre] [Descripcion]");
  ProgramRun run =
      RunTool({"--db", db, "check", file, "--sql", "SELECT * FROM t"});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.out, file +
                         ":1:10: error: the placeholder \"Descripcion\" is "
                         "no column of the statement's result; it renders "
                         "as ??Descripcion?? [column-unknown]\n");
  run = RunTool(
      {"--db", db, "--find-match", "check", file, "--sql", "SELECT * FROM t"});
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_NE(run.out.find(":1:10: warning:"), std::string::npos);

  run = RunTool({"--db", db, "check", file, "--sql", "SELECT * FROM nope"});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_NE(run.err.find("no such table: nope"), std::string::npos);
  EXPECT_EQ(RunTool({"check", file, "--sql", "SELECT 1"}).exit_code, 2);
}

// What --strict changes: the status and one last line on standard error.
class StrictMode : public ::testing::Test {
 protected:
  void SetUp() override { db_ = MakeTestDatabase(dir_, kRows); }

  // Runs the command with and without --strict and gives the strict run.
  ProgramRun RunBoth(const std::vector<std::string>& command) {
    std::vector<std::string> plain = {"--db", db_};
    plain.insert(plain.end(), command.begin(), command.end());
    std::vector<std::string> strict = plain;
    strict.insert(strict.begin(), "--strict");
    const ProgramRun before = RunTool(plain);
    const ProgramRun after = RunTool(strict);
    EXPECT_EQ(before.exit_code, 0);
    EXPECT_EQ(after.out, before.out);
    EXPECT_TRUE(after.err.starts_with(before.err)) << after.err;
    return after;
  }

  TempDir dir_;
  std::string db_;
};

TEST_F(StrictMode, EachFailureOnTheWayExits3) {
  const std::string clean = dir_.Write("clean.html", "<p>[Nombre]</p>");
  const std::string missing = dir_.Write("missing.html", "<p>[Nope]</p>");
  struct Case {
    const char* name;
    std::vector<std::string> command;
  } cases[] = {
      {"missing placeholder",
       {"get-html", "--sql", "SELECT * FROM t", "--template", missing}},
      {"missing template",
       {"get-html", "--sql", "SELECT * FROM t", "--template",
        dir_.File("none.html")}},
      {"unwritable destination",
       {"generate-report", "--sql", "SELECT * FROM t", "--template", clean,
        "--dest", dir_.File("no/such/folder/r.html")}},
      {"statement the database rejects",
       {"get-html", "--sql", "SELECT * FROM nope", "--template", clean}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ProgramRun run = RunBoth(c.command);
    EXPECT_EQ(run.exit_code, 3);
    EXPECT_TRUE(run.err.ends_with("\nstrict: 1 problems\n") ||
                run.err == "strict: 1 problems\n")
        << run.err;
  }
}

TEST_F(StrictMode, CleanRendersExit0) {
  const std::string clean = dir_.Write("clean.html", "<p>[Nombre]</p>");
  ProgramRun run =
      RunBoth({"get-html", "--sql", "SELECT * FROM t", "--template", clean});
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.err, "");
  run = RunTool({"--strict", "demo", "--out", dir_.File("demo")});
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.err, "");
}

}  // namespace
}  // namespace nerolin::cli
