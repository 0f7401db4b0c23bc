#include "container/user_control.h"

namespace borvane {

namespace {
enum MouseKind { kDown, kMove, kUp };
}

UserControl::UserControl(Site& site, Size design_pixels) : m_Site(site), m_Surface(design_pixels) {}

void UserControl::Guarded(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const Error& error) {
    m_Site.ReportError(error);
  }
}

void UserControl::InitProperties() {
  Guarded([&] { UserControl_InitProperties(); });
}
void UserControl::ReadProperties(const PropertyStore& store) {
  Guarded([&] { UserControl_ReadProperties(store); });
}
void UserControl::WriteProperties(PropertyStore& store) {
  Guarded([&] { UserControl_WriteProperties(store); });
}
void UserControl::Resize(Size pixels) {
  m_Surface.SetPixelSize(pixels);
  Guarded([&] { UserControl_Resize(); });
}
void UserControl::Show() {
  Guarded([&] { UserControl_Show(); });
}
void UserControl::KeyDown(std::int16_t key_code, std::int16_t shift) {
  if (!TakesInput()) return;
  Guarded([&] { UserControl_KeyDown(key_code, shift); });
}
void UserControl::KeyPress(std::int16_t key_ascii) {
  if (!TakesInput()) return;
  Guarded([&] { UserControl_KeyPress(key_ascii); });
}
void UserControl::KeyUp(std::int16_t key_code, std::int16_t shift) {
  if (!TakesInput()) return;
  Guarded([&] { UserControl_KeyUp(key_code, shift); });
}
void UserControl::AccessKeyPress(std::int16_t key_ascii) {
  if (!TakesInput()) return;
  Guarded([&] { UserControl_AccessKeyPress(key_ascii); });
}

Image UserControl::Compose() const {
  Image frame(m_Surface.PixelSize().Width, m_Surface.PixelSize().Height);
  PaintInto(frame, {0, 0});
  return frame;
}

Rect UserControl::PixelRect() const {
  return {m_Position.X, m_Position.Y, m_Surface.PixelSize().Width, m_Surface.PixelSize().Height};
}

void UserControl::PaintInto(Image& frame, Point origin) const {
  frame.Blit(m_Surface.Pixels(), origin);
  const Rect own{origin.X, origin.Y, m_Surface.PixelSize().Width, m_Surface.PixelSize().Height};
  for (const Constituent* child : m_Constituents) {
    if (!child->IsShown()) continue;
    const Rect r = child->PixelRect();
    const Rect at{origin.X + r.X, origin.Y + r.Y, r.Width, r.Height};
    if (Intersect(at, own) == at) {
      child->PaintInto(frame, {at.X, at.Y});
      continue;
    }
    // A child reaching past this control's edge is cut at it, as a
    // container clips what it holds: it is drawn over a copy of what lies
    // beneath, and only the part inside comes back.
    const Rect keep = Intersect(Intersect(at, own), frame.Bounds());
    if (keep.IsEmpty()) continue;
    Image scratch(at.Width, at.Height);
    for (std::int32_t y = keep.Y; y < keep.Bottom(); ++y) {
      for (std::int32_t x = keep.X; x < keep.Right(); ++x) {
        scratch.Set(x - at.X, y - at.Y, frame.At(x, y));
      }
    }
    child->PaintInto(scratch, {0, 0});
    for (std::int32_t y = keep.Y; y < keep.Bottom(); ++y) {
      for (std::int32_t x = keep.X; x < keep.Right(); ++x) {
        frame.Set(x, y, scratch.At(x - at.X, y - at.Y));
      }
    }
  }
}

Constituent* UserControl::HitTest(float x, float y) const {
  for (auto it = m_Constituents.rbegin(); it != m_Constituents.rend(); ++it) {
    if (!(*it)->IsShown()) continue;
    const Rect r = (*it)->PixelRect();
    if (x >= static_cast<float>(r.X) && y >= static_cast<float>(r.Y) &&
        x < static_cast<float>(r.Right()) && y < static_cast<float>(r.Bottom())) {
      return *it;
    }
  }
  return nullptr;
}

void UserControl::SendMouse(Constituent* target, int kind, std::int16_t button,
                            std::int16_t shift, float x, float y) {
  Guarded([&] {
    if (target != nullptr) {
      const Rect r = target->PixelRect();
      const float cx = x - static_cast<float>(r.X);
      const float cy = y - static_cast<float>(r.Y);
      if (kind == kDown) target->MouseDown(button, shift, cx, cy);
      if (kind == kMove) target->MouseMove(button, shift, cx, cy);
      if (kind == kUp) target->MouseUp(button, shift, cx, cy);
      return;
    }
    // The control's own handlers take the surface's unit.
    float ux = x * m_Surface.UnitsPerPixel();
    float uy = y * m_Surface.UnitsPerPixel();
    if (kind == kDown) UserControl_MouseDown(button, shift, ux, uy);
    if (kind == kMove) UserControl_MouseMove(button, shift, ux, uy);
    if (kind == kUp) UserControl_MouseUp(button, shift, ux, uy);
  });
}

void UserControl::MouseDown(std::int16_t button, std::int16_t shift, float x, float y) {
  if (!TakesInput()) return;
  m_CaptureTarget = HitTest(x, y);
  m_Captured = true;
  SendMouse(m_CaptureTarget, kDown, button, shift, x, y);
}

void UserControl::MouseMove(std::int16_t button, std::int16_t shift, float x, float y) {
  if (!TakesInput()) return;
  SendMouse(m_Captured ? m_CaptureTarget : HitTest(x, y), kMove, button, shift, x, y);
}

void UserControl::MouseUp(std::int16_t button, std::int16_t shift, float x, float y) {
  const bool was_captured = m_Captured;
  Constituent* target = m_Captured ? m_CaptureTarget : HitTest(x, y);
  m_Captured = false;
  m_CaptureTarget = nullptr;
  // Disabled since the press: the capture ends, nothing is delivered.
  if (!TakesInput()) return;
  SendMouse(target, kUp, button, shift, x, y);
  // A click is a press and a release over the same target.
  if (!was_captured) return;
  const Size size = m_Surface.PixelSize();
  const bool inside_control = x >= 0 && y >= 0 && x < static_cast<float>(size.Width) &&
                              y < static_cast<float>(size.Height);
  if (inside_control && HitTest(x, y) == target) {
    if (target != nullptr) {
      if (!target->ClicksItself()) Guarded([&] { target->Click(); });
    } else {
      Click();
    }
  }
}

void UserControl::Click() {
  if (!TakesInput()) return;
  Guarded([&] { UserControl_Click(); });
}

void UserControl::DblClick() {
  if (!TakesInput()) return;
  Guarded([&] { UserControl_DblClick(); });
}

void UserControl::DblClickAt(float x, float y) {
  if (!TakesInput()) return;
  Constituent* target = HitTest(x, y);
  if (target != nullptr) {
    Guarded([&] { target->DblClick(); });
  } else {
    DblClick();
  }
}

void UserControl::RaiseMouseEvent(std::int32_t id, const char* name, std::int16_t& Button,
                                  std::int16_t& Shift, float& X, float& Y) {
  const EventArg args[] = {&Button, &Shift, &X, &Y};
  GetSite().RaiseEvent(id, name, args);
}

}  // namespace borvane
