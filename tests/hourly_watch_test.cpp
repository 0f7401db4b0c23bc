// borvane watch's loop without a process: the whole panel on a fake clock,
// a scripted service and a manual event loop, carried across the service's
// full hour one tick at a time.

#include <gtest/gtest.h>

#include "app/hourly_watch.h"
#include "support/answers.h"

namespace borvane::testing {
namespace {

using app::HourlyWatch;

struct WatchRig {
  explicit WatchRig(bool dry_run)
      : watch(clock, transfer, loop, "http://time.example", dry_run,
              [this](const std::string& line) { lines.push_back(line); }) {}

  // One query sent at h:m:s.100 local (= Beijing) time, answered with the
  // service at the same second .000 and received 10 ms later: the panel
  // corrects the service to .005, so the local clock is 105 ms ahead.
  void Query(int h, int m, int s) {
    clock.Push(At(h, m, s, 100));
    transfer.PushBody(MakeAnswer(StampOf(At(h, m, s, 100)), Service(h, m, s)));
    clock.Push(At(h, m, s, 110));
  }
  static std::string Service(int h, int m, int s) {
    char text[32];
    std::snprintf(text, sizeof text, "2005-04-27 %02d:%02d:%02d.000", h, m, s);
    return text;
  }
  // The reading the log line is stamped with.
  void Stamp(int h, int m, int s) { clock.Push(At(h, m, s, 500)); }

  FakeClock clock;
  ScriptedTransfer transfer;
  ManualEventLoop loop;
  std::vector<std::string> lines;
  HourlyWatch watch;
};

TEST(HourlyWatch, ChecksAtStartAndSetsTheClockOnTheFirstTickPastTheServiceHour) {
  struct Row {
    bool dry_run;
    std::int32_t set_result;
    const char* action;
    std::size_t settings;
  };
  const Row rows[] = {
      {true, 1, "offset +105 ms would set 2005-04-27 11:00:01.005", 0},
      {false, 1, "offset +105 ms set 2005-04-27 11:00:01.005", 1},
      {false, 0, "offset +105 ms refused to set 2005-04-27 11:00:01.005", 1},
  };
  for (const Row& row : rows) {
    WatchRig rig(row.dry_run);
    rig.clock.SetResult = row.set_result;
    rig.Query(10, 59, 58);  // count 3598, then 3599 by the query's own tick
    rig.Stamp(10, 59, 58);
    rig.watch.Start();
    ASSERT_EQ(rig.lines.size(), 1u);
    EXPECT_EQ(rig.lines[0], "2005-04-27 10:59:58.500 offset +105 ms checked");

    rig.loop.Advance(1000);  // 3600: not yet
    EXPECT_EQ(rig.lines.size(), 1u);
    EXPECT_EQ(rig.transfer.Urls.size(), 1u);

    rig.Query(11, 0, 0);  // the re-check's own query
    rig.Query(11, 0, 1);  // the query of the clock setting
    rig.Stamp(11, 0, 1);
    rig.loop.Advance(1000);  // 3601: the hour has passed
    ASSERT_EQ(rig.lines.size(), 2u) << row.action;
    EXPECT_EQ(rig.lines[1], std::string("2005-04-27 11:00:01.500 ") + row.action);
    EXPECT_EQ(rig.transfer.Urls.size(), 3u);
    EXPECT_EQ(rig.clock.Settings.size(), row.settings);
  }
}

TEST(HourlyWatch, AFailedCheckIsLoggedAndTriedAgainAtTheNextTick) {
  // Failing at start: the panel does not tick yet, the watch asks again.
  WatchRig rig(true);
  rig.clock.Push(At(10, 59, 59, 100));
  rig.transfer.PushError("connection refused");
  rig.Stamp(10, 59, 59);
  rig.watch.Start();
  ASSERT_EQ(rig.lines.size(), 1u);
  EXPECT_NE(rig.lines[0].find("offset unknown failed: "), std::string::npos) << rig.lines[0];
  EXPECT_NE(rig.lines[0].find("connection refused"), std::string::npos) << rig.lines[0];

  rig.Query(10, 59, 59);  // count 3599, then 3600
  rig.Stamp(10, 59, 59);
  rig.loop.Advance(1000);
  ASSERT_EQ(rig.lines.size(), 2u);
  EXPECT_EQ(rig.lines[1], "2005-04-27 10:59:59.500 offset +105 ms checked");

  // Failing at the hour: the next tick runs the re-check again.
  rig.clock.Push(At(11, 0, 0, 100));
  rig.transfer.PushError("connection reset");
  rig.Stamp(11, 0, 0);
  rig.loop.Advance(1000);
  ASSERT_EQ(rig.lines.size(), 3u);
  EXPECT_NE(rig.lines[2].find("failed: "), std::string::npos) << rig.lines[2];
  EXPECT_TRUE(rig.watch.Panel().sysTimer.Running());

  rig.Query(11, 0, 1);
  rig.Query(11, 0, 2);
  rig.Stamp(11, 0, 2);
  rig.loop.Advance(1000);
  ASSERT_EQ(rig.lines.size(), 4u);
  EXPECT_EQ(rig.lines[3], "2005-04-27 11:00:02.500 offset +105 ms would set 2005-04-27 11:00:02.005");
}

}  // namespace
}  // namespace borvane::testing
