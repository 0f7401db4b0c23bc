#pragma once
// Colours as the controls store them: 0x00BBGGRR for a plain colour, or a
// system-colour index with the top bit set.

#include <cstdint>

namespace borvane {

class Colour {
 public:
  constexpr Colour() = default;
  constexpr explicit Colour(std::uint32_t value) : m_Value(value) {}
  static constexpr Colour FromRgb(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return Colour(static_cast<std::uint32_t>(r) | (static_cast<std::uint32_t>(g) << 8) |
                  (static_cast<std::uint32_t>(b) << 16));
  }

  constexpr std::uint32_t Value() const { return m_Value; }
  constexpr bool IsSystem() const { return (m_Value & 0x80000000u) != 0; }
  constexpr std::uint32_t SystemIndex() const { return m_Value & 0xFFFFu; }

  // Components of a plain colour; a system colour must be resolved first.
  constexpr std::uint8_t Red() const { return m_Value & 0xFF; }
  constexpr std::uint8_t Green() const { return (m_Value >> 8) & 0xFF; }
  constexpr std::uint8_t Blue() const { return (m_Value >> 16) & 0xFF; }

  // Replaces a system-colour index by the plain colour it stands for here.
  Colour Resolved() const;

  constexpr bool operator==(const Colour&) const = default;

 private:
  std::uint32_t m_Value = 0;
};

namespace colours {
inline constexpr Colour kWindowBackground{0x80000005u};
inline constexpr Colour kWindowText{0x80000008u};
inline constexpr Colour kButtonFace{0x8000000Fu};
inline constexpr Colour kBlack{0x00000000u};
}  // namespace colours

}  // namespace borvane
