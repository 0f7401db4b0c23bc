#include "client/time_text.h"

#include "container/error.h"
#include "container/utf8.h"
#include "container/variant.h"

namespace borvane {

std::string PadLeft2(const std::string& text) {
  return Utf8Length(text) < 2 ? "0" + text : text;
}

std::string PadLeft3(const std::string& text) {
  std::string padded = Utf8Length(text) < 2 ? "00" + text : text;
  return Utf8Length(padded) < 3 ? "0" + padded : padded;
}

std::int32_t ReadWholeNumber(const std::string& text) { return ToInt32(ParseNumber(text)); }

namespace {

// The decimal value of `count` ASCII digits at `at`, or -1 when any is not one.
int Digits(const std::string& text, std::size_t at, std::size_t count) {
  int value = 0;
  for (std::size_t i = at; i < at + count; ++i) {
    const char c = text[i];
    if (c < '0' || c > '9') return -1;
    value = value * 10 + (c - '0');
  }
  return value;
}

}  // namespace

SystemTime ReadDateTime(const std::string& text) {
  // Byte positions are character positions here: every accepted character
  // is ASCII, and any other byte fails the digit or separator test.
  const auto fail = [&]() -> SystemTime { RaiseTypeMismatch("\"" + text + "\" is not a date and time"); };
  if (text.size() != 19 || text[4] != '-' || text[7] != '-' || text[10] != ' ' ||
      text[13] != ':' || text[16] != ':') {
    return fail();
  }
  const int year = Digits(text, 0, 4);
  const int month = Digits(text, 5, 2);
  const int day = Digits(text, 8, 2);
  const int hour = Digits(text, 11, 2);
  const int minute = Digits(text, 14, 2);
  const int second = Digits(text, 17, 2);
  if (year < 1 || hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 ||
      second > 59 || !IsValidDate(year, month, day)) {
    return fail();
  }
  SystemTime t;
  t.wYear = static_cast<std::int16_t>(year);
  t.wMonth = static_cast<std::int16_t>(month);
  t.wDay = static_cast<std::int16_t>(day);
  t.wHour = static_cast<std::int16_t>(hour);
  t.wMinute = static_cast<std::int16_t>(minute);
  t.wSecond = static_cast<std::int16_t>(second);
  return t;
}

std::string FormatDateTime(const SystemTime& time) {
  const auto two = [](int value) { return PadLeft2(std::to_string(value)); };
  return std::to_string(time.wYear) + "-" + two(time.wMonth) + "-" + two(time.wDay) + " " +
         two(time.wHour) + ":" + two(time.wMinute) + ":" + two(time.wSecond);
}

}  // namespace borvane
