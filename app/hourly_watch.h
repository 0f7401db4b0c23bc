#pragma once
// The panel's hourly re-check without a window: a whole `client` on a site
// of its own, driven by a real event loop (or a manual one in tests), with
// 每小时校准 ticked as the panel is created. The panel does the work exactly
// as in a window: the first query at creation, the one-second tick and its
// count, and at the count's pass over the hour a query and a clock setting.
//
// The watch only looks on and keeps it going: after every tick that asked
// the service or failed it writes one log line (the time, the clock's
// offset from the service, what was done), and a failed check is tried
// again at the next tick instead of an hour later, so a service that is
// down for a minute does not cost the machine an hour of drift.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "client/client.h"
#include "container/basic_site.h"
#include "container/clock.h"
#include "container/error.h"
#include "container/event_loop.h"
#include "container/null_text_engine.h"
#include "container/transfer.h"

namespace borvane::app {

class HourlyWatch {
 public:
  // With `dry_run` the clock is read but never set: each setting is logged
  // as "would set". `log` gets one line per check, without the newline.
  HourlyWatch(Clock& clock, Transfer& transfer, EventLoop& loop, std::string service_url,
              bool dry_run, std::function<void(const std::string&)> log);
  ~HourlyWatch();
  HourlyWatch(const HourlyWatch&) = delete;
  HourlyWatch& operator=(const HourlyWatch&) = delete;

  // The panel's creation notification: the first query, logged.
  void Start();

  // Why the clock refused the last setting (e.g. the system's message);
  // optional, the log says "refused" alone without it.
  std::function<std::string()> RefusalReason;
  // After each logged check, with what it came to: "checked", "set",
  // "would_set", "refused" (the system refused the setting) or "failed".
  std::function<void(const std::string& outcome)> Checked;

  const client& Panel() const { return m_Panel; }

 private:
  // What the ticks of one check did.
  struct Check {
    int Fetches = 0;
    std::optional<SystemTime> Setting;
    std::int32_t SetResult = 0;
    std::optional<std::int64_t> OffsetAtSetting;
    std::vector<std::string> Errors;
  };

  // The clock as the panel sees it: real readings; settings recorded, and
  // passed on unless dry.
  class WatchClock final : public Clock {
   public:
    WatchClock(HourlyWatch& watch, Clock& inner) : m_Watch(watch), m_Inner(inner) {}
    SystemTime Now() override { return m_Inner.Now(); }
    std::int32_t UtcOffsetSeconds(std::int64_t utc) override { return m_Inner.UtcOffsetSeconds(utc); }
    std::int32_t SetLocalTime(const SystemTime& time, std::int64_t utc_ms) override;

   private:
    HourlyWatch& m_Watch;
    Clock& m_Inner;
  };

  // Counts the panel's fetches: a tick that fetched nothing was no check.
  class WatchTransfer final : public Transfer {
   public:
    WatchTransfer(HourlyWatch& watch, Transfer& inner) : m_Watch(watch), m_Inner(inner) {}
    bool StillExecuting() override { return m_Inner.StillExecuting(); }
    std::string OpenUrl(const std::string& url, std::chrono::milliseconds time_left) override;
    void Cancel() override { m_Inner.Cancel(); }

   private:
    HourlyWatch& m_Watch;
    Transfer& m_Inner;
  };

  // The host's loop with every tick bracketed as one check.
  class WatchLoop final : public EventLoop {
   public:
    WatchLoop(HourlyWatch& watch, EventLoop& inner) : m_Watch(watch), m_Inner(inner) {}
    TimerId StartRepeating(std::uint32_t interval_ms, std::function<void()> tick) override;
    void Cancel(TimerId id) override { m_Inner.Cancel(id); }

   private:
    HourlyWatch& m_Watch;
    EventLoop& m_Inner;
  };

  void Begin() { m_Check = Check{}; }
  void End();
  // The local clock's offset from the service by the panel's last accepted
  // query, in ms; positive when the local clock is ahead.
  std::optional<std::int64_t> ShownOffsetMs();
  void RetryAtNextTick();

  Clock& m_RealClock;
  bool m_DryRun;
  std::function<void(const std::string&)> m_Log;
  Check m_Check;
  EventLoop::TimerId m_Retry = 0;

  WatchClock m_Clock;
  WatchTransfer m_Transfer;
  WatchLoop m_Loop;
  NullTextEngine m_Text;
  FixedCursor m_Cursor;
  BasicSite m_Site;
  client m_Panel;
};

}  // namespace borvane::app
