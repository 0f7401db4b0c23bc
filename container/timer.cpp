#include "container/timer.h"

namespace borvane {

Timer::~Timer() {
  if (m_Id != 0) m_Loop.Cancel(m_Id);
}

void Timer::SetEnabled(bool enabled) {
  if (enabled == m_Enabled) return;
  m_Enabled = enabled;
  Rearm();
}

void Timer::SetInterval(std::uint32_t interval_ms) {
  m_Interval = interval_ms;
  Rearm();
}

void Timer::Rearm() {
  if (m_Id != 0) {
    m_Loop.Cancel(m_Id);
    m_Id = 0;
  }
  if (m_Enabled && m_Interval != 0) {
    m_Id = m_Loop.StartRepeating(m_Interval, [this] {
      if (OnTimer) OnTimer();
    });
  }
}

}  // namespace borvane
