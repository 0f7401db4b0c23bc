#include "support/button_probe.h"

namespace borvane::testing {

int ShownCell(const xpcmdbutton& button) {
  const Surface& surface = button.DrawingSurface();
  const Pixel shown = surface.At(surface.PixelSize().Width / 2, 1);
  for (std::int16_t cell = 0; cell < 5; ++cell) {
    if (button.FaceStrip().GraphicCell(cell).At(9, 1) == shown) return cell;
  }
  return -1;
}

}  // namespace borvane::testing
