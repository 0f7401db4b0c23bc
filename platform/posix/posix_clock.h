#pragma once
// The machine's local clock on POSIX: CLOCK_REALTIME read and broken down in
// the process time zone (TZ, else /etc/localtime). Setting it needs
// CAP_SYS_TIME; without it the setting is refused and reported as 0.

#include <cstdint>
#include <string>

#include "container/clock.h"

namespace borvane {

class PosixClock final : public Clock {
 public:
  SystemTime Now() override;
  // Steps CLOCK_REALTIME to the instant. 1 when set; 0 when the record is
  // not a real date and time, the instant lies before 1970, or the system
  // refused (see LastError).
  std::int32_t SetLocalTime(const SystemTime& record, std::int64_t utc_milliseconds) override;
  // Local time minus UTC at the instant, in seconds (positive east of Greenwich).
  std::int32_t UtcOffsetSeconds(std::int64_t utc_seconds) override;

  // Why the last SetLocalTime returned 0, e.g. "Operation not permitted";
  // empty after a successful one.
  const std::string& LastError() const { return m_LastError; }

 private:
  std::string m_LastError;
};

}  // namespace borvane
