#include "container/check_box.h"

#include <algorithm>
#include <cmath>

#include "container/error.h"
#include "container/stored_values.h"

namespace borvane {

namespace {

constexpr Pixel kBorder = 0xFF7A7A7Au;
constexpr Pixel kWell = 0xFFFFFFFFu;
constexpr Pixel kWellPressed = 0xFFE3E3E3u;
constexpr Pixel kTick = 0xFF222222u;
constexpr Pixel kGreyTick = 0xFF9A9A9Au;
constexpr Pixel kFocusDot = 0xFF404040u;

// The tick inside the 13-pixel box: two strokes, each two pixels thick,
// as (column, top row) pairs; every column is filled from its row down
// three pixels. Box pixels, origin top left.
constexpr std::int32_t kTickColumns[][2] = {
    {3, 6}, {4, 7}, {5, 8}, {6, 7}, {7, 6}, {8, 5}, {9, 4},
};

}  // namespace

void CheckBox::SetValue(std::int16_t value) {
  if (value < 0 || value > 2) {
    RaiseInvalidPropertyValue("a check box value is 0, 1 or 2, not " + std::to_string(value));
  }
  m_Value = value;
}

void CheckBox::ReadProperties(const PropertyStore& store) {
  SetValue(store.Read("Value", std::int16_t{0}).ToInt16());
  m_Caption = store.Read("Caption", std::string()).ToText();
  m_BackColor = ReadStoredColour(store, "BackColor", m_BackColor);
  m_ForeColor = ReadStoredColour(store, "ForeColor", m_ForeColor);
  if (store.Contains("Font")) m_Font = store.Read("Font", Variant()).ToFont();
  m_Visible = store.Read("Visible", true).ToBool();
  m_Enabled = store.Read("Enabled", true).ToBool();
  m_ToolTip = store.Read("ToolTipText", std::string()).ToText();
  m_TabIndex = store.Read("TabIndex", std::int16_t{0}).ToInt16();
  m_Bounds = ReadTwipsBounds(store, m_Bounds);
}

Rect CheckBox::PixelRect() const { return ToPixelRect(m_Bounds); }

void CheckBox::PaintInto(Image& frame, Point origin) const {
  const Rect area{origin.X, origin.Y, PixelRect().Width, PixelRect().Height};
  if (area.IsEmpty()) return;
  frame.Fill(area, ToPixel(m_BackColor));

  // The box sits at the left, centred vertically.
  const std::int32_t box_top = origin.Y + std::max(0, (area.Height - kBoxPixels) / 2);
  const Rect box{origin.X, box_top, kBoxPixels, kBoxPixels};
  const Rect clipped = Intersect(box, area);
  frame.Fill(clipped, kBorder);
  const bool sunken = m_Pressed || !m_Enabled;
  frame.Fill(Intersect({box.X + 1, box.Y + 1, kBoxPixels - 2, kBoxPixels - 2}, area),
             sunken ? kWellPressed : kWell);
  if (m_Value != 0) {
    const Pixel ink = (m_Value == 2 || !m_Enabled) ? kGreyTick : kTick;
    for (const auto& column : kTickColumns) {
      frame.Fill(Intersect({box.X + column[0], box.Y + column[1] - 1, 1, 3}, area), ink);
    }
  }
  if (m_Focus) {
    // A dotted ring just inside the area, every other pixel.
    for (std::int32_t x = area.X; x < area.Right(); x += 2) {
      frame.Fill(Intersect({x, area.Y, 1, 1}, area), kFocusDot);
      frame.Fill(Intersect({x, area.Bottom() - 1, 1, 1}, area), kFocusDot);
    }
    for (std::int32_t y = area.Y; y < area.Bottom(); y += 2) {
      frame.Fill(Intersect({area.X, y, 1, 1}, area), kFocusDot);
      frame.Fill(Intersect({area.Right() - 1, y, 1, 1}, area), kFocusDot);
    }
  }

  // The caption, right of the box; clipped away when the area is only as
  // wide as the box.
  if (m_TextEngine == nullptr || m_Caption.empty()) return;
  const borvane::Font& font = m_Font ? *m_Font : FallbackFont();
  const Size text = m_TextEngine->Measure(m_Caption, font);
  const Rect clip = Intersect({box.Right() + 4, area.Y, area.Width, area.Height}, area);
  if (clip.IsEmpty()) return;
  m_TextEngine->Draw(frame, {box.Right() + 4, area.Y + (area.Height - text.Height) / 2}, clip,
                     m_Caption, font, m_Enabled ? m_ForeColor : Colour(0x00808080u));
}

void CheckBox::MouseDown(std::int16_t button, std::int16_t, float, float) {
  if (button == 1 && m_Enabled) m_Pressed = true;
}

void CheckBox::MouseMove(std::int16_t, std::int16_t, float, float) {}

void CheckBox::MouseUp(std::int16_t, std::int16_t, float, float) { m_Pressed = false; }

void CheckBox::Click() {
  if (!m_Enabled) return;
  m_Value = m_Value == 0 ? 1 : 0;
  if (OnClick) OnClick();
}

void CheckBox::DblClick() {
  // A quick second click still toggles, as the platform's check boxes do.
  Click();
}

void CheckBox::KeyPress(std::int16_t key_ascii) {
  if (key_ascii == ' ') Click();
}

}  // namespace borvane
