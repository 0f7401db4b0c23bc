#include "platform/posix/posix_clock.h"

#include <time.h>

#include <cerrno>
#include <cstring>

namespace borvane {

namespace {

// localtime_r need not look at TZ again after the first call; tzset makes a
// changed TZ take effect, as a desktop user would expect.
tm LocalBreakdown(time_t seconds) {
  ::tzset();
  tm local{};
  ::localtime_r(&seconds, &local);
  return local;
}

}  // namespace

SystemTime PosixClock::Now() {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  const tm local = LocalBreakdown(now.tv_sec);
  SystemTime time;
  time.wYear = static_cast<std::int16_t>(local.tm_year + 1900);
  time.wMonth = static_cast<std::int16_t>(local.tm_mon + 1);
  time.wDayOfWeek = static_cast<std::int16_t>(local.tm_wday);
  time.wDay = static_cast<std::int16_t>(local.tm_mday);
  time.wHour = static_cast<std::int16_t>(local.tm_hour);
  time.wMinute = static_cast<std::int16_t>(local.tm_min);
  time.wSecond = static_cast<std::int16_t>(local.tm_sec);
  time.wMilliseconds = static_cast<std::int16_t>(now.tv_nsec / 1'000'000);
  return time;
}

std::int32_t PosixClock::SetLocalTime(const SystemTime& time, std::int64_t utc_milliseconds) {
  // The record is what the user is told was set; one that is not a real
  // date and time points at a fault upstream, so nothing is set.
  if (!IsValidDate(time.wYear, time.wMonth, time.wDay) || time.wHour < 0 || time.wHour > 23 ||
      time.wMinute < 0 || time.wMinute > 59 || time.wSecond < 0 || time.wSecond > 59 ||
      time.wMilliseconds < 0 || time.wMilliseconds > 999) {
    m_LastError = "not a valid date and time";
    return 0;
  }
  if (utc_milliseconds < 0) {
    m_LastError = "instant before 1970";
    return 0;
  }
  // The instant itself, not the local fields: mktime would have to guess
  // which of the two repeated local hours is meant when daylight saving ends.
  const timespec target{static_cast<time_t>(utc_milliseconds / 1000),
                        static_cast<long>(utc_milliseconds % 1000) * 1'000'000};
  if (::clock_settime(CLOCK_REALTIME, &target) != 0) {
    m_LastError = std::strerror(errno);
    return 0;
  }
  m_LastError.clear();
  return 1;
}

std::int32_t PosixClock::UtcOffsetSeconds(std::int64_t utc_seconds) {
  return static_cast<std::int32_t>(LocalBreakdown(static_cast<time_t>(utc_seconds)).tm_gmtoff);
}

}  // namespace borvane
