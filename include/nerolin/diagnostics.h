#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "nerolin/export.h"

namespace nerolin {

// What went wrong on the way while a member still returned: each failure
// form (a message, a placeholder's failure result, a step skipped by a
// failure, a report file not written whole) reports here as well.
enum class DiagnosticKind {
  kMessage,               // subject: the message's title; detail: its text
  kPlaceholderFailed,     // subject: the placeholder's name; detail: the
                          // reason; context: the block
  kStepSkipped,           // subject: the step; detail: the reason
  kReportFileNotWritten,  // subject: the path; detail: the reason
};

struct NEROLIN_EXPORT Diagnostic {
  DiagnosticKind kind;
  std::string subject;
  std::string detail;
  std::string context;
};

// Receives the diagnostics of a component state. A host (the command line's
// strict mode, a batch run) installs one; with none installed the engine
// builds no diagnostic at all.
class NEROLIN_EXPORT DiagnosticListener {
 public:
  virtual ~DiagnosticListener() = default;
  virtual void OnDiagnostic(const Diagnostic& diagnostic) = 0;
};

// Keeps every diagnostic, in order.
class NEROLIN_EXPORT RecordingDiagnosticListener : public DiagnosticListener {
 public:
  void OnDiagnostic(const Diagnostic& diagnostic) override {
    diagnostics.push_back(diagnostic);
  }
  std::vector<Diagnostic> diagnostics;
};

}  // namespace nerolin
