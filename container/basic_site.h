#pragma once
// A plain site: fixed ambient values, handlers as std::function, and the
// cursor, text engine and event loop it is given. Headless hosts use it as
// is; tests extend it to record what the control asked for.

#include <functional>
#include <string>
#include <vector>

#include "container/site.h"

namespace borvane {

// A cursor that stays where it is put (client pixels of every window).
class FixedCursor final : public CursorSource {
 public:
  Point CursorInClient(WindowHandle) override {
    ++Queries;
    return Position;
  }
  Point Position{-1, -1};
  int Queries = 0;
};

class BasicSite : public Site {
 public:
  BasicSite(TextEngine& text, EventLoop& loop, CursorSource& cursor)
      : m_Text(text), m_Loop(loop), m_Cursor(cursor) {}

  std::string AmbientDisplayName() override { return DisplayName; }
  FontRef AmbientFont() override { return AmbientFontObject; }
  void PropertyChanged(std::string_view name) override;
  void RaiseEvent(std::int32_t id, std::string_view name, std::span<const EventArg> args) override;
  CursorSource& Cursor() override { return m_Cursor; }
  TextEngine& Text() override { return m_Text; }
  EventLoop& Loop() override { return m_Loop; }
  // Keeps the error in Errors and passes it to OnError.
  void ReportError(const Error& error) override;
  // Passes the pointer to OnMousePointer.
  void MousePointerChanged(std::int16_t pointer) override {
    if (OnMousePointer) OnMousePointer(pointer);
  }

  std::string DisplayName;
  FontRef AmbientFontObject = MakeFont("Arial", 9);

  std::function<void(std::string_view)> OnPropertyChanged;
  std::function<void(std::int32_t, std::string_view, std::span<const EventArg>)> OnEvent;
  std::function<void(const Error&)> OnError;
  std::function<void(std::int16_t)> OnMousePointer;
  std::vector<Error> Errors;

 private:
  TextEngine& m_Text;
  EventLoop& m_Loop;
  CursorSource& m_Cursor;
};

}  // namespace borvane
