#include "xpgroupbox/frame_pieces.h"

#include <cassert>
#include <cmath>

#include "container/error.h"

namespace borvane {

std::int16_t CaptionHalfHeight(float label_height) {
  // The height is first rounded as a 32-bit whole number, then divided
  // with truncation; only the half has to fit in 16 bits.
  const std::int32_t rounded = ToInt32(label_height);
  return ToInt16(rounded / 2);
}

namespace {
// t + 3 as a 16-bit signed sum.
float SideEdgeTop(std::int16_t t) { return ToInt16(static_cast<double>(t) + 3); }
}  // namespace

FramePiece FramePieceAt(int index, float width, float height, std::int16_t t) {
  const float right = width - 3;
  const float bottom = height - 3;
  const float edge_width = width - 6;
  const float top = t;
  const float edge_height = (height - 6) - top;
  switch (index) {
    case 0: return {{0, top, 3, 3}, {0, 0, 3, 3}};
    case 1: return {{right, top, 3, 3}, {19, 0, 3, 3}};
    case 2: return {{right, bottom, 3, 3}, {19, 17, 3, 3}};
    case 3: return {{0, bottom, 3, 3}, {0, 17, 3, 3}};
    case 4: return {{3, top, edge_width, 1}, {3, 0, 16, 1}};
    case 5: return {{width - 1, SideEdgeTop(t), 1, edge_height}, {21, 3, 1, 14}};
    case 6: return {{3, height - 1, edge_width, 1}, {3, 19, 16, 1}};
    case 7: return {{0, SideEdgeTop(t), 1, edge_height}, {0, 3, 1, 14}};
    default: break;
  }
  assert(false && "a frame has eight pieces");
  return {};
}

std::array<FramePiece, kFramePieces> FramePieces(float width, float height, std::int16_t t) {
  std::array<FramePiece, kFramePieces> pieces;
  for (int i = 0; i < kFramePieces; ++i) {
    pieces[static_cast<std::size_t>(i)] = FramePieceAt(i, width, height, t);
  }
  return pieces;
}

}  // namespace borvane
