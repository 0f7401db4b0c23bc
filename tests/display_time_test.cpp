// The time query against a fake clock and a scripted service: the stamp,
// the round-trip correction, the range test and its bounded repeat, the
// verdict on the local clock, what is stored, and how failures end.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "client/panel_texts.h"
#include "container/error.h"
#include "support/answers.h"

namespace borvane::testing {
namespace {

constexpr const char* kService = "2005-04-27 15:32:08.500";

ErrorCode CodeOf(const std::function<void()>& run) {
  try {
    run();
  } catch (const Error& e) {
    return e.Code();
  }
  ADD_FAILURE() << "no error raised";
  return ErrorCode{};
}

TEST(QueryAddress, CarriesTheSendStampAsFiveDigits) {
  ClientRig rig;
  for (const SystemTime sent : {At(15, 32, 0, 0), At(15, 32, 5, 7), At(15, 32, 59, 999)}) {
    rig.Script(sent, "2005-04-27 15:32:08.000", sent);
  }
  for (int i = 0; i < 3; ++i) rig.panel.DisplayTime();
  const std::string base = "http://time.example:8080/times/nolvera.aspx?borvane=";
  EXPECT_EQ(rig.transfer.Urls, (std::vector<std::string>{base + "00000", base + "05007",
                                                         base + "59999"}));
}

TEST(RoundTrip, HalfTheRoundTripRoundsToTheEvenMillisecond) {
  const std::pair<int, const char*> rows[] = {{1, ".500"}, {3, ".502"}, {5, ".502"},
                                              {-1, ".500"}, {0, ".500"}, {8, ".504"}};
  for (const auto& [round_trip, shown] : rows) {
    ClientRig rig;
    rig.ScriptRoundTrip(kService, round_trip);
    rig.panel.DisplayTime();
    EXPECT_EQ(rig.panel.LabelMsS.Caption(), shown) << "round trip " << round_trip;
    EXPECT_EQ(rig.panel.serverTimeText, std::string("2005-04-27 15:32:08") + shown);
  }
}

TEST(RangeTest, AcceptsCorrectedMillisecondsFrom0To999AndRepeatsOtherwise) {
  struct Row {
    const char* service;
    int round_trip;
    bool accepted;
  };
  const Row rows[] = {{"2005-04-27 15:32:08.997", 4, true},   // 999
                      {"2005-04-27 15:32:08.001", -2, true},  // 0
                      {"2005-04-27 15:32:08.998", 4, false},  // 1000
                      {"2005-04-27 15:32:08.000", -2, false}};  // -1
  for (const Row& row : rows) {
    ClientRig rig;
    rig.ScriptRoundTrip(row.service, row.round_trip);
    rig.ScriptRoundTrip(kService, 0);  // the repeat, if any
    std::vector<std::string> label1;
    rig.panel.Label1.OnChange = [&] { label1.push_back(rig.panel.Label1.Caption()); };
    rig.panel.DisplayTime();
    EXPECT_EQ(rig.transfer.Urls.size(), row.accepted ? 1u : 2u) << row.service;
    EXPECT_EQ(label1.front() == panel::kDelayMessage, !row.accepted) << row.service;
    EXPECT_EQ(rig.panel.Label1.Caption(), "2005-04-27 15:32:08");
  }
}

TEST(RangeTest, AMinuteBoundaryDuringTheFetchRepeatsTheQuery) {
  ClientRig rig;
  // Round trip 100 - 59900: strongly negative.
  rig.Script(At(15, 32, 59, 900), "2005-04-27 15:32:59.950", At(15, 33, 0, 100));
  rig.ScriptRoundTrip(kService, 0);
  rig.panel.DisplayTime();
  EXPECT_EQ(rig.transfer.Urls.size(), 2u);
  EXPECT_EQ(rig.panel.LabelMsS.Caption(), ".500");
}

TEST(RangeTest, GivesUpAfterTheLastAttemptKeepingEarlierResults) {
  ClientRig rig;
  rig.ScriptRoundTrip("2005-04-27 15:32:08.400", 0);
  rig.panel.DisplayTime();
  const std::string label2 = rig.panel.Label2.Caption();
  const std::string tag = rig.panel.sysTimer.Tag();

  for (int i = 0; i < 4; ++i) rig.ScriptRoundTrip("2005-04-27 15:33:09.999", 10);
  std::vector<std::int16_t> pointer_at_delay;
  rig.panel.Label1.OnChange = [&] { pointer_at_delay.push_back(rig.panel.MousePointer()); };
  EXPECT_EQ(rig.panel.DisplayTime(), "");

  // Three attempts, then the query gives up: the fourth answer stays unasked.
  EXPECT_EQ(rig.transfer.Urls.size(), 1u + 3u);
  EXPECT_EQ(rig.transfer.Cancels, 1 + 3);
  EXPECT_EQ(rig.panel.Label1.Caption(), panel::kDelayMessage);
  EXPECT_EQ(pointer_at_delay, std::vector<std::int16_t>{panel::kBusyPointer});
  EXPECT_EQ(rig.panel.MousePointer(), panel::kDefaultPointer);
  EXPECT_EQ(rig.panel.Label2.Caption(), label2);
  EXPECT_EQ(rig.panel.LabelMsS.Caption(), ".400");
  EXPECT_EQ(rig.panel.serverTimeText, "2005-04-27 15:32:08.400");
  EXPECT_EQ(rig.panel.sysTimer.Tag(), tag);
}

TEST(AcceptedQuery, ShowsBothTimesStoresTheServiceTimeAndStartsTheCount) {
  ClientRig rig;
  rig.Script(At(15, 32, 9, 990), "2005-04-07 05:03:08.480", At(15, 32, 10, 30));  // delay 20
  std::vector<std::string> label1;
  std::vector<std::string> localtime;
  rig.panel.Label1.OnChange = [&] { label1.push_back(rig.panel.Label1.Caption()); };
  rig.panel.Localtime.OnChange = [&] { localtime.push_back(rig.panel.Localtime.Caption()); };

  EXPECT_EQ(rig.panel.DisplayTime(), "");

  // The 23-character service time first, then without its milliseconds.
  EXPECT_EQ(label1, (std::vector<std::string>{"2005-04-07 05:03:08.500", "2005-04-07 05:03:08"}));
  EXPECT_EQ(localtime,
            (std::vector<std::string>{"2005-04-27 15:32:10.030", "2005-04-27 15:32:10"}));
  EXPECT_EQ(rig.panel.LabelMsS.Caption(), ".500");
  EXPECT_EQ(rig.panel.LabelMsL.Caption(), ".030");
  EXPECT_EQ(rig.panel.serverTimeText, "2005-04-07 05:03:08.500");
  EXPECT_EQ(rig.panel.serverYearText, "2005");
  EXPECT_EQ(rig.panel.serverMonthText, "4");
  EXPECT_EQ(rig.panel.serverDayText, "7");
  EXPECT_EQ(rig.panel.serverHourText, "5");
  // 3 × 60 + 8, plus the tick the query runs itself.
  EXPECT_EQ(rig.panel.sysTimer.Tag(), "189");
  EXPECT_EQ(rig.panel.sysTimer.Interval(), 1000u);
  EXPECT_TRUE(rig.panel.sysTimer.Running());
  EXPECT_EQ(rig.panel.MousePointer(), panel::kDefaultPointer);
}

TEST(Verdict, ReportsOffsetsBeyond100MsWithTheirSignAndSize) {
  struct Row {
    SystemTime received;
    const char* line;
    bool warns;
  };
  // The service says 15:32:10.500 on arrival (round trip 0).
  const Row rows[] = {
      {At(15, 32, 10, 600), "[ 您的系统时间准确 感谢使用！ ]", false},
      {At(15, 32, 10, 400), "[ 您的系统时间准确 感谢使用！ ]", false},
      {At(15, 32, 10, 601), "[ 您的系统时间比北京时间快101ms请校准！ ]", true},
      {At(15, 32, 10, 399), "[ 您的系统时间比北京时间慢101ms请校准！ ]", true},
      {At(15, 32, 42, 0), "[ 您的系统时间比北京时间快31500ms请校准！ ]", true},
      {At(15, 33, 10, 500), "[ 您的系统时间不准确 请校准！ ]", true},
  };
  for (const Row& row : rows) {
    ClientRig rig;
    const int echo = row.received.wSecond * 1000 + row.received.wMilliseconds;
    rig.clock.Push(At(15, 32, 0, 0));
    rig.transfer.PushBody(MakeAnswer(std::to_string(echo), "2005-04-27 15:32:10.500"));
    rig.clock.Push(row.received);
    rig.panel.DisplayTime();
    EXPECT_EQ(rig.panel.Label2.Caption(), row.line);
    EXPECT_EQ(rig.panel.Label2.ForeColor(), row.warns ? panel::kWarningColour : panel::kStatusColour)
        << row.line;
  }
}

TEST(Verdict, ReadingsEitherSideOfAMinuteHourOrDayAreComparedAsInstants) {
  struct Row {
    SystemTime received;
    const char* service;
    const char* line;
  };
  SystemTime next_day = At(0, 0, 0, 50);
  next_day.wDay = 28;
  const Row rows[] = {
      {At(12, 0, 0, 30), "2005-04-27 11:59:59.970", "[ 您的系统时间准确 感谢使用！ ]"},
      {At(13, 0, 0, 10), "2005-04-27 12:59:59.900", "[ 您的系统时间比北京时间快110ms请校准！ ]"},
      {next_day, "2005-04-27 23:59:59.900", "[ 您的系统时间比北京时间快150ms请校准！ ]"},
      {At(12, 0, 59, 999), "2005-04-27 12:01:59.000", "[ 您的系统时间比北京时间慢59001ms请校准！ ]"},
      {At(12, 1, 0, 0), "2005-04-27 12:00:00.000", "[ 您的系统时间不准确 请校准！ ]"},
      {At(11, 59, 0, 0), "2005-04-27 12:00:00.000", "[ 您的系统时间不准确 请校准！ ]"},
  };
  for (const Row& row : rows) {
    ClientRig rig;
    rig.Script(row.received, row.service, row.received);  // round trip 0
    rig.panel.DisplayTime();
    EXPECT_EQ(rig.panel.Label2.Caption(), row.line) << row.service;
  }
}

TEST(Deadline, EveryAttemptGetsWhatIsLeftOfOneDeadlineForTheWholeQuery) {
  ClientRig rig(8 * 3600, "http://time.example:8080", std::chrono::milliseconds(200));
  for (int i = 0; i < 3; ++i) rig.ScriptRoundTrip("2005-04-27 15:33:09.999", 10);
  // Each answer arrives 120 ms after it was asked for: the second attempt
  // has 80 ms left, and no third one is started.
  rig.transfer.DuringFetch = [] { std::this_thread::sleep_for(std::chrono::milliseconds(120)); };
  rig.panel.DisplayTime();
  ASSERT_EQ(rig.transfer.TimesLeft.size(), 2u);
  EXPECT_LE(rig.transfer.TimesLeft[0], std::chrono::milliseconds(200));
  EXPECT_GT(rig.transfer.TimesLeft[0], std::chrono::milliseconds(100));
  EXPECT_LE(rig.transfer.TimesLeft[1], std::chrono::milliseconds(80));
  EXPECT_EQ(rig.panel.Label1.Caption(), panel::kDelayMessage);
}

TEST(Verdict, AnAccurateResultAfterAWarningKeepsTheWarningColour) {
  ClientRig rig;
  rig.ScriptRoundTrip("2005-04-27 15:32:09.000", 0);
  rig.ScriptRoundTrip("2005-04-27 15:32:10.500", 0);
  rig.panel.DisplayTime();
  rig.panel.DisplayTime();
  EXPECT_EQ(rig.panel.Label2.Caption(), "[ 您的系统时间准确 感谢使用！ ]");
  EXPECT_EQ(rig.panel.Label2.ForeColor(), panel::kWarningColour);
}

TEST(Verdict, ComparesInTheMachinesOwnZone) {
  // A UTC machine whose clock is right reads 07:32 while Beijing says 15:32.
  ClientRig utc(0);
  utc.Script(At(7, 32, 8, 0), "2005-04-27 15:32:08.007", At(7, 32, 8, 7));
  utc.panel.DisplayTime();
  EXPECT_EQ(utc.panel.Label2.Caption(), "[ 您的系统时间准确 感谢使用！ ]");
  EXPECT_EQ(utc.panel.Label1.Caption(), "2005-04-27 15:32:08");
  EXPECT_EQ(utc.panel.serverHourText, "15");
  EXPECT_EQ(utc.panel.sysTimer.Tag(), "1929");

  // The same machine showing Beijing's digits is eight hours ahead.
  ClientRig wrong(0);
  wrong.Script(At(15, 32, 8, 0), "2005-04-27 15:32:08.007", At(15, 32, 8, 7));
  wrong.panel.DisplayTime();
  EXPECT_EQ(wrong.panel.Label2.Caption(), "[ 您的系统时间不准确 请校准！ ]");

  // Five hours behind UTC the local date is still the day before.
  ClientRig west(-5 * 3600);
  SystemTime local = At(14, 0, 0, 250);
  local.wDay = 26;
  west.Script(local, "2005-04-27 03:00:00.250", local);
  west.panel.DisplayTime();
  EXPECT_EQ(west.panel.Label2.Caption(), "[ 您的系统时间准确 感谢使用！ ]");
}

TEST(ShortAnswer, UnderTwentyThreeCharactersIsDecodedWholeEchoIncluded) {
  // "2005-" encodes to "40763", so this answer echoes stamp 40763 and
  // decodes to 22 characters ending in ms "007".
  ClientRig rig;
  const std::string answer = EncodeForDecoder("2005-04-27 15:32:08007");
  ASSERT_EQ(answer.substr(0, 5), "40763");
  rig.clock.Push(At(15, 32, 0, 0));
  rig.transfer.PushBody(answer);
  rig.clock.Push(At(15, 32, 40, 765));  // round trip 2
  rig.panel.DisplayTime();
  EXPECT_EQ(rig.panel.Label1.Caption(), "2005-04-27 15:32:08");
  EXPECT_EQ(rig.panel.serverTimeText, "2005-04-27 15:32:080008");
}

TEST(ShortAnswer, UnderFiveCharactersIsAllEcho) {
  // "5095" is echo 5095 and decodes to "3024": ms 24, no date.
  ClientRig rig;
  rig.clock.Push(At(15, 32, 0, 0));
  rig.transfer.PushBody("5095");
  rig.clock.Push(At(15, 32, 5, 195));  // round trip 100
  EXPECT_EQ(CodeOf([&] { rig.panel.DisplayTime(); }), ErrorCode::TypeMismatch);
  EXPECT_EQ(rig.panel.Label1.Caption(), "3024074");
}

TEST(Failure, NoAnswerIsATypeMismatchAfterTheTransferIsCancelled) {
  for (const bool busy : {true, false}) {
    ClientRig rig;
    rig.transfer.Busy = busy;
    rig.transfer.PushBody("");
    EXPECT_EQ(CodeOf([&] { rig.panel.DisplayTime(); }), ErrorCode::TypeMismatch);
    EXPECT_EQ(rig.transfer.Urls.size(), busy ? 0u : 1u);
    EXPECT_EQ(rig.transfer.Cancels, 1);
    EXPECT_EQ(rig.clock.Reads, 2);  // the second reading comes before the echo is read
    EXPECT_EQ(rig.panel.Label1.Caption(), panel::kLabel1Initial);
    EXPECT_EQ(rig.panel.MousePointer(), panel::kDefaultPointer);
  }
}

TEST(Failure, ATransferErrorEndsTheQueryWithNothingRolledBack) {
  ClientRig rig;
  rig.ScriptRoundTrip("2005-04-27 15:32:08.999", 10);  // fails the range test
  rig.transfer.PushError("connection refused");
  EXPECT_EQ(CodeOf([&] { rig.panel.DisplayTime(); }), ErrorCode::TransferFailed);
  EXPECT_EQ(rig.transfer.Urls.size(), 2u);
  EXPECT_EQ(rig.panel.Label1.Caption(), panel::kDelayMessage);
  EXPECT_EQ(rig.panel.MousePointer(), panel::kDefaultPointer);
  EXPECT_FALSE(rig.panel.sysTimer.Running());
}

TEST(Failure, TextsThatDoNotReadAreTypeMismatches) {
  const char* times[] = {"2005-04-27 15:32:08.0x7", "2005-02-29 15:32:08.007",
                         "2005-04-27 24:00:00.007", "2005-04-27 15:32:60.007",
                         "2005/04/27 15:32:08.007"};
  for (const char* time : times) {
    ClientRig rig;
    rig.ScriptRoundTrip(time, 0);
    EXPECT_EQ(CodeOf([&] { rig.panel.DisplayTime(); }), ErrorCode::TypeMismatch) << time;
    EXPECT_EQ(rig.panel.Label2.Caption(), panel::kLabel2Initial);
    EXPECT_TRUE(rig.panel.serverYearText.empty());
  }

  // A non-numeric echo.
  ClientRig rig;
  rig.clock.Push(At(15, 32, 10, 500));
  rig.transfer.PushBody("1O5OO|" + EncodeForDecoder(kService));
  EXPECT_EQ(CodeOf([&] { rig.panel.DisplayTime(); }), ErrorCode::TypeMismatch);
}

TEST(Failure, AnUnreadableDateLeavesWhatWasAlreadyShown) {
  ClientRig rig;
  rig.ScriptRoundTrip("2005-02-30 15:32:08.007", 0);
  EXPECT_EQ(CodeOf([&] { rig.panel.DisplayTime(); }), ErrorCode::TypeMismatch);
  EXPECT_EQ(rig.panel.Label1.Caption(), "2005-02-30 15:32:08.007");
  EXPECT_EQ(rig.panel.serverTimeText, "2005-02-30 15:32:08.007");
  EXPECT_EQ(rig.panel.Localtime.Caption(), "2005-04-27 15:32:10.500");
  EXPECT_EQ(rig.panel.MousePointer(), panel::kDefaultPointer);
}

}  // namespace
}  // namespace borvane::testing
