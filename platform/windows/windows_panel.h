#pragma once
// The time panel as the Windows control hosts it: the real clock, WinINet,
// GDI text and timers on the control's window, behind a site that tells
// the control object when the picture changed and shows errors that leave
// a handler in the panel's status line.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "client/client.h"
#include "container/site.h"
#include "library/dispatch.h"
#include "platform/windows/gdi_text_engine.h"
#include "platform/windows/win_clock.h"
#include "platform/windows/win_event_loop.h"
#include "platform/windows/wininet_transfer.h"

namespace borvane {

class WindowsPanel final : public Site, public Automatable {
 public:
  // Builds the panel; Initialize runs its first query.
  explicit WindowsPanel(const std::string& service_url);
  ~WindowsPanel() override;
  WindowsPanel(const WindowsPanel&) = delete;
  WindowsPanel& operator=(const WindowsPanel&) = delete;

  // The creation notification: the first query. Its error goes to the
  // status line, like every error that leaves a handler. The control
  // posts it to itself, so it starts from the host's message loop; it is
  // left out when a query has already started (a script or a click asked
  // first).
  void Initialize();

  // A query is in flight from its start until its answer is applied,
  // from the host's loop: meanwhile the host's messages keep running, the
  // panel's ticks keep counting, and clicks and keys reach the panel (an
  // ask made then runs once the query has ended). This stops the query in
  // flight (the control closes or is released): its fetch is cancelled
  // and its completion never runs.
  void CancelQuery() { m_Panel.CancelQuery(); }
  // Runs each fetch's completion, which applies the answer to the panel
  // (the transfer's CallOut): the control wraps it in a reference to
  // itself and its exception boundary.
  std::function<void(const std::function<void()>&)> CallOut;

  client& Panel() { return m_Panel; }
  WinEventLoop& Timers() { return m_Loop; }

  // The picture: the panel's frame with the status line replaced by the
  // last error while the panel has not written a newer status.
  Image Frame() const;
  // What the status line shows now (UTF-8).
  std::string StatusLine() const;

  // Where the pointer is, in the panel's pixels (the window procedure
  // keeps it); far outside while the pointer is away.
  void SetPointer(Point position) { m_Pointer.Position = position; }
  static constexpr Point kPointerAway{-32768, -32768};

  // Ambient values from the container.
  void SetDisplayName(std::string name) { m_DisplayName = std::move(name); }
  void SetAmbientFont(const Font& font) { *m_AmbientFont = font; }

  // Called when the picture may have changed, the pointer shape changed
  // (0 default, 11 busy), or an error left a handler (its message).
  std::function<void()> Changed;
  std::function<void(std::int16_t)> PointerShapeChanged;
  std::function<void(const std::string&)> ErrorReported;

  // Automatable: the two methods scripts reach. DisplayTime starts a
  // query and returns; its answer shows in the panel once it comes.
  std::string DisplayTime() override;
  std::string DeCrypt(Variant& texti, Variant& salasana) override;

  // Site.
  std::string AmbientDisplayName() override { return m_DisplayName; }
  FontRef AmbientFont() override { return m_AmbientFont; }
  void PropertyChanged(std::string_view) override {}
  void RaiseEvent(std::int32_t, std::string_view, std::span<const EventArg>) override {}
  CursorSource& Cursor() override { return m_Pointer; }
  TextEngine& Text() override { return m_Text; }
  EventLoop& Loop() override { return m_Loop; }
  void ReportError(const Error& error) override;
  void MousePointerChanged(std::int16_t pointer) override;

 private:
  class TrackedPointer final : public CursorSource {
   public:
    Point CursorInClient(WindowHandle) override { return Position; }
    Point Position = kPointerAway;
  };

  std::string m_DisplayName = "client1";
  FontRef m_AmbientFont = MakeFont("Arial", 9);
  WindowsClock m_Clock;
  WinInetTransfer m_Transfer;
  mutable GdiTextEngine m_Text;
  WinEventLoop m_Loop;
  TrackedPointer m_Pointer;
  client m_Panel;
  // The last error, and the status text it covered: once the panel writes
  // another status, the error line gives way.
  std::string m_ErrorLine;
  std::string m_ErrorCovers;
  bool m_QueryStarted = false;
};

}  // namespace borvane
