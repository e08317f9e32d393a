#include "platform/windows.h"

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
// Xlib's None and Bool macros would hide GoogleTest names.
#undef None
#undef Bool

#include <gtest/gtest.h>

#include "support/private_display.h"

namespace nerolin::platform {
namespace {

using nerolin::testing::PrivateDisplay;
using nerolin::testing::ScopedEnvironment;

bool WaitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds bound = std::chrono::seconds(10)) {
  const auto deadline = std::chrono::steady_clock::now() + bound;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

// Windows of the test's own, on a connection of its own (closing it
// destroys them).
class TestWindows {
 public:
  TestWindows() : display_(XOpenDisplay(nullptr)) {}
  ~TestWindows() {
    if (display_ != nullptr) XCloseDisplay(display_);
  }
  bool ok() const { return display_ != nullptr; }
  Display* display() const { return display_; }

  Window Create(int x, int y, int width, int height) {
    const Window window = XCreateSimpleWindow(
        display_, DefaultRootWindow(display_), x, y, width, height, 0, 0,
        WhitePixel(display_, DefaultScreen(display_)));
    XSync(display_, False);
    return window;
  }
  void SetUtf8Name(Window window, const std::string& utf8) {
    XChangeProperty(display_, window, XInternAtom(display_, "_NET_WM_NAME", 0),
                    XInternAtom(display_, "UTF8_STRING", 0), 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(utf8.data()),
                    static_cast<int>(utf8.size()));
    XSync(display_, False);
  }
  // WM_NAME as a STRING, whose bytes are Latin-1.
  void SetLatin1Name(Window window, const std::string& latin1) {
    XChangeProperty(display_, window, XA_WM_NAME, XA_STRING, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(latin1.data()),
                    static_cast<int>(latin1.size()));
    XSync(display_, False);
  }
  // As Chromium asks: the position given is the client's own corner.
  void SetStaticGravity(Window window) {
    XSizeHints hints{};
    hints.flags = PWinGravity;
    hints.win_gravity = StaticGravity;
    XSetWMNormalHints(display_, window, &hints);
    XSync(display_, False);
  }
  void Map(Window window) {
    XMapWindow(display_, window);
    XSync(display_, False);
  }
  // The client area's corner on the screen and its size, as the server
  // has them.
  WindowRect Client(Window window) {
    XWindowAttributes attributes{};
    XGetWindowAttributes(display_, window, &attributes);
    int x = 0, y = 0;
    Window child = 0;
    XTranslateCoordinates(display_, window, DefaultRootWindow(display_), 0, 0,
                          &x, &y, &child);
    return {x, y, attributes.width, attributes.height};
  }

 private:
  Display* display_;
};

constexpr const char* kPreviewCaption = "Vista previa de impresión";

TEST(Windows, WithoutADisplayFindNothingAndRaiseNothing) {
  for (const char* display : {"", ":nerolin-none"}) {
    SCOPED_TRACE(display);
    ScopedEnvironment environment;
    if (*display == '\0') {
      environment.Unset("DISPLAY");
    } else {
      environment.Set("DISPLAY", display);
    }
    EXPECT_EQ(FindWindowByCaption(kPreviewCaption), 0u);
    EXPECT_FALSE(IsWindowVisible(0x400002));
    EXPECT_FALSE(MoveWindow(0x400002, 1, 1, 700, 700));
    EXPECT_EQ(WindowFrame(0x400002), std::nullopt);
    EXPECT_FALSE(WindowManagerRunning());
    RaiseWindow(0x400002);
    ProcessPendingWindowEvents();
  }
}

TEST(Windows, FindByExactCaptionInItsEncodingMappedOrNot) {
  for (const bool window_manager : {false, true}) {
    SCOPED_TRACE(window_manager ? "under openbox" : "without window manager");
    std::string why;
    auto display = PrivateDisplay::Start(&why, window_manager);
    if (display == nullptr) GTEST_SKIP() << why;
    TestWindows windows;
    ASSERT_TRUE(windows.ok());
    EXPECT_EQ(WindowManagerRunning(), window_manager);

    const Window utf8 = windows.Create(10, 10, 200, 100);
    windows.SetUtf8Name(utf8, kPreviewCaption);
    windows.SetLatin1Name(utf8, "Ignored legacy name");
    const Window latin1 = windows.Create(50, 50, 200, 100);
    windows.SetLatin1Name(latin1, "Facturaci\xF3n");
    const Window hidden = windows.Create(90, 90, 200, 100);
    windows.SetUtf8Name(hidden, "Ñandú oculto");
    windows.Map(utf8);
    windows.Map(latin1);
    ASSERT_TRUE(WaitUntil(
        [&] { return IsWindowVisible(utf8) && IsWindowVisible(latin1); }));

    EXPECT_EQ(FindWindowByCaption(kPreviewCaption), utf8);
    EXPECT_EQ(FindWindowByCaption("Facturación"), latin1);
    EXPECT_EQ(FindWindowByCaption("Ñandú oculto"), hidden);
    EXPECT_FALSE(IsWindowVisible(hidden));
    // _NET_WM_NAME wins over WM_NAME; the match is exact.
    EXPECT_EQ(FindWindowByCaption("Ignored legacy name"), 0u);
    EXPECT_EQ(FindWindowByCaption("Vista previa"), 0u);
    EXPECT_EQ(FindWindowByCaption("vista previa de impresión"), 0u);
    // Nameless windows abound (frames, helpers): none has the empty caption.
    EXPECT_EQ(FindWindowByCaption(""), 0u);
    EXPECT_EQ(FindWindowsByCaption(kPreviewCaption),
              std::vector<WindowHandle>{utf8});

    XDestroyWindow(windows.display(), utf8);
    XSync(windows.display(), False);
    EXPECT_FALSE(IsWindowVisible(utf8));
    EXPECT_EQ(WindowFrame(utf8), std::nullopt);
    EXPECT_FALSE(MoveWindow(utf8, 1, 1, 700, 700));
    EXPECT_EQ(FindWindowByCaption(kPreviewCaption), 0u);
  }
}

TEST(Windows, MovePlacesTheOuterFrameAt1x1With700x700) {
  for (const bool window_manager : {false, true}) {
    for (const bool static_gravity : {false, true}) {
      SCOPED_TRACE(std::string(window_manager ? "openbox" : "no manager") +
                   (static_gravity ? ", static gravity" : ""));
      std::string why;
      auto display = PrivateDisplay::Start(&why, window_manager);
      if (display == nullptr) GTEST_SKIP() << why;
      TestWindows windows;
      ASSERT_TRUE(windows.ok());
      const Window window = windows.Create(300, 200, 320, 240);
      windows.SetUtf8Name(window, kPreviewCaption);
      if (static_gravity) windows.SetStaticGravity(window);
      windows.Map(window);
      ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(window); }));

      EXPECT_TRUE(MoveWindow(window, 1, 1, 700, 700));
      EXPECT_EQ(WindowFrame(window), (WindowRect{1, 1, 700, 700}));
      // The client inside: the whole window without a manager, the frame
      // less its decorations (a title bar at least) under one.
      const WindowRect client = windows.Client(window);
      if (window_manager) {
        EXPECT_GT(client.top, 1);
        EXPECT_LT(client.height, 700);
        EXPECT_EQ(client.left - 1 + client.width + (client.left - 1), 700);
      } else {
        EXPECT_EQ(client, (WindowRect{1, 1, 700, 700}));
      }
    }
  }
}

TEST(Windows, APlacementTheManagerRefusesEndsWithFalseInBoundedTime) {
  std::string why;
  auto display = PrivateDisplay::Start(&why, /*window_manager=*/true);
  if (display == nullptr) GTEST_SKIP() << why;
  TestWindows windows;
  ASSERT_TRUE(windows.ok());
  const Window window = windows.Create(100, 100, 900, 900);
  XSizeHints hints{};
  hints.flags = PMinSize;
  hints.min_width = hints.min_height = 900;
  XSetWMNormalHints(windows.display(), window, &hints);
  windows.Map(window);
  ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(window); }));
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(MoveWindow(window, 1, 1, 700, 700));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
}

TEST(Windows, RaiseBringsAWindowToTheFront) {
  std::string why;
  auto display = PrivateDisplay::Start(&why);
  if (display == nullptr) GTEST_SKIP() << why;
  TestWindows windows;
  ASSERT_TRUE(windows.ok());
  const Window lower = windows.Create(0, 0, 100, 100);
  const Window upper = windows.Create(0, 0, 100, 100);
  windows.Map(lower);
  windows.Map(upper);
  const auto topmost = [&] {
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    XQueryTree(windows.display(), DefaultRootWindow(windows.display()), &root,
               &parent, &children, &count);
    const Window top = count > 0 ? children[count - 1] : 0;
    if (children != nullptr) XFree(children);
    return top;
  };
  ASSERT_EQ(topmost(), upper);
  RaiseWindow(lower);
  EXPECT_TRUE(WaitUntil([&] { return topmost() == lower; }));
}

TEST(Windows, ANewServerUnderTheSameNameIsFoundWithoutHarm) {
  // The cached connection belongs to a server that is gone; a request on it
  // must neither end the process (SIGPIPE, Xlib's exit) nor find nothing.
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    std::string why;
    auto display = PrivateDisplay::Start(&why);
    if (display == nullptr) GTEST_SKIP() << why;
    TestWindows windows;
    ASSERT_TRUE(windows.ok());
    const std::string caption = "Ronda " + std::to_string(round);
    const Window window = windows.Create(0, 0, 50, 50);
    windows.SetUtf8Name(window, caption);
    EXPECT_EQ(FindWindowByCaption(caption), window);
  }
}

}  // namespace
}  // namespace nerolin::platform
