// xpcmdbutton: its properties, defaults and stored settings.

#include "xpcmdbutton/xpcmdbutton.h"

namespace borvane {

namespace {
constexpr Colour kEnabledCaption{0x00000000u};
constexpr Colour kDisabledCaption{0x0092A1A1u};
}  // namespace

bool xpcmdbutton::Enabled() const { return DrawingSurface().Enabled(); }

void xpcmdbutton::SetEnabled(bool New_Enabled) {
  Canvas().SetEnabled(New_Enabled);
  GetSite().PropertyChanged("Enabled");
  ShowRestFace();
  lbl.SetForeColor(Enabled() ? kEnabledCaption : kDisabledCaption);
}

std::int32_t xpcmdbutton::State() const { return m_State; }

void xpcmdbutton::SetState(std::int32_t vNewValue) {
  m_State = vNewValue;
  GetSite().PropertyChanged("State");
  ShowRestFace();
}

std::string xpcmdbutton::Caption() const { return lbl.Caption(); }

void xpcmdbutton::SetCaption(const std::string& vNewCaption) {
  // The label sizes itself and reports the change, which re-centres it
  // over a freshly drawn rest face (lbl_Change).
  lbl.SetCaption(vNewCaption);
  GetSite().PropertyChanged("Caption");
}

FontRef xpcmdbutton::Font() const { return m_Font; }

void xpcmdbutton::SetFont(FontRef vNewFont) {
  CheckFontSize(vNewFont);  // before anything changes
  m_Font = std::move(vNewFont);
  Canvas().SetFont(m_Font);
  lbl.SetFont(m_Font);
  UserControl_Resize();
  GetSite().PropertyChanged("Font");
}

void xpcmdbutton::UserControl_InitProperties() {
  SetEnabled(true);
  SetCaption(GetSite().AmbientDisplayName());
  SetFont(GetSite().AmbientFont());
}

void xpcmdbutton::UserControl_ReadProperties(const PropertyStore& PropBag) {
  // No redraw for State here: the Enabled setter draws the face it selects.
  m_State = PropBag.Read("State", 0).ToInt32();
  SetEnabled(PropBag.Read("Enabled", true).ToBool());
  SetCaption(PropBag.Read("Caption", GetSite().AmbientDisplayName()).ToText());
  SetFont(PropBag.Read("Font", GetSite().AmbientFont()).ToFont());
}

void xpcmdbutton::UserControl_WriteProperties(PropertyStore& PropBag) {
  PropBag.Write("State", m_State, 0);
  PropBag.Write("Enabled", Enabled(), true);
  PropBag.Write("Caption", Caption(), GetSite().AmbientDisplayName());
  PropBag.Write("Font", m_Font, GetSite().AmbientFont());
}

}  // namespace borvane
