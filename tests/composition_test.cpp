// Labels on a control: auto-size, drawing above the surface, and mouse
// routing to the constituent under the pointer.

#include <gtest/gtest.h>

#include "container/label.h"
#include "container/user_control.h"
#include "support/fake_site.h"

namespace borvane {
namespace {

using testing::FakeSite;

// A control with one label, recording what reaches its own handlers.
class Panel final : public UserControl {
 public:
  explicit Panel(Site& site, std::int16_t unit = Surface::kPixels) : UserControl(site, {40, 20}) {
    Canvas().SetScaleMode(unit);
    Canvas().SetBackColor(Colour(0x00FFFFFFu));
    Canvas().Cls();
    caption.SetTextEngine(&site.Text());
    caption.SetFont(MakeFont("Arial", 9));
    caption.SetAutoSize(true);
    caption.SetTransparent(false);
    caption.SetBackColor(Colour(0x0000FFFFu));
    caption.SetForeColor(Colour(0x000000FFu));
    caption.SetLeft(10);
    caption.SetTop(4);
    caption.OnMouseDown = [this](std::int16_t&, std::int16_t&, float& x, float& y) {
      log.push_back("lbl down " + std::to_string(int(x)) + "," + std::to_string(int(y)));
    };
    caption.OnMouseMove = [this](std::int16_t&, std::int16_t&, float&, float&) {
      log.push_back("lbl move");
    };
    caption.OnMouseUp = [this](std::int16_t&, std::int16_t&, float&, float&) {
      log.push_back("lbl up");
    };
    caption.OnClick = [this] { log.push_back("lbl click"); };
    AddConstituent(caption);
  }

  // Places a contained control above the label.
  void Hold(Constituent& child) { AddConstituent(child); }

  Label caption;
  std::vector<std::string> log;

 private:
  void UserControl_MouseDown(std::int16_t&, std::int16_t&, float& x, float& y) override {
    log.push_back("own down " + std::to_string(int(x)) + "," + std::to_string(int(y)));
  }
  void UserControl_MouseMove(std::int16_t&, std::int16_t&, float& x, float&) override {
    log.push_back("own move " + std::to_string(int(x)));
  }
  void UserControl_MouseUp(std::int16_t&, std::int16_t&, float&, float&) override {
    log.push_back("own up");
  }
  void UserControl_Click() override { log.push_back("own click"); }
  void UserControl_KeyPress(std::int16_t&) override { throw Error(ErrorCode::Overflow, "boom"); }
};

TEST(LabelAutoSize, TakesTheMeasuredSizeBeforeReportingTheChange) {
  FakeSite site;
  Label label;
  label.SetTextEngine(&site.Text());
  label.SetFont(MakeFont("Arial", 9));
  label.SetAutoSize(true);
  float width_seen = -1;
  label.OnChange = [&] { width_seen = label.Width(); };
  label.SetCaption("abcd");
  EXPECT_EQ(width_seen, 29.0f) << "4 × 6 + 5";
  EXPECT_EQ(label.Height(), 13.0f);
  label.SetFont(MakeFont("Arial", 18));
  EXPECT_EQ(label.Width(), 53.0f);
  EXPECT_EQ(label.Height(), 26.0f);
  width_seen = -1;
  label.SetCaption("abcd");
  EXPECT_EQ(width_seen, -1.0f) << "the same text is no change";
}

TEST(LabelAutoSize, FixedSizeLabelsKeepTheirBox) {
  FakeSite site;
  Label label;
  label.SetTextEngine(&site.Text());
  label.SetBounds({1, 2, 63, 14});
  label.SetCaption("a much longer caption");
  EXPECT_EQ(label.Width(), 63.0f);
}

TEST(Composition, DrawsShownLabelsAboveTheSurface) {
  FakeSite site;
  Panel panel(site);
  panel.caption.SetCaption("ab");  // 17 × 13 at (10, 4)
  Image frame = panel.Compose();
  EXPECT_EQ(frame.At(0, 0), 0xFFFFFFFFu) << "surface";
  EXPECT_EQ(frame.At(10, 4), 0xFF00FFFFu) << "label background";
  EXPECT_EQ(frame.At(11, 5), 0xFF0000FFu) << "first glyph box";
  EXPECT_EQ(frame.At(26, 16), 0xFF00FFFFu);
  EXPECT_EQ(frame.At(27, 4), 0xFFFFFFFFu) << "right of the label";
  EXPECT_EQ(panel.DrawingSurface().At(10, 4), 0xFFFFFFFFu) << "the surface itself is untouched";
  panel.caption.SetVisible(false);
  EXPECT_EQ(panel.Compose().At(10, 4), 0xFFFFFFFFu);
}

TEST(Composition, RoutesMouseToTheLabelUnderThePointerInItsOwnPixels) {
  FakeSite site;
  Panel panel(site);
  panel.caption.SetCaption("ab");
  panel.MouseMove(0, 0, 12, 6);
  panel.MouseMove(0, 0, 30, 6);
  panel.MouseDown(1, 0, 15, 9);
  panel.MouseUp(1, 0, 15, 9);
  EXPECT_EQ(panel.log, (std::vector<std::string>{"lbl move", "own move 30", "lbl down 5,5",
                                                 "lbl up", "lbl click"}));
}

TEST(Composition, APressCapturesTheMouseAndOnlyAReleaseOverTheSameTargetClicks) {
  FakeSite site;
  Panel panel(site);
  panel.caption.SetCaption("ab");
  panel.MouseDown(1, 0, 2, 2);
  panel.MouseMove(1, 0, 12, 6);  // over the label, but the surface holds the mouse
  panel.MouseUp(1, 0, 12, 6);    // released over the label: no click
  panel.MouseDown(1, 0, 2, 2);
  panel.MouseUp(1, 0, 50, 2);  // released outside: no click
  panel.MouseDown(1, 0, 2, 2);
  panel.MouseUp(1, 0, 3, 3);
  EXPECT_EQ(panel.log, (std::vector<std::string>{"own down 2,2", "own move 12", "own up",
                                                 "own down 2,2", "own up", "own down 2,2",
                                                 "own up", "own click"}));
}

TEST(Composition, AContainedControlIsClickedOnceByItsOwnRelease) {
  FakeSite site;
  Panel outer(site);
  Panel inner(site);
  inner.caption.SetVisible(false);
  inner.SetPosition({20, 0});
  outer.Hold(inner);
  outer.MouseDown(1, 0, 22, 3);
  outer.MouseUp(1, 0, 23, 3);
  EXPECT_EQ(inner.log, (std::vector<std::string>{"own down 2,3", "own up", "own click"}));
  EXPECT_TRUE(outer.log.empty());
}

TEST(Composition, OwnHandlersTakeTheSurfaceUnit) {
  FakeSite site;
  Panel panel(site, Surface::kTwips);
  panel.caption.SetVisible(false);
  panel.MouseMove(0, 0, 2, 1);
  EXPECT_EQ(panel.log, (std::vector<std::string>{"own move 30"}));
}

TEST(Composition, AnErrorLeavingANotificationGoesToTheSite) {
  FakeSite site;
  Panel panel(site);
  panel.KeyPress(65);
  ASSERT_EQ(site.Errors.size(), 1u);
  EXPECT_EQ(site.Errors[0].Code(), ErrorCode::Overflow);
}

}  // namespace
}  // namespace borvane
