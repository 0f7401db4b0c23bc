#include "client/service_zone.h"

#include <optional>

namespace borvane {

namespace {

std::int64_t FloorSeconds(std::int64_t ms) { return ms >= 0 ? ms / 1000 : -((999 - ms) / 1000); }
std::int64_t Distance(std::int64_t a, std::int64_t b) { return a > b ? a - b : b - a; }

}  // namespace

SystemTime ServiceToLocal(const SystemTime& beijing, Clock& clock) {
  const std::int64_t utc = SecondsFromCivil(beijing) - kServiceUtcOffsetSeconds;
  SystemTime local = CivilFromSeconds(utc + clock.UtcOffsetSeconds(utc));
  local.wMilliseconds = beijing.wMilliseconds;
  return local;
}

std::int64_t ServiceToUtcMilliseconds(const SystemTime& beijing) {
  return (SecondsFromCivil(beijing) - kServiceUtcOffsetSeconds) * 1000 + beijing.wMilliseconds;
}

std::int64_t LocalToUtcMilliseconds(const SystemTime& local, Clock& clock,
                                    std::int64_t near_utc_ms) {
  const std::int64_t fields = SecondsFromCivil(local);
  const std::int64_t near = FloorSeconds(near_utc_ms);
  // The offsets in force a day either side of `near` cover any change of
  // offset between the reading and `near`.
  const std::int32_t fallback = clock.UtcOffsetSeconds(near);
  std::optional<std::int64_t> best;
  for (const std::int64_t probe : {near - 86400, near, near + 86400}) {
    const std::int32_t offset = clock.UtcOffsetSeconds(probe);
    const std::int64_t instant = (fields - offset) * 1000 + local.wMilliseconds;
    // Only an offset that really holds at the instant reads the reading right.
    if (clock.UtcOffsetSeconds(FloorSeconds(instant)) != offset) continue;
    if (!best || Distance(instant, near_utc_ms) < Distance(*best, near_utc_ms)) best = instant;
  }
  return best ? *best : (fields - fallback) * 1000 + local.wMilliseconds;
}

}  // namespace borvane
