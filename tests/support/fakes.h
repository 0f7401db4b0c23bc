#pragma once
// Fakes of the clock and the HTTP transfer, so every time check runs
// exactly, without the network or the real clock.

#include <chrono>
#include <cstdint>
#include <functional>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "container/clock.h"
#include "container/transfer.h"

namespace borvane::testing {

// A clock that hands out the readings it was given, in order, then repeats
// the last one; records every setting instead of touching the real clock.
class FakeClock final : public Clock {
 public:
  explicit FakeClock(std::int32_t utc_offset_seconds = 8 * 3600)
      : m_Offset(utc_offset_seconds) {}

  void Push(SystemTime reading) { m_Readings.push_back(reading); }
  // Convenience: a reading on 2005-04-27 at h:m:s.ms.
  void Push(int hour, int minute, int second, int ms);

  SystemTime Now() override;
  std::int32_t SetLocalTime(const SystemTime& record, std::int64_t utc_milliseconds) override;
  std::int32_t UtcOffsetSeconds(std::int64_t utc) override { return Zone ? Zone(utc) : m_Offset; }

  void SetOffset(std::int32_t seconds) { m_Offset = seconds; }
  // When set, the zone's offset at each UTC instant, instead of the fixed one.
  std::function<std::int32_t(std::int64_t)> Zone;
  // What SetLocalTime answers; non-zero means the setting was accepted.
  std::int32_t SetResult = 1;
  std::vector<SystemTime> Settings;
  std::vector<std::int64_t> Instants;  // ms since 1970 UTC, one per setting
  int Reads = 0;

 private:
  std::deque<SystemTime> m_Readings;
  SystemTime m_Last{};
  std::int32_t m_Offset;
};

// A transfer that answers from a script of bodies (or errors), records the
// addresses it was asked for, and counts cancels.
//
// Deferred, it behaves as a transfer that runs in the background: Start
// only records the fetch, and the next scripted answer reaches the
// completion when the test calls Complete. Cancel drops the waiting
// completion, as the contract says; it is kept in Dropped, so a test can
// play a transfer that delivers anyway.
class ScriptedTransfer final : public Transfer {
 public:
  void PushBody(std::string body) { m_Script.push_back(Step{std::move(body), std::nullopt}); }
  void PushError(std::string message) { m_Script.push_back(Step{{}, std::move(message)}); }

  bool StillExecuting() override { return Busy || Pending(); }
  std::string OpenUrl(const std::string& url, std::chrono::milliseconds time_left) override;
  void Start(const std::string& url, std::chrono::milliseconds time_left,
             Completion done) override;
  void Cancel() override;

  // Answers the fetch that waits; false when none does.
  bool Complete();
  bool Pending() const { return static_cast<bool>(m_Waiting); }

  bool Deferred = false;
  Completion Dropped;

  bool Busy = false;
  int Cancels = 0;
  std::vector<std::string> Urls;
  std::vector<std::chrono::milliseconds> TimesLeft;  // what each fetch was given
  // Runs inside each fetch before it answers, e.g. to let time pass.
  std::function<void()> DuringFetch;

 private:
  struct Step {
    std::string Body;
    std::optional<std::string> ErrorMessage;
  };
  // The next scripted body; raises the scripted error.
  std::string NextAnswer();

  std::deque<Step> m_Script;
  Completion m_Waiting;
};

}  // namespace borvane::testing
