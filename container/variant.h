#pragma once
// A small variant: the value type of by-reference method arguments and of
// the property store. Conversions follow the host language's rules the
// controls were designed against: numbers read from text must be plain
// numbers, conversions to whole numbers round half to even, and anything
// that cannot convert raises a type mismatch (or an overflow when out of range).

#include <cstdint>
#include <string>
#include <variant>

#include "container/font.h"

namespace borvane {

class Variant {
 public:
  enum class Type { Empty, Boolean, Integer, Long, Double, String, Font };

  Variant() = default;
  Variant(bool value) : m_Value(value) {}                  // NOLINT: implicit by design
  Variant(std::int16_t value) : m_Value(value) {}          // NOLINT
  Variant(std::int32_t value) : m_Value(value) {}          // NOLINT
  Variant(double value) : m_Value(value) {}                // NOLINT
  Variant(std::string value) : m_Value(std::move(value)) {}  // NOLINT
  Variant(const char* value) : m_Value(std::string(value)) {}  // NOLINT
  Variant(FontRef value) : m_Value(std::move(value)) {}    // NOLINT

  Type GetType() const { return static_cast<Type>(m_Value.index()); }
  bool IsEmpty() const { return GetType() == Type::Empty; }
  bool IsNumeric() const;

  // Text form: "True"/"False", plain decimal numbers, whole doubles without
  // a decimal point. A font has no text form (type mismatch).
  std::string ToText() const;
  bool ToBool() const;
  std::int16_t ToInt16() const;
  std::int32_t ToInt32() const;
  double ToDouble() const;
  FontRef ToFont() const;
  // The font reference held, which may be empty ("Nothing"); an empty
  // reference for every other type.
  FontRef FontOrNothing() const;

  // Equality as the property store uses it to leave out defaults: numbers
  // compare by value whatever their width, fonts by their attributes.
  bool operator==(const Variant& other) const;

 private:
  std::variant<std::monostate, bool, std::int16_t, std::int32_t, double, std::string, FontRef>
      m_Value;
};

// Reads text as a number: optional blanks, an optional sign, digits with an
// optional decimal point and exponent, optional blanks. Anything else is a
// type mismatch. Shared by every place that "reads text as a number".
double ParseNumber(const std::string& text);

}  // namespace borvane
