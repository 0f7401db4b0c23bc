#pragma once
// An event loop whose time moves only when told to: tests and headless runs
// advance it by whole milliseconds and the due ticks run in time order.

#include <cstdint>
#include <functional>
#include <map>

#include "container/event_loop.h"

namespace borvane {

class ManualEventLoop final : public EventLoop {
 public:
  TimerId StartRepeating(std::uint32_t interval_ms, std::function<void()> tick) override;
  void Cancel(TimerId id) override;

  // Moves time forward by `ms`, running every tick that falls due on the way.
  void Advance(std::uint64_t ms);
  std::uint64_t NowMs() const { return m_Now; }
  std::size_t ActiveTimers() const { return m_Timers.size(); }

 private:
  struct Entry {
    std::uint32_t Interval;
    std::uint64_t Due;
    std::function<void()> Tick;
  };
  std::map<TimerId, Entry> m_Timers;
  TimerId m_NextId = 1;
  std::uint64_t m_Now = 0;
};

}  // namespace borvane
