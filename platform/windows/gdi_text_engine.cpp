#include "platform/windows/gdi_text_engine.h"

#include <cmath>
#include <stdexcept>
#include <vector>

#include "platform/windows/variant_convert.h"

namespace borvane {

namespace {
// Texts whose coverage is kept; past this the store starts again (the
// panel itself shows a couple of dozen).
constexpr std::size_t kKeptTexts = 256;
// Points to pixels at the panel's design resolution (15 twips a pixel),
// whatever the screen's own setting: the panel's parts are placed in
// pixels at that resolution too.
constexpr double kDotsPerInch = 96.0;
}  // namespace

GdiTextEngine::GdiTextEngine() : m_Dc(::CreateCompatibleDC(nullptr)) {
  if (!m_Dc) throw std::runtime_error("CreateCompatibleDC failed");
}

GdiTextEngine::FontKey GdiTextEngine::KeyOf(const Font& font) {
  // Character height (negative: without internal leading), in pixels.
  const long height = -std::lround(font.Size * kDotsPerInch / 72.0);
  return std::make_tuple(font.Name, height, font.Bold, font.Italic, font.Underline,
                         font.Strikethrough);
}

HFONT GdiTextEngine::FontFor(const Font& font) {
  const FontKey key = KeyOf(font);
  auto found = m_Fonts.find(key);
  if (found != m_Fonts.end()) return found->second.get();
  LOGFONTW description{};
  description.lfHeight = std::get<1>(key);
  description.lfWeight = font.Bold ? FW_BOLD : FW_NORMAL;
  description.lfItalic = font.Italic;
  description.lfUnderline = font.Underline;
  description.lfStrikeOut = font.Strikethrough;
  description.lfCharSet = DEFAULT_CHARSET;
  description.lfOutPrecision = OUT_TT_PRECIS;
  // Grey-scale smoothing: the coverage read back is one value a pixel,
  // which colour fringes of sub-pixel smoothing would not give.
  description.lfQuality = ANTIALIASED_QUALITY;
  const std::wstring face = Widen(font.Name);
  wcsncpy_s(description.lfFaceName, LF_FACESIZE, face.c_str(), _TRUNCATE);
  GdiObject<HFONT> made(::CreateFontIndirectW(&description));
  if (!made) throw std::runtime_error("CreateFontIndirect failed for " + font.Name);
  return m_Fonts.emplace(key, std::move(made)).first->second.get();
}

Size GdiTextEngine::Measure(std::string_view text, const Font& font) {
  const Selection selected(m_Dc.get(), FontFor(font));
  TEXTMETRICW metrics{};
  ::GetTextMetricsW(m_Dc.get(), &metrics);
  const std::wstring wide = Widen(std::string(text));
  SIZE extent{0, 0};
  if (!wide.empty()) {
    ::GetTextExtentPoint32W(m_Dc.get(), wide.c_str(), static_cast<int>(wide.size()), &extent);
  }
  // One line's box: its advance and the font's full line height.
  return {extent.cx, metrics.tmHeight};
}

void GdiTextEngine::Draw(Image& target, Point origin, const Rect& clip, std::string_view text,
                         const Font& font, Colour colour) {
  auto key = std::make_pair(std::string(text), KeyOf(font));
  auto found = m_Coverage.find(key);
  if (found == m_Coverage.end()) {
    if (m_Coverage.size() >= kKeptTexts) m_Coverage.clear();
    found = m_Coverage.emplace(std::move(key), Render(text, font)).first;
  }
  const Coverage& coverage = found->second;
  if (coverage.Mask.empty()) return;
  target.BlendMask(origin, coverage.Mask.data(), coverage.Width, coverage.Height, coverage.Width,
                   colour, clip);
}

GdiTextEngine::Coverage GdiTextEngine::Render(std::string_view text, const Font& font) {
  const Size size = Measure(text, font);
  if (size.Width <= 0 || size.Height <= 0) return {};
  // Italic glyphs lean past their advance: leave room on the right.
  const std::int32_t width = size.Width + (font.Italic ? size.Height / 2 : 0);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -size.Height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  GdiObject<HBITMAP> bitmap(
      ::CreateDIBSection(m_Dc.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap || bits == nullptr) throw std::runtime_error("CreateDIBSection failed");
  Coverage coverage{width, size.Height,
                    std::vector<std::uint8_t>(static_cast<std::size_t>(width) * size.Height)};
  std::vector<std::uint8_t>& mask = coverage.Mask;
  {
    // White text on black: the green channel is the glyphs' coverage.
    const Selection selected_bitmap(m_Dc.get(), bitmap.get());
    const Selection selected_font(m_Dc.get(), FontFor(font));
    ::SetTextColor(m_Dc.get(), RGB(255, 255, 255));
    ::SetBkMode(m_Dc.get(), TRANSPARENT);
    ::SetTextAlign(m_Dc.get(), TA_LEFT | TA_TOP | TA_NOUPDATECP);
    const std::wstring wide = Widen(std::string(text));
    ::ExtTextOutW(m_Dc.get(), 0, 0, 0, nullptr, wide.c_str(), static_cast<UINT>(wide.size()),
                  nullptr);
    ::GdiFlush();
    const auto* pixels = static_cast<const std::uint32_t*>(bits);
    for (std::size_t i = 0; i < mask.size(); ++i) {
      mask[i] = static_cast<std::uint8_t>((pixels[i] >> 8) & 0xFFu);
    }
  }
  return coverage;
}

}  // namespace borvane
