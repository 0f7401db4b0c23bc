#pragma once
// What a control asks of the container that holds it: ambient values, the
// property-changed notice, event delivery, the cursor, text, timers, and
// where errors that leave a notification go. A control receives its site
// when it is constructed and keeps it for its whole life.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "container/error.h"
#include "container/event_loop.h"
#include "container/font.h"
#include "container/geometry.h"
#include "container/text_engine.h"

namespace borvane {

using WindowHandle = std::uintptr_t;

// One event argument, by reference: the host's handler may change it and
// the control reads it back after the raise.
using EventArg = std::variant<std::int16_t*, std::int32_t*, float*, double*, bool*, std::string*>;

// The cursor in a control's client pixels (origin at the control's top-left
// corner, may lie outside it): the platform's cursor query followed by its
// screen-to-client conversion for the given window.
class CursorSource {
 public:
  virtual ~CursorSource() = default;
  virtual Point CursorInClient(WindowHandle window) = 0;
};

class Site {
 public:
  virtual ~Site() = default;

  // The container's name for this instance ("Command1").
  virtual std::string AmbientDisplayName() = 0;
  // The container's font object, shared.
  virtual FontRef AmbientFont() = 0;
  // A stored setting changed; the container saves the control again.
  virtual void PropertyChanged(std::string_view name) = 0;
  // Runs the host's handler synchronously; `args` point at the control's
  // variables.
  virtual void RaiseEvent(std::int32_t id, std::string_view name,
                          std::span<const EventArg> args) = 0;

  virtual CursorSource& Cursor() = 0;
  virtual TextEngine& Text() = 0;
  virtual EventLoop& Loop() = 0;

  // An error left a notification handler; the container reports it.
  virtual void ReportError(const Error& error) = 0;

  // The control's mouse pointer changed (0 default, 11 busy). A host that
  // draws a pointer shows it at once, even though the control may keep the
  // user-interface thread busy right afterwards.
  virtual void MousePointerChanged(std::int16_t) {}
};

}  // namespace borvane
