#pragma once
// A site for control tests: fixed text metrics, a manual event loop, a
// cursor the test moves, and a record of everything the control told its
// container (events with their argument values, changed settings, errors).

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "container/basic_site.h"
#include "container/manual_event_loop.h"
#include "container/text_engine.h"

namespace borvane::testing {

// Every character is CharWidth pixels wide and LineHeight pixels high at
// 9 points, scaled in proportion to the font size, plus Padding pixels of
// width per line. Each non-blank character is drawn as a solid box one
// pixel inside its cell, so tests can find the text in a frame.
class FixedTextEngine final : public TextEngine {
 public:
  Size Measure(std::string_view text, const Font& font) override;
  void Draw(Image& target, Point origin, const Rect& clip, std::string_view text,
            const Font& font, Colour colour) override;

  int CharWidth = 6;
  int LineHeight = 13;
  int Padding = 5;
  int Measures = 0;
};

struct RaisedEvent {
  std::int32_t Id;
  std::string Name;
  std::vector<double> Args;  // values as they were when the handler returned
};

class FakeSite final : public BasicSite {
 public:
  FakeSite();

  // Runs before the event is recorded; may change the arguments.
  std::map<std::int32_t, std::function<void(std::span<const EventArg>)>> Handlers;

  std::vector<RaisedEvent> Events;
  std::vector<std::string> Changed;
  std::vector<std::string> Log;  // "event:Name" and "changed:Name" in order

  std::vector<std::string> EventNames() const;
  int Count(std::string_view event_name) const;
  void Clear();

  FixedTextEngine TextMetrics;
  ManualEventLoop Clock;
  FixedCursor Pointer;
};

// Helpers for handlers that change by-reference arguments.
inline void SetInt16(const EventArg& arg, std::int16_t value) { *std::get<std::int16_t*>(arg) = value; }

}  // namespace borvane::testing
