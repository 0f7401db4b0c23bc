#pragma once
// The time panel in a web page: the root control's site, with the page's
// clock, fetch, canvas text and timers. The page drives it through the
// functions exported in web_panel.cpp; every call into the module goes
// through the page's queue (borvane-client.js), one at a time, because a
// call that enters the module while a fetch holds it suspended would
// corrupt the suspended call's stack.

#include <cstdint>
#include <string>

#include "client/client.h"
#include "container/site.h"
#include "platform/web/canvas_text_engine.h"
#include "platform/web/fetch_transfer.h"
#include "platform/web/web_clock.h"
#include "platform/web/web_event_loop.h"

namespace borvane {

class WebPanel final : public Site {
 public:
  explicit WebPanel(const std::string& service_url);
  WebPanel(const WebPanel&) = delete;
  WebPanel& operator=(const WebPanel&) = delete;

  client& Panel() { return m_Panel; }
  WebEventLoop& Timers() { return m_Loop; }
  FetchTransfer& Fetcher() { return m_Transfer; }
  void SetPointer(Point position) { m_Pointer.Position = position; }
  static constexpr Point kPointerAway{-32768, -32768};

  // The picture: the panel's frame with the status line replaced by the
  // last error while the panel has not written a newer status.
  const Image& Frame();
  // What the status line shows now.
  std::string StatusLine() const;
  // The texts a check leaves, as one JSON object keyed by element name,
  // plus the status line as shown.
  std::string StateJson() const;

  // Shows a failure that is not the library's error the same way.
  void ReportFailure(const std::string& text);

  // Site.
  std::string AmbientDisplayName() override { return "client1"; }
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

  FontRef m_AmbientFont = MakeFont("Arial", 9);
  WebClock m_Clock;
  FetchTransfer m_Transfer;
  CanvasTextEngine m_Text;
  WebEventLoop m_Loop;
  TrackedPointer m_Pointer;
  client m_Panel;
  Image m_Frame;
  std::string m_ErrorLine;
  std::string m_ErrorCovers;
};

}  // namespace borvane
