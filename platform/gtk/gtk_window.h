#pragma once
// A top-level GTK4 window around one hosted control, and the main loop
// that runs it until the window is closed (by the window manager, or by
// Ctrl+Q / Ctrl+W).

#include <functional>
#include <string>

#include "platform/gtk/gtk_control_host.h"

namespace borvane {

// Whether a display can be opened: a display variable is set and GTK
// initialises. Initialises GTK when it returns true.
bool OpenDisplay();

struct ControlWindowOptions {
  std::string Title;
  // Runs once the window's first frame is out; may call CloseControlWindow.
  std::function<void()> FirstFrame;
  // Runs once the window has been asked onto the screen, before the main
  // loop: where the control gets its creation notification, so a control
  // that does slow work then (a query) does it in a window already shown.
  std::function<void()> Shown;
};

// Builds the window and its host, calls `populate` with the host (which
// creates the control on the host's site, attaches it and sends it its
// creation notifications), shows the window, and runs the main loop until
// the window closes. The control must be torn down by `populate`'s owner
// after this returns. OpenDisplay must have returned true.
void RunControlWindow(const ControlWindowOptions& options, GtkControlHost& host);

// Closes the window that RunControlWindow shows, ending its loop.
void CloseControlWindow();

}  // namespace borvane
