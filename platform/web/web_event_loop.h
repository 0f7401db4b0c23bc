#pragma once
// Timers on the page's setInterval. A tick does not run the control at
// once: it joins the host's queue of calls into the module, so it never
// enters the module while a fetch holds it suspended.

#include <map>

#include "container/event_loop.h"

namespace borvane {

class WebEventLoop final : public EventLoop {
 public:
  ~WebEventLoop() override;
  TimerId StartRepeating(std::uint32_t interval_ms, std::function<void()> tick) override;
  void Cancel(TimerId id) override;

  // A tick from the page; a timer cancelled since the tick was queued is
  // ignored.
  void Tick(TimerId id);

 private:
  std::map<TimerId, std::function<void()>> m_Timers;
  TimerId m_Next = 1;
};

}  // namespace borvane
