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

  // Sets the clock to the instant `utc_milliseconds` (since 1970-01-01
  // 00:00:00 UTC). `record` is the same instant as the machine's local date
  // and time, for showing or recording it (day of week ignored); it does not
  // decide the instant, because in the hour that repeats when daylight
  // saving ends one local time stands for two instants. Non-zero when the
  // clock was set, 0 when the platform refused.
  virtual std::int32_t SetLocalTime(const SystemTime& record, std::int64_t utc_milliseconds) = 0;

  // Seconds the machine's zone is ahead of UTC at the given UTC instant
  // (seconds since 1970); 28800 on a machine set to GMT+8.
  virtual std::int32_t UtcOffsetSeconds(std::int64_t utc_seconds) = 0;
};

}  // namespace borvane
