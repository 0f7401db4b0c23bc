#include "platform/windows/win_clock.h"

#include <windows.h>

namespace borvane {

namespace {

SystemTime FromPlatform(const SYSTEMTIME& in) {
  auto field = [](WORD value) { return static_cast<std::int16_t>(value); };
  return SystemTime{field(in.wYear),   field(in.wMonth),  field(in.wDayOfWeek), field(in.wDay),
                    field(in.wHour),   field(in.wMinute), field(in.wSecond),
                    field(in.wMilliseconds)};
}

SYSTEMTIME ToPlatform(const SystemTime& in) {
  auto field = [](std::int16_t value) { return static_cast<WORD>(value); };
  SYSTEMTIME out{};
  out.wYear = field(in.wYear);
  out.wMonth = field(in.wMonth);
  out.wDayOfWeek = field(in.wDayOfWeek);
  out.wDay = field(in.wDay);
  out.wHour = field(in.wHour);
  out.wMinute = field(in.wMinute);
  out.wSecond = field(in.wSecond);
  out.wMilliseconds = field(in.wMilliseconds);
  return out;
}

}  // namespace

SystemTime WindowsClock::Now() {
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  return FromPlatform(now);
}

std::int32_t WindowsClock::SetLocalTime(const SystemTime&, std::int64_t utc_milliseconds) {
  if (utc_milliseconds < 0) return 0;
  SystemTime utc = CivilFromSeconds(utc_milliseconds / 1000);
  utc.wMilliseconds = static_cast<std::int16_t>(utc_milliseconds % 1000);
  const SYSTEMTIME wanted = ToPlatform(utc);
  return ::SetSystemTime(&wanted) ? 1 : 0;
}

std::int32_t WindowsClock::UtcOffsetSeconds(std::int64_t utc_seconds) {
  const SYSTEMTIME utc = ToPlatform(CivilFromSeconds(utc_seconds));
  SYSTEMTIME local{};
  if (!::SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) return 0;
  return static_cast<std::int32_t>(SecondsFromCivil(FromPlatform(local)) - utc_seconds);
}

}  // namespace borvane
