#pragma once
// The local clock as the time check sees it. The real one lives in
// platform/; tests pass a fixed or scripted clock.

#include <cstdint>

#include "container/system_time.h"

namespace borvane {

class Clock {
 public:
  virtual ~Clock() = default;

  // The local wall-clock time, with milliseconds and day of week.
  virtual SystemTime Now() = 0;

  // Sets the local clock to the record's date and time (day of week is
  // ignored). Non-zero when the clock was set, 0 when the platform refused.
  virtual std::int32_t SetLocalTime(const SystemTime& time) = 0;

  // Seconds the machine's zone is ahead of UTC at the given UTC instant
  // (seconds since 1970); 28800 on a machine set to GMT+8.
  virtual std::int32_t UtcOffsetSeconds(std::int64_t utc_seconds) = 0;
};

}  // namespace borvane
