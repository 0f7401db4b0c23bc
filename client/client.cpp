#include "client/client.h"

#include "client/decrypt.h"
#include "client/panel_texts.h"

namespace borvane {

namespace {

// "http://user@host:port/path" -> "host". A bracketed IPv6 literal keeps
// its brackets, as it is written in an address.
std::string HostOf(const std::string& url) {
  std::string rest = url;
  if (const auto scheme = rest.find("://"); scheme != std::string::npos) {
    rest = rest.substr(scheme + 3);
  }
  rest = rest.substr(0, rest.find_first_of("/?#"));
  if (const auto at = rest.rfind('@'); at != std::string::npos) rest = rest.substr(at + 1);
  if (!rest.empty() && rest.front() == '[') {
    const auto close = rest.find(']');
    return close == std::string::npos ? rest : rest.substr(0, close + 1);
  }
  return rest.substr(0, rest.find(':'));
}

Point Offset(Point a, Point b) { return {a.X + b.X, a.Y + b.Y}; }

}  // namespace

client::client(Site& site, ClientServices services)
    : UserControl(site, kDesignPixels),
      m_GroupBoxSite(site, "xpgroupbox1", DrawingSurface().hWnd(),
                     [this] { return xpgroupbox1.Position(); }),
      m_Command1Site(site, "Command1", DrawingSurface().hWnd(),
                     [this] { return Offset(xpgroupbox1.Position(), Command1.Position()); }),
      m_Command2Site(site, "Command2", DrawingSurface().hWnd(),
                     [this] { return Offset(xpgroupbox1.Position(), Command2.Position()); }),
      xpgroupbox1(m_GroupBoxSite),
      Command1(m_Command1Site),
      Command2(m_Command2Site),
      sysTimer(site.Loop()),
      m_Services(std::move(services)),
      m_ServiceHost(HostOf(m_Services.service_url)) {
  // The only events of the parts the panel handles: Click of each button.
  m_Command1Site.OnEvent = [this](std::int32_t id, std::string_view, std::span<const EventArg>) {
    if (id == dispid::kClick) Command1_Click();
  };
  m_Command2Site.OnEvent = [this](std::int32_t id, std::string_view, std::span<const EventArg>) {
    if (id == dispid::kClick) Command2_Click();
  };
  CheckDisplayMs.OnClick = [this] { CheckDisplayMs_Click(); };
  // A tick is a notification of its own: its errors go to the site.
  sysTimer.OnTimer = [this] { Guarded([this] { sysTimer_Timer(); }); };

  BuildParts(PanelDesign(m_ServiceHost));
}

std::string client::DeCrypt(Variant& texti, Variant& salasana) {
  return borvane::DeCrypt(texti, salasana);
}

void client::Initialize() {
  Guarded([this] { UserControl_Initialize(); });
}

void client::UserControl_Initialize() { DisplayTime(); }

void client::Command1_Click() { DisplayTime(); }

void client::CheckDisplayMs_Click() {
  const bool show = CheckDisplayMs.Value() == 1;
  LabelMsS.SetVisible(show);
  LabelMsL.SetVisible(show);
}

void client::SetPointer(std::int16_t pointer) {
  if (pointer == m_MousePointer) return;
  m_MousePointer = pointer;
  Canvas().SetMousePointer(pointer);
  GetSite().MousePointerChanged(pointer);
}

}  // namespace borvane
