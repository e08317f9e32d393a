#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace nerolin::hostlib {

// Bounds of one download.
struct DownloadLimits {
  long connect_timeout_ms = 10'000;
  long total_timeout_ms = 60'000;
  std::uint64_t max_bytes = 50ull << 20;
  long max_redirects = 5;
};

// Copies the picture at `location` into a new file in the system's
// temporary folder and returns that file's path; the caller deletes it.
// `location` is an http or https URL (fetched with libcurl: redirects
// followed within http and https, an HTTP status of 400 or more is a
// failure), a file: URL ("file:///p", "file://localhost/p", "file:/p",
// percent escapes decoded), or a local path; a relative path that does not
// exist as given is tried under `own_folder`. The new file keeps the
// extension of the location's last path segment. Raises AutomationError
// (53 for a missing local file, 75 for anything else) naming the location
// and the reason; a failure leaves no file behind.
std::string DownloadToTemporaryFile(std::string_view location,
                                    std::string_view own_folder,
                                    const DownloadLimits& limits = {});

}  // namespace nerolin::hostlib
