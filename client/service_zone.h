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

// The instant of a Beijing date and time, in ms since 1970-01-01 UTC
// (milliseconds field included).
std::int64_t ServiceToUtcMilliseconds(const SystemTime& beijing);

// The instant of a local clock reading, in ms since 1970-01-01 UTC. In the
// hour that repeats when daylight saving ends one reading stands for two
// instants: the one nearer `near_utc_ms` is taken. A reading in the hour
// that is skipped when it starts is read with the offset in force at `near_utc_ms`.
std::int64_t LocalToUtcMilliseconds(const SystemTime& local, Clock& clock,
                                    std::int64_t near_utc_ms);

}  // namespace borvane
