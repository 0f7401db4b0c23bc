#include "platform/windows/win_event_loop.h"

#include <utility>

namespace borvane {

WinEventLoop::~WinEventLoop() { Attach(nullptr); }

EventLoop::TimerId WinEventLoop::StartRepeating(std::uint32_t interval_ms,
                                                std::function<void()> tick) {
  const TimerId id = m_NextId++;
  m_Timers[id] = Entry{interval_ms, std::move(tick)};
  if (m_Window != nullptr) ::SetTimer(m_Window, static_cast<UINT_PTR>(id), interval_ms, nullptr);
  return id;
}

void WinEventLoop::Cancel(TimerId id) {
  if (m_Timers.erase(id) > 0 && m_Window != nullptr) {
    ::KillTimer(m_Window, static_cast<UINT_PTR>(id));
  }
}

void WinEventLoop::Attach(HWND window) {
  if (window == m_Window) return;
  if (m_Window != nullptr) {
    for (const auto& [id, entry] : m_Timers) ::KillTimer(m_Window, static_cast<UINT_PTR>(id));
  }
  m_Window = window;
  if (m_Window != nullptr) {
    for (const auto& [id, entry] : m_Timers) {
      ::SetTimer(m_Window, static_cast<UINT_PTR>(id), entry.Interval, nullptr);
    }
    if (!m_Held && MissedTicks() > 0) ::PostMessageW(m_Window, kReplayMessage, 0, 0);
  }
}

bool WinEventLoop::Dispatch(UINT_PTR id) {
  const auto found = m_Timers.find(static_cast<TimerId>(id));
  if (found == m_Timers.end()) return false;
  if (m_Held) {
    ++found->second.Missed;
    return true;
  }
  // A copy: the tick may cancel its own timer, or start others.
  const std::function<void()> tick = found->second.Tick;
  tick();
  if (AfterTick) AfterTick();
  return true;
}

void WinEventLoop::SetHeld(bool held) {
  m_Held = held;
  if (!held && m_Window != nullptr && MissedTicks() > 0) {
    ::PostMessageW(m_Window, kReplayMessage, 0, 0);
  }
}

std::uint64_t WinEventLoop::MissedTicks() const {
  std::uint64_t missed = 0;
  for (const auto& [id, entry] : m_Timers) missed += entry.Missed;
  return missed;
}

void WinEventLoop::ReplayMissed() {
  for (auto at = m_Timers.begin(); at != m_Timers.end() && !m_Held;) {
    const TimerId id = at->first;
    if (at->second.Missed == 0) {
      ++at;
      continue;
    }
    --at->second.Missed;
    const std::function<void()> tick = at->second.Tick;
    tick();
    if (AfterTick) AfterTick();
    // The tick may have cancelled its timer or started others.
    at = m_Timers.lower_bound(id);
  }
}

}  // namespace borvane
