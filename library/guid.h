#pragma once
// A class, interface or library identifier in the platform's 16-byte layout:
// one 32-bit, two 16-bit fields and eight bytes, the integers stored
// little-endian when the identifier is written out as bytes.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace borvane {

struct Guid {
  std::uint32_t Data1 = 0;
  std::uint16_t Data2 = 0;
  std::uint16_t Data3 = 0;
  std::array<std::uint8_t, 8> Data4{};

  constexpr Guid() = default;
  // "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX", hex digits in either case.
  // Evaluated at compile time, so a mistyped identifier does not build.
  consteval Guid(const char (&text)[37]) {  // NOLINT: implicit by design
    auto parsed = Parse(std::string_view(text, 36));
    if (!parsed) throw "malformed identifier";
    *this = *parsed;
  }

  // Accepts the form above, with or without surrounding braces.
  static constexpr std::optional<Guid> Parse(std::string_view text) {
    if (text.size() == 38 && text.front() == '{' && text.back() == '}') {
      text = text.substr(1, 36);
    }
    if (text.size() != 36) return std::nullopt;
    std::array<std::uint8_t, 16> nibble_pairs{};
    int digit = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
      const bool dash_place = i == 8 || i == 13 || i == 18 || i == 23;
      const char c = text[i];
      if (dash_place) {
        if (c != '-') return std::nullopt;
        continue;
      }
      int value = -1;
      if (c >= '0' && c <= '9') value = c - '0';
      if (c >= 'a' && c <= 'f') value = c - 'a' + 10;
      if (c >= 'A' && c <= 'F') value = c - 'A' + 10;
      if (value < 0) return std::nullopt;
      auto& byte = nibble_pairs[static_cast<std::size_t>(digit / 2)];
      byte = static_cast<std::uint8_t>(byte * 16 + value);
      ++digit;
    }
    Guid guid;
    const auto& b = nibble_pairs;
    guid.Data1 = static_cast<std::uint32_t>(b[0]) << 24 | static_cast<std::uint32_t>(b[1]) << 16 |
                 static_cast<std::uint32_t>(b[2]) << 8 | b[3];
    guid.Data2 = static_cast<std::uint16_t>(b[4] << 8 | b[5]);
    guid.Data3 = static_cast<std::uint16_t>(b[6] << 8 | b[7]);
    for (std::size_t i = 0; i < 8; ++i) guid.Data4[i] = b[8 + i];
    return guid;
  }

  constexpr bool operator==(const Guid&) const = default;

  // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper case, as the registry
  // writes identifiers.
  std::string ToString() const;

  // The 16 bytes as the platform lays the identifier out in memory and in
  // files: Data1, Data2, Data3 little-endian, then Data4 as is.
  std::array<std::uint8_t, 16> ToBytes() const;
};

}  // namespace borvane
