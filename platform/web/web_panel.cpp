#include "platform/web/web_panel.h"

#include <emscripten.h>

#include <cmath>
#include <cstdio>
#include <exception>

#include "container/utf8.h"

namespace borvane {

namespace {

// The page shows a pointer shape at once, even though the module may stay
// busy (or suspended in a fetch) right afterwards.
EM_JS(void, BorvaneShowPointer, (int pointer), {
  Module.borvaneHost.showPointer(pointer);
});

EM_JS(void, BorvanePresent, (const void* pixels, int width, int height), {
  Module.borvaneHost.present(pixels, width, height);
});

EM_JS(void, BorvaneConsoleError, (const char* text), {
  console.error("borvane: " + UTF8ToString(text));
});

// A JSON string literal; malformed UTF-8 from outside becomes U+FFFD.
std::string JsonText(std::string_view text) {
  std::string out = "\"";
  for (const char c : ValidUtf8(text)) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
          char escape[8];
          std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
          out += escape;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

}  // namespace

WebPanel::WebPanel(const std::string& service_url)
    : m_Panel(*this, ClientServices{m_Clock, m_Transfer, service_url}) {
  m_Transfer.BeforeWaiting = [this] { BorvanePresent(Frame().Row(0), m_Frame.Width(), m_Frame.Height()); };
}

const Image& WebPanel::Frame() {
  m_Frame = m_Panel.Compose();
  if (m_ErrorLine.empty() || m_Panel.Label2.Caption() != m_ErrorCovers) return m_Frame;
  // The status line sits in the group box, which fills the panel from its
  // top-left corner.
  const Label& status = m_Panel.Label2;
  const Rect area = Intersect(status.PixelRect(), m_Frame.Bounds());
  m_Frame.Fill(area, ToPixel(m_Panel.xpgroupbox1.BackColor()));
  m_Text.Draw(m_Frame, {area.X, area.Y}, area, m_ErrorLine,
              status.Font() ? *status.Font() : FallbackFont(), status.ForeColor());
  return m_Frame;
}

std::string WebPanel::StatusLine() const {
  const std::string& status = m_Panel.Label2.Caption();
  if (!m_ErrorLine.empty() && status == m_ErrorCovers) return m_ErrorLine;
  return status;
}

std::string WebPanel::StateJson() const {
  const client& c = m_Panel;
  std::string json = "{";
  const auto text = [&](const char* name, std::string_view value) {
    json += JsonText(name) + ":" + JsonText(value) + ",";
  };
  const auto number = [&](const char* name, long long value) {
    json += JsonText(name) + ":" + std::to_string(value) + ",";
  };
  text("Label1", c.Label1.Caption());
  text("LabelMsS", c.LabelMsS.Caption());
  text("Localtime", c.Localtime.Caption());
  text("LabelMsL", c.LabelMsL.Caption());
  text("Label2", c.Label2.Caption());
  number("Label2ForeColor", c.Label2.ForeColor().Value());
  text("serverTimeText", c.serverTimeText);
  text("serverYearText", c.serverYearText);
  text("serverMonthText", c.serverMonthText);
  text("serverDayText", c.serverDayText);
  text("serverHourText", c.serverHourText);
  text("sysTimerTag", c.sysTimer.Tag());
  number("sysTimerInterval", c.sysTimer.Interval());
  number("MousePointer", c.MousePointer());
  json += JsonText("statusLine") + ":" + JsonText(StatusLine()) + "}";
  return json;
}

void WebPanel::ReportError(const Error& error) {
  m_ErrorLine = "[ " + std::string(error.what()) + " (" +
                std::to_string(static_cast<int>(error.Code())) + ") ]";
  m_ErrorCovers = m_Panel.Label2.Caption();
  BorvaneConsoleError(m_ErrorLine.c_str());
}

void WebPanel::ReportFailure(const std::string& text) {
  m_ErrorLine = "[ " + EscapeControls(text) + " ]";
  m_ErrorCovers = m_Panel.Label2.Caption();
  BorvaneConsoleError(m_ErrorLine.c_str());
}

void WebPanel::MousePointerChanged(std::int16_t pointer) {
  BorvaneShowPointer(pointer);
}

}  // namespace borvane

// The page's entries. Each runs one notification and presents the frame;
// none lets an exception reach the page's script.
using borvane::WebPanel;

namespace {

std::string g_Result;  // the text an entry returns, valid until the next entry

template <typename F>
void Safely(WebPanel* panel, F&& body) {
  try {
    body();
  } catch (const std::exception& error) {
    panel->ReportFailure(error.what());
  }
  const borvane::Image& frame = panel->Frame();
  borvane::BorvanePresent(frame.Row(0), frame.Width(), frame.Height());
}

}  // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE WebPanel* borvane_create(const char* service_url) {
  try {
    return new WebPanel(service_url);
  } catch (const std::exception& error) {
    borvane::BorvaneConsoleError(error.what());
    return nullptr;
  }
}

EMSCRIPTEN_KEEPALIVE void borvane_initialize(WebPanel* panel) {
  Safely(panel, [&] { panel->Panel().Initialize(); });
}

// kind: 0 move, 1 press, 2 release, 3 second press of a double-click,
// 4 the pointer left the panel.
EMSCRIPTEN_KEEPALIVE void borvane_mouse(WebPanel* panel, int kind, int button, int shift,
                                        float x, float y) {
  Safely(panel, [&] {
    borvane::client& root = panel->Panel();
    if (kind == 4) {
      panel->SetPointer(WebPanel::kPointerAway);
      return;
    }
    panel->SetPointer({static_cast<std::int32_t>(std::floor(x)), static_cast<std::int32_t>(std::floor(y))});
    const auto b = static_cast<std::int16_t>(button);
    const auto s = static_cast<std::int16_t>(shift);
    switch (kind) {
      case 0: root.MouseMove(b, s, x, y); break;
      case 1: root.MouseDown(b, s, x, y); break;
      case 2: root.MouseUp(b, s, x, y); break;
      case 3: root.DblClickAt(x, y); break;
      default: break;
    }
  });
}

// A key went down (down != 0) or up; `ascii` is the character it types
// (0 for none).
EMSCRIPTEN_KEEPALIVE void borvane_key(WebPanel* panel, int down, int code, int shift, int ascii) {
  Safely(panel, [&] {
    borvane::client& root = panel->Panel();
    if (!down) {
      root.KeyUp(static_cast<std::int16_t>(code), static_cast<std::int16_t>(shift));
      return;
    }
    root.KeyDown(static_cast<std::int16_t>(code), static_cast<std::int16_t>(shift));
    if (ascii > 0 && ascii < 128) root.KeyPress(static_cast<std::int16_t>(ascii));
  });
}

// Tab and Shift+Tab: 1 when the focus stays in the panel.
EMSCRIPTEN_KEEPALIVE int borvane_move_focus(WebPanel* panel, int backwards) {
  bool kept = false;
  Safely(panel, [&] { kept = panel->Panel().MoveFocus(backwards != 0); });
  return kept ? 1 : 0;
}

EMSCRIPTEN_KEEPALIVE void borvane_focus_out(WebPanel* panel) {
  Safely(panel, [&] { panel->Panel().ClearFocus(); });
}

EMSCRIPTEN_KEEPALIVE void borvane_tick(WebPanel* panel, double id) {
  Safely(panel, [&] { panel->Timers().Tick(static_cast<borvane::EventLoop::TimerId>(id)); });
}

// "O" when the check ran, or "E" and the error it raised.
EMSCRIPTEN_KEEPALIVE const char* borvane_display_time(WebPanel* panel) {
  g_Result = "O";
  Safely(panel, [&] {
    try {
      g_Result += panel->Panel().DisplayTime();
    } catch (const borvane::Error& error) {
      g_Result = "E" + std::string(error.what());
    }
  });
  return g_Result.c_str();
}

// key_kind: 0 a whole number, 1 another number, 2 text. Returns
// {"text":…,"key":…} or "E" and the error.
EMSCRIPTEN_KEEPALIVE const char* borvane_decrypt(WebPanel* panel, const char* text, int key_kind,
                                                 double key_number, const char* key_text) {
  try {
    borvane::Variant texti{std::string(text)};
    borvane::Variant salasana =
        key_kind == 0   ? borvane::Variant(static_cast<std::int32_t>(key_number))
        : key_kind == 1 ? borvane::Variant(key_number)
                        : borvane::Variant(std::string(key_text));
    const std::string result = panel->Panel().DeCrypt(texti, salasana);
    const std::string key = salasana.ToText();
    g_Result = "{\"text\":" + borvane::JsonText(result) + ",\"key\":" +
               (salasana.IsNumeric() && key.find_first_not_of("+-0123456789.eE") == std::string::npos
                    ? key
                    : borvane::JsonText(key)) + "}";
  } catch (const std::exception& error) {
    g_Result = "E" + std::string(error.what());
  }
  return g_Result.c_str();
}

EMSCRIPTEN_KEEPALIVE const char* borvane_state(WebPanel* panel) {
  g_Result = panel->StateJson();
  return g_Result.c_str();
}

EMSCRIPTEN_KEEPALIVE const char* borvane_tooltip(WebPanel* panel, float x, float y) {
  g_Result = panel->Panel().ToolTipAt(x, y);
  return g_Result.c_str();
}

EMSCRIPTEN_KEEPALIVE double borvane_fetches(WebPanel* panel) {
  return panel->Fetcher().Fetches();
}

}  // extern "C"
