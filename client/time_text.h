#pragma once
// Reading and writing the small texts the time check trades in: padded
// digits, whole numbers read from text, and the service's date and time.

#include <cstdint>
#include <string>

#include "container/system_time.h"

namespace borvane {

// Zero-padding as the panel writes its figures: PadLeft2 puts "0" in front
// of a text shorter than 2 characters; PadLeft3 puts "00" in front of one
// shorter than 2, then "0" in front if it is still shorter than 3.
std::string PadLeft2(const std::string& text);
std::string PadLeft3(const std::string& text);

// A text read as a whole number: any plain number (blanks, sign, decimal
// point, exponent) rounded half to even. Type mismatch when the text is not
// a number, overflow when it does not fit in 32 bits.
std::int32_t ReadWholeNumber(const std::string& text);

// Reads "YYYY-MM-DD hh:mm:ss" (exactly that layout, year 1 to 9999, a real
// calendar date, hour 0-23, minute and second 0-59). Day of week and
// milliseconds are left 0. Anything else is a type mismatch.
SystemTime ReadDateTime(const std::string& text);

// "YYYY-MM-DD hh:mm:ss" with the year as plain decimal and the other
// fields padded to two digits, as the local time display shows it.
std::string FormatDateTime(const SystemTime& time);

}  // namespace borvane
