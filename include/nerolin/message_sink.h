#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "nerolin/export.h"

namespace nerolin {

// The icon a message box would show.
enum class MessageIcon {
  kNone,
  kCritical,
  kQuestion,
  kExclamation,
  kInformation
};

// Where the engine's failure messages go. A host installs its own (a dialog,
// its log); the default writes one line to standard error.
class NEROLIN_EXPORT MessageSink {
 public:
  virtual ~MessageSink() = default;
  // Shows `text` under `title` (which may be empty). Returns when the
  // message has been delivered; the engine then goes on.
  virtual void Show(std::string_view text, std::string_view title,
                    MessageIcon icon) = 0;
};

// Writes "TITLE: TEXT" (or TEXT alone when there is no title) as one line to
// standard error.
class NEROLIN_EXPORT StderrMessageSink : public MessageSink {
 public:
  void Show(std::string_view text, std::string_view title,
            MessageIcon icon) override;
};

// Keeps every message, for tests and for hosts that show them later.
class NEROLIN_EXPORT CapturingMessageSink : public MessageSink {
 public:
  struct Message {
    std::string text;
    std::string title;
    MessageIcon icon;
  };
  void Show(std::string_view text, std::string_view title,
            MessageIcon icon) override {
    messages.push_back({std::string(text), std::string(title), icon});
  }
  std::vector<Message> messages;
};

}  // namespace nerolin
