#pragma once

#include <string>

namespace nerolin::cli {

// Builds the demo database in `out_dir` (created when missing) and renders
// each of its documents to a report file there, writing each report's path
// as one line to standard output. Returns "" on success; otherwise a text
// saying what failed on what, which the caller shows before it exits with
// status 1. An AutomationError may also leave it.
std::string RunDemo(const std::string& out_dir);

}  // namespace nerolin::cli
