#pragma once

#include <string>
#include <string_view>

#include "support/test_support.h"

namespace nerolin::testing {

// Builds a SQLite database file in `dir` from data/schema.sql followed by
// `inserts` (any SQL script) and returns its path. Fails the test when the
// script is rejected.
std::string MakeTestDatabase(const TempDir& dir, std::string_view inserts = {},
                             std::string_view name = "host.db");

}  // namespace nerolin::testing
