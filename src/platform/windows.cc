#include "platform/windows.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <string>
#include <thread>
#include <time.h>
#include <utility>
#include <vector>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <sys/socket.h>

namespace nerolin::platform {

namespace {

// Levels below the root window searched for a caption: the top-level
// windows, the clients inside window-manager frames, and one more for
// managers that nest a frame in a container.
constexpr int kSearchDepth = 3;
// How long MoveWindow waits for a window manager to carry out a request,
// and how often it looks.
constexpr auto kPlacementWait = std::chrono::milliseconds(500);
constexpr auto kPlacementPoll = std::chrono::milliseconds(10);
constexpr long kStaticGravity = 10;
constexpr long kSourcePager = 2;

// The process-wide connection. Xlib is not used from other threads without
// XInitThreads, so every use holds the mutex.
struct Connection {
  std::mutex mutex;
  Display* display = nullptr;
  std::string name;  // the $DISPLAY it was opened for
  bool broken = false;
};

Connection& TheConnection() {
  // Never destroyed: a host thread may still look for a window while the
  // process runs its exit handlers.
  static Connection* connection = new Connection;
  return *connection;
}

// A lost server must not end the host: Xlib's default I/O error handler
// and its default exit handler both call exit(). For our connection both
// return, which leaves the display marked dead (every later request on it
// returns at once) and the next use opens a new connection. Other
// connections of the host keep the handler they had.
void OnIoErrorExit(Display*, void* data) {
  static_cast<Connection*>(data)->broken = true;
}

XIOErrorHandler previous_io_handler = nullptr;
int OnIoError(Display* display) {
  if (display == TheConnection().display) return 0;
  return previous_io_handler != nullptr ? previous_io_handler(display) : 0;
}

// Protocol errors (a window destroyed between two requests) are expected;
// the request that met one reports "nothing". Set only while the mutex is
// held, so one flag serves.
bool protocol_error = false;
int OnProtocolError(Display*, XErrorEvent*) {
  protocol_error = true;
  return 0;
}

// A write to a server that went away raises SIGPIPE, which would end the
// host. It is blocked on this thread while Xlib runs and a SIGPIPE raised
// meanwhile is taken away before the mask is restored.
class SigpipeBlock {
 public:
  SigpipeBlock() {
    sigset_t pipe_only;
    sigemptyset(&pipe_only);
    sigaddset(&pipe_only, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe_only, &previous_);
    sigset_t pending;
    sigpending(&pending);
    was_pending_ = sigismember(&pending, SIGPIPE) == 1;
  }
  ~SigpipeBlock() {
    if (!was_pending_) {
      sigset_t pending;
      sigpending(&pending);
      if (sigismember(&pending, SIGPIPE) == 1) {
        sigset_t pipe_only;
        sigemptyset(&pipe_only);
        sigaddset(&pipe_only, SIGPIPE);
        const timespec no_wait{0, 0};
        sigtimedwait(&pipe_only, nullptr, &no_wait);
      }
    }
    pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
  }
  SigpipeBlock(const SigpipeBlock&) = delete;
  SigpipeBlock& operator=(const SigpipeBlock&) = delete;

 private:
  sigset_t previous_;
  bool was_pending_ = false;
};

// True when the server has closed the connection: the socket reads as end
// of file. Checked before a cached connection is used, because the server
// of a display name may have been replaced by another one.
bool PeerClosed(Display* display) {
  pollfd poll_fd{ConnectionNumber(display), POLLIN, 0};
  if (poll(&poll_fd, 1, 0) <= 0) return false;
  if (poll_fd.revents & (POLLHUP | POLLERR)) return true;
  char byte;
  return recv(poll_fd.fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT) == 0;
}

void Close(Connection& connection) {
  if (connection.display != nullptr) XCloseDisplay(connection.display);
  connection.display = nullptr;
  connection.name.clear();
  connection.broken = false;
}

// The display $DISPLAY names now, opened or reused; nullptr when there is
// none.
Display* Current(Connection& connection) {
  const char* wanted = std::getenv("DISPLAY");
  if (wanted == nullptr || *wanted == '\0') {
    Close(connection);
    return nullptr;
  }
  if (connection.display != nullptr &&
      (connection.broken || connection.name != wanted ||
       PeerClosed(connection.display))) {
    Close(connection);
  }
  if (connection.display == nullptr) {
    static const bool io_handler_installed = [] {
      previous_io_handler = XSetIOErrorHandler(OnIoError);
      return true;
    }();
    (void)io_handler_installed;
    connection.display = XOpenDisplay(wanted);
    if (connection.display == nullptr) return nullptr;
    connection.name = wanted;
    XSetIOErrorExitHandler(connection.display, OnIoErrorExit, &connection);
  }
  return connection.display;
}

// Runs `work(display)` with the connection locked, protocol errors caught
// and SIGPIPE held off; `fallback` without a display. When the connection
// turns out dead on the way (the server was replaced under the same name),
// the work runs once more on a new connection.
template <typename Result, typename Work>
Result WithDisplay(Result fallback, Work work) {
  Connection& connection = TheConnection();
  std::lock_guard lock(connection.mutex);
  SigpipeBlock sigpipe_block;
  XErrorHandler previous = XSetErrorHandler(OnProtocolError);
  Result result = fallback;
  for (int attempt = 0; attempt < 2; ++attempt) {
    Display* display = Current(connection);
    if (display == nullptr) break;
    protocol_error = false;
    result = work(display);
    if (!connection.broken) {
      // Errors arrive asynchronously: collect those of this call before
      // the handler is put back.
      XSync(display, False);
      break;
    }
    Close(connection);
    result = fallback;
  }
  XSetErrorHandler(previous);
  return result;
}

Atom Intern(Display* display, const char* name) {
  return XInternAtom(display, name, False);
}

struct XFreeDeleter {
  void operator()(void* data) const {
    if (data != nullptr) XFree(data);
  }
};

// The property as `format`-bit items of type `type`; nullopt when missing
// or of another type.
std::optional<std::vector<unsigned long>> CardinalProperty(Display* display,
                                                           Window window,
                                                           Atom property,
                                                           Atom type) {
  Atom actual_type = None;
  int actual_format = 0;
  unsigned long count = 0, remaining = 0;
  unsigned char* raw = nullptr;
  if (XGetWindowProperty(display, window, property, 0, 64, False, type,
                         &actual_type, &actual_format, &count, &remaining,
                         &raw) != Success) {
    return std::nullopt;
  }
  std::unique_ptr<unsigned char, XFreeDeleter> data(raw);
  if (actual_type != type || actual_format != 32 || data == nullptr) {
    return std::nullopt;
  }
  // Xlib hands 32-bit items as longs.
  const auto* items = reinterpret_cast<const unsigned long*>(data.get());
  return std::vector<unsigned long>(items, items + count);
}

std::string Latin1ToUtf8(std::string_view latin1) {
  std::string utf8;
  utf8.reserve(latin1.size() * 2);
  for (unsigned char c : latin1) {
    if (c < 0x80) {
      utf8 += static_cast<char>(c);
    } else {
      utf8 += static_cast<char>(0xC0 | (c >> 6));
      utf8 += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return utf8;
}

std::string CaptionOf(Display* display, Window window) {
  const Atom utf8_string = Intern(display, "UTF8_STRING");
  Atom actual_type = None;
  int actual_format = 0;
  unsigned long count = 0, remaining = 0;
  unsigned char* raw = nullptr;
  if (XGetWindowProperty(display, window, Intern(display, "_NET_WM_NAME"), 0,
                         1 << 16, False, utf8_string, &actual_type,
                         &actual_format, &count, &remaining, &raw) == Success) {
    std::unique_ptr<unsigned char, XFreeDeleter> data(raw);
    if (actual_type == utf8_string && actual_format == 8 && data != nullptr) {
      return std::string(reinterpret_cast<const char*>(data.get()), count);
    }
  }
  XTextProperty text{};
  if (XGetWMName(display, window, &text) == 0 || text.value == nullptr) {
    return {};
  }
  std::unique_ptr<unsigned char, XFreeDeleter> owned(text.value);
  const std::string_view bytes(reinterpret_cast<const char*>(text.value),
                               text.nitems);
  if (text.encoding == XA_STRING) return Latin1ToUtf8(bytes);
  if (text.encoding == utf8_string) return std::string(bytes);
  char** list = nullptr;
  int list_count = 0;
  if (Xutf8TextPropertyToTextList(display, &text, &list, &list_count) >=
          Success &&
      list != nullptr) {
    std::string joined;
    for (int i = 0; i < list_count; ++i) joined += list[i];
    XFreeStringList(list);
    return joined;
  }
  // A locale without compound-text support still reads plain ASCII right.
  if (std::all_of(bytes.begin(), bytes.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x80;
      })) {
    return std::string(bytes);
  }
  return {};
}

// Top-level windows first, each level from the top of the stacking order
// down, as a desktop search finds the frontmost window first.
std::vector<Window> SearchOrder(Display* display) {
  std::vector<Window> order;
  std::vector<Window> level{DefaultRootWindow(display)};
  for (int depth = 0; depth < kSearchDepth && !level.empty(); ++depth) {
    std::vector<Window> next;
    for (Window parent : level) {
      Window root_return = 0, parent_return = 0;
      Window* children = nullptr;
      unsigned int count = 0;
      if (XQueryTree(display, parent, &root_return, &parent_return, &children,
                     &count) == 0) {
        continue;
      }
      std::unique_ptr<Window, XFreeDeleter> owned(children);
      for (unsigned int i = count; i > 0; --i) next.push_back(children[i - 1]);
    }
    order.insert(order.end(), next.begin(), next.end());
    level = std::move(next);
  }
  return order;
}

struct Extents {
  long left = 0, right = 0, top = 0, bottom = 0;
};

bool ManagerRunning(Display* display) {
  const Atom check = Intern(display, "_NET_SUPPORTING_WM_CHECK");
  const auto on_root =
      CardinalProperty(display, DefaultRootWindow(display), check, XA_WINDOW);
  if (!on_root || on_root->empty()) return false;
  const Window manager = (*on_root)[0];
  protocol_error = false;
  const auto on_manager = CardinalProperty(display, manager, check, XA_WINDOW);
  XSync(display, False);
  return !protocol_error && on_manager && !on_manager->empty() &&
         (*on_manager)[0] == manager;
}

Extents FrameExtents(Display* display, Window window) {
  const auto values = CardinalProperty(
      display, window, Intern(display, "_NET_FRAME_EXTENTS"), XA_CARDINAL);
  if (!values || values->size() < 4) return {};
  return {static_cast<long>((*values)[0]), static_cast<long>((*values)[1]),
          static_cast<long>((*values)[2]), static_cast<long>((*values)[3])};
}

std::optional<WindowRect> FrameOf(Display* display, Window window,
                                  bool managed) {
  protocol_error = false;
  XWindowAttributes attributes{};
  if (XGetWindowAttributes(display, window, &attributes) == 0 ||
      protocol_error) {
    return std::nullopt;
  }
  int x = 0, y = 0;
  Window child = 0;
  if (!XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0,
                             &x, &y, &child) ||
      protocol_error) {
    return std::nullopt;
  }
  if (managed) {
    const Extents extents = FrameExtents(display, window);
    return WindowRect{
        static_cast<int>(x - extents.left), static_cast<int>(y - extents.top),
        static_cast<int>(attributes.width + extents.left + extents.right),
        static_cast<int>(attributes.height + extents.top + extents.bottom)};
  }
  const int border = attributes.border_width;
  return WindowRect{x - border, y - border, attributes.width + 2 * border,
                    attributes.height + 2 * border};
}

void SendToManager(Display* display, Window window, const char* message,
                   std::initializer_list<long> values) {
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = Intern(display, message);
  event.xclient.format = 32;
  int i = 0;
  for (long value : values) event.xclient.data.l[i++] = value;
  XSendEvent(display, DefaultRootWindow(display), False,
             SubstructureRedirectMask | SubstructureNotifyMask, &event);
  XFlush(display);
}

void RequestPlacement(Display* display, Window window, bool managed,
                      const WindowRect& frame) {
  if (!managed) {
    XWindowAttributes attributes{};
    XGetWindowAttributes(display, window, &attributes);
    const int border = attributes.border_width;
    XMoveResizeWindow(display, window, frame.left, frame.top,
                      std::max(1, frame.width - 2 * border),
                      std::max(1, frame.height - 2 * border));
    XSync(display, False);
    return;
  }
  // Static gravity: x and y give the client's own corner, so the frame's
  // corner is found by adding the decorations, whatever gravity the
  // application asked for.
  const Extents extents = FrameExtents(display, window);
  const long flags = kStaticGravity | (0xFL << 8) | (kSourcePager << 12);
  SendToManager(display, window, "_NET_MOVERESIZE_WINDOW",
                {flags, frame.left + extents.left, frame.top + extents.top,
                 std::max(1L, frame.width - extents.left - extents.right),
                 std::max(1L, frame.height - extents.top - extents.bottom)});
}

}  // namespace

std::vector<WindowHandle> FindWindowsByCaption(std::string_view caption) {
  if (caption.empty()) return {};
  return WithDisplay(std::vector<WindowHandle>{}, [&](Display* display) {
    std::vector<WindowHandle> found;
    for (Window window : SearchOrder(display)) {
      if (CaptionOf(display, window) == caption) found.push_back(window);
    }
    return found;
  });
}

WindowHandle FindWindowByCaption(std::string_view caption) {
  if (caption.empty()) return 0;
  return WithDisplay(WindowHandle{0}, [&](Display* display) {
    for (Window window : SearchOrder(display)) {
      if (CaptionOf(display, window) == caption) return WindowHandle{window};
    }
    return WindowHandle{0};
  });
}

std::optional<long> WindowProcessId(WindowHandle window) {
  if (window == 0) return std::nullopt;
  return WithDisplay(std::optional<long>{}, [&](Display* display) {
    const auto values = CardinalProperty(
        display, window, Intern(display, "_NET_WM_PID"), XA_CARDINAL);
    if (!values || values->empty()) return std::optional<long>{};
    return std::optional<long>(static_cast<long>((*values)[0]));
  });
}

bool IsWindowVisible(WindowHandle window) {
  if (window == 0) return false;
  return WithDisplay(false, [&](Display* display) {
    XWindowAttributes attributes{};
    return XGetWindowAttributes(display, window, &attributes) != 0 &&
           !protocol_error && attributes.map_state == IsViewable;
  });
}

void ProcessPendingWindowEvents() {
  WithDisplay(0, [](Display* display) {
    // The connection selects no events of its own; draining keeps the
    // queue from growing with whatever the server sends.
    while (XPending(display) > 0) {
      XEvent event;
      XNextEvent(display, &event);
    }
    return 0;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

bool WindowManagerRunning() {
  return WithDisplay(false,
                     [](Display* display) { return ManagerRunning(display); });
}

std::optional<WindowRect> WindowFrame(WindowHandle window) {
  if (window == 0) return std::nullopt;
  return WithDisplay(std::optional<WindowRect>{}, [&](Display* display) {
    return FrameOf(display, window, ManagerRunning(display));
  });
}

bool MoveWindow(WindowHandle window, int left, int top, int width, int height) {
  if (window == 0) return false;
  const WindowRect wanted{left, top, width, height};
  return WithDisplay(false, [&](Display* display) {
    const bool managed = ManagerRunning(display);
    // A second request covers a manager that was still decorating the
    // window (its extents changed after the first one was computed).
    for (int attempt = 0; attempt < 2; ++attempt) {
      RequestPlacement(display, window, managed, wanted);
      if (protocol_error) return false;
      const auto deadline = std::chrono::steady_clock::now() + kPlacementWait;
      for (;;) {
        XSync(display, False);
        const auto frame = FrameOf(display, window, managed);
        if (!frame) return false;
        if (*frame == wanted) return true;
        if (!managed || std::chrono::steady_clock::now() >= deadline) break;
        std::this_thread::sleep_for(kPlacementPoll);
      }
    }
    return false;
  });
}

void RaiseWindow(WindowHandle window) {
  if (window == 0) return;
  WithDisplay(0, [&](Display* display) {
    if (ManagerRunning(display)) {
      SendToManager(display, window, "_NET_ACTIVE_WINDOW",
                    {kSourcePager, CurrentTime, 0});
    }
    XRaiseWindow(display, window);
    XFlush(display);
    return 0;
  });
}

}  // namespace nerolin::platform
