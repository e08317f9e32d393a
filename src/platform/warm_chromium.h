#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <thread>

#include <nlohmann/json.hpp>
#include <sys/types.h>

namespace nerolin::platform {

struct BrowserSettings;

// The process's one headless Chromium, kept running between documents and
// driven over the DevTools protocol on a socket that Chromium sees as file
// descriptors 3 (it reads) and 4 (it writes); no TCP port is opened. It is
// started by the first Hold, ended after `idle` without a holder (at once
// when idle is 0) and at process exit. Only the idle end runs on a thread
// of its own; every other call runs on the caller's thread.
//
// Messages are JSON objects, each followed by a NUL byte. Responses are kept
// only for ids a caller asked for, and events only for sessions a caller
// follows, so what is kept stays small over any number of documents.
// Not for use by more than one thread at a time, the idle end aside.
class WarmChromium {
 public:
  // An event of a followed session; `sequence` orders it among every
  // message read, responses included.
  struct Event {
    std::uint64_t sequence = 0;
    std::string method;
    nlohmann::json params;
  };
  // A response; `error` holds the protocol's error object when the command
  // failed.
  struct Response {
    std::uint64_t sequence = 0;
    nlohmann::json result;
    std::optional<nlohmann::json> error;
  };

  static WarmChromium& Instance();

  // Marks a document in flight: the idle end leaves the browser alone until
  // the matching Release. Starts Chromium when none runs, or when the one
  // running is another program than settings.chromium_path and nothing
  // holds it. Raises 429 when it cannot be started (the hold is then not
  // taken).
  void Hold(const BrowserSettings& settings);
  // Ends a hold. The last one ends Chromium at once when its settings' idle
  // time is 0, and otherwise lets the idle end count from now.
  void Release();

  // Each start of Chromium counts one; 0 before the first. A caller that
  // saw a generation end knows that its pages went with it.
  std::uint64_t generation() const { return generation_; }
  // False once Chromium is known to have ended (its socket closed, a write
  // failed) or before it started.
  bool running() const { return fd_ >= 0 && !dead_; }
  // How many messages have been read so far: an event whose sequence is
  // above this value was read after this call.
  std::uint64_t sequence() const { return sequence_; }
  // The browser process, for tests that end it behind the engine's back.
  std::optional<pid_t> pid() const;

  // Ends the current Chromium, if it is still generation `seen`, and starts
  // another. Raises 429 when it cannot be started.
  void Restart(std::uint64_t seen, const BrowserSettings& settings);

  // Sends a command; its response is kept for TakeResponse when `wanted`.
  // Returns the command's id, or 0 when Chromium is gone (running() is
  // then false).
  int Send(std::string_view method, nlohmann::json params,
           const std::string& session = {}, bool wanted = true);
  // Reads every message that has arrived, waiting up to `wait` for the
  // first. Notices a Chromium that ended.
  void Pump(std::chrono::milliseconds wait);
  std::optional<Response> TakeResponse(int id);
  // The first event kept for `session` that was read after `after`; it and
  // every event of the session before it are dropped. The events kept are
  // those a page's render waits for: its load event and its end.
  std::optional<Event> TakeEvent(const std::string& session,
                                 std::uint64_t after);
  // Starts and stops keeping the events of a session.
  void Follow(const std::string& session);
  void Unfollow(const std::string& session);

  // Ends Chromium now (used at exit and by Restart).
  void Stop();

 private:
  WarmChromium() = default;
  void StartLocked(const BrowserSettings& settings);
  void StopLocked();
  void Dispatch(std::string_view message);
  void IdleLoop();
  static void EndAtExit();

  std::mutex mutex_;
  std::condition_variable idle_changed_;
  std::thread idle_thread_;
  bool exiting_ = false;
  int holds_ = 0;
  std::chrono::seconds idle_{60};
  std::chrono::steady_clock::time_point released_at_{};

  pid_t pid_ = -1;
  int fd_ = -1;
  bool dead_ = false;
  std::string profile_dir_;
  std::string program_;
  std::uint64_t generation_ = 0;
  int next_id_ = 0;
  std::uint64_t sequence_ = 0;
  std::string inbox_;
  std::set<int> wanted_;
  std::map<int, Response> responses_;
  std::map<std::string, std::deque<Event>> events_;
};

}  // namespace nerolin::platform
