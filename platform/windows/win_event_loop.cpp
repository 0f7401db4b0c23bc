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
  }
}

bool WinEventLoop::Dispatch(UINT_PTR id) {
  const auto found = m_Timers.find(static_cast<TimerId>(id));
  if (found == m_Timers.end()) return false;
  // A copy: the tick may cancel its own timer, or start others.
  const std::function<void()> tick = found->second.Tick;
  tick();
  if (AfterTick) AfterTick();
  return true;
}

}  // namespace borvane
