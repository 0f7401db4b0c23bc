// The panel's composition: every part built from the design data through
// its own stored-settings path, placed, and put into the group box; plus
// the panel's tooltips and keyboard focus.

#include <algorithm>
#include <string_view>

#include "client/client.h"
#include "container/error.h"
#include "container/stored_values.h"
#include "resources/embedded.h"

namespace borvane {

namespace {

constexpr std::string_view kHostMark = "{ServiceHost}";

const PropertyStore& Part(const PropertyStore& design, std::string_view name) {
  const PropertyStore* block = design.FindBlock(name);
  if (block == nullptr) {
    throw Error(ErrorCode::InvalidFileFormat,
                "invalid file format: the panel's design has no part \"" + std::string(name) + "\"");
  }
  return *block;
}

Size PixelSize(const RectF& bounds) {
  const Rect r = ToPixelRect(bounds);
  return {r.Width, r.Height};
}

Point PixelPosition(const RectF& bounds) {
  const Rect r = ToPixelRect(bounds);
  return {r.X, r.Y};
}

bool Under(const Rect& r, float x, float y) {
  return x >= static_cast<float>(r.X) && y >= static_cast<float>(r.Y) &&
         x < static_cast<float>(r.Right()) && y < static_cast<float>(r.Bottom());
}

}  // namespace

PropertyStore PanelDesign(const std::string& service_host) {
  const auto bytes = EmbeddedResource("client.panel");
  if (bytes.empty()) {
    throw Error(ErrorCode::InvalidFileFormat, "invalid file format: the panel's design is missing");
  }
  PropertyStore design = PropertyStore::FromText(
      std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  // The host goes in after reading, so no host name can break the text form.
  PropertyStore& box = design.Block("xpgroupbox1");
  std::string caption = box.Read("Caption", std::string()).ToText();
  if (const auto mark = caption.find(kHostMark); mark != std::string::npos) {
    caption.replace(mark, kHostMark.size(), service_host);
  }
  box.Write("Caption", caption, Variant());
  return design;
}

void client::BuildParts(const PropertyStore& design) {
  const PropertyStore& own = Part(design, "client");
  Surface& surface = Canvas();
  surface.SetScaleMode(Surface::kPixels);
  surface.SetBackColor(ReadStoredColour(own, "BackColor", colours::kWindowBackground));
  surface.SetPixelSize(PixelSize(ReadTwipsBounds(own, {0, 0, 353, 167})));
  surface.Cls();
  // The font of every label and check box that sets none of its own.
  // Stored data without a font of its own gets the panel's usual Arial
  // 8.25, the size a new Font has too.
  const FontRef panel_font = own.Read("Font", MakeFont("Arial", 8.25)).ToFont();
  surface.SetFont(panel_font);

  // The group box fills the panel and holds every visible part.
  const PropertyStore& box = Part(design, "xpgroupbox1");
  const RectF box_bounds = ReadTwipsBounds(box, {});
  xpgroupbox1.SetPosition(PixelPosition(box_bounds));
  xpgroupbox1.ReadProperties(box);
  xpgroupbox1.Resize(PixelSize(box_bounds));
  xpgroupbox1.Show();
  AddConstituent(xpgroupbox1);

  const auto label = [&](Label& part, std::string_view name) {
    part.SetTextEngine(&GetSite().Text());
    part.SetFont(panel_font);
    part.SetWordWrap(true);
    part.ReadProperties(Part(design, name));
    xpgroupbox1.Contain(part);
  };
  const auto button = [&](xpcmdbutton& part, std::string_view name) {
    const PropertyStore& stored = Part(design, name);
    const RectF bounds = ReadTwipsBounds(stored, {});
    part.SetPosition(PixelPosition(bounds));
    part.ReadProperties(stored);
    part.Resize(PixelSize(bounds));
    part.Show();
    xpgroupbox1.Contain(part);
    m_TabOrder.push_back({stored.Read("TabIndex", std::int16_t{0}).ToInt16(), &part});
  };
  const auto check_box = [&](CheckBox& part, std::string_view name) {
    part.SetTextEngine(&GetSite().Text());
    part.SetFont(panel_font);
    part.ReadProperties(Part(design, name));
    xpgroupbox1.Contain(part);
    m_TabOrder.push_back({part.TabIndex(), &part});
  };

  label(Label4, "Label4");
  label(Label1, "Label1");
  label(LabelMsS, "LabelMsS");
  button(Command1, "Command1");
  label(Label8, "Label8");
  label(Localtime, "Localtime");
  label(LabelMsL, "LabelMsL");
  button(Command2, "Command2");
  check_box(CheckDisplayMs, "CheckDisplayMs");
  label(Label5, "Label5");
  check_box(Checkperhour, "Checkperhour");
  label(radiotext, "radiotext");
  Line1.ReadProperties(Part(design, "Line1"));
  xpgroupbox1.Contain(Line1);
  label(Label2, "Label2");
  label(Label3, "Label3");

  // The two parts that are invisible at run time.
  const PropertyStore& timer = Part(design, "sysTimer");
  m_TimerDesignPosition = {static_cast<float>(timer.Read("Left", 0).ToDouble()),
                           static_cast<float>(timer.Read("Top", 0).ToDouble())};
  sysTimer.SetTag(timer.Read("Tag", std::string()).ToText());
  sysTimer.SetInterval(static_cast<std::uint32_t>(timer.Read("Interval", 0).ToInt32()));
  sysTimer.SetEnabled(timer.Read("Enabled", true).ToBool());
  const PropertyStore& transfer = Part(design, "inetQuotes");
  m_TransferDesignPosition = {static_cast<float>(transfer.Read("Left", 0).ToDouble()),
                              static_cast<float>(transfer.Read("Top", 0).ToDouble())};

  std::stable_sort(m_TabOrder.begin(), m_TabOrder.end(),
                   [](const Focusable& a, const Focusable& b) { return a.TabIndex < b.TabIndex; });
}

std::string client::ToolTipAt(float x, float y) const {
  const Point box = xpgroupbox1.Position();
  const float bx = x - static_cast<float>(box.X);
  const float by = y - static_cast<float>(box.Y);
  // Topmost first: the reverse of the drawing order.
  for (const Label* part : {&Label3, &radiotext, &Label5}) {
    if (part->IsShown() && Under(part->PixelRect(), bx, by)) return part->ToolTipText();
  }
  for (const CheckBox* part : {&Checkperhour, &CheckDisplayMs}) {
    if (part->IsShown() && Under(part->PixelRect(), bx, by)) return part->ToolTipText();
  }
  return {};
}

const Constituent* client::FocusedPart() const {
  return m_Focus < 0 ? nullptr : m_TabOrder[static_cast<std::size_t>(m_Focus)].Part;
}

bool client::MoveFocus(bool backwards) {
  const int count = static_cast<int>(m_TabOrder.size());
  const int next = m_Focus < 0 ? (backwards ? count - 1 : 0) : m_Focus + (backwards ? -1 : 1);
  ClearFocus();
  if (next < 0 || next >= count) return false;
  m_Focus = next;
  for (CheckBox* box : {&CheckDisplayMs, &Checkperhour}) {
    box->SetFocus(FocusedPart() == box);
  }
  return true;
}

void client::ClearFocus() {
  m_Focus = -1;
  CheckDisplayMs.SetFocus(false);
  Checkperhour.SetFocus(false);
}

void client::UserControl_KeyDown(std::int16_t& KeyCode, std::int16_t& Shift) {
  for (xpcmdbutton* button : {&Command1, &Command2}) {
    if (FocusedPart() == button) button->KeyDown(KeyCode, Shift);
  }
}

void client::UserControl_KeyPress(std::int16_t& KeyAscii) {
  for (xpcmdbutton* button : {&Command1, &Command2}) {
    if (FocusedPart() == button) button->KeyPress(KeyAscii);
  }
  for (CheckBox* box : {&CheckDisplayMs, &Checkperhour}) {
    if (FocusedPart() == box) box->KeyPress(KeyAscii);
  }
}

void client::UserControl_KeyUp(std::int16_t& KeyCode, std::int16_t& Shift) {
  for (xpcmdbutton* button : {&Command1, &Command2}) {
    if (FocusedPart() == button) button->KeyUp(KeyCode, Shift);
  }
}

}  // namespace borvane
