#include "support/fake_site.h"

#include <algorithm>
#include <cmath>

#include "container/utf8.h"

namespace borvane::testing {

namespace {
double Scaled(int pixels, const Font& font) { return pixels * font.Size / 9.0; }
}  // namespace

Size FixedTextEngine::Measure(std::string_view text, const Font& font) {
  ++Measures;
  const auto chars = static_cast<int>(Utf8Length(text));
  const auto width = static_cast<std::int32_t>(std::lround(Scaled(CharWidth, font)));
  const auto height = static_cast<std::int32_t>(std::lround(Scaled(LineHeight, font)));
  return {chars * width + Padding, height};
}

void FixedTextEngine::Draw(Image& target, Point origin, const Rect& clip, std::string_view text,
                           const Font& font, Colour colour) {
  const auto width = static_cast<std::int32_t>(std::lround(Scaled(CharWidth, font)));
  const auto height = static_cast<std::int32_t>(std::lround(Scaled(LineHeight, font)));
  std::int32_t x = origin.X;
  for (char32_t c : DecodeUtf8(text)) {
    if (c != U' ') {
      target.Fill(Intersect({x + 1, origin.Y + 1, width - 2, height - 2}, clip), ToPixel(colour));
    }
    x += width;
  }
}

FakeSite::FakeSite() : BasicSite(TextMetrics, Clock, Pointer) {
  DisplayName = "xpcmdbutton1";
  OnEvent = [this](std::int32_t id, std::string_view name, std::span<const EventArg> args) {
    if (auto handler = Handlers.find(id); handler != Handlers.end()) handler->second(args);
    RaisedEvent event{id, std::string(name), {}};
    for (const EventArg& arg : args) {
      std::visit([&](auto* value) {
        if constexpr (std::is_same_v<decltype(value), std::string*>) {
          event.Args.push_back(0);
        } else {
          event.Args.push_back(static_cast<double>(*value));
        }
      }, arg);
    }
    Events.push_back(std::move(event));
    Log.push_back("event:" + std::string(name));
  };
  OnPropertyChanged = [this](std::string_view name) {
    Changed.emplace_back(name);
    Log.push_back("changed:" + std::string(name));
  };
}

std::vector<std::string> FakeSite::EventNames() const {
  std::vector<std::string> names;
  for (const RaisedEvent& e : Events) names.push_back(e.Name);
  return names;
}

int FakeSite::Count(std::string_view event_name) const {
  return static_cast<int>(std::count_if(Events.begin(), Events.end(),
                                        [&](const RaisedEvent& e) { return e.Name == event_name; }));
}

void FakeSite::Clear() {
  Events.clear();
  Changed.clear();
  Log.clear();
  Errors.clear();
}

}  // namespace borvane::testing
