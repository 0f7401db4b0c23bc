// The button following the mouse and keys: faces, events and the polling
// that detects the cursor leaving.

#include <gtest/gtest.h>

#include "support/button_probe.h"
#include "support/fake_site.h"
#include "xpcmdbutton/xpcmdbutton.h"

namespace borvane {
namespace {

using testing::FakeSite;
using testing::SetInt16;
using testing::ShownCell;
using Names = std::vector<std::string>;

// A placed 41 × 25 button with the caption "abcd" (29 × 13 at 6, 6).
class ButtonInteraction : public ::testing::Test {
 protected:
  ButtonInteraction() {
    site.DisplayName = "abcd";
    button.InitProperties();
    button.Resize({41, 25});
    button.Show();
    site.Clear();
  }
  FakeSite site;
  xpcmdbutton button{site};
};

TEST_F(ButtonInteraction, AMoveOnTheFarEdgeCountsAsInsideAndShowsTheHotFace) {
  button.MouseMove(0, 0, 41, 25);
  ASSERT_EQ(site.EventNames(), Names{"MouseMove"});
  EXPECT_EQ(site.Events[0].Id, dispid::kMouseMove);
  EXPECT_EQ(site.Events[0].Args, (std::vector<double>{0, 0, 41, 25}));
  EXPECT_EQ(ShownCell(button), 3);
  EXPECT_TRUE(button.Polling());
}

TEST_F(ButtonInteraction, AMoveOutsideRaisesNothingButStartsPolling) {
  const Image before = button.DrawingSurface().Pixels();
  button.MouseMove(0, 0, -1, 10);
  EXPECT_TRUE(site.Events.empty());
  EXPECT_EQ(button.DrawingSurface().Pixels(), before);
  EXPECT_TRUE(button.Polling());
  site.Pointer.Position = {-1, 10};
  site.Clock.Advance(10);
  EXPECT_EQ(site.EventNames(), Names{"MouseOut"});
}

TEST_F(ButtonInteraction, PollingKeepsGoingAtTheFarColumnAndStopsOnePixelBeyond) {
  button.MouseMove(0, 0, 20, 12);
  site.Clear();
  site.Pointer.Position = {41, 25};
  site.Clock.Advance(50);
  EXPECT_TRUE(site.Events.empty());
  EXPECT_EQ(ShownCell(button), 3);
  EXPECT_EQ(site.Pointer.Queries, 5) << "one cursor query per 10 ms";
  site.Pointer.Position = {42, 10};
  site.Clock.Advance(10);
  EXPECT_EQ(site.EventNames(), Names{"MouseOut"});
  EXPECT_EQ(site.Events[0].Id, xpcmdbutton::kMouseOut);
  EXPECT_EQ(ShownCell(button), 0);
  EXPECT_FALSE(button.Polling());
  site.Clock.Advance(100);
  EXPECT_EQ(site.Count("MouseOut"), 1) << "once per polling run";
  EXPECT_EQ(site.Clock.ActiveTimers(), 0u);
}

TEST_F(ButtonInteraction, PollingChecksAboveAndLeftToo) {
  for (Point outside : {Point{-1, 0}, Point{0, -1}, Point{5, 26}}) {
    button.MouseMove(0, 0, 20, 12);
    site.Pointer.Position = outside;
    site.Clock.Advance(10);
  }
  EXPECT_EQ(site.Count("MouseOut"), 3);
}

TEST_F(ButtonInteraction, AHostHandlerCanChangeTheButtonByReference) {
  site.Handlers[dispid::kMouseMove] = [](std::span<const EventArg> args) {
    SetInt16(args[0], 1);
  };
  button.MouseMove(0, 0, 2, 2);
  EXPECT_EQ(ShownCell(button), 1) << "told it is a left-button drag";
  site.Handlers[dispid::kMouseMove] = [](std::span<const EventArg> args) {
    SetInt16(args[0], 0);
  };
  button.MouseMove(1, 0, 2, 2);
  EXPECT_EQ(ShownCell(button), 3) << "told no button is held";
}

TEST_F(ButtonInteraction, OnlyTheLeftButtonAloneShowsThePressedFaceOnAMove) {
  button.MouseDown(2, 0, 3, 3);
  EXPECT_EQ(ShownCell(button), 1) << "any button presses";
  button.MouseMove(2, 0, 3, 3);
  EXPECT_EQ(ShownCell(button), 3);
  button.MouseMove(3, 0, 3, 3);
  EXPECT_EQ(ShownCell(button), 3) << "left and right together";
  button.MouseMove(1, 0, 3, 3);
  EXPECT_EQ(ShownCell(button), 1);
  button.MouseUp(1, 0, 3, 3);
  EXPECT_EQ(ShownCell(button), 0);
  EXPECT_EQ(site.EventNames(),
            (Names{"MouseDown", "MouseMove", "MouseMove", "MouseMove", "MouseUp", "Click"}));
}

TEST_F(ButtonInteraction, AHeldDragOutsideKeepsThePressedFaceUntilTheNextPoll) {
  button.MouseDown(1, 0, 3, 3);
  button.MouseMove(1, 0, 60, 3);
  EXPECT_EQ(site.EventNames(), Names{"MouseDown"});
  EXPECT_EQ(ShownCell(button), 1);
  site.Pointer.Position = {60, 3};
  site.Clock.Advance(10);
  EXPECT_EQ(site.EventNames(), (Names{"MouseDown", "MouseOut"}));
  EXPECT_EQ(ShownCell(button), 0);
  button.MouseMove(1, 0, 3, 3);
  EXPECT_EQ(ShownCell(button), 1);
}

TEST_F(ButtonInteraction, AfterAReleaseInsideMouseOutWaitsForTheCursorToLeave) {
  site.Pointer.Position = {20, 12};
  button.MouseMove(0, 0, 20, 12);
  button.MouseDown(1, 0, 20, 3);
  button.MouseUp(1, 0, 20, 3);
  site.Clock.Advance(100);
  EXPECT_EQ(site.Count("MouseOut"), 0);
  EXPECT_EQ(site.Count("Click"), 1);
  site.Pointer.Position = {100, 100};
  site.Clock.Advance(100);
  EXPECT_EQ(site.Count("MouseOut"), 1);
}

TEST_F(ButtonInteraction, MovesOverTheCaptionReportTheCaptionsCorner) {
  button.MouseMove(0, 0, 20, 12);  // on the label, 14 × 6 inside it
  ASSERT_EQ(site.Events.size(), 1u);
  EXPECT_EQ(site.Events[0].Args, (std::vector<double>{0, 0, 6, 6}));
  EXPECT_TRUE(button.Polling());
}

TEST_F(ButtonInteraction, PressAndReleaseOnTheCaptionPassTheLabelsOwnPosition) {
  button.MouseDown(1, 2, 11, 10);  // 5 right and 4 down into the label
  button.MouseUp(1, 2, 11, 10);
  EXPECT_EQ(site.EventNames(), (Names{"MouseDown", "MouseUp", "Click"}));
  EXPECT_EQ(site.Events[0].Args, (std::vector<double>{1, 2, 5, 4}));
  EXPECT_EQ(site.Events[1].Args, (std::vector<double>{1, 2, 5, 4}));
  EXPECT_EQ(site.Events[2].Id, dispid::kClick);
  EXPECT_EQ(ShownCell(button), 0);
}

TEST_F(ButtonInteraction, TheAccessKeyClicksWithoutMouseEventsOrAFaceChange) {
  button.MouseMove(0, 0, 2, 2);
  site.Clear();
  const Image hot = button.DrawingSurface().Pixels();
  button.AccessKeyPress(13);
  EXPECT_EQ(site.EventNames(), Names{"Click"});
  EXPECT_EQ(button.DrawingSurface().Pixels(), hot);
}

TEST_F(ButtonInteraction, KeysPassOnUnchangedAndNeverClick) {
  button.KeyDown(32, 1);
  button.KeyPress(32);
  button.KeyUp(32, 1);
  button.KeyDown(13, 0);
  button.KeyPress(13);
  button.KeyUp(13, 0);
  EXPECT_EQ(site.Count("Click"), 0);
  EXPECT_EQ(site.EventNames(),
            (Names{"KeyDown", "KeyPress", "KeyUp", "KeyDown", "KeyPress", "KeyUp"}));
  EXPECT_EQ(site.Events[0].Id, dispid::kKeyDown);
  EXPECT_EQ(site.Events[0].Args, (std::vector<double>{32, 1}));
  EXPECT_EQ(site.Events[1].Id, dispid::kKeyPress);
  EXPECT_EQ(site.Events[1].Args, (std::vector<double>{32}));
  EXPECT_EQ(site.Events[2].Id, dispid::kKeyUp);
}

TEST_F(ButtonInteraction, ADisabledButtonTakesNoInputAndKeepsItsDisabledFace) {
  button.SetEnabled(false);
  site.Clear();
  const Image disabled = button.DrawingSurface().Pixels();
  button.MouseMove(0, 0, 20, 12);
  button.MouseMove(1, 0, 20, 12);
  button.MouseDown(1, 0, 20, 12);
  button.MouseUp(1, 0, 20, 12);
  button.DblClickAt(20, 12);
  button.AccessKeyPress(13);
  button.KeyDown(13, 0);
  button.KeyPress(13);
  button.KeyUp(13, 0);
  EXPECT_TRUE(site.Events.empty()) << site.EventNames().front();
  EXPECT_EQ(ShownCell(button), 2);
  EXPECT_EQ(button.DrawingSurface().Pixels(), disabled);
  EXPECT_FALSE(button.Polling());

  button.SetEnabled(true);
  site.Clear();
  button.MouseDown(1, 0, 20, 12);
  button.MouseUp(1, 0, 20, 12);
  EXPECT_EQ(site.EventNames(), (Names{"MouseDown", "MouseUp", "Click"}));
}

TEST_F(ButtonInteraction, ThereIsNoDoubleClickEvent) {
  button.DblClickAt(2, 2);
  button.DblClickAt(10, 10);
  EXPECT_TRUE(site.Events.empty());
}

}  // namespace
}  // namespace borvane
