#pragma once
// The event loop of the Windows control: repeating timers as SetTimer on
// the control's window, so the panel's one-second tick and the buttons'
// mouse-out polling run inside whatever host has activated it. While the
// control has no window (before in-place activation, after deactivation
// or Close) its timers are kept but do not tick; they start again with the
// next window. While the control waits for the network its ticks are
// held: each one that falls due is counted, and the count is made up once
// the wait ends (the panel's seconds count would drift otherwise).

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

  // While held, due ticks are counted instead of run. Releasing posts
  // kReplayMessage to the window when any were counted.
  void SetHeld(bool held);
  bool Held() const { return m_Held; }
  // Runs the counted ticks (the window procedure calls it on
  // kReplayMessage); stops early when a tick holds the loop again.
  void ReplayMissed();
  std::uint64_t MissedTicks() const;
  static constexpr UINT kReplayMessage = WM_APP + 0x71;

  // Runs after every tick, e.g. to redraw what the tick changed.
  std::function<void()> AfterTick;

 private:
  struct Entry {
    std::uint32_t Interval;
    std::function<void()> Tick;
    std::uint64_t Missed = 0;
  };
  std::map<TimerId, Entry> m_Timers;
  TimerId m_NextId = 1;
  HWND m_Window = nullptr;
  bool m_Held = false;
};

}  // namespace borvane
