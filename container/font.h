#pragma once
// A font as controls share it: one mutable object held by reference by a
// control, its surface and its caption label. Controls never copy it.

#include <memory>
#include <string>

#include "container/error.h"

namespace borvane {

struct Font {
  std::string Name = "Arial";
  double Size = 8.25;  // points
  bool Bold = false;
  bool Italic = false;
  bool Underline = false;
  bool Strikethrough = false;

  bool operator==(const Font&) const = default;
};

using FontRef = std::shared_ptr<Font>;

// The sizes a font may take, in points: what the platform's font object
// allows. Far larger sizes exhaust memory when text is drawn, and a
// negative or absurd size cannot be handed to a text engine.
inline constexpr double kMinFontSize = 1;
inline constexpr double kMaxFontSize = 2048;

// Raises InvalidPropertyValue (380) when the font's size is outside
// kMinFontSize..kMaxFontSize (or not a number). A missing font passes.
inline void CheckFontSize(const FontRef& font) {
  if (!font) return;
  if (!(font->Size >= kMinFontSize && font->Size <= kMaxFontSize)) {
    RaiseInvalidPropertyValue("font size " + std::to_string(font->Size) +
                              " outside 1 to 2048 points");
  }
}

inline FontRef MakeFont(std::string name, double size, bool bold = false) {
  auto font = std::make_shared<Font>();
  font->Name = std::move(name);
  font->Size = size;
  font->Bold = bold;
  return font;
}

}  // namespace borvane
