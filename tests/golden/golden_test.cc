// Whole-report scenarios: each folder under tests/golden/ is run through the
// built nerolin-report program and its outputs are compared with the
// folder's expected/ files. README.md beside this file describes the layout.

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <unistd.h>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "support/test_database.h"
#include "support/test_support.h"

namespace nerolin::golden {
namespace {

namespace fs = std::filesystem;

using ::nerolin::testing::MakeTestDatabase;
using ::nerolin::testing::TempDir;

// The names inside a scenario folder.
constexpr char kCommandFile[] = "command";
constexpr char kDataFile[] = "data.sql";
constexpr char kExpectedFolder[] = "expected";
constexpr char kStdoutFile[] = "stdout";
constexpr char kStderrFile[] = "stderr";
constexpr char kExitCodeFile[] = "exit_code";
constexpr char kFilesFolder[] = "files";
constexpr char kAbsentFile[] = "absent";

// The names inside a run's temporary root.
constexpr char kCaseFolder[] = "case";
constexpr char kOutFolder[] = "out";
constexpr char kDatabaseName[] = "host.db";

constexpr auto kRunTimeLimit = std::chrono::minutes(2);

fs::path GoldenRoot() { return NEROLIN_GOLDEN_DIR; }

bool UpdateRequested() {
  const char* value = std::getenv("NEROLIN_GOLDEN_UPDATE");
  return value != nullptr && std::string_view(value) == "1";
}

// Every folder that holds a command file, by name; a test name can hold
// only letters, digits and "_", so other folders are not scenarios.
std::vector<std::string> ScenarioNames() {
  std::vector<std::string> names;
  std::error_code error;
  for (const fs::directory_entry& entry :
       fs::directory_iterator(GoldenRoot(), error)) {
    const std::string name = entry.path().filename().string();
    const bool plain_name =
        !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
          return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
        });
    if (plain_name && fs::is_regular_file(entry.path() / kCommandFile)) {
      names.push_back(name);
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

void WriteBytes(const fs::path& path, std::string_view bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  EXPECT_TRUE(out.good()) << "cannot write " << path;
}

// One line a piece; the line break after the last line ends it and makes
// no empty piece, but an empty line inside is an empty piece (an empty
// argument, an empty path).
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

std::string ReplaceAll(std::string text, std::string_view from,
                       std::string_view to) {
  if (from.empty()) return text;
  std::string result;
  result.reserve(text.size());
  std::size_t start = 0;
  for (std::size_t found = text.find(from); found != std::string::npos;
       found = text.find(from, start)) {
    result.append(text, start, found - start);
    result.append(to);
    start = found + from.size();
  }
  result.append(text, start, std::string::npos);
  return result;
}

// The placeholders of a scenario's files and the paths of one run. The most
// specific paths come first, so that {db}, {dir} and {out} win over {root}.
class Placeholders {
 public:
  explicit Placeholders(const fs::path& root)
      : pairs_{{{"{db}", (root / kDatabaseName).string()},
                {"{dir}", (root / kCaseFolder).string()},
                {"{out}", (root / kOutFolder).string()},
                {"{root}", root.string()}}} {}

  std::string Expand(std::string text) const {
    for (const auto& [name, path] : pairs_) text = ReplaceAll(text, name, path);
    return text;
  }

  // The run's paths written back as placeholders, so that expected outputs
  // do not depend on the temporary folder.
  std::string Fold(std::string text) const {
    for (const auto& [name, path] : pairs_) text = ReplaceAll(text, path, name);
    return text;
  }

 private:
  std::array<std::pair<std::string, std::string>, 4> pairs_;
};

using Outcome = ::nerolin::testing::ProgramRun;

// Runs nerolin-report with `arguments` in the folder `working_folder`.
Outcome RunTool(const std::vector<std::string>& arguments,
                const fs::path& working_folder) {
  std::vector<std::string> command = {NEROLIN_REPORT_BINARY};
  command.insert(command.end(), arguments.begin(), arguments.end());
  return ::nerolin::testing::RunProgram(command, working_folder, kRunTimeLimit);
}

// Where two texts first differ, by line, for a failure message that stays
// readable when the texts are whole reports.
std::string FirstDifference(const std::string& expected,
                            const std::string& actual) {
  const std::size_t limit = std::min(expected.size(), actual.size());
  std::size_t at = 0;
  while (at < limit && expected[at] == actual[at]) ++at;
  const std::size_t line_start =
      at == 0 ? 0 : expected.rfind('\n', at - 1) + 1;  // npos + 1 is 0
  const std::size_t line_number =
      1 + static_cast<std::size_t>(std::count(
              expected.begin(),
              expected.begin() + static_cast<std::ptrdiff_t>(at), '\n'));
  auto line_at = [line_start](const std::string& text) {
    if (line_start >= text.size()) return std::string("<end>");
    const std::size_t end = text.find('\n', line_start);
    std::string line =
        text.substr(line_start, end == std::string::npos ? std::string::npos
                                                         : end - line_start);
    constexpr std::size_t kShown = 400;
    if (line.size() > kShown) line = line.substr(0, kShown) + "...";
    return line;
  };
  std::ostringstream message;
  message << "sizes " << expected.size() << " (expected) and " << actual.size()
          << " (actual); first difference at byte " << at << ", line "
          << line_number << "\n  expected: " << line_at(expected)
          << "\n  actual:   " << line_at(actual);
  return message.str();
}

// Compares one output with its expected file, or writes the output over it
// in update mode. A missing expected file stands for the empty text when
// `missing_means_empty`, and is then not created for an empty output.
void Check(const std::string& what, const fs::path& expected_path,
           const std::string& actual, bool missing_means_empty) {
  const bool present = fs::exists(expected_path);
  if (UpdateRequested()) {
    if (actual.empty() && missing_means_empty) {
      fs::remove(expected_path);
    } else {
      WriteBytes(expected_path, actual);
    }
    return;
  }
  if (!present && !missing_means_empty) {
    ADD_FAILURE() << what << ": no expected file " << expected_path;
    return;
  }
  const std::string expected = present ? ReadBytes(expected_path) : "";
  if (expected != actual) {
    ADD_FAILURE() << what << " differs from " << expected_path << ": "
                  << FirstDifference(expected, actual);
  }
}

// Copies the scenario's own files (all but its expected outputs) into the
// run's folder, where the command finds its templates and writes beside
// them.
void CopyScenario(const fs::path& scenario, const fs::path& copy) {
  fs::create_directories(copy);
  for (const fs::directory_entry& entry : fs::directory_iterator(scenario)) {
    if (entry.path().filename() == kExpectedFolder) continue;
    fs::copy(entry.path(), copy / entry.path().filename(),
             fs::copy_options::recursive);
  }
}

class GoldenScenario : public ::testing::TestWithParam<std::string> {};

TEST_P(GoldenScenario, ProducesItsExpectedOutputs) {
  const fs::path scenario = GoldenRoot() / GetParam();
  const fs::path expected = scenario / kExpectedFolder;
  TempDir root;
  const Placeholders placeholders(root.path());
  CopyScenario(scenario, root.path() / kCaseFolder);
  fs::create_directories(root.path() / kOutFolder);
  const fs::path data = scenario / kDataFile;
  MakeTestDatabase(root,
                   fs::exists(data) ? placeholders.Expand(ReadBytes(data)) : "",
                   kDatabaseName);

  std::vector<std::string> arguments =
      Lines(placeholders.Expand(ReadBytes(scenario / kCommandFile)));
  const Outcome outcome = RunTool(arguments, root.path());

  Check("standard output", expected / kStdoutFile,
        placeholders.Fold(outcome.out), /*missing_means_empty=*/true);
  Check("standard error", expected / kStderrFile,
        placeholders.Fold(outcome.err), /*missing_means_empty=*/true);
  Check("exit code", expected / kExitCodeFile,
        std::to_string(outcome.exit_code) + "\n",
        /*missing_means_empty=*/false);

  // Each expected file names, by its place under expected/files/, the file
  // of the run's root that must hold the same bytes.
  const fs::path files = expected / kFilesFolder;
  if (fs::is_directory(files)) {
    for (const fs::directory_entry& entry :
         fs::recursive_directory_iterator(files)) {
      if (!entry.is_regular_file()) continue;
      const fs::path relative = fs::relative(entry.path(), files);
      const fs::path written = root.path() / relative;
      if (!fs::is_regular_file(written)) {
        ADD_FAILURE() << relative << " was not written";
        continue;
      }
      Check(relative.string(), entry.path(),
            placeholders.Fold(ReadBytes(written)),
            /*missing_means_empty=*/false);
    }
  }

  // Paths, relative to the run's root, that the run must not leave behind.
  const fs::path absent = expected / kAbsentFile;
  if (fs::exists(absent)) {
    for (const std::string& relative : Lines(ReadBytes(absent))) {
      if (relative.empty()) continue;
      EXPECT_FALSE(fs::exists(root.path() / relative))
          << relative << " exists after the run";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Golden, GoldenScenario,
                         ::testing::ValuesIn(ScenarioNames()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           return info.param;
                         });

}  // namespace
}  // namespace nerolin::golden
