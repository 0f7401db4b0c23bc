#pragma once
// The text engine on GDI: fonts by face name through the system's font
// mapper and font links (so the Chinese captions find a CJK face even
// where the named face is a Latin one), measured with the DC's extents,
// and drawn with ExtTextOutW into a grey-scale DIB whose coverage is then
// blended into the RGBA surface, as the pango engine does on Linux. The
// panel draws the same few texts in every frame, so each text's coverage
// is kept and only blended again.

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

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
  using FontKey = std::tuple<std::string, long, bool, bool, bool, bool>;
  struct Coverage {
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    std::vector<std::uint8_t> Mask;  // one byte a pixel, 255 fully covered
  };
  static FontKey KeyOf(const Font& font);
  // The GDI font for a font object, made once and kept.
  HFONT FontFor(const Font& font);
  Coverage Render(std::string_view text, const Font& font);

  MemoryDc m_Dc;
  std::map<FontKey, GdiObject<HFONT>> m_Fonts;
  std::map<std::pair<std::string, FontKey>, Coverage> m_Coverage;
};

}  // namespace borvane
