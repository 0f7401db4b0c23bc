#include "platform/web/web_clock.h"

#include <emscripten.h>

namespace borvane {

namespace {

// Year, month, day of week, day, hour, minute, second, milliseconds.
EM_JS(void, BorvaneLocalNow, (std::int32_t* fields), {
  const now = new Date();
  const values = [now.getFullYear(), now.getMonth() + 1, now.getDay(), now.getDate(),
                  now.getHours(), now.getMinutes(), now.getSeconds(), now.getMilliseconds()];
  for (let i = 0; i < 8; ++i) HEAP32[(fields >> 2) + i] = values[i];
});

EM_JS(int, BorvaneZoneOffset, (double utc_seconds), {
  return -new Date(utc_seconds * 1000).getTimezoneOffset() * 60;
});

}  // namespace

SystemTime WebClock::Now() {
  std::int32_t f[8] = {};
  BorvaneLocalNow(f);
  auto field = [](std::int32_t value) { return static_cast<std::int16_t>(value); };
  return SystemTime{field(f[0]), field(f[1]), field(f[2]), field(f[3]),
                    field(f[4]), field(f[5]), field(f[6]), field(f[7])};
}

std::int32_t WebClock::UtcOffsetSeconds(std::int64_t utc_seconds) {
  return BorvaneZoneOffset(static_cast<double>(utc_seconds));
}

}  // namespace borvane
