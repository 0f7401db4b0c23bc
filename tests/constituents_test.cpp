// The intrinsic constituents a panel is built from: check boxes, lines,
// word-wrapped labels, stored settings in twips, and the site a control
// gives to the controls it contains.

#include <gtest/gtest.h>

#include "container/check_box.h"
#include "container/child_site.h"
#include "container/error.h"
#include "container/label.h"
#include "container/line.h"
#include "container/user_control.h"
#include "support/fake_site.h"

namespace borvane {
namespace {

using testing::FakeSite;
using testing::FixedTextEngine;

constexpr Pixel kPaper = 0xFF123456u;

PropertyStore Stored(const char* text) { return PropertyStore::FromText(text); }

TEST(CheckBox, AClickTicksAnUntickedBoxAndClearsATickedOrGreyedOne) {
  CheckBox box;
  std::vector<int> seen;
  box.OnClick = [&] { seen.push_back(box.Value()); };
  box.Click();
  box.Click();
  box.SetValue(2);
  box.Click();
  box.KeyPress('a');  // only Space clicks
  box.KeyPress(' ');
  EXPECT_EQ(seen, (std::vector<int>{1, 0, 0, 1})) << "handlers see the value just set";
  box.SetValue(0);
  EXPECT_TRUE(seen.size() == 4u) << "setting the value from code is no click";
  box.SetEnabled(false);
  box.Click();
  EXPECT_EQ(box.Value(), 0) << "a disabled box ignores clicks";
  try {
    box.SetValue(3);
    ADD_FAILURE() << "3 accepted";
  } catch (const Error& e) {
    EXPECT_EQ(e.Code(), ErrorCode::InvalidPropertyValue);
  }
}

TEST(CheckBox, DrawsItsBoxWithATickForTickedAndAGreyTickForGreyed) {
  CheckBox box;
  box.SetBounds({0, 0, 13, 13});
  box.SetBackColor(Colour(0x00C0FFFFu));
  const auto paint = [&](std::int16_t value) {
    box.SetValue(value);
    Image frame(20, 20, kPaper);
    box.PaintInto(frame, {2, 3});
    return frame;
  };
  const Image clear = paint(0);
  EXPECT_EQ(clear.At(2, 3), 0xFF7A7A7Au) << "border, top left";
  EXPECT_EQ(clear.At(14, 15), 0xFF7A7A7Au) << "border, bottom right";
  EXPECT_EQ(clear.At(2 + 5, 3 + 8), 0xFFFFFFFFu) << "white well";
  EXPECT_EQ(clear.At(15, 3), kPaper) << "nothing drawn beside the box";
  EXPECT_EQ(paint(1).At(2 + 5, 3 + 8), 0xFF222222u) << "tick";
  EXPECT_EQ(paint(2).At(2 + 5, 3 + 8), 0xFF9A9A9Au) << "grey tick";
}

TEST(CheckBox, LoadsItsStoredSettingsWithPositionsInTwips) {
  CheckBox box;
  box.ReadProperties(Stored("Left = 4080\nTop = 1695\nWidth = 195\nHeight = 195\n"
                            "Value = 1%\nBackColor = 12648447\nToolTipText = \"tip\"\n"
                            "TabIndex = 10%\nCaption = \"Check1\"\n"));
  EXPECT_EQ(box.PixelRect(), (Rect{272, 113, 13, 13}));
  EXPECT_EQ(box.Value(), 1);
  EXPECT_EQ(box.BackColor(), Colour(0xC0FFFF));
  EXPECT_EQ(box.ToolTipText(), "tip");
  EXPECT_EQ(box.TabIndex(), 10);
  EXPECT_EQ(box.Caption(), "Check1");
  EXPECT_THROW(box.ReadProperties(Stored("Value = 5%\n")), Error);
}

TEST(Line, DrawsEveryPixelFromEndToEndAndTakesTheBoxOfBothEnds) {
  Line line;
  line.ReadProperties(Stored("X1 = 0\nY1 = 1920\nX2 = 5280\nY2 = 1920\nBorderColor = 12632256\n"));
  EXPECT_EQ(line.PixelRect(), (Rect{0, 128, 353, 1}));
  Image frame(360, 3, kPaper);
  line.PaintInto(frame, {0, 1});
  EXPECT_EQ(frame.At(0, 1), 0xFFC0C0C0u);
  EXPECT_EQ(frame.At(352, 1), 0xFFC0C0C0u) << "the last end is drawn";
  EXPECT_EQ(frame.At(353, 1), kPaper);
  EXPECT_EQ(frame.At(100, 0), kPaper);

  // A diagonal, drawn right to left: one pixel per column, corner to corner.
  line.SetEnds({4, 0}, {0, 4});
  EXPECT_EQ(line.PixelRect(), (Rect{0, 0, 5, 5}));
  Image diagonal(5, 5, kPaper);
  line.PaintInto(diagonal, {0, 0});
  for (int x = 0; x < 5; ++x) EXPECT_EQ(diagonal.At(x, 4 - x), 0xFFC0C0C0u) << x;
  EXPECT_EQ(diagonal.At(0, 0), kPaper);
}

TEST(WrapText, BreaksAtBlanksToFitTheWidth) {
  // Six pixels a character, like the fixed test metrics without padding.
  const auto measure = [](std::string_view s) {
    return static_cast<std::int32_t>(s.size()) * 6;
  };
  struct Row {
    const char* Text;
    int Width;
    std::vector<std::string> Lines;
  };
  const Row rows[] = {
      {"ab cd", 30, {"ab cd"}},
      {"ab cd", 29, {"ab", "cd"}},
      {"abc  Borvane", 60, {"abc", "Borvane"}},  // blanks at a break go
      {"ab  cd", 36, {"ab  cd"}},                // blanks inside a line stay
      {"averyveryverylongword x", 30, {"averyveryverylongword", "x"}},
      {"", 30, {""}},
      {" lead", 60, {" lead"}},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(WrapText(row.Text, row.Width, measure), row.Lines) << row.Text << " / " << row.Width;
  }
}

TEST(Label, AWrappingLabelDrawsItsSecondLineBelowTheFirstAndCutsWhatDoesNotFit) {
  FixedTextEngine text;  // 6 × 13 a character at 9 pt, + 5 padding
  Label label;
  label.SetTextEngine(&text);
  label.SetFont(MakeFont("Arial", 9));
  label.SetTransparent(false);
  label.SetBackColor(Colour(0x00FFFFFFu));
  label.SetForeColor(Colour(0x000000FFu));
  label.SetBounds({0, 0, 40, 30});
  label.SetCaption("abc defg xyz");
  label.SetWordWrap(true);
  Image frame(40, 40, kPaper);
  label.PaintInto(frame, {0, 0});
  EXPECT_EQ(frame.At(1, 1), 0xFF0000FFu) << "first line";
  EXPECT_EQ(frame.At(1, 14), 0xFF0000FFu) << "second line starts at the left, 13 pixels down";
  EXPECT_EQ(frame.At(1, 29), 0xFF0000FFu) << "the third line begins inside the label";
  EXPECT_EQ(frame.At(1, 31), kPaper) << "and is cut at its bottom edge";
  label.SetWordWrap(false);
  Image single(40, 30, kPaper);
  label.PaintInto(single, {0, 0});
  EXPECT_EQ(single.At(1, 14), 0xFFFFFFFFu) << "one line only";
}

TEST(Label, LoadsItsStoredSettingsAndReportsTheNewCaption) {
  FixedTextEngine text;
  Label label;
  label.SetTextEngine(&text);
  int changes = 0;
  label.OnChange = [&] { ++changes; };
  label.ReadProperties(Stored(
      "Left = 4600\nTop = 2220\nWidth = 600\nHeight = 255\nCaption = \"V1.3.0.7\"\n"
      "ForeColor = 128\nBackStyle = 0%\nFont = Font(\"Arial\", 8.25)\nToolTipText = \"Vostrel\"\n"
      "TabIndex = 5%\nVisible = False\n"));
  EXPECT_EQ(label.PixelRect(), (Rect{307, 148, 40, 17}));
  EXPECT_EQ(label.Caption(), "V1.3.0.7");
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(label.ForeColor(), Colour(0x80));
  EXPECT_TRUE(label.Transparent());
  EXPECT_EQ(label.Font()->Size, 8.25);
  EXPECT_EQ(label.ToolTipText(), "Vostrel");
  EXPECT_EQ(label.TabIndex(), 5);
  EXPECT_FALSE(label.Visible());
  label.ReadProperties(Stored("BackStyle = 1%\n"));
  EXPECT_FALSE(label.Transparent());
  EXPECT_EQ(label.Caption(), "V1.3.0.7") << "missing entries keep what is there";
}

// A control that holds one opaque label.
class Holder final : public UserControl {
 public:
  explicit Holder(Site& site) : UserControl(site, {20, 10}) {
    Canvas().SetBackColor(Colour(0x00FFFFFFu));
    Canvas().Cls();
    label.SetBackColor(Colour(0x000000FFu));
    AddConstituent(label);
  }
  Label label;
};

TEST(Containment, APartReachingPastItsParentsEdgeIsCutThere) {
  FakeSite site;
  Holder holder(site);
  holder.label.SetBounds({15, 6, 10, 8});  // 5 × 4 of it inside
  Image frame(30, 20, kPaper);
  holder.PaintInto(frame, {2, 3});
  EXPECT_EQ(frame.At(2 + 15, 3 + 6), 0xFF0000FFu) << "inside: drawn";
  EXPECT_EQ(frame.At(2 + 19, 3 + 9), 0xFF0000FFu) << "last pixel inside";
  EXPECT_EQ(frame.At(2 + 20, 3 + 6), kPaper) << "right of the parent: cut";
  EXPECT_EQ(frame.At(2 + 15, 3 + 10), kPaper) << "below the parent: cut";
  holder.label.SetBounds({2, 2, 4, 4});
  Image inside(30, 20, kPaper);
  holder.PaintInto(inside, {0, 0});
  EXPECT_EQ(inside.At(5, 5), 0xFF0000FFu) << "a part wholly inside is drawn as it is";
}

TEST(ChildSite, MovesTheParentsCursorIntoTheChildAndPassesEverythingElseUp) {
  FakeSite parent;
  parent.Pointer.Position = {100, 50};
  Point origin{30, 20};
  ChildSite child(parent, "Command1", 77, [&] { return origin; });
  EXPECT_EQ(child.AmbientDisplayName(), "Command1");
  EXPECT_EQ(child.Cursor().CursorInClient(0), (Point{70, 30}));
  origin = {0, 0};
  EXPECT_EQ(child.Cursor().CursorInClient(0), (Point{100, 50})) << "the origin is asked each time";
  EXPECT_EQ(&child.Loop(), &parent.Loop());
  EXPECT_EQ(&child.Text(), &parent.Text());

  std::vector<std::int32_t> events;
  child.OnEvent = [&](std::int32_t id, std::string_view, std::span<const EventArg>) {
    events.push_back(id);
  };
  child.RaiseEvent(-600, "Click", {});
  EXPECT_EQ(events, (std::vector<std::int32_t>{-600}));
  EXPECT_TRUE(parent.Events.empty()) << "the child's events are the parent's business";
  child.ReportError(Error(ErrorCode::Overflow, "x"));
  ASSERT_EQ(parent.Errors.size(), 1u);
}

}  // namespace
}  // namespace borvane
