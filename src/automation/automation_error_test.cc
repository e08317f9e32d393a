#include "nerolin/automation_error.h"

#include <exception>
#include <new>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

namespace nerolin {
namespace {

AutomationError FunnelOf(const std::exception_ptr& failure) {
  return AsAutomationError(failure, "Funnel");
}

TEST(AsAutomationErrorTest, EveryFailureBecomesOneAutomationError) {
  const AutomationError own = FunnelOf(std::make_exception_ptr(AutomationError(
      errors::kTypeMismatch, "Type mismatch: \"x\"", "Elsewhere")));
  EXPECT_EQ(own.number(), errors::kTypeMismatch);
  EXPECT_EQ(own.description(), "Type mismatch: \"x\"");
  EXPECT_EQ(own.source(), "Elsewhere");

  struct Case {
    const char* name;
    std::exception_ptr failure;
    std::int32_t number;
    std::string description;
  };
  const Case cases[] = {
      {"allocation", std::make_exception_ptr(std::bad_alloc()),
       errors::kOutOfMemory, "Out of memory"},
      {"standard", std::make_exception_ptr(std::out_of_range("index 9")),
       errors::kInternalError, "index 9"},
      {"unknown kind", std::make_exception_ptr(42), errors::kInternalError,
       "Unexpected failure of an unknown kind"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const AutomationError error = FunnelOf(c.failure);
    EXPECT_EQ(error.number(), c.number);
    EXPECT_EQ(error.description(), c.description);
    EXPECT_EQ(error.source(), "Funnel");
    EXPECT_EQ(std::string(error.what()),
              "Error " + std::to_string(c.number) + ": " + c.description);
  }
}

}  // namespace
}  // namespace nerolin
