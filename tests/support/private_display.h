#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <sys/types.h>

#include "support/test_support.h"

namespace nerolin::testing {

// Sets an environment variable for the life of the object and puts back
// what was there before (unset included).
class ScopedEnvironment {
 public:
  ScopedEnvironment() = default;
  ~ScopedEnvironment();
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

  void Set(const std::string& name, const std::string& value);
  void Unset(const std::string& name);

 private:
  void Save(const std::string& name);
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

// An X display of the test's own: Xvfb on a display number it picks itself
// (-displayfd), 1280x1024, no TCP. DISPLAY names it for the life of the
// object; the destructor ends Xvfb (and the window manager), waits for
// them and puts DISPLAY back.
class PrivateDisplay {
 public:
  // nullptr, with the reason in *why, when Xvfb (or, asked for, openbox)
  // cannot run here.
  static std::unique_ptr<PrivateDisplay> Start(std::string* why,
                                               bool window_manager = false);
  ~PrivateDisplay();
  PrivateDisplay(const PrivateDisplay&) = delete;
  PrivateDisplay& operator=(const PrivateDisplay&) = delete;

  // ":N".
  const std::string& name() const { return name_; }

 private:
  PrivateDisplay() = default;

  TempDir dir_;
  std::string name_;
  pid_t server_ = -1;
  pid_t window_manager_ = -1;
  ScopedEnvironment environment_;
};

// xdg-open pointed at a recording program: a .desktop file in a private
// XDG_DATA_HOME registered in XDG_CONFIG_HOME/mimeapps.list for text/html
// and application/pdf (text/plain as well, which is what a small HTML file
// may be taken for; and BROWSER, for xdg-open's last resort), so that no
// real viewer or browser ever starts. Every run appends its file argument
// to a record file. Without DISPLAY, a display name that answers nothing is
// set (xdg-open consults the MIME registry only when there is one).
class RecordingOpener {
 public:
  static std::unique_ptr<RecordingOpener> Start(std::string* why);
  // Ends every run of the program still going.
  ~RecordingOpener();
  RecordingOpener(const RecordingOpener&) = delete;
  RecordingOpener& operator=(const RecordingOpener&) = delete;

  // Makes each later run stay this long after it recorded its file, as a
  // viewer stays open.
  void SetLinger(std::chrono::seconds linger) const;
  // The files recorded so far, in order.
  std::vector<std::string> Recorded() const;
  // Waits (bounded) until `count` files are recorded; returns them.
  std::vector<std::string> WaitForRecords(
      std::size_t count, std::chrono::milliseconds bound) const;
  const std::filesystem::path& dir() const { return dir_.path(); }

 private:
  RecordingOpener() = default;

  TempDir dir_;
  ScopedEnvironment environment_;
};

// Why Chromium cannot run here; "" when it can.
std::string ChromiumUnavailable();

// The text of a PDF as pdftotext reads it.
std::string PdfText(const std::string& pdf_path);

}  // namespace nerolin::testing
