// The set-clock handler: a fresh query, then the service time written into
// the fake clock in the machine's zone, and the status line it leaves.

#include <gtest/gtest.h>
#include <time.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "client/panel_texts.h"
#include "container/error.h"
#include "platform/posix/posix_clock.h"
#include "support/answers.h"
#include "support/scoped_time_zone.h"

namespace borvane::testing {
namespace {

SystemTime Record(int y, int mo, int dow, int d, int h, int mi, int s, int ms) {
  return SystemTime{static_cast<std::int16_t>(y),  static_cast<std::int16_t>(mo),
                    static_cast<std::int16_t>(dow), static_cast<std::int16_t>(d),
                    static_cast<std::int16_t>(h),  static_cast<std::int16_t>(mi),
                    static_cast<std::int16_t>(s),  static_cast<std::int16_t>(ms)};
}

TEST(ClockSetting, WritesTheServiceTimeAndReportsSuccessInTheQuerysColour) {
  ClientRig rig;
  // The local clock is 2.993 s ahead, so the query warns first.
  rig.Script(At(15, 32, 11, 0), "2005-04-27 15:32:08.007", At(15, 32, 11, 0));
  rig.panel.Command2_Click();
  EXPECT_EQ(rig.clock.Settings, std::vector<SystemTime>{Record(2005, 4, 0, 27, 15, 32, 8, 7)});
  EXPECT_EQ(rig.panel.Localtime.Caption(), "2005-04-27 15:32:08");
  EXPECT_EQ(rig.panel.Label1.Caption(), "2005-04-27 15:32:08");
  EXPECT_EQ(rig.panel.Label2.Caption(), "[ 校准系统时间成功！感谢使用！]");
  EXPECT_EQ(rig.panel.Label2.ForeColor(), panel::kWarningColour);
}

TEST(ClockSetting, ARefusalIsReportedAndLeavesTheLocalTimeShown) {
  ClientRig rig;
  rig.clock.SetResult = 0;
  rig.Script(At(15, 32, 11, 0), "2005-04-27 15:32:08.007", At(15, 32, 11, 0));
  rig.panel.Command2_Click();
  EXPECT_EQ(rig.clock.Settings.size(), 1u);
  EXPECT_EQ(rig.panel.Label2.Caption(), "[ SetLocalTime()错误0 ]");
  EXPECT_EQ(rig.panel.Localtime.Caption(), "2005-04-27 15:32:11");
}

TEST(ClockSetting, AGivenUpQueryShowsTheConnectionMessageAndLeavesTheClock) {
  ClientRig rig;
  for (int i = 0; i < client::kMaxQueryAttempts; ++i) {
    rig.ScriptRoundTrip("2005-04-27 15:32:08.999", 10);
  }
  rig.panel.Command2_Click();
  EXPECT_TRUE(rig.clock.Settings.empty());
  EXPECT_EQ(rig.panel.Label2.Caption(), "[连接不可用，请登陆 time.example 联系管理员。]");
  EXPECT_EQ(rig.panel.Localtime.Caption(), panel::kLocaltimeInitial);
}

TEST(ClockSetting, OnlyTheExactDelayMessageCountsAsOne) {
  ClientRig rig;
  for (int i = 0; i < client::kMaxQueryAttempts; ++i) {
    rig.ScriptRoundTrip("2005-04-27 15:32:08.999", 10);
  }
  // Something else appends a blank to the delay message as it appears.
  rig.panel.Label1.OnChange = [&] {
    if (rig.panel.Label1.Caption() == panel::kDelayMessage) {
      rig.panel.Label1.SetCaption(std::string(panel::kDelayMessage) + " ");
    }
  };
  try {
    rig.panel.Command2_Click();
    ADD_FAILURE() << "no error raised";
  } catch (const Error& e) {
    EXPECT_EQ(e.Code(), ErrorCode::TypeMismatch);
  }
  EXPECT_TRUE(rig.clock.Settings.empty());
  EXPECT_EQ(rig.panel.Label2.Caption(), panel::kLabel2Initial);
}

TEST(ClockSetting, AFailedQueryEndsTheHandlerBeforeTheClock) {
  ClientRig rig;
  rig.transfer.PushError("host not found");
  EXPECT_THROW(rig.panel.Command2_Click(), Error);
  EXPECT_TRUE(rig.clock.Settings.empty());
  EXPECT_EQ(rig.panel.Label2.Caption(), panel::kLabel2Initial);
  EXPECT_EQ(rig.panel.Localtime.Caption(), panel::kLocaltimeInitial);
}

TEST(ClockSetting, SetsTheClockInTheMachinesOwnZone) {
  // A UTC machine gets 07:32:08.007 for Beijing's 15:32:08.007; the service
  // row still shows Beijing time, the local row the time just applied.
  ClientRig utc(0);
  utc.Script(At(7, 32, 8, 7), "2005-04-27 15:32:08.007", At(7, 32, 8, 7));
  utc.panel.Command2_Click();
  EXPECT_EQ(utc.clock.Settings, std::vector<SystemTime>{Record(2005, 4, 0, 27, 7, 32, 8, 7)});
  EXPECT_EQ(utc.panel.Label1.Caption(), "2005-04-27 15:32:08");
  EXPECT_EQ(utc.panel.Localtime.Caption(), "2005-04-27 07:32:08");

  // Five hours behind UTC, early on 1 March in Beijing is still February;
  // the day of week stays 0 whatever the date.
  ClientRig west(-5 * 3600);
  west.Script(At(15, 32, 8, 0), "2005-03-01 03:00:00.250", At(15, 32, 8, 0));
  west.panel.Command2_Click();
  EXPECT_EQ(west.clock.Settings, std::vector<SystemTime>{Record(2005, 2, 0, 28, 14, 0, 0, 250)});
}


std::int64_t UtcMs(int y, int mo, int d, int h, int mi, int s, int ms) {
  return ((DaysFromCivil(y, mo, d) * 24 + h) * 3600 + mi * 60 + s) * 1000 + ms;
}

TEST(ClockSetting, DaylightSavingChangesSetTheServicesInstantAndJudgeByIt) {
  struct Row {
    const char* zone;
    const char* service;    // Beijing time of the answer
    SystemTime reading;     // the local clock, right to the millisecond
    SystemTime record;      // what the record shows
    std::int64_t instant;   // what the clock is set to
  };
  const Row rows[] = {
      // 01:30 happens twice when daylight saving ends: first EDT, then EST.
      {"America/New_York", "2024-11-03 13:30:00.250", Record(2024, 11, 0, 3, 1, 30, 0, 250),
       Record(2024, 11, 0, 3, 1, 30, 0, 250), UtcMs(2024, 11, 3, 5, 30, 0, 250)},
      {"America/New_York", "2024-11-03 14:30:00.250", Record(2024, 11, 0, 3, 1, 30, 0, 250),
       Record(2024, 11, 0, 3, 1, 30, 0, 250), UtcMs(2024, 11, 3, 6, 30, 0, 250)},
      // A clock 20 ms behind, read just before the change back.
      {"America/New_York", "2024-11-03 14:00:00.010", Record(2024, 11, 0, 3, 1, 59, 59, 990),
       Record(2024, 11, 0, 3, 1, 0, 0, 10), UtcMs(2024, 11, 3, 6, 0, 0, 10)},
      // 02:30 does not exist when daylight saving starts.
      {"America/New_York", "2024-03-10 15:30:00.250", Record(2024, 3, 0, 10, 3, 30, 0, 250),
       Record(2024, 3, 0, 10, 3, 30, 0, 250), UtcMs(2024, 3, 10, 7, 30, 0, 250)},
      {"Europe/Berlin", "2024-10-27 08:30:00.250", Record(2024, 10, 0, 27, 2, 30, 0, 250),
       Record(2024, 10, 0, 27, 2, 30, 0, 250), UtcMs(2024, 10, 27, 0, 30, 0, 250)},
      {"Europe/Berlin", "2024-10-27 09:30:00.250", Record(2024, 10, 0, 27, 2, 30, 0, 250),
       Record(2024, 10, 0, 27, 2, 30, 0, 250), UtcMs(2024, 10, 27, 1, 30, 0, 250)},
      {"Europe/Berlin", "2024-03-31 09:30:00.250", Record(2024, 3, 0, 31, 3, 30, 0, 250),
       Record(2024, 3, 0, 31, 3, 30, 0, 250), UtcMs(2024, 3, 31, 1, 30, 0, 250)},
  };
  for (const Row& row : rows) {
    const ScopedTimeZone zone(row.zone);
    ClientRig rig;
    PosixClock zone_rules;  // only its zone rules: nothing here sets a clock
    rig.clock.Zone = [&](std::int64_t utc) { return zone_rules.UtcOffsetSeconds(utc); };
    rig.Script(row.reading, row.service, row.reading);
    rig.panel.DisplayTime();
    EXPECT_EQ(rig.panel.Label2.Caption(), "[ 您的系统时间准确 感谢使用！ ]") << row.zone << " " << row.service;

    rig.Script(row.reading, row.service, row.reading);
    rig.panel.Command2_Click();
    ASSERT_EQ(rig.clock.Instants.size(), 1u) << row.service;
    EXPECT_EQ(rig.clock.Instants[0], row.instant) << row.zone << " " << row.service;
    EXPECT_EQ(rig.clock.Settings[0], row.record) << row.zone << " " << row.service;
  }
}

}  // namespace
}  // namespace borvane::testing
