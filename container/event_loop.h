#pragma once
// The user-interface thread's loop, as controls use it: repeating timers.
// The GTK host runs them on the GLib main loop; tests use ManualEventLoop.

#include <cstdint>
#include <functional>

namespace borvane {

class EventLoop {
 public:
  using TimerId = std::uint64_t;

  virtual ~EventLoop() = default;

  // Calls `tick` every `interval_ms` milliseconds, first after one interval,
  // until Cancel. Ticks arrive on the user-interface thread, one at a time.
  virtual TimerId StartRepeating(std::uint32_t interval_ms, std::function<void()> tick) = 0;
  virtual void Cancel(TimerId id) = 0;
};

}  // namespace borvane
