#include "support/desktop_clients.h"

#include <chrono>
#include <thread>

#include <X11/Xlib.h>
#include <cups/cups.h>

namespace nerolin::testing {
namespace {

const char* NoPassword(const char*, http_t*, const char*, const char*, void*) {
  return nullptr;
}

}  // namespace

void ReloadCupsClient() {
  cupsSetServer(nullptr);
  cupsSetPasswordCB2(NoPassword, nullptr);
}

// Its name on the root window appears before it is ready: a window mapped
// during its start-up may stay unmanaged until some other event arrives.
bool ManagesNewWindows() {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return false;
  const Window probe = XCreateSimpleWindow(display, DefaultRootWindow(display),
                                           0, 0, 10, 10, 0, 0, 0);
  XMapWindow(display, probe);
  XSync(display, False);
  bool managed = false;
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
  while (!managed && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    XWindowAttributes attributes{};
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    XGetWindowAttributes(display, probe, &attributes);
    XQueryTree(display, probe, &root, &parent, &children, &count);
    if (children != nullptr) XFree(children);
    managed = attributes.map_state == IsViewable && parent != root;
  }
  XDestroyWindow(display, probe);
  XCloseDisplay(display);
  return managed;
}

std::string PrintingUnavailable() { return ""; }

}  // namespace nerolin::testing
