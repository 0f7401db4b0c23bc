#include "platform/posix_clock.h"

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

std::int32_t PosixClock::SetLocalTime(const SystemTime& time) {
  // mktime would quietly roll 31 April into 1 May; the record must already
  // be a real date and time.
  if (!IsValidDate(time.wYear, time.wMonth, time.wDay) || time.wHour < 0 || time.wHour > 23 ||
      time.wMinute < 0 || time.wMinute > 59 || time.wSecond < 0 || time.wSecond > 59 ||
      time.wMilliseconds < 0 || time.wMilliseconds > 999) {
    m_LastError = "not a valid date and time";
    return 0;
  }
  ::tzset();
  tm local{};
  local.tm_year = time.wYear - 1900;
  local.tm_mon = time.wMonth - 1;
  local.tm_mday = time.wDay;
  local.tm_hour = time.wHour;
  local.tm_min = time.wMinute;
  local.tm_sec = time.wSecond;
  local.tm_isdst = -1;  // let the zone decide whether daylight saving applies
  errno = 0;
  const time_t seconds = ::mktime(&local);
  if (seconds == static_cast<time_t>(-1) && errno != 0) {
    m_LastError = std::string("mktime: ") + std::strerror(errno);
    return 0;
  }
  const timespec target{seconds, static_cast<long>(time.wMilliseconds) * 1'000'000};
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
