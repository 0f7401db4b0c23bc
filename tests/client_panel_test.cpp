// The time panel as built from its design data: every part in its place,
// clicks through the container reaching the handlers, creation, resizing,
// tooltips, keyboard focus, and its picture in the regions that do not
// depend on fonts.

#include <gtest/gtest.h>

#include <functional>

#include "client/panel_texts.h"
#include "container/error.h"
#include "platform/gtk/pango_text_engine.h"
#include "support/answers.h"

// Fontconfig keeps its font cache for the life of the process; the leak
// checker of sanitizer builds would report it as ours.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig\n"; }

namespace borvane::testing {
namespace {

struct Placed {
  const char* Name;
  std::function<Rect(const client&)> Where;
  Rect Expected;  // pixels, relative to the group box
};

TEST(PanelDesign, PutsEveryPartAtItsStoredPosition) {
  ClientRig rig;
  const client& c = rig.panel;
  const Placed rows[] = {
      {"Label4", [](const client& p) { return p.Label4.PixelRect(); }, {24, 32, 57, 25}},
      {"Label1", [](const client& p) { return p.Label1.PixelRect(); }, {96, 32, 177, 25}},
      {"LabelMsS", [](const client& p) { return p.LabelMsS.PixelRect(); }, {256, 32, 33, 25}},
      {"Command1", [](const client& p) { return p.Command1.PixelRect(); }, {296, 32, 41, 25}},
      {"Label8", [](const client& p) { return p.Label8.PixelRect(); }, {24, 80, 57, 25}},
      {"Localtime", [](const client& p) { return p.Localtime.PixelRect(); }, {96, 80, 177, 25}},
      {"LabelMsL", [](const client& p) { return p.LabelMsL.PixelRect(); }, {256, 80, 33, 25}},
      {"Command2", [](const client& p) { return p.Command2.PixelRect(); }, {296, 80, 41, 25}},
      {"CheckDisplayMs", [](const client& p) { return p.CheckDisplayMs.PixelRect(); }, {200, 112, 13, 13}},
      {"Label5", [](const client& p) { return p.Label5.PixelRect(); }, {217, 112, 60, 13}},
      {"Checkperhour", [](const client& p) { return p.Checkperhour.PixelRect(); }, {272, 113, 13, 13}},
      {"radiotext", [](const client& p) { return p.radiotext.PixelRect(); }, {289, 112, 60, 13}},
      {"Line1", [](const client& p) { return p.Line1.PixelRect(); }, {0, 128, 353, 1}},
      {"Label2", [](const client& p) { return p.Label2.PixelRect(); }, {24, 136, 249, 17}},
      {"Label3", [](const client& p) { return p.Label3.PixelRect(); }, {307, 148, 40, 17}},
  };
  for (const Placed& row : rows) EXPECT_EQ(row.Where(c), row.Expected) << row.Name;
  EXPECT_EQ(c.PixelRect(), (Rect{0, 0, 353, 167}));
  EXPECT_EQ(c.xpgroupbox1.PixelRect(), (Rect{0, 0, 353, 161}));
}

TEST(PanelDesign, GivesEachPartItsStoredTextsColoursAndFonts) {
  ClientRig rig;
  const client& c = rig.panel;
  EXPECT_EQ(c.xpgroupbox1.Caption(), " = Borvane Time Service   Nolvera  [time.example] = ");
  EXPECT_EQ(c.xpgroupbox1.BackColor(), Colour(0xC0FFFF));
  EXPECT_EQ(*c.xpgroupbox1.Font(), *MakeFont("Arial", 8.25));
  EXPECT_EQ(c.Command1.Caption(), "查询");
  EXPECT_EQ(c.Command2.Caption(), "校准");
  EXPECT_EQ(*c.Command1.Font(), *MakeFont("MS Sans Serif", 8.25));
  EXPECT_EQ(c.Label4.Caption(), "北京时间 GMT+8:00");
  EXPECT_EQ(c.Label8.Caption(), "本机时间  Borvane");
  EXPECT_EQ(c.Label5.Caption(), "显示毫秒");
  EXPECT_EQ(c.radiotext.Caption(), "每小时校准");
  EXPECT_EQ(c.Label3.Caption(), "V1.3.0.7");
  EXPECT_EQ(c.Label3.ForeColor(), Colour(0x80));
  EXPECT_EQ(c.Label2.ForeColor(), Colour(0x8080));
  EXPECT_EQ(*c.Label2.Font(), *MakeFont("MS Sans Serif", 8.25, true));
  EXPECT_EQ(*c.Label1.Font(), *MakeFont("Arial", 12, true));
  EXPECT_TRUE(c.Label1.Transparent());
  EXPECT_FALSE(c.LabelMsS.Transparent());
  EXPECT_FALSE(c.Label5.Transparent());
  EXPECT_EQ(c.Label4.Font(), c.Label8.Font()) << "labels without a font share the panel's";
  EXPECT_EQ(c.Line1.BorderColor(), Colour(0xC0C0C0));
  EXPECT_EQ(c.CheckDisplayMs.Value(), 0);
  EXPECT_EQ(c.Checkperhour.Value(), 1);
  EXPECT_EQ(c.CheckDisplayMs.BackColor(), colours::kButtonFace);
  EXPECT_EQ(c.Checkperhour.BackColor(), Colour(0xC0FFFF));
  EXPECT_EQ(c.Checkperhour.ToolTipText(), "点选后不要关闭浏览器程序每小时子动校准");
  EXPECT_TRUE(rig.site.Errors.empty());
}

TEST(PanelCreation, RunsOneQueryAndNoTickBeforeOneIsAccepted) {
  ClientRig rig;
  rig.transfer.PushError("connection refused");
  rig.panel.Initialize();
  ASSERT_EQ(rig.site.Errors.size(), 1u) << "the creation error goes to the container";
  EXPECT_EQ(rig.site.Errors[0].Code(), ErrorCode::TransferFailed);
  EXPECT_EQ(rig.transfer.Urls.size(), 1u);
  EXPECT_EQ(rig.loop.ActiveTimers(), 0u);
  rig.loop.Advance(5000);
  EXPECT_EQ(rig.panel.sysTimer.Tag(), "") << "no tick has run";
  EXPECT_EQ(rig.panel.MousePointer(), 0);

  ClientRig accepted;
  std::vector<std::int16_t> pointers;
  accepted.site.OnMousePointer = [&](std::int16_t p) { pointers.push_back(p); };
  accepted.ScriptRoundTrip("2005-04-27 15:32:08.400", 0);
  accepted.panel.Initialize();
  EXPECT_EQ(accepted.transfer.Urls.size(), 1u);
  EXPECT_EQ(accepted.panel.sysTimer.Tag(), "1929");
  EXPECT_EQ(accepted.loop.ActiveTimers(), 1u) << "the second timer";
  EXPECT_EQ(pointers, (std::vector<std::int16_t>{11, 0})) << "busy while asking, then default";
}

// A press and release at a point of the panel, in its pixels.
void ClickAt(client& panel, float x, float y) {
  panel.MouseDown(1, 0, x, y);
  panel.MouseUp(1, 0, x, y);
}

TEST(PanelClicks, TheMillisecondBoxShowsAndHidesBothLabelsTogether) {
  ClientRig rig;
  client& c = rig.panel;
  ClickAt(c, 206, 118);
  EXPECT_EQ(c.CheckDisplayMs.Value(), 1);
  EXPECT_TRUE(c.LabelMsS.Visible());
  EXPECT_TRUE(c.LabelMsL.Visible());
  ClickAt(c, 206, 118);
  EXPECT_FALSE(c.LabelMsS.Visible());
  EXPECT_FALSE(c.LabelMsL.Visible());
  ClickAt(c, 206, 118);
  c.CheckDisplayMs.SetValue(2);  // greyed reads as not ticked
  c.CheckDisplayMs_Click();
  EXPECT_FALSE(c.LabelMsS.Visible());
  EXPECT_FALSE(c.LabelMsL.Visible());
  ClickAt(c, 278, 119);
  EXPECT_EQ(c.Checkperhour.Value(), 0) << "the hourly box unticks";
  EXPECT_FALSE(c.LabelMsS.Visible()) << "and leaves the millisecond labels alone";
}

TEST(PanelClicks, TheQueryButtonReplacesAnEarlierResultAndRestartsTheCount) {
  ClientRig rig;
  client& c = rig.panel;
  rig.ScriptRoundTrip("2005-04-27 15:32:08.400", 0);
  c.Initialize();
  rig.loop.Advance(3000);
  EXPECT_EQ(c.sysTimer.Tag(), "1932");

  rig.ScriptRoundTrip("2005-04-27 15:40:00.600", 0);
  ClickAt(c, 316, 44);
  EXPECT_EQ(rig.transfer.Urls.size(), 2u);
  EXPECT_EQ(c.Label1.Caption(), "2005-04-27 15:40:00");
  EXPECT_EQ(c.LabelMsS.Caption(), ".600");
  EXPECT_EQ(c.sysTimer.Tag(), "2401");

  // A failing click leaves its error with the container, not with the caller.
  rig.transfer.PushError("timed out");
  ClickAt(c, 316, 44);
  ASSERT_EQ(rig.site.Errors.size(), 1u);
  EXPECT_EQ(c.Label1.Caption(), "2005-04-27 15:40:00") << "nothing shown is undone";
}

TEST(PanelClicks, TheSetClockButtonQueriesAndSetsTheClock) {
  ClientRig rig;
  rig.ScriptRoundTrip("2005-04-27 15:32:08.400", 0);
  ClickAt(rig.panel, 316, 92);
  ASSERT_EQ(rig.clock.Settings.size(), 1u);
  EXPECT_EQ(rig.panel.Label2.Caption(), "[ 校准系统时间成功！感谢使用！]");
}

TEST(PanelLayout, PartsKeepTheirPlacesWhenTheHostResizesThePanel) {
  ClientRig rig;
  client& c = rig.panel;
  const Rect label1 = c.Label1.PixelRect();
  const Rect command2 = c.Command2.PixelRect();
  const Rect box = c.xpgroupbox1.PixelRect();
  for (const Size size : {Size{600, 400}, Size{100, 50}}) {
    c.Resize(size);
    EXPECT_EQ(c.Label1.PixelRect(), label1);
    EXPECT_EQ(c.Command2.PixelRect(), command2);
    EXPECT_EQ(c.xpgroupbox1.PixelRect(), box);
  }
}

TEST(PanelHelp, ShowsTheTooltipOfThePartUnderThePointer) {
  ClientRig rig;
  const client& c = rig.panel;
  EXPECT_EQ(c.ToolTipAt(206, 118), "显示毫秒");
  EXPECT_EQ(c.ToolTipAt(230, 118), "显示毫秒");
  EXPECT_EQ(c.ToolTipAt(278, 119), "点选后不要关闭浏览器程序每小时子动校准");
  EXPECT_EQ(c.ToolTipAt(300, 118), "点选后不要关闭浏览器程序每小时子动校准");
  EXPECT_EQ(c.ToolTipAt(320, 155), "Vostrel");
  EXPECT_EQ(c.ToolTipAt(316, 44), "");
}

TEST(PanelKeyboard, TabMovesThroughButtonsAndBoxesInTabOrderAndSpaceTicks) {
  ClientRig rig;
  client& c = rig.panel;
  std::vector<const Constituent*> order;
  while (c.MoveFocus(false)) order.push_back(c.FocusedPart());
  EXPECT_EQ(order, (std::vector<const Constituent*>{&c.Command1, &c.Command2, &c.Checkperhour,
                                                    &c.CheckDisplayMs}));
  EXPECT_EQ(c.FocusedPart(), nullptr) << "past the last part the focus leaves the panel";
  c.MoveFocus(true);
  EXPECT_EQ(c.FocusedPart(), &c.CheckDisplayMs);
  EXPECT_TRUE(c.CheckDisplayMs.HasFocus());
  c.KeyPress(' ');
  EXPECT_TRUE(c.LabelMsS.Visible());
  c.MoveFocus(true);
  c.MoveFocus(true);
  EXPECT_EQ(c.FocusedPart(), &c.Command2);
  EXPECT_FALSE(c.CheckDisplayMs.HasFocus());
  c.KeyPress(' ');
  EXPECT_TRUE(rig.transfer.Urls.empty()) << "keys on a button click nothing";
}

// The frames drawn with the fixed test metrics and with the real text
// engine agree wherever no text lies: frame, button outlines, check boxes,
// the line and the backgrounds.
TEST(PanelPicture, MatchesInEveryRegionThatDoesNotDependOnFonts) {
  ClientRig fixed;
  PangoTextEngine pango_engine;
  FakeClock clock;
  ScriptedTransfer transfer;
  ManualEventLoop loop;
  FixedCursor cursor;
  BasicSite pango_site(pango_engine, loop, cursor);
  client real(pango_site, ClientServices{clock, transfer, "http://time.example:8080"});

  const Image a = fixed.panel.Compose();
  const Image b = real.Compose();
  ASSERT_EQ(a.GetSize(), (Size{353, 167}));
  ASSERT_EQ(b.GetSize(), a.GetSize());
  const Rect regions[] = {
      {0, 30, 3, 131},     // the frame's left edge
      {350, 30, 3, 131},   // right edge
      {0, 157, 300, 4},    // bottom edge, left of the version text
      {0, 161, 300, 6},    // the panel below the group box
      {3, 60, 20, 60},     // group box background left of the labels
      {0, 128, 353, 1},    // the line
      {200, 112, 13, 13},  // CheckDisplayMs
      {272, 113, 13, 13},  // Checkperhour
      {296, 32, 41, 2},    // Command1's top outline
      {296, 55, 41, 2},    // and bottom
      {296, 32, 2, 25},    // and sides
      {335, 32, 2, 25},
      {296, 80, 41, 2},    // Command2's top outline
      {296, 103, 41, 2},
  };
  for (const Rect& r : regions) {
    for (std::int32_t y = r.Y; y < r.Bottom(); ++y) {
      for (std::int32_t x = r.X; x < r.Right(); ++x) {
        ASSERT_EQ(a.At(x, y), b.At(x, y)) << "at " << x << "," << y;
      }
    }
  }
  // And the colours are the panel's own.
  EXPECT_EQ(a.At(100, 128), 0xFFC0C0C0u) << "silver line";
  EXPECT_EQ(a.At(10, 70), 0xFFC0FFFFu) << "light yellow group box";
  EXPECT_EQ(a.At(100, 164), 0xFFFFFFFFu) << "window background below it";
  EXPECT_EQ(a.At(272 + 5, 113 + 8), 0xFF222222u) << "Checkperhour is ticked";
  EXPECT_EQ(a.At(200 + 5, 112 + 8), 0xFFFFFFFFu) << "CheckDisplayMs is not";
  EXPECT_NE(a.At(0, 100), 0xFFC0FFFFu) << "the frame is drawn at the left edge";
  EXPECT_NE(a.At(100, 160), 0xFFC0FFFFu) << "and at the bottom";
  EXPECT_EQ(a, fixed.panel.Compose()) << "composing changes nothing";
}

}  // namespace
}  // namespace borvane::testing
