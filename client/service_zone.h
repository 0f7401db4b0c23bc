#pragma once
// The time service keeps Beijing time (GMT+8, no daylight saving). The
// panel shows and stores what the service said, but compares with and
// sets the local clock in the machine's own zone.

#include <cstdint>

#include "container/clock.h"
#include "container/system_time.h"

namespace borvane {

// Seconds Beijing time is ahead of UTC.
inline constexpr std::int32_t kServiceUtcOffsetSeconds = 8 * 3600;

// The same instant as the Beijing date and time, in the machine's zone as
// the clock reports it. Milliseconds are carried over unchanged; day of
// week is the converted date's (0 = Sunday).
SystemTime ServiceToLocal(const SystemTime& beijing, Clock& clock);

}  // namespace borvane
