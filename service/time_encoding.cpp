#include "service/time_encoding.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <stdexcept>

#include "container/utf8.h"

namespace borvane {

namespace {

// What the decoder adds to a code at each phase (index = position mod 6),
// written as sign × K + constant. Encoding subtracts the same amount.
constexpr std::array<int, 6> kShiftSign = {+1, -1, +1, -1, +1, -1};
constexpr std::array<int, 6> kConstant = {-2, +4, -6, -1, -7, 0};

bool IsCharacterCode(std::int64_t code) {
  return code >= 0 && code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF);
}

}  // namespace

std::string EncodeTime(std::string_view plain, int shift) {
  std::string out;
  out.reserve(plain.size());
  std::size_t position = 0;
  for (const char32_t code : DecodeUtf8(plain)) {
    ++position;
    const std::size_t phase = position % 6;
    const std::int64_t encoded = static_cast<std::int64_t>(code) -
                                 kShiftSign[phase] * static_cast<std::int64_t>(shift) -
                                 kConstant[phase];
    if (!IsCharacterCode(encoded)) {
      throw std::invalid_argument("EncodeTime: character " + std::to_string(position) +
                                  " cannot be encoded with shift " + std::to_string(shift));
    }
    AppendUtf8(out, static_cast<char32_t>(encoded));
  }
  return out;
}

namespace {

using std::chrono::days;
using std::chrono::milliseconds;
using std::chrono::sys_days;

// Splits an instant, already moved into the wanted zone, into its civil
// date and the milliseconds into that day (0..86'399'999).
struct CivilInstant {
  std::chrono::year_month_day Date;
  std::chrono::weekday Weekday;
  std::int64_t MillisecondsOfDay;
};

CivilInstant Split(std::chrono::sys_time<milliseconds> time) {
  const sys_days day = std::chrono::floor<days>(time);
  return {std::chrono::year_month_day(day), std::chrono::weekday(day),
          (time - day).count()};
}

}  // namespace

std::string FormatBeijingTime(std::chrono::system_clock::time_point time) {
  // GMT+8 is a fixed offset: Beijing has kept no daylight saving since 1991,
  // and the answer's layout carries no zone.
  const auto beijing = std::chrono::floor<milliseconds>(time) + std::chrono::hours(8);
  const CivilInstant civil = Split(beijing);
  const std::int64_t ms = civil.MillisecondsOfDay;
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u %02d:%02d:%02d.%03d",
                static_cast<int>(civil.Date.year()), static_cast<unsigned>(civil.Date.month()),
                static_cast<unsigned>(civil.Date.day()), static_cast<int>(ms / 3'600'000),
                static_cast<int>(ms / 60'000 % 60), static_cast<int>(ms / 1000 % 60),
                static_cast<int>(ms % 1000));
  return text;
}

std::string FormatHttpDate(std::chrono::system_clock::time_point time) {
  static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const CivilInstant civil = Split(std::chrono::floor<milliseconds>(time));
  const std::int64_t seconds = civil.MillisecondsOfDay / 1000;
  char text[40];
  std::snprintf(text, sizeof text, "%s, %02u %s %04d %02d:%02d:%02d GMT",
                kDays[civil.Weekday.c_encoding()], static_cast<unsigned>(civil.Date.day()),
                kMonths[static_cast<unsigned>(civil.Date.month()) - 1],
                static_cast<int>(civil.Date.year()), static_cast<int>(seconds / 3600),
                static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
  return text;
}

}  // namespace borvane
