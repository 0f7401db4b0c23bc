#include "client/service_zone.h"

namespace borvane {

SystemTime ServiceToLocal(const SystemTime& beijing, Clock& clock) {
  const std::int64_t utc = SecondsFromCivil(beijing) - kServiceUtcOffsetSeconds;
  SystemTime local = CivilFromSeconds(utc + clock.UtcOffsetSeconds(utc));
  local.wMilliseconds = beijing.wMilliseconds;
  return local;
}

}  // namespace borvane
