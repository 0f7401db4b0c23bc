#pragma once
// The text engine on GDI: fonts by face name through the system's font
// mapper and font links (so the Chinese captions find a CJK face even
// where the named face is a Latin one), measured with the DC's extents,
// and drawn with ExtTextOutW into a grey-scale DIB whose coverage is then
// blended into the RGBA surface, as the pango engine does on Linux.

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <tuple>

#include "container/text_engine.h"
#include "platform/windows/gdi_handles.h"

namespace borvane {

class GdiTextEngine final : public TextEngine {
 public:
  GdiTextEngine();
  GdiTextEngine(const GdiTextEngine&) = delete;
  GdiTextEngine& operator=(const GdiTextEngine&) = delete;

  Size Measure(std::string_view text, const Font& font) override;
  void Draw(Image& target, Point origin, const Rect& clip, std::string_view text,
            const Font& font, Colour colour) override;

 private:
  // The GDI font for a font object, made once and kept.
  HFONT FontFor(const Font& font);

  MemoryDc m_Dc;
  std::map<std::tuple<std::string, long, bool, bool, bool, bool>, GdiObject<HFONT>> m_Fonts;
};

}  // namespace borvane
