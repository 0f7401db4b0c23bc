#pragma once
// A GTK4 widget that hosts a control tree: it is the root control's site,
// presents the control's composed frame, turns pointer, button, key and
// focus input into the container's notifications, runs timers on the GLib
// main loop, answers the buttons' cursor polls from the tracked pointer,
// shows a busy pointer while the control's mouse pointer is 11, and shows
// errors that leave a handler in a line below the control (and on stderr)
// instead of ending the program.
//
// Any GTK4 application can embed a control with it:
//
//   GtkControlHost host(text_engine);
//   MyControl control(host, ...);     // the host is the control's site
//   host.Attach(control);
//   gtk_window_set_child(window, host.Widget());

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "container/basic_site.h"
#include "container/site.h"
#include "container/user_control.h"
#include "platform/gtk/glib_event_loop.h"

typedef struct _GtkWidget GtkWidget;
typedef struct _GtkEventController GtkEventController;

namespace borvane {

class GtkControlHost final : public Site {
 public:
  explicit GtkControlHost(TextEngine& text, std::string display_name = "client1");
  ~GtkControlHost() override;
  GtkControlHost(const GtkControlHost&) = delete;
  GtkControlHost& operator=(const GtkControlHost&) = delete;

  // The host's widget (a box: the control's picture, then the error line).
  // The host holds a reference until it is destroyed.
  GtkWidget* Widget() const { return m_Box; }

  // Presents `root` and sends it input from now on; `root` must outlive
  // the host or be detached first.
  void Attach(UserControl& root);
  void Detach();

  // Optional services of the root: the tooltip under a point (empty for
  // none), and keyboard focus moves (Tab, Shift+Tab); false hands the
  // focus on to the next widget of the window.
  std::function<std::string(float x, float y)> ToolTipAt;
  std::function<bool(bool backwards)> MoveFocus;
  std::function<void()> FocusLeft;
  // Runs once, after the first frame has been drawn.
  std::function<void()> FirstFrame;

  // The errors reported so far, newest last.
  const std::vector<std::string>& ErrorLines() const { return m_Errors; }

  // Asks for the control's picture again. The host does so after its own
  // notifications and ticks; a change made elsewhere (a fetch completing
  // on the main loop) asks here.
  void Redraw();

  // Site.
  std::string AmbientDisplayName() override { return m_Name; }
  FontRef AmbientFont() override { return m_AmbientFont; }
  void PropertyChanged(std::string_view) override {}
  void RaiseEvent(std::int32_t, std::string_view, std::span<const EventArg>) override {}
  CursorSource& Cursor() override { return m_Pointer; }
  TextEngine& Text() override { return m_Text; }
  EventLoop& Loop() override { return m_Loop; }
  void ReportError(const Error& error) override;
  void MousePointerChanged(std::int16_t pointer) override;

  // Shows any failure message the same way (used for exceptions that are
  // not the library's errors, caught at the GTK boundary), its control
  // characters escaped.
  void ReportFailure(const std::string& text);

  // The pointer in the control's client pixels (far outside while the
  // pointer is not over the control).
  class TrackedPointer final : public CursorSource {
   public:
    Point CursorInClient(WindowHandle) override { return Position; }
    Point Position{-32768, -32768};
  };

 private:
  struct Signals;

  TextEngine& m_Text;
  std::string m_Name;
  FontRef m_AmbientFont;
  GlibEventLoop m_Loop;
  TrackedPointer m_Pointer;
  UserControl* m_Root = nullptr;
  GtkWidget* m_Box = nullptr;
  GtkWidget* m_Area = nullptr;
  GtkWidget* m_ErrorLine = nullptr;
  GtkEventController* m_Controllers[2] = {nullptr, nullptr};
  std::vector<std::string> m_Errors;
  bool m_FirstFrameDrawn = false;
  unsigned int m_FirstFrameIdle = 0;  // the GLib source that reports it
  // Double-click detection: the last press (ms, pixels).
  std::uint32_t m_LastPressTime = 0;
  double m_LastPressX = -1e9;
  double m_LastPressY = -1e9;
  std::uint32_t m_LastPressButton = 0;
  bool m_DoublePending = false;

  friend struct Signals;
};

}  // namespace borvane
