#include "platform/windows/frame_painter.h"

#include <vector>

namespace borvane {

bool PaintFrame(HDC dc, const Image& frame, const RECT& bounds) {
  if (dc == nullptr || frame.IsEmpty()) return false;
  // A 32-bit DIB is B, G, R, unused in memory: 0x00RRGGBB, where ours is
  // 0xAABBGGRR. The frame is opaque, so the alpha byte is dropped.
  std::vector<std::uint32_t> bits(frame.Pixels().size());
  for (std::size_t i = 0; i < bits.size(); ++i) {
    const Pixel p = frame.Pixels()[i];
    bits[i] = ((p & 0xFFu) << 16) | (p & 0xFF00u) | ((p >> 16) & 0xFFu);
  }
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = frame.Width();
  info.bmiHeader.biHeight = -frame.Height();  // rows top to bottom
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  // Optional for BI_RGB, but an old-style metafile's recorder copies this
  // many bytes of the picture into its record (none without it, and the
  // record's playback then reads past its end).
  info.bmiHeader.biSizeImage = static_cast<DWORD>(bits.size() * sizeof(bits[0]));
  // Nearest-pixel stretch, as the surface itself stretches pictures.
  const int old_mode = ::SetStretchBltMode(dc, COLORONCOLOR);
  const int lines = ::StretchDIBits(dc, bounds.left, bounds.top, bounds.right - bounds.left,
                                    bounds.bottom - bounds.top, 0, 0, frame.Width(),
                                    frame.Height(), bits.data(), &info, DIB_RGB_COLORS, SRCCOPY);
  if (old_mode != 0) ::SetStretchBltMode(dc, old_mode);
  return lines != 0 && lines != static_cast<int>(GDI_ERROR);
}

}  // namespace borvane
