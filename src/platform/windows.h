#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nerolin::platform {

// Desktop windows over Xlib. The display is the one $DISPLAY names when a
// function runs: the connection is opened on first use and opened again when
// $DISPLAY changes or the server went away. Without a display (unset, or
// nothing answering) every function finds nothing and changes nothing; no
// function raises, and an X protocol error (a window that vanished) counts as
// "nothing" for the call that met it. Safe to call from several threads.

// An X11 window id; 0 is none.
using WindowHandle = unsigned long;

// The first top-level window whose caption is exactly `caption` (UTF-8):
// _NET_WM_NAME in UTF-8, otherwise WM_NAME in its encoding (Latin-1 STRING,
// UTF8_STRING or COMPOUND_TEXT). The search walks the children of the root
// window and, below window-manager frames, their children (three levels),
// breadth first, mapped or not. 0 when none has that caption, and for an
// empty caption (windows without a name are not looked for).
WindowHandle FindWindowByCaption(std::string_view caption);

// Every window FindWindowByCaption would consider that has `caption`, in its
// search order.
std::vector<WindowHandle> FindWindowsByCaption(std::string_view caption);

// The process id the window's owner published (_NET_WM_PID); nullopt when
// there is none.
std::optional<long> WindowProcessId(WindowHandle window);

// True when the window exists and is viewable (mapped, and so are all its
// ancestors).
bool IsWindowVisible(WindowHandle window);

// One wait of a window-message loop: drains the connection's pending events
// and sleeps about 1 ms.
void ProcessPendingWindowEvents();

// True when an EWMH window manager runs on the display
// (_NET_SUPPORTING_WM_CHECK on the root window names a live window that
// names itself).
bool WindowManagerRunning();

// The outer frame of the window as placed: with a window manager the
// decorations (_NET_FRAME_EXTENTS) are included; without one, the window's
// border. nullopt when the window does not exist.
struct WindowRect {
  int left, top, width, height;
  friend bool operator==(const WindowRect&, const WindowRect&) = default;
};
std::optional<WindowRect> WindowFrame(WindowHandle window);

// Places the window so that its outer frame (as WindowFrame reads it) is at
// left,top with width x height. Without a window manager the window is
// moved and sized directly; with one, the request goes through
// _NET_MOVERESIZE_WINDOW, the client area being the frame minus
// _NET_FRAME_EXTENTS. The result is read back (up to ~0.5 s for the window
// manager to act) and the request sent once more when it did not land.
// Returns whether the frame ended exactly there; false for no window.
bool MoveWindow(WindowHandle window, int left, int top, int width, int height);

// Brings the window to the front (and, with a window manager, asks it to
// activate the window).
void RaiseWindow(WindowHandle window);

}  // namespace nerolin::platform
