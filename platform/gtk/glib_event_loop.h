#pragma once
// The event loop of a GTK host: repeating timers on the default GLib main
// context, so ticks run on the user-interface thread between input events
// and redraws. Ticks are as late as the thread is busy; a late tick is not
// made up for.

#include <cstdint>
#include <functional>
#include <map>

#include "container/event_loop.h"

namespace borvane {

class GlibEventLoop final : public EventLoop {
 public:
  GlibEventLoop() = default;
  ~GlibEventLoop() override;  // cancels every timer still running
  GlibEventLoop(const GlibEventLoop&) = delete;
  GlibEventLoop& operator=(const GlibEventLoop&) = delete;

  TimerId StartRepeating(std::uint32_t interval_ms, std::function<void()> tick) override;
  // Safe from inside the timer's own tick.
  void Cancel(TimerId id) override;

  std::size_t ActiveTimers() const { return m_Timers.size(); }

  // Runs after every tick, e.g. to ask for a redraw of what the tick changed.
  std::function<void()> AfterTick;
  // Gets the message of an exception that left a tick (controls report
  // their own errors to their site; this catches anything else).
  std::function<void(const char*)> TickFailed;

 private:
  struct Entry;
  static int Dispatch(void* data);
  static void Release(void* data);

  std::map<TimerId, Entry*> m_Timers;
  TimerId m_NextId = 1;
};

}  // namespace borvane
