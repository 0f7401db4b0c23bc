#pragma once
// The standard dispatch identifiers that controls give the events and
// properties mirroring the platform's own, so hosts bind them by number.

#include <cstdint>

namespace borvane::dispid {

// Events.
inline constexpr std::int32_t kClick = -600;
inline constexpr std::int32_t kDblClick = -601;
inline constexpr std::int32_t kKeyDown = -602;
inline constexpr std::int32_t kKeyPress = -603;
inline constexpr std::int32_t kKeyUp = -604;
inline constexpr std::int32_t kMouseDown = -605;
inline constexpr std::int32_t kMouseMove = -606;
inline constexpr std::int32_t kMouseUp = -607;

// Properties.
inline constexpr std::int32_t kFont = -512;
inline constexpr std::int32_t kEnabled = -514;
inline constexpr std::int32_t kCaption = -518;

}  // namespace borvane::dispid
