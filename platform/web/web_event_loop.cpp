#include "platform/web/web_event_loop.h"

#include <emscripten.h>

namespace borvane {

namespace {

EM_JS(void, BorvaneStartTimer, (double id, double interval_ms), {
  Module.borvaneHost.startTimer(id, interval_ms);
});

EM_JS(void, BorvaneStopTimer, (double id), {
  Module.borvaneHost.stopTimer(id);
});

}  // namespace

WebEventLoop::~WebEventLoop() {
  for (const auto& timer : m_Timers) BorvaneStopTimer(static_cast<double>(timer.first));
}

EventLoop::TimerId WebEventLoop::StartRepeating(std::uint32_t interval_ms,
                                                std::function<void()> tick) {
  const TimerId id = m_Next++;
  m_Timers[id] = std::move(tick);
  BorvaneStartTimer(static_cast<double>(id), interval_ms);
  return id;
}

void WebEventLoop::Cancel(TimerId id) {
  if (m_Timers.erase(id) != 0) BorvaneStopTimer(static_cast<double>(id));
}

void WebEventLoop::Tick(TimerId id) {
  const auto found = m_Timers.find(id);
  if (found == m_Timers.end()) return;
  // The tick may cancel its own timer: call a copy.
  const std::function<void()> tick = found->second;
  tick();
}

}  // namespace borvane
