#pragma once
// The Windows local clock: GetLocalTime, and SetSystemTime with the instant, on
// the platform's own clock record (the same eight 16-bit fields as SystemTime).

#include "container/clock.h"

namespace borvane {

class WindowsClock final : public Clock {
 public:
  SystemTime Now() override;
  // Sets the system clock to the instant (as UTC, so the repeated hour at
  // the end of daylight saving is not guessed). Non-zero when the clock was
  // set; 0 when the platform refused (the caller lacks the right to change
  // the time).
  std::int32_t SetLocalTime(const SystemTime& record, std::int64_t utc_milliseconds) override;
  // Seconds the local zone is ahead of UTC at that UTC instant, from the
  // zone rules for that date (daylight saving included).
  std::int32_t UtcOffsetSeconds(std::int64_t utc_seconds) override;
};

}  // namespace borvane
