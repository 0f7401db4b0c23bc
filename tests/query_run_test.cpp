// The query with a transfer that runs in the background: handlers return
// with the fetch in flight, the completion carries the query on (retries,
// the clock setting, the hourly re-check), asks and ticks that come during
// a fetch wait or count, and a cancelled or destroyed panel is never called
// back.

#include <gtest/gtest.h>

#include <memory>

#include "client/panel_texts.h"
#include "container/error.h"
#include "support/answers.h"

namespace borvane::testing {
namespace {

constexpr const char* kService = "2005-04-27 15:32:08.500";

struct BackgroundRig : ClientRig {
  BackgroundRig() {
    transfer.Deferred = true;
    panel.QueryEnded = [this] { ++ended; };
  }
  int ended = 0;
};

TEST(BackgroundQuery, ReturnsBusyWithTheFetchInFlightAndTheCompletionShowsTheAnswer) {
  BackgroundRig rig;
  rig.ScriptRoundTrip(kService, 0);
  EXPECT_EQ(rig.panel.DisplayTime(), "");

  EXPECT_TRUE(rig.transfer.Pending());
  EXPECT_TRUE(rig.panel.QueryInFlight());
  EXPECT_EQ(rig.panel.MousePointer(), panel::kBusyPointer);
  EXPECT_EQ(rig.panel.Label1.Caption(), panel::kLabel1Initial);
  EXPECT_EQ(rig.ended, 0);

  ASSERT_TRUE(rig.transfer.Complete());
  EXPECT_FALSE(rig.panel.QueryInFlight());
  EXPECT_EQ(rig.panel.Label1.Caption(), "2005-04-27 15:32:08");
  EXPECT_EQ(rig.panel.LabelMsS.Caption(), ".500");
  EXPECT_EQ(rig.panel.MousePointer(), panel::kDefaultPointer);
  EXPECT_EQ(rig.ended, 1);
  EXPECT_TRUE(rig.site.Errors.empty());
}

TEST(BackgroundQuery, AnUntrustedRoundTripStartsTheNextAttemptFromTheCompletion) {
  BackgroundRig rig;
  rig.ScriptRoundTrip("2005-04-27 15:32:08.999", 10);  // fails the range test
  rig.ScriptRoundTrip(kService, 0);
  rig.panel.DisplayTime();
  ASSERT_TRUE(rig.transfer.Complete());

  // The second attempt is in flight, within what is left of the deadline.
  EXPECT_TRUE(rig.transfer.Pending());
  ASSERT_EQ(rig.transfer.Urls.size(), 2u);
  EXPECT_LE(rig.transfer.TimesLeft[1], rig.transfer.TimesLeft[0]);
  EXPECT_EQ(rig.panel.Label1.Caption(), panel::kDelayMessage);
  EXPECT_EQ(rig.panel.MousePointer(), panel::kBusyPointer);
  EXPECT_EQ(rig.ended, 0);

  ASSERT_TRUE(rig.transfer.Complete());
  EXPECT_EQ(rig.panel.Label1.Caption(), "2005-04-27 15:32:08");
  EXPECT_EQ(rig.panel.MousePointer(), panel::kDefaultPointer);
  EXPECT_EQ(rig.ended, 1);
}

TEST(BackgroundQuery, AsksDuringAFetchCoalesceIntoOneQueryAfterItAndASetClockKeepsItsPlace) {
  enum Ask { Query, Set };
  struct Row {
    std::vector<Ask> during;
    std::size_t fetches;
    std::size_t settings;
  };
  const Row rows[] = {
      {{}, 1, 0},
      {{Query, Query, Query}, 2, 0},
      {{Query, Set, Query}, 2, 1},
      {{Set, Set}, 2, 1},
  };
  for (const Row& row : rows) {
    BackgroundRig rig;
    for (int i = 0; i < 3; ++i) rig.ScriptRoundTrip(kService, 0);
    rig.panel.Command1_Click();
    for (const Ask ask : row.during) {
      if (ask == Query) rig.panel.DisplayTime(); else rig.panel.Command2_Click();
    }
    EXPECT_EQ(rig.transfer.Urls.size(), 1u) << "no second fetch while one is in flight";
    while (rig.transfer.Complete()) {
    }
    EXPECT_EQ(rig.transfer.Urls.size(), row.fetches) << row.during.size();
    EXPECT_EQ(rig.clock.Settings.size(), row.settings) << row.during.size();
    EXPECT_FALSE(rig.panel.QueryInFlight());
    EXPECT_EQ(rig.panel.MousePointer(), panel::kDefaultPointer);
  }
}

TEST(BackgroundQuery, TheSetClockButtonSetsTheClockOnlyOnceItsAnswerIsIn) {
  BackgroundRig rig;
  rig.ScriptRoundTrip(kService, 0);
  rig.panel.Command2_Click();
  EXPECT_TRUE(rig.clock.Settings.empty());
  ASSERT_TRUE(rig.transfer.Complete());
  ASSERT_EQ(rig.clock.Settings.size(), 1u);
  EXPECT_EQ(rig.clock.Settings[0].wMilliseconds, 500);
  EXPECT_EQ(rig.panel.Label2.Caption(), panel::kSetSucceeded);
}

TEST(BackgroundQuery, TicksDuringAFetchAreCountedAndAnHourlyRecheckDueWaitsForIt) {
  BackgroundRig rig;
  rig.ScriptRoundTrip("2005-04-27 10:59:58.500", 0);
  rig.panel.UserControl_Initialize();
  ASSERT_TRUE(rig.transfer.Complete());
  ASSERT_EQ(rig.panel.sysTimer.Tag(), "3599");

  rig.ScriptRoundTrip("2005-04-27 10:59:58.600", 0);  // the click's query
  rig.ScriptRoundTrip("2005-04-27 11:00:00.700", 0);  // the re-check's
  rig.ScriptRoundTrip("2005-04-27 11:00:01.800", 0);  // the clock setting's
  rig.panel.Command1_Click();
  rig.loop.Advance(1000);
  EXPECT_EQ(rig.panel.sysTimer.Tag(), "3600");
  rig.loop.Advance(1000);  // past the hour: the re-check waits behind the fetch
  EXPECT_EQ(rig.panel.sysTimer.Tag(), "0");
  EXPECT_EQ(rig.transfer.Urls.size(), 2u);

  ASSERT_TRUE(rig.transfer.Complete());
  EXPECT_EQ(rig.transfer.Urls.size(), 3u) << "the re-check follows the click's query";
  ASSERT_TRUE(rig.transfer.Complete());
  EXPECT_EQ(rig.transfer.Urls.size(), 4u) << "the clock setting follows the re-check";
  EXPECT_TRUE(rig.clock.Settings.empty());
  ASSERT_TRUE(rig.transfer.Complete());
  ASSERT_EQ(rig.clock.Settings.size(), 1u);
  EXPECT_EQ(rig.clock.Settings[0].wMilliseconds, 800);
  EXPECT_FALSE(rig.transfer.Pending());
}

TEST(BackgroundQuery, ErrorsInTheCompletionGoToTheSiteAndTheWaitingAskStillRuns) {
  struct Row {
    bool transfer_error;
    ErrorCode code;
  };
  for (const Row row : {Row{true, ErrorCode::TransferFailed}, Row{false, ErrorCode::TypeMismatch}}) {
    BackgroundRig rig;
    if (row.transfer_error) rig.transfer.PushError("connection refused");
    else rig.transfer.PushBody("no answer");
    rig.ScriptRoundTrip(kService, 0);
    rig.panel.Command2_Click();
    rig.panel.Command1_Click();
    ASSERT_TRUE(rig.transfer.Complete());  // the error leaves nothing to the caller

    ASSERT_EQ(rig.site.Errors.size(), 1u);
    EXPECT_EQ(rig.site.Errors[0].Code(), row.code);
    EXPECT_TRUE(rig.clock.Settings.empty()) << "a failed query sets nothing";
    EXPECT_EQ(rig.ended, 1);
    EXPECT_TRUE(rig.transfer.Pending()) << "the waiting click queries next";
    EXPECT_EQ(rig.panel.MousePointer(), panel::kBusyPointer);
    ASSERT_TRUE(rig.transfer.Complete());
    EXPECT_EQ(rig.panel.Label1.Caption(), "2005-04-27 15:32:08");
    EXPECT_EQ(rig.panel.MousePointer(), panel::kDefaultPointer);
  }
}

TEST(BackgroundQuery, CancelOrDestructionWithAFetchInFlightCancelsItAndIsNeverCalledBack) {
  BackgroundRig rig;
  rig.ScriptRoundTrip(kService, 0);
  rig.panel.DisplayTime();
  rig.panel.Command2_Click();  // waits, and is dropped with the query
  rig.panel.CancelQuery();
  EXPECT_EQ(rig.transfer.Cancels, 1);
  EXPECT_FALSE(rig.panel.QueryInFlight());
  EXPECT_EQ(rig.panel.MousePointer(), panel::kDefaultPointer);
  // A transfer that delivers after all changes nothing.
  ASSERT_TRUE(rig.transfer.Dropped);
  rig.transfer.Dropped(MakeAnswer(StampOf(At(15, 32, 10, 500)), kService), nullptr);
  EXPECT_EQ(rig.panel.Label1.Caption(), panel::kLabel1Initial);
  EXPECT_FALSE(rig.transfer.Pending()) << "the waiting set-clock was dropped";
  EXPECT_TRUE(rig.clock.Settings.empty());

  // The panel stays usable after a cancel.
  rig.ScriptRoundTrip(kService, 0);
  rig.panel.DisplayTime();
  ASSERT_TRUE(rig.transfer.Complete());
  EXPECT_EQ(rig.panel.Label1.Caption(), "2005-04-27 15:32:08");

  // A second panel on the same transfer, destroyed with its fetch in flight.
  auto doomed = std::make_unique<client>(
      rig.site, ClientServices{rig.clock, rig.transfer, "http://time.example:8080"});
  rig.ScriptRoundTrip(kService, 0);
  doomed->DisplayTime();
  ASSERT_TRUE(rig.transfer.Pending());
  const int cancels = rig.transfer.Cancels;
  doomed.reset();
  EXPECT_EQ(rig.transfer.Cancels, cancels + 1);
  ASSERT_TRUE(rig.transfer.Dropped);
  rig.transfer.Dropped("", nullptr);  // must not reach the destroyed panel
  EXPECT_TRUE(rig.site.Errors.empty());
}

}  // namespace
}  // namespace borvane::testing
