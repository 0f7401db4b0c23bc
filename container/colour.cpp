#include "container/colour.h"

namespace borvane {

Colour Colour::Resolved() const {
  if (!IsSystem()) return *this;
  // A fixed light desktop palette: the controls are drawn the same everywhere.
  switch (SystemIndex()) {
    case 5: return Colour(0x00FFFFFFu);   // window background
    case 8: return Colour(0x00000000u);   // window text
    case 15: return Colour(0x00D8E9ECu);  // button face
    case 18: return Colour(0x00000000u);  // button text
    case 17: return Colour(0x00808080u);  // grey text
    default: return Colour(0x00C0C0C0u);
  }
}

}  // namespace borvane
