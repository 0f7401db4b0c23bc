#include "container/child_site.h"

namespace borvane {

ChildSite::ChildSite(Site& parent, std::string display_name, WindowHandle parent_window,
                     std::function<Point()> origin)
    : m_Parent(parent),
      m_Name(std::move(display_name)),
      m_Cursor(parent, parent_window, std::move(origin)) {}

void ChildSite::RaiseEvent(std::int32_t id, std::string_view name,
                           std::span<const EventArg> args) {
  if (OnEvent) OnEvent(id, name, args);
}

Point ChildSite::OffsetCursor::CursorInClient(WindowHandle) {
  const Point cursor = m_Parent.Cursor().CursorInClient(m_Window);
  const Point origin = m_Origin();
  return {cursor.X - origin.X, cursor.Y - origin.Y};
}

}  // namespace borvane
