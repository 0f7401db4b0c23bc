#pragma once
// Files from resources/ compiled into the library (artwork, design data).

#include <cstdint>
#include <span>
#include <string_view>

namespace borvane {

// The bytes of the embedded file with this name ("face_strip.bmp"), or an
// empty span when there is none.
std::span<const std::uint8_t> EmbeddedResource(std::string_view name);

}  // namespace borvane
