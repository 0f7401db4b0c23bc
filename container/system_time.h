#pragma once
// The broken-down clock record: eight 16-bit fields in the platform's order,
// and the calendar arithmetic the time check needs to move a time between zones.

#include <cstdint>

namespace borvane {

struct SystemTime {
  std::int16_t wYear = 0;
  std::int16_t wMonth = 0;
  std::int16_t wDayOfWeek = 0;
  std::int16_t wDay = 0;
  std::int16_t wHour = 0;
  std::int16_t wMinute = 0;
  std::int16_t wSecond = 0;
  std::int16_t wMilliseconds = 0;

  bool operator==(const SystemTime&) const = default;
};

// Days since 1970-01-01 of a proleptic Gregorian date.
std::int64_t DaysFromCivil(int year, int month, int day);

// Seconds since 1970-01-01 00:00:00 of the record's date and time, read as
// if it were UTC (milliseconds and day of week ignored).
std::int64_t SecondsFromCivil(const SystemTime& time);

// The record for a count of seconds since 1970-01-01 00:00:00; day of week
// filled (0 = Sunday), milliseconds 0.
SystemTime CivilFromSeconds(std::int64_t seconds);

// Whether year-month-day is a real calendar date.
bool IsValidDate(int year, int month, int day);

}  // namespace borvane
