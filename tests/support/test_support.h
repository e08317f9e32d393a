#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "nerolin/automation_error.h"
#include "nerolin/object.h"

namespace nerolin::testing {

// A fresh folder under the system's temporary folder, removed with all it
// holds when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // path() / name, as text.
  std::string File(std::string_view name) const;
  // Writes `bytes` to path() / name and returns its path.
  std::string Write(std::string_view name, std::string_view bytes) const;

 private:
  std::filesystem::path path_;
};

// The file's whole content; fails the test when it cannot be read.
std::string ReadFile(const std::string& path);

// An object whose default member gives `value`, like a Field.
class FieldLike : public Object {
 public:
  explicit FieldLike(Variant value) : value_(std::move(value)) {}
  std::string_view TypeName() const override { return "Field"; }
  Variant Invoke(std::string_view member, InvokeKind, Arguments&) override {
    ThrowNoSuchMember(TypeName(), member);
  }
  Variant DefaultValue() override { return value_; }
  void set_value(Variant value) { value_ = std::move(value); }

 private:
  Variant value_;
};

// A FieldLike whose first reading closes `rows` and opens them again, by
// name, as a host's object standing among a recordset's values may.
class ReopeningFieldLike : public FieldLike {
 public:
  using FieldLike::FieldLike;
  Variant DefaultValue() override {
    if (const ObjectRef open = rows.lock(); open && !reopened_) {
      reopened_ = true;
      open->Call("Close");
      open->Call("Open");
    }
    return FieldLike::DefaultValue();
  }

  std::weak_ptr<Object> rows;

 private:
  bool reopened_ = false;
};

// A path below the source tree ("data/schema.sql").
std::string SourcePath(std::string_view relative);

// What a program wrote and how it ended.
struct ProgramRun {
  int exit_code = -1;  // -1 when it did not end normally or in time
  std::string out;
  std::string err;
};

// Runs `command` (the program, found on PATH when its name holds no "/",
// then its arguments; no shell in between) in `working_folder` ("" for this
// one) with standard input from /dev/null, and collects what it wrote and its
// exit status. A run that outlasts `time_limit` is killed, fails the test and
// gives exit code -1.
ProgramRun RunProgram(
    const std::vector<std::string>& command,
    const std::filesystem::path& working_folder = {},
    std::chrono::milliseconds time_limit = std::chrono::minutes(1));

// Runs `body` in a forked child process and gives what it returned (0 to
// 125), or -1 when the child died or outlasted `time_limit` (a wait that
// never ends). With `file_size_limit` the child's files cannot grow past
// that many bytes (writes fail with EFBIG, SIGXFSZ ignored), which stands
// in for a full disk.
int RunInChild(const std::function<int()>& body,
               std::optional<std::size_t> file_size_limit = std::nullopt,
               std::chrono::seconds time_limit = std::chrono::seconds(10));

}  // namespace nerolin::testing

// Checks that `statement` raises an AutomationError with `number`.
#define EXPECT_AUTOMATION_ERROR(statement, expected_number)              \
  do {                                                                   \
    try {                                                                \
      statement;                                                         \
      ADD_FAILURE() << "expected AutomationError " << (expected_number); \
    } catch (const ::nerolin::AutomationError& automation_error_) {      \
      EXPECT_EQ(automation_error_.number(), (expected_number))           \
          << automation_error_.description();                            \
    }                                                                    \
  } while (false)

// Checks the number and that the description contains `text`.
#define EXPECT_AUTOMATION_ERROR_MSG(statement, expected_number, text)          \
  do {                                                                         \
    try {                                                                      \
      statement;                                                               \
      ADD_FAILURE() << "expected AutomationError " << (expected_number);       \
    } catch (const ::nerolin::AutomationError& automation_error_) {            \
      EXPECT_EQ(automation_error_.number(), (expected_number))                 \
          << automation_error_.description();                                  \
      EXPECT_NE(automation_error_.description().find(text), std::string::npos) \
          << automation_error_.description();                                  \
    }                                                                          \
  } while (false)
