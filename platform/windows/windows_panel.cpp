#include "platform/windows/windows_panel.h"

#include "platform/windows/variant_convert.h"

namespace borvane {

WindowsPanel::WindowsPanel(const std::string& service_url)
    : m_Panel(*this, ClientServices{m_Clock, m_Transfer, service_url}) {
  m_Loop.AfterTick = [this] {
    if (Changed) Changed();
  };
  m_Panel.QueryEnded = [this] { m_QueryStarted = true; };
  // The answer is applied from the host's loop, long after the handler
  // that asked has returned: the picture is brought up to date after it.
  m_Transfer.CallOut = [this](const std::function<void()>& complete) {
    const auto apply = [&] {
      complete();
      if (Changed) Changed();
    };
    if (CallOut) {
      CallOut(apply);
    } else {
      apply();
    }
  };
}

WindowsPanel::~WindowsPanel() {
  m_Loop.Attach(nullptr);
}

void WindowsPanel::Initialize() {
  if (m_QueryStarted || m_Panel.QueryInFlight()) return;
  m_QueryStarted = true;
  m_Panel.Initialize();
  // The busy pointer, or an error that ended the query at once.
  if (Changed) Changed();
}

std::string WindowsPanel::DisplayTime() {
  m_QueryStarted = true;
  // What the query showed before an error stays, and is shown.
  try {
    std::string result = m_Panel.DisplayTime();
    if (Changed) Changed();
    return result;
  } catch (...) {
    if (Changed) Changed();
    throw;
  }
}

std::string WindowsPanel::DeCrypt(Variant& texti, Variant& salasana) {
  return m_Panel.DeCrypt(texti, salasana);
}

std::string WindowsPanel::StatusLine() const {
  const std::string& status = m_Panel.Label2.Caption();
  if (!m_ErrorLine.empty() && status == m_ErrorCovers) return m_ErrorLine;
  return status;
}

Image WindowsPanel::Frame() const {
  Image frame = m_Panel.Compose();
  if (m_ErrorLine.empty() || m_Panel.Label2.Caption() != m_ErrorCovers) return frame;
  // The status line sits in the group box, which fills the panel from its
  // top-left corner.
  const Label& status = m_Panel.Label2;
  const Rect area = Intersect(status.PixelRect(), frame.Bounds());
  frame.Fill(area, ToPixel(m_Panel.xpgroupbox1.BackColor()));
  m_Text.Draw(frame, {area.X, area.Y}, area, m_ErrorLine,
              status.Font() ? *status.Font() : FallbackFont(), status.ForeColor());
  return frame;
}

void WindowsPanel::ReportError(const Error& error) {
  m_ErrorLine = "[ " + std::string(error.what()) + " (" +
                std::to_string(static_cast<int>(error.Code())) + ") ]";
  m_ErrorCovers = m_Panel.Label2.Caption();
  ::OutputDebugStringW(Widen("borvane: " + m_ErrorLine + "\n").c_str());
  if (ErrorReported) ErrorReported(m_ErrorLine);
  if (Changed) Changed();
}

void WindowsPanel::MousePointerChanged(std::int16_t pointer) {
  if (PointerShapeChanged) PointerShapeChanged(pointer);
}

}  // namespace borvane
