// The group box's properties, stored settings, contained controls and the
// mouse events it passes on.

#include <gtest/gtest.h>

#include <map>

#include "container/error.h"
#include "container/property_store.h"
#include "support/fake_site.h"
#include "xpcmdbutton/xpcmdbutton.h"
#include "xpgroupbox/xpgroupbox.h"

namespace borvane {
namespace {

using testing::FakeSite;
using Names = std::vector<std::string>;

constexpr Pixel kLine = 0xFFBFD0D0u;

class GroupBox : public ::testing::Test {
 protected:
  void Place() {
    box.InitProperties();
    box.Resize({200, 89});
    box.Show();
    site.Clear();
  }
  // Records, for each changed setting, the redraw count and the surface's
  // background colour at the moment the container is told.
  void WatchNotifications() {
    site.OnPropertyChanged = [this](std::string_view name) {
      site.Changed.emplace_back(name);
      redraws_when_told[std::string(name)] = box.Redraws();
      back_when_told[std::string(name)] = box.DrawingSurface().BackColor();
    };
  }
  FakeSite site;
  xpgroupbox box{site};
  std::map<std::string, std::uint64_t> redraws_when_told;
  std::map<std::string, Colour> back_when_told;
};

TEST_F(GroupBox, CreationDrawsOnceInPixelsWithTheDesignTimeCaption) {
  EXPECT_EQ(box.Redraws(), 1u);
  EXPECT_EQ(box.DrawingSurface().ScaleMode(), Surface::kPixels);
  EXPECT_EQ(box.DrawingSurface().PixelSize(), (Size{200, 89}));
  EXPECT_EQ(box.Caption(), "Label1");
  EXPECT_EQ(box.BackColor(), Colour(0));
  EXPECT_EQ(box.Font(), nullptr);
  EXPECT_TRUE(site.Events.empty());
  EXPECT_TRUE(site.Errors.empty());
}

TEST_F(GroupBox, ANewInstanceTakesTheContainersNameAndFontOnYellow) {
  site.DisplayName = "xpgroupbox1";
  WatchNotifications();
  box.InitProperties();
  EXPECT_EQ(site.Changed, (Names{"Caption", "Enabled", "Font", "BackColor"}));
  EXPECT_EQ(box.Caption(), "xpgroupbox1");
  EXPECT_TRUE(box.Enabled());
  EXPECT_EQ(box.CaptionLabel().ForeColor(), Colour(0x00D54600u));
  EXPECT_EQ(box.BackColor(), Colour(0x0000FFFFu));
  EXPECT_EQ(box.CaptionLabel().BackColor(), Colour(0x0000FFFFu));
  EXPECT_EQ(box.DrawingSurface().BackColor(), Colour(0x0000FFFFu));
  EXPECT_EQ(box.Font(), site.AmbientFontObject) << "the very object";
  EXPECT_EQ(box.CaptionLabel().Font(), site.AmbientFontObject);
  EXPECT_EQ(box.DrawingSurface().Font(), site.AmbientFontObject);
}

TEST_F(GroupBox, EnabledRecoloursTheCaptionWithoutRedrawingTheFrame) {
  Place();
  const Image before = box.DrawingSurface().Pixels();
  const auto redraws = box.Redraws();
  box.SetEnabled(false);
  EXPECT_FALSE(box.Enabled());
  EXPECT_EQ(box.CaptionLabel().ForeColor(), Colour(0x0092A1A1u));
  EXPECT_EQ(box.Redraws(), redraws);
  EXPECT_EQ(box.DrawingSurface().Pixels(), before);
  box.SetEnabled(true);
  EXPECT_EQ(box.CaptionLabel().ForeColor(), Colour(0x00D54600u));
  EXPECT_EQ(site.Changed, (Names{"Enabled", "Enabled"}));
}

TEST_F(GroupBox, CaptionRedrawsTwiceAndIsReportedAfterward) {
  Place();
  WatchNotifications();
  const auto redraws = box.Redraws();
  box.SetCaption("Time");
  EXPECT_EQ(redraws_when_told.at("Caption"), redraws + 2);
  EXPECT_EQ(box.Redraws(), redraws + 2);
  EXPECT_EQ(box.Caption(), "Time");
  EXPECT_EQ(box.CaptionLabel().Width(), 4 * 6 + 5.0f) << "the label sized itself";
}

TEST_F(GroupBox, BackColorIsReportedBeforeTheSurfaceTakesIt) {
  Place();
  WatchNotifications();
  const auto redraws = box.Redraws();
  box.SetBackColor(Colour(0x00C0FFFFu));
  EXPECT_EQ(back_when_told.at("BackColor"), Colour(0x0000FFFFu));
  EXPECT_EQ(redraws_when_told.at("BackColor"), redraws);
  EXPECT_EQ(box.Redraws(), redraws + 1);
  EXPECT_EQ(box.DrawingSurface().BackColor(), Colour(0x00C0FFFFu));
  EXPECT_EQ(box.CaptionLabel().BackColor(), Colour(0x00C0FFFFu));
}

TEST_F(GroupBox, TheFontIsSharedSoAnInPlaceChangeReachesTheCaptionWithoutARedraw) {
  Place();
  WatchNotifications();
  const FontRef font = MakeFont("Tahoma", 18);
  const auto redraws = box.Redraws();
  box.SetFont(font);
  EXPECT_EQ(redraws_when_told.at("Font"), redraws + 1) << "redrawn, then reported";
  EXPECT_EQ(box.Font(), font);
  EXPECT_EQ(box.CaptionLabel().Height(), 26.0f);
  EXPECT_EQ(box.DrawingSurface().At(100, 13), kLine) << "t follows the new caption height";

  const Image before = box.DrawingSurface().Pixels();
  font->Size = 9;
  EXPECT_EQ(box.CaptionLabel().Font()->Size, 9);
  EXPECT_EQ(box.DrawingSurface().Font()->Size, 9);
  EXPECT_EQ(box.Redraws(), redraws + 1);
  EXPECT_EQ(box.DrawingSurface().Pixels(), before);
}

TEST_F(GroupBox, MouseOverTheCaptionKeepsTheCaptionsOwnCoordinates) {
  Place();
  box.MouseDown(1, 2, 15 + 5, 0 + 4);
  box.MouseMove(1, 2, 15 + 6, 0 + 4);
  box.MouseUp(1, 2, 15 + 6, 0 + 5);
  ASSERT_EQ(site.EventNames(), (Names{"MouseDown", "MouseMove", "MouseUp", "Click"}));
  EXPECT_EQ(site.Events[0].Id, -605);
  EXPECT_EQ(site.Events[0].Args, (std::vector<double>{1, 2, 5, 4}));
  EXPECT_EQ(site.Events[1].Id, -606);
  EXPECT_EQ(site.Events[1].Args, (std::vector<double>{1, 2, 6, 4}));
  EXPECT_EQ(site.Events[2].Id, -607);
  EXPECT_EQ(site.Events[2].Args, (std::vector<double>{1, 2, 6, 5}));
  EXPECT_EQ(site.Events[3].Id, -600);
  site.Clear();
  box.DblClickAt(20, 4);
  ASSERT_EQ(site.EventNames(), (Names{"DblClick"}));
  EXPECT_EQ(site.Events[0].Id, -601);
}

TEST_F(GroupBox, MouseOnTheFrameIsPassedOnButNeverClicks) {
  Place();
  box.MouseDown(2, 1, 100, 50);
  box.MouseMove(2, 1, 101, 50);
  box.MouseUp(2, 1, 101, 51);
  box.DblClickAt(101, 51);
  ASSERT_EQ(site.EventNames(), (Names{"MouseDown", "MouseMove", "MouseUp"}));
  EXPECT_EQ(site.Events[0].Args, (std::vector<double>{2, 1, 100, 50}));
  EXPECT_EQ(site.Events[2].Args, (std::vector<double>{2, 1, 101, 51}));
}

TEST_F(GroupBox, ContainedControlsDrawAboveTheFrameAndTakeTheirOwnInput) {
  Place();
  Label note;
  note.SetBounds({-1, 30, 20, 10});  // over the left edge
  note.SetBackColor(Colour(0x000000FFu));
  std::vector<float> note_presses;
  note.OnMouseDown = [&](std::int16_t&, std::int16_t&, float& x, float& y) {
    note_presses = {x, y};
  };
  box.Contain(note);

  FakeSite button_site;
  xpcmdbutton button(button_site);
  button.InitProperties();
  button.SetPosition({60, 40});
  button.Resize({41, 25});
  box.Contain(button);
  button_site.Clear();

  box.SetBackColor(Colour(0x00C0FFFFu));  // a redraw leaves them alone
  const Image frame = box.Compose();
  EXPECT_EQ(frame.At(0, 35), 0xFF0000FFu) << "above the left edge";
  EXPECT_EQ(frame.At(0, 45), kLine);
  EXPECT_EQ(frame.At(60, 40), button.Compose().At(0, 0));
  EXPECT_EQ(note.Left(), -1.0f);

  box.MouseDown(1, 0, 3, 32);
  EXPECT_EQ(note_presses, (std::vector<float>{4, 2}));
  box.MouseUp(1, 0, 3, 32);
  box.MouseDown(1, 0, 62, 43);
  box.MouseUp(1, 0, 62, 43);
  EXPECT_TRUE(site.Events.empty()) << "the group box raised nothing";
  ASSERT_EQ(button_site.EventNames(), (Names{"MouseDown", "MouseUp", "Click"}));
  EXPECT_EQ(button_site.Events[0].Args, (std::vector<double>{1, 0, 2, 3}));
}

TEST_F(GroupBox, ADisabledBoxPassesNoInputToItselfOrWhatItHolds) {
  Place();
  FakeSite button_site;
  xpcmdbutton button(button_site);
  button.InitProperties();
  button.SetPosition({60, 40});
  button.Resize({41, 25});
  box.Contain(button);
  box.SetEnabled(false);
  site.Clear();
  button_site.Clear();

  for (const float x : {62.0f, 101.0f}) {  // on the button, on the frame
    box.MouseMove(0, 0, x, 43);
    box.MouseDown(1, 0, x, 43);
    box.MouseUp(1, 0, x, 43);
    box.DblClickAt(x, 43);
  }
  EXPECT_TRUE(site.Events.empty());
  EXPECT_TRUE(button_site.Events.empty());
  EXPECT_EQ(box.CaptionLabel().ForeColor(), xpgroupbox::kDisabledCaption);
}

TEST_F(GroupBox, LowerCaseStoredNamesLoadAndEnabledDefaultsToTrue) {
  const PropertyStore store = PropertyStore::FromText(
      "caption = \" = Time = \"\n"
      "font = Font(\"Arial\", 8.25)\n"
      "backcolor = 12648447\n");
  WatchNotifications();
  box.ReadProperties(store);
  EXPECT_TRUE(site.Errors.empty());
  EXPECT_EQ(site.Changed, (Names{"Enabled", "Font", "BackColor", "Caption"}));
  EXPECT_EQ(box.Caption(), " = Time = ");
  EXPECT_EQ(box.Font()->Size, 8.25);
  EXPECT_EQ(box.BackColor(), Colour(0x00C0FFFFu));
  EXPECT_TRUE(box.Enabled());
  EXPECT_EQ(box.CaptionLabel().ForeColor(), Colour(0x00D54600u));
}

TEST_F(GroupBox, SavingLeavesOutDefaultsAndKeepsTheRest) {
  Place();
  PropertyStore defaults;
  box.WriteProperties(defaults);
  EXPECT_FALSE(defaults.Contains("Caption"));
  EXPECT_FALSE(defaults.Contains("Enabled"));
  EXPECT_FALSE(defaults.Contains("BackColor"));
  EXPECT_FALSE(defaults.Contains("Font")) << "same attributes as the ambient font";

  box.SetCaption("Clock");
  box.SetEnabled(false);
  box.SetFont(MakeFont("Tahoma", 12));
  box.SetBackColor(colours::kButtonFace);  // a system colour: top bit set
  PropertyStore saved;
  box.WriteProperties(saved);
  ASSERT_EQ(saved.Entries().size(), 4u);
  EXPECT_EQ(saved.Entries()[0].Name, "Caption");
  EXPECT_EQ(saved.Entries()[1].Name, "Enabled");
  EXPECT_EQ(saved.Entries()[2].Name, "Font");
  EXPECT_EQ(saved.Entries()[3].Name, "BackColor");

  FakeSite other_site;
  xpgroupbox loaded(other_site);
  loaded.ReadProperties(PropertyStore::FromText(saved.ToText()));
  EXPECT_TRUE(other_site.Errors.empty());
  EXPECT_EQ(loaded.Caption(), "Clock");
  EXPECT_FALSE(loaded.Enabled());
  EXPECT_EQ(loaded.Font()->Name, "Tahoma");
  EXPECT_EQ(loaded.BackColor(), colours::kButtonFace);
}

TEST_F(GroupBox, AStoredFontThatIsNoFontStopsTheLoadBeforeBackColor) {
  const PropertyStore store = PropertyStore::FromText(
      "Enabled = False\n"
      "Font = \"Arial\"\n"
      "BackColor = 255\n"
      "Caption = \"Never\"\n");
  box.ReadProperties(store);
  ASSERT_EQ(site.Errors.size(), 1u);
  EXPECT_EQ(site.Errors[0].Code(), ErrorCode::TypeMismatch);
  EXPECT_FALSE(box.Enabled()) << "set before the failing step";
  EXPECT_EQ(box.Font(), nullptr);
  EXPECT_EQ(box.BackColor(), Colour(0));
  EXPECT_EQ(box.Caption(), "Label1");
}

}  // namespace
}  // namespace borvane
