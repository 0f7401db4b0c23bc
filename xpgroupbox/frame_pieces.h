#pragma once
// How the group box's frame of any size is cut from its 22 × 20 artwork:
// four 3 × 3 corner cells at their own size and four one-pixel edge strips
// stretched along their length. The top of the frame runs through the
// middle of the caption, t pixels below the control's top edge.
// Destinations are in surface pixels (origin top left, y downwards),
// sources in artwork pixels.

#include <array>
#include <cstdint>

#include "container/geometry.h"

namespace borvane {

inline constexpr int kFrameArtWidth = 22;
inline constexpr int kFrameArtHeight = 20;
inline constexpr int kFramePieces = 8;

struct FramePiece {
  RectF Destination;
  Rect Source;
  bool operator==(const FramePiece&) const = default;
};

// t, the caption half-height: the label's height in pixels rounded to the
// nearest whole number (halves to the even neighbour), halved with the
// remainder dropped. Raises Overflow when the half exceeds 16 bits.
std::int16_t CaptionHalfHeight(float label_height);

// Piece `index` (0 to 7) of the frame for a control of width × height
// pixels, in drawing order: the corners top left, top right, bottom right,
// bottom left, then the top, right, bottom and left edges. The side edges
// start at t + 3, a 16-bit sum, so pieces 5 and 7 (the right and left
// edges) raise Overflow when t is above 32764; the others never do. Edge
// pieces of a control narrower than 7 pixels, or too low for its caption,
// have zero or negative extent.
FramePiece FramePieceAt(int index, float width, float height, std::int16_t t);

// All eight pieces; raises Overflow as FramePieceAt does.
std::array<FramePiece, kFramePieces> FramePieces(float width, float height, std::int16_t t);

}  // namespace borvane
