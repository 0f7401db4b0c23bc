#pragma once
// The base of every control: its site, its drawing surface, its
// constituents, and the container's notifications.
//
// The container (a host, a parent control, a test) calls the public
// notification entries. Each one runs the control's handler and catches
// the library's Error at that boundary, handing it to the site's
// ReportError: that is where an error leaving a handler goes. Property
// setters and methods are not guarded; their errors go to the caller.
//
// Mouse entries take client pixels. The constituent under the pointer gets
// the notification in its own pixels; otherwise the control's own handler
// gets it in the surface's unit. A press captures the mouse for its target
// until the release, and a release over the pressed target is followed by
// a click on it.
//
// A disabled control (its surface's Enabled is false) takes no mouse or
// keyboard input, and neither does anything inside it: every input entry
// below returns at once, so no handler runs and no event is raised, and
// the control keeps the look its Enabled setter gave it. Hosts rely on
// this rather than checking it themselves.

#include <cstdint>
#include <functional>
#include <vector>

#include "container/constituent.h"
#include "container/image.h"
#include "container/property_store.h"
#include "container/site.h"
#include "container/surface.h"

namespace borvane {

class UserControl : public Constituent {
 public:
  UserControl(Site& site, Size design_pixels);
  UserControl(const UserControl&) = delete;
  UserControl& operator=(const UserControl&) = delete;

  Site& GetSite() const { return m_Site; }
  const Surface& DrawingSurface() const { return m_Surface; }

  // Position on the parent, in parent pixels.
  Point Position() const { return m_Position; }
  void SetPosition(Point position) { m_Position = position; }

  // Container notifications.
  void InitProperties();
  void ReadProperties(const PropertyStore& store);
  void WriteProperties(PropertyStore& store);
  // New size in pixels, then the resize notification.
  void Resize(Size pixels);
  void Show();
  void KeyDown(std::int16_t key_code, std::int16_t shift);
  void KeyPress(std::int16_t key_ascii);
  void KeyUp(std::int16_t key_code, std::int16_t shift);
  void AccessKeyPress(std::int16_t key_ascii);

  // The surface with the constituents drawn above it.
  Image Compose() const;

  // Whether input reaches the control: false while it is disabled.
  bool TakesInput() const { return m_Surface.Enabled(); }

  // Constituent: as a child of another control, and the mouse entries.
  Rect PixelRect() const override;
  bool IsShown() const override { return m_Shown; }
  void SetShown(bool shown) { m_Shown = shown; }
  void PaintInto(Image& frame, Point origin) const override;
  void MouseDown(std::int16_t button, std::int16_t shift, float x, float y) override;
  void MouseMove(std::int16_t button, std::int16_t shift, float x, float y) override;
  void MouseUp(std::int16_t button, std::int16_t shift, float x, float y) override;
  void Click() override;
  void DblClick() override;
  // MouseUp already clicks after a press and release over the same target.
  bool ClicksItself() const override { return true; }
  // A double-click at a point in client pixels, routed like the mouse.
  void DblClickAt(float x, float y);

 protected:
  // The surface for drawing and settings; hosts see it read-only.
  Surface& Canvas() { return m_Surface; }
  // Drawn above the surface in the order added; the constituent outlives
  // its registration (it is a member of the derived control).
  void AddConstituent(Constituent& constituent) { m_Constituents.push_back(&constituent); }
  // Runs `handler` as a notification: an Error goes to the site.
  void Guarded(const std::function<void()>& handler);
  // Raises a mouse event with its four arguments by reference: the host's
  // handler may change them.
  void RaiseMouseEvent(std::int32_t id, const char* name, std::int16_t& Button,
                       std::int16_t& Shift, float& X, float& Y);

  // Handlers; each does nothing unless the control overrides it.
  virtual void UserControl_InitProperties() {}
  virtual void UserControl_ReadProperties(const PropertyStore&) {}
  virtual void UserControl_WriteProperties(PropertyStore&) {}
  virtual void UserControl_Resize() {}
  virtual void UserControl_Show() {}
  virtual void UserControl_MouseDown(std::int16_t&, std::int16_t&, float&, float&) {}
  virtual void UserControl_MouseMove(std::int16_t&, std::int16_t&, float&, float&) {}
  virtual void UserControl_MouseUp(std::int16_t&, std::int16_t&, float&, float&) {}
  virtual void UserControl_Click() {}
  virtual void UserControl_DblClick() {}
  virtual void UserControl_KeyDown(std::int16_t&, std::int16_t&) {}
  virtual void UserControl_KeyPress(std::int16_t&) {}
  virtual void UserControl_KeyUp(std::int16_t&, std::int16_t&) {}
  virtual void UserControl_AccessKeyPress(std::int16_t&) {}

 private:
  // The topmost shown constituent under the point, or nullptr for the surface.
  Constituent* HitTest(float x, float y) const;
  void SendMouse(Constituent* target, int kind, std::int16_t button, std::int16_t shift,
                 float x, float y);

  Site& m_Site;
  Surface m_Surface;
  std::vector<Constituent*> m_Constituents;
  Point m_Position;
  bool m_Shown = true;
  bool m_Captured = false;
  Constituent* m_CaptureTarget = nullptr;
};

}  // namespace borvane
