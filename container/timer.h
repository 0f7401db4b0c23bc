#pragma once
// The timer constituent: Enabled, Interval (ms, 0 = no ticks) and a free
// text Tag. It ticks on the event loop while enabled with a non-zero interval.

#include <cstdint>
#include <functional>
#include <string>

#include "container/event_loop.h"

namespace borvane {

class Timer {
 public:
  explicit Timer(EventLoop& loop) : m_Loop(loop) {}
  ~Timer();
  Timer(const Timer&) = delete;
  Timer& operator=(const Timer&) = delete;

  bool Enabled() const { return m_Enabled; }
  void SetEnabled(bool enabled);

  std::uint32_t Interval() const { return m_Interval; }
  // Setting the interval restarts the countdown, as the host's timers do.
  void SetInterval(std::uint32_t interval_ms);

  const std::string& Tag() const { return m_Tag; }
  void SetTag(std::string tag) { m_Tag = std::move(tag); }

  // The tick notification; runs on the user-interface thread.
  std::function<void()> OnTimer;

  bool Running() const { return m_Id != 0; }

 private:
  void Rearm();

  EventLoop& m_Loop;
  bool m_Enabled = false;
  std::uint32_t m_Interval = 0;
  std::string m_Tag;
  EventLoop::TimerId m_Id = 0;
};

}  // namespace borvane
