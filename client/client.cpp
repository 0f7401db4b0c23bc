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

}  // namespace

client::client(ClientServices services)
    : sysTimer(services.loop),
      m_Services(std::move(services)),
      m_ServiceHost(HostOf(m_Services.service_url)) {
  Label1.SetCaption(panel::kLabel1Initial);
  Label1.SetForeColor(panel::kTimeColour);
  Localtime.SetCaption(panel::kLocaltimeInitial);
  Localtime.SetForeColor(panel::kTimeColour);
  LabelMsS.SetVisible(false);
  LabelMsL.SetVisible(false);
  Label2.SetCaption(panel::kLabel2Initial);
  Label2.SetForeColor(panel::kStatusColour);

  // Enabled with interval 0: the timer stays silent until the first
  // accepted query sets 1000 ms.
  sysTimer.OnTimer = [this] { sysTimer_Timer(); };
  sysTimer.SetEnabled(true);
}

std::string client::DeCrypt(Variant& texti, Variant& salasana) {
  return borvane::DeCrypt(texti, salasana);
}

void client::UserControl_Initialize() { DisplayTime(); }

void client::Command1_Click() { DisplayTime(); }

void client::CheckDisplayMs_Click() {
  const bool show = CheckDisplayMsValue == 1;
  LabelMsS.SetVisible(show);
  LabelMsL.SetVisible(show);
}

}  // namespace borvane
