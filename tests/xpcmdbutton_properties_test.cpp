// The button's properties, defaults and stored settings.

#include <gtest/gtest.h>

#include "container/error.h"
#include "container/property_store.h"
#include "support/button_probe.h"
#include "support/fake_site.h"
#include "xpcmdbutton/xpcmdbutton.h"

namespace borvane {
namespace {

using testing::FakeSite;
using testing::ShownCell;
using Names = std::vector<std::string>;

class ButtonProperties : public ::testing::Test {
 protected:
  void Place() {
    button.InitProperties();
    button.Resize({41, 25});
    button.Show();
    site.Clear();
  }
  void Load(const PropertyStore& store) {
    button.ReadProperties(store);
    button.Resize({41, 25});
    button.Show();
  }
  FakeSite site;
  xpcmdbutton button{site};
};

TEST_F(ButtonProperties, ANewButtonTakesItsNameAndFontFromTheContainer) {
  site.DisplayName = "Command1";
  Place();
  EXPECT_EQ(button.State(), 0);
  EXPECT_TRUE(button.Enabled());
  EXPECT_EQ(button.Caption(), "Command1");
  EXPECT_EQ(button.Font(), site.AmbientFontObject) << "the very object, not a copy";
  EXPECT_EQ(button.CaptionLabel().Font(), site.AmbientFontObject);
  EXPECT_EQ(button.DrawingSurface().Font(), site.AmbientFontObject);
  EXPECT_EQ(ShownCell(button), 0);
  EXPECT_EQ(button.CaptionLabel().ForeColor(), Colour(0x00000000u));
}

TEST_F(ButtonProperties, CreationDrawsThePlainFaceInPixelsBeforeAnySetting) {
  EXPECT_EQ(button.DrawingSurface().ScaleMode(), Surface::kPixels);
  EXPECT_EQ(button.DrawingSurface().PixelSize(), (Size{113, 77}));
  EXPECT_EQ(ShownCell(button), 0);
  EXPECT_FALSE(button.Polling());
  EXPECT_TRUE(site.Events.empty());
}

TEST_F(ButtonProperties, EnabledRecoloursTheCaptionAndRedrawsAtOnce) {
  Place();
  button.SetEnabled(false);
  EXPECT_EQ(ShownCell(button), 2);
  EXPECT_EQ(button.CaptionLabel().ForeColor(), Colour(0x0092A1A1u));
  button.SetEnabled(true);
  EXPECT_EQ(ShownCell(button), 0);
  EXPECT_EQ(button.CaptionLabel().ForeColor(), Colour(0x00000000u));
  EXPECT_EQ(site.Changed, (Names{"Enabled", "Enabled"}));
}

TEST_F(ButtonProperties, StateShowsTheHighlightedFaceOnceEnabled) {
  Place();
  button.SetState(1);
  EXPECT_EQ(ShownCell(button), 4);
  button.SetEnabled(false);
  button.SetState(1);
  EXPECT_EQ(ShownCell(button), 2);
  button.SetEnabled(true);
  EXPECT_EQ(ShownCell(button), 4);
  EXPECT_EQ(site.Changed, (Names{"State", "Enabled", "State", "Enabled"}));
}

TEST_F(ButtonProperties, CaptionIsReportedChangedAfterTheLabelIsCentredAgain) {
  Place();
  float left_at_notice = -100;
  site.OnPropertyChanged = [&](std::string_view name) {
    if (name == "Caption") left_at_notice = button.CaptionLabel().Left();
  };
  button.SetCaption("ab");  // 17 wide
  EXPECT_EQ(left_at_notice, 12.0f);
  EXPECT_EQ(button.Caption(), "ab");
}

TEST_F(ButtonProperties, FontIsSharedAndReportedAfterTheRedraw) {
  Place();
  auto big = MakeFont("Arial", 18);
  button.SetFont(big);
  EXPECT_EQ(button.Font(), big);
  EXPECT_EQ(site.Changed, Names{"Font"});
  big->Size = 9;  // the button holds the object itself
  EXPECT_EQ(button.Font()->Size, 9.0);
  EXPECT_EQ(button.CaptionLabel().Font()->Size, 9.0);
}

TEST_F(ButtonProperties, LoadsTheStoredHighlightedState) {
  PropertyStore store;
  store.Write("State", 1, 0);
  Load(store);
  EXPECT_EQ(button.State(), 1);
  EXPECT_EQ(ShownCell(button), 4);
}

TEST_F(ButtonProperties, AStoredStateOfSevenLoadsButKeepsThePlainFace) {
  PropertyStore store;
  store.Write("State", 7, 0);
  Load(store);
  EXPECT_EQ(button.State(), 7);
  EXPECT_EQ(ShownCell(button), 0);
}

TEST_F(ButtonProperties, LowerCaseStoredNamesLoad) {
  const PropertyStore store = PropertyStore::FromText(
      "caption = \"查询\"\n"
      "font = Font(\"宋体\", 9)\n"
      "enabled = False\n"
      "_extentx = 1085\n"
      "_extenty = 661\n");
  Load(store);
  EXPECT_EQ(button.Caption(), "查询");
  EXPECT_EQ(button.Font()->Name, "宋体");
  EXPECT_FALSE(button.Enabled());
  EXPECT_TRUE(site.Errors.empty());
}

TEST_F(ButtonProperties, AStoredFontThatIsNotAFontFailsAfterTheEarlierSettings) {
  PropertyStore store;
  store.Write("State", 1, 0);
  store.Write("Enabled", false, true);
  store.Write("Caption", "查询", "");
  store.Write("Font", "Arial", "");
  button.ReadProperties(store);
  ASSERT_EQ(site.Errors.size(), 1u);
  EXPECT_EQ(site.Errors[0].Code(), ErrorCode::TypeMismatch);
  EXPECT_EQ(button.State(), 1);
  EXPECT_FALSE(button.Enabled());
  EXPECT_EQ(button.Caption(), "查询");
  EXPECT_EQ(button.Font(), nullptr) << "the font was never assigned";
  EXPECT_EQ(site.Changed, (Names{"Enabled", "Caption"}));
}

TEST_F(ButtonProperties, AButtonAtItsDefaultsStoresNothing) {
  Place();
  PropertyStore store;
  button.WriteProperties(store);
  EXPECT_TRUE(store.Entries().empty()) << store.ToText();
  FakeSite second_site;
  xpcmdbutton second(second_site);
  second.ReadProperties(store);
  EXPECT_EQ(second.Caption(), "xpcmdbutton1");
  EXPECT_EQ(second.Font(), second_site.AmbientFontObject);
  EXPECT_TRUE(second.Enabled());
  EXPECT_EQ(second.State(), 0);
}

TEST_F(ButtonProperties, SettingsSurviveStoringAsTextAndLoadingAgain) {
  Place();
  button.SetState(1);
  button.SetEnabled(false);
  button.SetCaption("设置 \"now\"");
  button.SetFont(MakeFont("Liberation Sans", 10.5, true));
  PropertyStore store;
  button.WriteProperties(store);
  EXPECT_EQ(store.Entries().size(), 4u);
  EXPECT_EQ(store.Entries()[0].Name, "State") << "stored in the order hosts read them";
  EXPECT_EQ(store.Entries()[3].Name, "Font");

  const PropertyStore back = PropertyStore::FromText(store.ToText());
  FakeSite second_site;
  xpcmdbutton second(second_site);
  second.ReadProperties(back);
  second.Resize({41, 25});
  EXPECT_EQ(second.State(), 1);
  EXPECT_FALSE(second.Enabled());
  EXPECT_EQ(second.Caption(), "设置 \"now\"");
  EXPECT_EQ(*second.Font(), *button.Font());
  EXPECT_EQ(ShownCell(second), 2);
  second.SetEnabled(true);
  EXPECT_EQ(ShownCell(second), 4);
}

}  // namespace
}  // namespace borvane
