// The panel as created, its check box and button handlers, and the
// one-second tick with the hourly re-check, driven by a manual loop.

#include <gtest/gtest.h>

#include "client/panel_texts.h"
#include "container/error.h"
#include "support/answers.h"

namespace borvane::testing {
namespace {

TEST(Panel, StartsWithItsCreationTextsAndAsksNothing) {
  ClientRig rig;
  const client& c = rig.panel;
  EXPECT_EQ(c.Label1.Caption(), "请点击查询按钮");
  EXPECT_EQ(c.Label1.ForeColor(), Colour(0x4080));
  EXPECT_EQ(c.Localtime.Caption(), "请点击校准按钮");
  EXPECT_EQ(c.Localtime.ForeColor(), Colour(0x4080));
  EXPECT_EQ(c.Label2.Caption(), "[ 欢迎使用  Nolvera]");
  EXPECT_EQ(c.Label2.ForeColor(), Colour(0x8080));
  for (const Label* ms : {&c.LabelMsS, &c.LabelMsL}) {
    EXPECT_EQ(ms->Caption(), "");
    EXPECT_FALSE(ms->Visible());
  }
  EXPECT_TRUE(c.sysTimer.Enabled());
  EXPECT_EQ(c.sysTimer.Interval(), 0u);
  EXPECT_EQ(c.sysTimer.Tag(), "");
  EXPECT_EQ(rig.loop.ActiveTimers(), 0u);
  EXPECT_EQ(c.MousePointer(), 0);
  EXPECT_EQ(c.Checkperhour.Value(), 1);
  EXPECT_EQ(rig.clock.Reads, 0);
  EXPECT_TRUE(rig.transfer.Urls.empty());
}

TEST(Panel, NamesTheServiceByItsHostAlone) {
  const std::pair<const char*, const char*> rows[] = {
      {"http://time.example:8080", "time.example"},
      {"https://time.example/", "time.example"},
      {"http://user@10.0.0.1:80", "10.0.0.1"},
      {"http://[::1]:8080", "[::1]"},
      {"time.example", "time.example"},
  };
  for (const auto& [url, host] : rows) {
    ClientRig rig(8 * 3600, url);
    EXPECT_EQ(rig.panel.ServiceHost(), host) << url;
  }
}

TEST(Panel, CreationAndTheQueryButtonEachRunOneQuery) {
  ClientRig rig;
  rig.ScriptRoundTrip("2005-04-27 15:32:08.400", 0);
  rig.ScriptRoundTrip("2005-04-27 15:40:00.600", 0);
  rig.panel.UserControl_Initialize();
  EXPECT_EQ(rig.transfer.Urls.size(), 1u);
  EXPECT_EQ(rig.panel.sysTimer.Tag(), "1929");
  rig.panel.Command1_Click();
  EXPECT_EQ(rig.transfer.Urls.size(), 2u);
  EXPECT_EQ(rig.panel.Label1.Caption(), "2005-04-27 15:40:00");
  EXPECT_EQ(rig.panel.sysTimer.Tag(), "2401");
}

TEST(Panel, TheMillisecondBoxShowsAndHidesBothLabelsTogether) {
  ClientRig rig;
  for (const int value : {1, 0, 1, 2}) {
    rig.panel.CheckDisplayMs.SetValue(static_cast<std::int16_t>(value));
    rig.panel.CheckDisplayMs_Click();
    EXPECT_EQ(rig.panel.LabelMsS.Visible(), value == 1) << value;
    EXPECT_EQ(rig.panel.LabelMsL.Visible(), value == 1) << value;
  }
}

class HourlyRecheck : public ::testing::Test {
 protected:
  // A first query at the service time `mm:ss` past 10 o'clock.
  void FirstQueryAt(const std::string& minute_second) {
    rig.ScriptRoundTrip("2005-04-27 10:" + minute_second + ".500", 0);
    rig.panel.UserControl_Initialize();
  }
  void Tick(int count = 1) { rig.loop.Advance(1000ull * count); }

  ClientRig rig;
};

TEST_F(HourlyRecheck, RunsOnTheTickThatTakesTheCountPast3600) {
  FirstQueryAt("59:59");
  EXPECT_EQ(rig.panel.sysTimer.Tag(), "3600");  // exactly 3600 does not fire
  rig.loop.Advance(999);
  EXPECT_EQ(rig.transfer.Urls.size(), 1u);

  rig.ScriptRoundTrip("2005-04-27 11:00:00.600", 0);  // the re-check's query
  rig.ScriptRoundTrip("2005-04-27 11:00:01.700", 0);  // and the clock setting's
  rig.loop.Advance(1);
  EXPECT_EQ(rig.transfer.Urls.size(), 3u);
  ASSERT_EQ(rig.clock.Settings.size(), 1u);
  EXPECT_EQ(rig.clock.Settings[0].wSecond, 1);
  EXPECT_EQ(rig.clock.Settings[0].wMilliseconds, 700);
  EXPECT_EQ(rig.panel.sysTimer.Tag(), "2");
  EXPECT_EQ(rig.panel.Label2.Caption(), "[ 校准系统时间成功！感谢使用！]");
}

TEST_F(HourlyRecheck, CountsTicksFromTheServiceTimeOfTheLastQuery) {
  rig.panel.Checkperhour.SetValue(0);
  FirstQueryAt("00:00");
  EXPECT_EQ(rig.panel.sysTimer.Tag(), "1");
  Tick(3599);
  EXPECT_EQ(rig.panel.sysTimer.Tag(), "3600");
  EXPECT_EQ(rig.transfer.Urls.size(), 1u);

  rig.ScriptRoundTrip("2005-04-27 11:00:00.600", 0);
  Tick();
  // Unticked hourly box: the query only, no setting.
  EXPECT_EQ(rig.transfer.Urls.size(), 2u);
  EXPECT_TRUE(rig.clock.Settings.empty());
  EXPECT_EQ(rig.panel.sysTimer.Tag(), "1");
  EXPECT_EQ(rig.panel.Label1.Caption(), "2005-04-27 11:00:00");
}

TEST_F(HourlyRecheck, AGivenUpQueryLeavesTheCountAtZero) {
  FirstQueryAt("59:59");
  // Both the re-check's query and the clock setting's one give up.
  for (int i = 0; i < 2 * client::kMaxQueryAttempts; ++i) {
    rig.ScriptRoundTrip("2005-04-27 11:00:00.999", 10);
  }
  Tick();
  EXPECT_EQ(rig.transfer.Urls.size(), 1u + 2 * client::kMaxQueryAttempts);
  EXPECT_EQ(rig.panel.sysTimer.Tag(), "0");
  EXPECT_TRUE(rig.clock.Settings.empty());
  EXPECT_EQ(rig.panel.Label2.Caption(), "[连接不可用，请登陆 time.example 联系管理员。]");
  Tick();
  EXPECT_EQ(rig.panel.sysTimer.Tag(), "1");
}

TEST_F(HourlyRecheck, AFailedQueryEndsTheTickBeforeTheClockSetting) {
  FirstQueryAt("59:59");
  rig.transfer.PushError("timed out");
  Tick();  // the tick's error goes to the site, not out of the loop
  ASSERT_EQ(rig.site.Errors.size(), 1u);
  EXPECT_EQ(rig.site.Errors[0].Code(), ErrorCode::TransferFailed);
  EXPECT_EQ(rig.transfer.Urls.size(), 2u);
  EXPECT_EQ(rig.panel.sysTimer.Tag(), "0");
  EXPECT_TRUE(rig.clock.Settings.empty());
}

TEST(Tick, QueriesFirstWhenNoServiceYearIsKnownAndRejectsACountThatIsNoNumber) {
  ClientRig rig;
  rig.ScriptRoundTrip("2005-04-27 15:00:30.500", 0);
  rig.panel.serverYearText = "0";
  rig.panel.sysTimer.SetTag("7");
  rig.panel.sysTimer_Timer();
  // The query's own tick makes 31, this tick 32.
  EXPECT_EQ(rig.transfer.Urls.size(), 1u);
  EXPECT_EQ(rig.panel.sysTimer.Tag(), "32");

  rig.panel.sysTimer.SetTag("x");
  try {
    rig.panel.sysTimer_Timer();
    ADD_FAILURE() << "no error raised";
  } catch (const Error& e) {
    EXPECT_EQ(e.Code(), ErrorCode::TypeMismatch);
  }
}

}  // namespace
}  // namespace borvane::testing
