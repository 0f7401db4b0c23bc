#pragma once
// Puts a composed frame (0xAABBGGRR pixels) on any DC: a window's, a
// memory DC, a metafile or a printer. One StretchDIBits per frame.

#include <windows.h>

#include "container/image.h"

namespace borvane {

// Draws `frame` stretched to `bounds` (logical units of `dc`). False when
// the frame is empty or the DC refused the picture.
bool PaintFrame(HDC dc, const Image& frame, const RECT& bounds);

}  // namespace borvane
