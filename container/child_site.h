#pragma once
// The site a control gives to a control it contains. The child has its own
// display name and its own event handler (the parent's handlers for that
// child's events); text, timers, errors and the pointer go to the parent's
// site. The cursor is the parent's, moved into the child's client pixels.

#include <functional>
#include <string>

#include "container/site.h"

namespace borvane {

class ChildSite final : public Site {
 public:
  // `origin` gives the child's top-left corner in the client pixels of
  // `parent_window`, the window whose cursor the parent's site reports.
  ChildSite(Site& parent, std::string display_name, WindowHandle parent_window,
            std::function<Point()> origin);

  std::string AmbientDisplayName() override { return m_Name; }
  FontRef AmbientFont() override { return m_Parent.AmbientFont(); }
  // The parent keeps the child's settings in its own design data, which is
  // not saved at run time: nothing to mark.
  void PropertyChanged(std::string_view) override {}
  void RaiseEvent(std::int32_t id, std::string_view name, std::span<const EventArg> args) override;
  CursorSource& Cursor() override { return m_Cursor; }
  TextEngine& Text() override { return m_Parent.Text(); }
  EventLoop& Loop() override { return m_Parent.Loop(); }
  void ReportError(const Error& error) override { m_Parent.ReportError(error); }
  void MousePointerChanged(std::int16_t pointer) override { m_Parent.MousePointerChanged(pointer); }

  // The parent's handler of this child's events.
  std::function<void(std::int32_t, std::string_view, std::span<const EventArg>)> OnEvent;

 private:
  class OffsetCursor final : public CursorSource {
   public:
    OffsetCursor(Site& parent, WindowHandle window, std::function<Point()> origin)
        : m_Parent(parent), m_Window(window), m_Origin(std::move(origin)) {}
    Point CursorInClient(WindowHandle) override;

   private:
    Site& m_Parent;
    WindowHandle m_Window;
    std::function<Point()> m_Origin;
  };

  Site& m_Parent;
  std::string m_Name;
  OffsetCursor m_Cursor;
};

}  // namespace borvane
