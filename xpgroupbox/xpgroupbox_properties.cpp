// xpgroupbox: its properties, defaults and stored settings.

#include "xpgroupbox/xpgroupbox.h"

namespace borvane {

namespace {
// The store holds colours as 32-bit signed integers; system colours (top
// bit set) are negative there.
std::int32_t StoredColour(Colour colour) { return static_cast<std::int32_t>(colour.Value()); }
Colour LoadedColour(std::int32_t stored) { return Colour(static_cast<std::uint32_t>(stored)); }
}  // namespace

bool xpgroupbox::Enabled() const { return DrawingSurface().Enabled(); }

void xpgroupbox::SetEnabled(bool New_Enabled) {
  Canvas().SetEnabled(New_Enabled);
  GetSite().PropertyChanged("Enabled");
  lbl.SetForeColor(Enabled() ? kEnabledCaption : kDisabledCaption);
}

FontRef xpgroupbox::Font() const { return m_Font; }

void xpgroupbox::SetFont(FontRef vNewFont) {
  CheckFontSize(vNewFont);  // before anything changes
  m_Font = std::move(vNewFont);
  Canvas().SetFont(m_Font);
  lbl.SetFont(m_Font);
  UserControl_Resize();
  GetSite().PropertyChanged("Font");
}

Colour xpgroupbox::BackColor() const { return m_BackColor; }

void xpgroupbox::SetBackColor(Colour New_BackColor) {
  m_BackColor = New_BackColor;
  // Told before the surface takes the colour.
  GetSite().PropertyChanged("BackColor");
  Canvas().SetBackColor(m_BackColor);
  lbl.SetBackColor(m_BackColor);
  UserControl_Resize();
}

std::string xpgroupbox::Caption() const { return lbl.Caption(); }

void xpgroupbox::SetCaption(const std::string& vNewCaption) {
  // A changed text resizes the label and redraws through lbl_Change; the
  // frame is then drawn once more for the label's new height.
  lbl.SetCaption(vNewCaption);
  UserControl_Resize();
  GetSite().PropertyChanged("Caption");
}

void xpgroupbox::UserControl_InitProperties() {
  SetCaption(GetSite().AmbientDisplayName());
  SetEnabled(true);
  SetFont(GetSite().AmbientFont());
  SetBackColor(kDefaultBackColor);
}

void xpgroupbox::UserControl_ReadProperties(const PropertyStore& PropBag) {
  SetEnabled(PropBag.Read("Enabled", true).ToBool());
  SetFont(PropBag.Read("Font", GetSite().AmbientFont()).ToFont());
  SetBackColor(LoadedColour(PropBag.Read("BackColor", StoredColour(kDefaultBackColor)).ToInt32()));
  SetCaption(PropBag.Read("Caption", GetSite().AmbientDisplayName()).ToText());
}

void xpgroupbox::UserControl_WriteProperties(PropertyStore& PropBag) {
  PropBag.Write("Caption", Caption(), GetSite().AmbientDisplayName());
  PropBag.Write("Enabled", Enabled(), true);
  PropBag.Write("Font", m_Font, GetSite().AmbientFont());
  PropBag.Write("BackColor", StoredColour(m_BackColor), StoredColour(kDefaultBackColor));
}

}  // namespace borvane
