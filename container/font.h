#pragma once
// A font as controls share it: one mutable object held by reference by a
// control, its surface and its caption label. Controls never copy it.

#include <memory>
#include <string>

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

inline FontRef MakeFont(std::string name, double size, bool bold = false) {
  auto font = std::make_shared<Font>();
  font->Name = std::move(name);
  font->Size = size;
  font->Bold = bold;
  return font;
}

}  // namespace borvane
