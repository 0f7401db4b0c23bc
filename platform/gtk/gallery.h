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

// The group box, as DIR/xpgroupbox_WxH_LOOK.png: a newly placed one at its
// design size 200 × 89 ("default"); the panel's one at 353 × 161 with its
// banner caption, background 0x00C0FFFF and Arial 8.25 ("banner"); a
// disabled one at 200 × 89 ("disabled"); and one at 200 × 89 whose caption
// is wider than the box ("wide_caption"). Creates DIR; throws
// std::runtime_error when a file cannot be written or the group box
// reports an error.
void WriteGroupBoxGallery(const std::filesystem::path& dir);

// Both of the above.
void WriteGallery(const std::filesystem::path& dir);

}  // namespace borvane
