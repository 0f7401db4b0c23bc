#include "platform/web/charconv_double.h"

#include <fast_float/fast_float.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace std {

namespace {

// The fewest significant digits that read back as `value`, and the decimal
// exponent of the first: value ~ 0.d1d2d3... × 10^(exponent + 1).
struct Digits {
  char Text[24];
  int Count;
  int Exponent;
};

Digits ShortestDigits(double value) {
  Digits out{};
  char buffer[48];
  for (int precision = 1; precision <= 17; ++precision) {
    std::snprintf(buffer, sizeof buffer, "%.*e", precision - 1, value);
    double back = 0;
    fast_float::from_chars(buffer, buffer + std::strlen(buffer), back);
    if (back == value || precision == 17) break;
  }
  // buffer: d[.ddd]e±XX
  const char* p = buffer;
  out.Count = 0;
  for (; *p != 'e'; ++p) {
    if (*p != '.') out.Text[out.Count++] = *p;
  }
  out.Exponent = std::atoi(p + 1);
  while (out.Count > 1 && out.Text[out.Count - 1] == '0') --out.Count;
  return out;
}

std::string Scientific(const Digits& d) {
  std::string text(1, d.Text[0]);
  if (d.Count > 1) {
    text += '.';
    text.append(d.Text + 1, d.Text + d.Count);
  }
  char exponent[8];
  std::snprintf(exponent, sizeof exponent, "e%c%02d", d.Exponent < 0 ? '-' : '+',
                d.Exponent < 0 ? -d.Exponent : d.Exponent);
  return text + exponent;
}

std::string Fixed(const Digits& d, double value) {
  const std::string digits(d.Text, d.Text + d.Count);
  if (d.Exponent < 0) return "0." + std::string(static_cast<size_t>(-d.Exponent - 1), '0') + digits;
  const size_t whole = static_cast<size_t>(d.Exponent) + 1;
  if (whole > digits.size()) {
    // A whole number past the shortest digits: of the texts of this length
    // the standard takes the one nearest the value, which is the value's
    // exact digits (123456789012345683968, not ...680000).
    char exact[320];
    std::snprintf(exact, sizeof exact, "%.0f", value);
    return exact;
  }
  if (whole == digits.size()) return digits;
  return digits.substr(0, whole) + "." + digits.substr(whole);
}

to_chars_result Put(char* first, char* last, const std::string& text) {
  if (static_cast<size_t>(last - first) < text.size()) return {last, errc::value_too_large};
  std::memcpy(first, text.data(), text.size());
  return {first + text.size(), errc()};
}

}  // namespace

to_chars_result to_chars(char* first, char* last, double value) {
  std::string sign = std::signbit(value) ? "-" : "";
  if (std::isnan(value)) return Put(first, last, sign + "nan");
  if (std::isinf(value)) return Put(first, last, sign + "inf");
  if (value == 0) return Put(first, last, sign + "0");
  const Digits d = ShortestDigits(std::fabs(value));
  const std::string fixed = Fixed(d, std::fabs(value));
  const std::string scientific = Scientific(d);
  return Put(first, last, sign + (fixed.size() <= scientific.size() ? fixed : scientific));
}

from_chars_result from_chars(const char* first, const char* last, double& value,
                             chars_format format) {
  fast_float::chars_format kind = fast_float::chars_format::general;
  if (format == chars_format::fixed) kind = fast_float::chars_format::fixed;
  if (format == chars_format::scientific) kind = fast_float::chars_format::scientific;
  const auto result = fast_float::from_chars(first, last, value, kind);
  return {result.ptr, result.ec};
}

}  // namespace std
