#pragma once
// `borvane gallery DIR`: PNG pictures of the controls' looks, drawn with the
// real text engine, for eyes and for visual comparison between versions.

#include <filesystem>

namespace borvane {

// The push button's five faces (rest, pressed, disabled, hot, highlighted)
// with the caption "查询" at 41 × 25 (the panel's size), 18 × 21 (one strip
// cell) and 113 × 77 (the design-time size), as
// DIR/xpcmdbutton_WxH_FACE.png. Creates DIR; throws std::runtime_error
// when a file cannot be written or the button reports an error.
void WriteButtonGallery(const std::filesystem::path& dir);

}  // namespace borvane
