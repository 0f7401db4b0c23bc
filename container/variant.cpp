#include "container/variant.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "container/error.h"

namespace borvane {

std::int16_t ToInt16(double value) {
  const double rounded = std::nearbyint(value);  // default mode: ties to even
  if (!(rounded >= -32768.0 && rounded <= 32767.0)) {
    RaiseOverflow("value does not fit in 16 bits");
  }
  return static_cast<std::int16_t>(rounded);
}

std::int32_t ToInt32(double value) {
  const double rounded = std::nearbyint(value);
  if (!(rounded >= -2147483648.0 && rounded <= 2147483647.0)) {
    RaiseOverflow("value does not fit in 32 bits");
  }
  return static_cast<std::int32_t>(rounded);
}

double ParseNumber(const std::string& text) {
  std::size_t i = 0;
  const std::size_t n = text.size();
  auto skip_blanks = [&] {
    while (i < n && (text[i] == ' ' || text[i] == '\t')) ++i;
  };
  skip_blanks();
  const std::size_t start = i;
  if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
  std::size_t digits = 0;
  while (i < n && std::isdigit(static_cast<unsigned char>(text[i]))) ++i, ++digits;
  if (i < n && text[i] == '.') {
    ++i;
    while (i < n && std::isdigit(static_cast<unsigned char>(text[i]))) ++i, ++digits;
  }
  if (digits == 0) RaiseTypeMismatch("\"" + text + "\" is not a number");
  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    std::size_t j = i + 1;
    if (j < n && (text[j] == '+' || text[j] == '-')) ++j;
    std::size_t exp_digits = 0;
    while (j < n && std::isdigit(static_cast<unsigned char>(text[j]))) ++j, ++exp_digits;
    if (exp_digits == 0) RaiseTypeMismatch("\"" + text + "\" is not a number");
    i = j;
  }
  const std::string number = text.substr(start, i - start);
  skip_blanks();
  if (i != n) RaiseTypeMismatch("\"" + text + "\" is not a number");
  return std::strtod(number.c_str(), nullptr);
}

bool Variant::IsNumeric() const {
  switch (GetType()) {
    case Type::Boolean:
    case Type::Integer:
    case Type::Long:
    case Type::Double:
      return true;
    default:
      return false;
  }
}

std::string Variant::ToText() const {
  switch (GetType()) {
    case Type::Empty:
      return {};
    case Type::Boolean:
      return std::get<bool>(m_Value) ? "True" : "False";
    case Type::Integer:
      return std::to_string(std::get<std::int16_t>(m_Value));
    case Type::Long:
      return std::to_string(std::get<std::int32_t>(m_Value));
    case Type::Double: {
      const double d = std::get<double>(m_Value);
      char buffer[40];
      if (d == std::floor(d) && std::fabs(d) < 1e15) {
        std::snprintf(buffer, sizeof buffer, "%.0f", d);
      } else {
        std::snprintf(buffer, sizeof buffer, "%.15g", d);
      }
      return buffer;
    }
    case Type::String:
      return std::get<std::string>(m_Value);
    case Type::Font:
      break;
  }
  RaiseTypeMismatch("a font has no text form");
}

double Variant::ToDouble() const {
  switch (GetType()) {
    case Type::Empty:
      return 0.0;
    case Type::Boolean:
      return std::get<bool>(m_Value) ? -1.0 : 0.0;
    case Type::Integer:
      return std::get<std::int16_t>(m_Value);
    case Type::Long:
      return std::get<std::int32_t>(m_Value);
    case Type::Double:
      return std::get<double>(m_Value);
    case Type::String:
      return ParseNumber(std::get<std::string>(m_Value));
    case Type::Font:
      break;
  }
  RaiseTypeMismatch("a font is not a number");
}

bool Variant::ToBool() const {
  if (GetType() == Type::String) {
    const std::string& s = std::get<std::string>(m_Value);
    std::string lower;
    for (char c : s) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower == "true") return true;
    if (lower == "false") return false;
  }
  return ToDouble() != 0.0;
}

std::int16_t Variant::ToInt16() const { return borvane::ToInt16(ToDouble()); }

std::int32_t Variant::ToInt32() const { return borvane::ToInt32(ToDouble()); }

FontRef Variant::ToFont() const {
  if (GetType() != Type::Font || !std::get<FontRef>(m_Value)) {
    RaiseTypeMismatch("value is not a font");
  }
  return std::get<FontRef>(m_Value);
}

FontRef Variant::FontOrNothing() const {
  return GetType() == Type::Font ? std::get<FontRef>(m_Value) : FontRef{};
}

bool Variant::operator==(const Variant& other) const {
  if (IsNumeric() && other.IsNumeric()) return ToDouble() == other.ToDouble();
  if (GetType() != other.GetType()) return false;
  switch (GetType()) {
    case Type::Empty:
      return true;
    case Type::String:
      return std::get<std::string>(m_Value) == std::get<std::string>(other.m_Value);
    case Type::Font: {
      const FontRef& a = std::get<FontRef>(m_Value);
      const FontRef& b = std::get<FontRef>(other.m_Value);
      return a == b || (a && b && *a == *b);
    }
    default:
      return false;
  }
}

}  // namespace borvane
