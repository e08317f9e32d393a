// The desktop windows of a build without Xlib: the session of one without a
// display, where every search finds nothing and nothing changes.
#include <chrono>
#include <thread>

#include "platform/windows.h"

namespace nerolin::platform {

std::vector<WindowHandle> FindWindowsByCaption(std::string_view) { return {}; }

WindowHandle FindWindowByCaption(std::string_view) { return 0; }

std::optional<long> WindowProcessId(WindowHandle) { return std::nullopt; }

bool IsWindowVisible(WindowHandle) { return false; }

// A message loop still waits its turn, so that a caller's bounded wait keeps
// its length.
void ProcessPendingWindowEvents() {
  std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

bool WindowManagerRunning() { return false; }

std::optional<WindowRect> WindowFrame(WindowHandle) { return std::nullopt; }

bool MoveWindow(WindowHandle, int, int, int, int) { return false; }

void RaiseWindow(WindowHandle) {}

}  // namespace nerolin::platform
