#include "container/manual_event_loop.h"

#include <algorithm>

namespace borvane {

EventLoop::TimerId ManualEventLoop::StartRepeating(std::uint32_t interval_ms,
                                                   std::function<void()> tick) {
  const TimerId id = m_NextId++;
  const std::uint32_t interval = std::max<std::uint32_t>(interval_ms, 1);
  m_Timers.emplace(id, Entry{interval, m_Now + interval, std::move(tick)});
  return id;
}

void ManualEventLoop::Cancel(TimerId id) { m_Timers.erase(id); }

void ManualEventLoop::Advance(std::uint64_t ms) {
  const std::uint64_t end = m_Now + ms;
  for (;;) {
    // Earliest due timer; ties go to the one started first.
    auto next = m_Timers.end();
    for (auto it = m_Timers.begin(); it != m_Timers.end(); ++it) {
      if (it->second.Due <= end && (next == m_Timers.end() || it->second.Due < next->second.Due)) {
        next = it;
      }
    }
    if (next == m_Timers.end()) break;
    m_Now = next->second.Due;
    next->second.Due += next->second.Interval;
    // The tick may cancel or restart timers, this one included: copy first.
    const TimerId id = next->first;
    auto tick = next->second.Tick;
    tick();
    (void)id;
  }
  m_Now = end;
}

}  // namespace borvane
