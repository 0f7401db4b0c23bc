#include "xpcmdbutton/face_pieces.h"

#include "container/error.h"

namespace borvane {

std::array<FacePiece, 9> FacePieces(float width, float height) {
  const float right = width - 3;
  const float bottom = height - 3;
  const float inner_width = width - 6;
  const float inner_height = ToInt16(static_cast<double>(height) - 6);
  return {{
      {{0, 0, 3, 3}, {0, 0, 3, 3}},
      {{right, 0, 3, 3}, {15, 0, 3, 3}},
      {{right, bottom, 3, 3}, {15, 18, 3, 3}},
      {{0, bottom, 3, 3}, {0, 18, 3, 3}},
      {{3, 0, inner_width, 3}, {3, 0, 12, 3}},
      {{right, 3, 3, inner_height}, {15, 3, 3, 15}},
      {{0, 3, 3, inner_height}, {0, 3, 3, 15}},
      {{3, bottom, inner_width, 3}, {3, 18, 12, 3}},
      {{3, 3, inner_width, inner_height}, {3, 3, 12, 15}},
  }};
}

}  // namespace borvane
