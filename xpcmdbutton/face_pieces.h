#pragma once
// How a button face of any size is cut from one 18 × 21 strip cell: four
// 3 × 3 corners at their own size, four edges stretched along their length,
// the centre stretched both ways. Destinations are in surface pixels,
// sources in pixels of the cell.

#include <array>

#include "container/geometry.h"

namespace borvane {

inline constexpr int kFaceCellWidth = 18;
inline constexpr int kFaceCellHeight = 21;
inline constexpr int kFaceCells = 5;

struct FacePiece {
  RectF Destination;
  Rect Source;
  bool operator==(const FacePiece&) const = default;
};

// The nine pieces in drawing order (corners clockwise from the top left,
// then the top, right, left and bottom edges, then the centre) for a face
// of width × height pixels. H − 6 is held as a 16-bit signed integer, so a
// height above 32773 raises Overflow.
std::array<FacePiece, 9> FacePieces(float width, float height);

}  // namespace borvane
