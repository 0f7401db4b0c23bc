#include "container/system_time.h"

namespace borvane {

// Howard Hinnant's days-from-civil algorithm: exact over the whole
// proleptic Gregorian calendar without tables.
std::int64_t DaysFromCivil(int year, int month, int day) {
  const std::int64_t y = static_cast<std::int64_t>(year) - (month <= 2 ? 1 : 0);
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t mp = (month + 9) % 12;
  const std::int64_t doy = (153 * mp + 2) / 5 + day - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

std::int64_t SecondsFromCivil(const SystemTime& time) {
  return DaysFromCivil(time.wYear, time.wMonth, time.wDay) * 86400 + time.wHour * 3600 +
         time.wMinute * 60 + time.wSecond;
}

SystemTime CivilFromSeconds(std::int64_t seconds) {
  std::int64_t days = seconds / 86400;
  std::int64_t rest = seconds % 86400;
  if (rest < 0) rest += 86400, --days;

  const std::int64_t z = days + 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  const std::int64_t day = doy - (153 * mp + 2) / 5 + 1;
  const std::int64_t month = mp < 10 ? mp + 3 : mp - 9;
  const std::int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);

  SystemTime t;
  t.wYear = static_cast<std::int16_t>(year);
  t.wMonth = static_cast<std::int16_t>(month);
  t.wDay = static_cast<std::int16_t>(day);
  t.wHour = static_cast<std::int16_t>(rest / 3600);
  t.wMinute = static_cast<std::int16_t>(rest % 3600 / 60);
  t.wSecond = static_cast<std::int16_t>(rest % 60);
  // 1970-01-01 was a Thursday.
  std::int64_t dow = (days + 4) % 7;
  if (dow < 0) dow += 7;
  t.wDayOfWeek = static_cast<std::int16_t>(dow);
  return t;
}

bool IsValidDate(int year, int month, int day) {
  if (month < 1 || month > 12 || day < 1) return false;
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  const int last = month == 2 && leap ? 29 : kDays[month - 1];
  return day <= last;
}

}  // namespace borvane
