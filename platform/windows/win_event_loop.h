#pragma once
// The event loop of the Windows control: repeating timers as SetTimer on
// the control's window, so the panel's one-second tick and the buttons'
// mouse-out polling run inside whatever host has activated it. While the
// control has no window (before in-place activation, after deactivation
// or Close) its timers are kept but do not tick; they start again with the
// next window. Ticks run while a query is in flight too: the host's loop
// never waits on the network, and the panel counts those ticks itself.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <map>

#include "container/event_loop.h"

namespace borvane {

class WinEventLoop final : public EventLoop {
 public:
  WinEventLoop() = default;
  ~WinEventLoop() override;  // stops every platform timer
  WinEventLoop(const WinEventLoop&) = delete;
  WinEventLoop& operator=(const WinEventLoop&) = delete;

  TimerId StartRepeating(std::uint32_t interval_ms, std::function<void()> tick) override;
  // Safe from inside the timer's own tick.
  void Cancel(TimerId id) override;

  // Ticks from now on arrive as WM_TIMER on `window`; nullptr stops them.
  void Attach(HWND window);
  HWND Window() const { return m_Window; }
  // The window procedure hands WM_TIMER here; false for a timer that is
  // not this loop's.
  bool Dispatch(UINT_PTR id);

  std::size_t ActiveTimers() const { return m_Timers.size(); }

  // Runs after every tick, e.g. to redraw what the tick changed.
  std::function<void()> AfterTick;

 private:
  struct Entry {
    std::uint32_t Interval;
    std::function<void()> Tick;
  };
  std::map<TimerId, Entry> m_Timers;
  TimerId m_NextId = 1;
  HWND m_Window = nullptr;
};

}  // namespace borvane
