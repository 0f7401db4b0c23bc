// The readers of the answer's small texts: numbers (the echo, the
// milliseconds, stored values), the service's date and time, the padded
// figures, the character slices the answer is cut into, and the calendar
// arithmetic behind the zone conversion. A reader either gives a value
// that is right or raises the library's error; nothing else escapes.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "client/time_text.h"
#include "container/error.h"
#include "container/system_time.h"
#include "container/utf8.h"
#include "container/variant.h"

namespace {

using borvane::ErrorCode;

void Require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "time_text_fuzz: %s\n", what);
    std::abort();
  }
}

// Runs a reader; only a type mismatch or an overflow may leave it.
template <typename Read>
bool Reads(Read read) {
  try {
    read();
    return true;
  } catch (const borvane::Error& error) {
    Require(error.Code() == ErrorCode::TypeMismatch || error.Code() == ErrorCode::Overflow,
            "a reader raised an error other than type mismatch or overflow");
    return false;
  }
}

void CheckNumbers(const std::string& text) {
  double number = 0;
  const bool is_number = Reads([&] { number = borvane::ParseNumber(text); });
  std::int32_t whole = 0;
  if (Reads([&] { whole = borvane::ReadWholeNumber(text); })) {
    Require(is_number && std::nearbyint(number) == whole, "a whole number that is not the number read");
    Require(borvane::ReadWholeNumber(std::to_string(whole)) == whole, "a whole number does not read back");
  }
  const borvane::Variant value(text);
  Reads([&] { value.ToInt16(); });
  Reads([&] { value.ToInt32(); });
  Reads([&] { value.ToBool(); });
}

void CheckDateTime(const std::string& text) {
  borvane::SystemTime t;
  if (!Reads([&] { t = borvane::ReadDateTime(text); })) return;
  Require(borvane::IsValidDate(t.wYear, t.wMonth, t.wDay) && t.wYear >= 1 && t.wHour >= 0 &&
              t.wHour <= 23 && t.wMinute >= 0 && t.wMinute <= 59 && t.wSecond >= 0 &&
              t.wSecond <= 59,
          "a date and time out of range was accepted");
  // The display writes the year unpadded; from year 1000 on it is the same text.
  if (t.wYear >= 1000) Require(borvane::FormatDateTime(t) == text, "a date and time does not format back");
  borvane::SystemTime again = borvane::CivilFromSeconds(borvane::SecondsFromCivil(t));
  again.wDayOfWeek = 0;
  Require(again == t, "a date and time does not survive the calendar arithmetic");
}

void CheckSlices(const std::string& text, std::size_t count) {
  const std::size_t length = borvane::Utf8Length(text);
  const std::string left = borvane::Utf8Left(text, count);
  const std::string right = borvane::Utf8Right(text, length - std::min(count, length));
  Require(left + right == text, "the two slices of a text do not make it up");
  Require(borvane::Utf8Length(left) == std::min(count, length), "a left slice of the wrong length");
  const std::string padded2 = borvane::PadLeft2(text);
  const std::string padded3 = borvane::PadLeft3(text);
  Require(padded2.ends_with(text) && borvane::Utf8Length(padded2) >= std::min<std::size_t>(2, length + 1),
          "padding to two lost the text");
  Require(padded3.ends_with(text) && borvane::Utf8Length(padded3) >= 3, "padding to three is short");
}

void CheckCalendar(std::int64_t seconds) {
  // Seconds from year 1 to year 9999, the years a clock record can hold.
  constexpr std::int64_t kFirst = -62135596800;
  constexpr std::int64_t kLast = 253402300799;
  seconds = kFirst + static_cast<std::int64_t>(static_cast<std::uint64_t>(seconds) %
                                               static_cast<std::uint64_t>(kLast - kFirst + 1));
  const borvane::SystemTime t = borvane::CivilFromSeconds(seconds);
  Require(borvane::IsValidDate(t.wYear, t.wMonth, t.wDay) && t.wDayOfWeek >= 0 && t.wDayOfWeek <= 6 &&
              t.wHour >= 0 && t.wHour <= 23 && t.wMinute >= 0 && t.wMinute <= 59 && t.wSecond >= 0 &&
              t.wSecond <= 59,
          "seconds gave no real date and time");
  Require(borvane::SecondsFromCivil(t) == seconds, "seconds do not survive the calendar arithmetic");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  FuzzedDataProvider data(bytes, size);
  const auto count = data.ConsumeIntegral<std::uint8_t>();
  CheckCalendar(data.ConsumeIntegral<std::int64_t>());
  const std::string text = data.ConsumeRemainingBytesAsString();
  CheckNumbers(text);
  CheckDateTime(text);
  CheckSlices(text, count);
  return 0;
}
