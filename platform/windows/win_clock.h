#pragma once
// The Windows local clock: GetLocalTime and SetLocalTime on the platform's
// own clock record, which has the same eight 16-bit fields as SystemTime.

#include "container/clock.h"

namespace borvane {

class WindowsClock final : public Clock {
 public:
  SystemTime Now() override;
  // Non-zero when the clock was set; 0 when the platform refused (the
  // caller lacks the right to change the time).
  std::int32_t SetLocalTime(const SystemTime& time) override;
  // Seconds the local zone is ahead of UTC at that UTC instant, from the
  // zone rules for that date (daylight saving included).
  std::int32_t UtcOffsetSeconds(std::int64_t utc_seconds) override;
};

}  // namespace borvane
