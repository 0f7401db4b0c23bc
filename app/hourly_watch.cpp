#include "app/hourly_watch.h"

#include <cstdio>

#include "app/client_report.h"

#include "client/panel_texts.h"
#include "client/service_zone.h"
#include "client/time_text.h"
#include "container/utf8.h"

namespace borvane::app {
namespace {

// The panel's next tick after a count of this many runs the re-check.
constexpr const char* kCountBeforeTheHour = "3600";
constexpr std::uint32_t kRetryIntervalMs = 1000;

std::string Stamp(const SystemTime& t) {
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03d", t.wYear, t.wMonth, t.wDay,
                t.wHour, t.wMinute, t.wSecond, t.wMilliseconds);
  return text;
}

std::int64_t MillisecondsOf(const SystemTime& t, std::int32_t ms) {
  return SecondsFromCivil(t) * 1000 + ms;
}

}  // namespace

HourlyWatch::HourlyWatch(Clock& clock, Transfer& transfer, EventLoop& loop,
                         std::string service_url, bool dry_run,
                         std::function<void(const std::string&)> log)
    : m_RealClock(clock),
      m_DryRun(dry_run),
      m_Log(std::move(log)),
      m_Clock(*this, clock),
      m_Transfer(*this, transfer),
      m_Loop(*this, loop),
      m_Site(m_Text, m_Loop, m_Cursor),
      // The site needs its name before the panel's parts load.
      m_Panel((m_Site.DisplayName = "client1", m_Site),
              ClientServices{m_Clock, m_Transfer, std::move(service_url)}) {
  m_Site.OnError = [this](const Error& error) { m_Check.Errors.push_back(DescribeError(error)); };
}

HourlyWatch::~HourlyWatch() {
  if (m_Retry != 0) m_Loop.Cancel(m_Retry);
}

void HourlyWatch::Start() {
  Begin();
  m_Panel.Initialize();
  End();
}

std::int32_t HourlyWatch::WatchClock::SetLocalTime(const SystemTime& time, std::int64_t utc_ms) {
  Check& check = m_Watch.m_Check;
  // Taken now: a successful setting shows the applied time in place of
  // the measured one.
  check.OffsetAtSetting = m_Watch.ShownOffsetMs();
  check.Setting = time;
  check.SetResult = m_Watch.m_DryRun ? 1 : m_Inner.SetLocalTime(time, utc_ms);
  return check.SetResult;
}

std::string HourlyWatch::WatchTransfer::OpenUrl(const std::string& url,
                                              std::chrono::milliseconds time_left) {
  ++m_Watch.m_Check.Fetches;
  return m_Inner.OpenUrl(url, time_left);
}

EventLoop::TimerId HourlyWatch::WatchLoop::StartRepeating(std::uint32_t interval_ms,
                                                          std::function<void()> tick) {
  return m_Inner.StartRepeating(interval_ms, [this, tick = std::move(tick)] {
    m_Watch.Begin();
    tick();
    m_Watch.End();
  });
}

std::optional<std::int64_t> HourlyWatch::ShownOffsetMs() {
  const std::string& service_text = m_Panel.serverTimeText;
  const std::string& local_ms = m_Panel.LabelMsL.Caption();
  if (service_text.size() != 23 || local_ms.size() != 4) return std::nullopt;
  try {
    const SystemTime local = ReadDateTime(m_Panel.Localtime.Caption());
    const SystemTime service = ServiceToLocal(ReadDateTime(Utf8Left(service_text, 19)), m_RealClock);
    return MillisecondsOf(local, ReadWholeNumber(local_ms.substr(1))) -
           MillisecondsOf(service, ReadWholeNumber(Utf8Right(service_text, 3)));
  } catch (const Error&) {
    return std::nullopt;
  }
}

void HourlyWatch::End() {
  const Check check = std::move(m_Check);
  m_Check = Check{};
  if (check.Fetches == 0 && check.Errors.empty()) return;  // a plain tick of the count

  bool failed = false;
  std::string action;
  std::string outcome = "checked";
  std::optional<std::int64_t> offset = ShownOffsetMs();
  if (!check.Errors.empty()) {
    failed = true;
    outcome = "failed";
    action = "failed: " + check.Errors.back();
  } else if (check.Setting) {
    offset = check.OffsetAtSetting;
    const std::string when = Stamp(*check.Setting);
    if (check.SetResult == 0) {
      const std::string reason = RefusalReason ? RefusalReason() : std::string();
      action = "refused to set " + when + (reason.empty() ? "" : ": " + reason);
      outcome = "refused";
    } else {
      action = (m_DryRun ? "would set " : "set ") + when;
      outcome = m_DryRun ? "would_set" : "set";
    }
  } else if (m_Panel.Label1.Caption() == panel::kDelayMessage) {
    failed = true;
    outcome = "failed";
    action = "failed: the round trip was too long to trust";
  } else {
    action = "checked";
  }

  std::string line = Stamp(m_RealClock.Now()) + " offset ";
  if (failed || !offset) {
    line += "unknown";
  } else {
    line += (*offset > 0 ? "+" : "") + std::to_string(*offset) + " ms";
  }
  m_Log(line + " " + action);
  if (Checked) Checked(outcome);
  if (failed) RetryAtNextTick();
}

void HourlyWatch::RetryAtNextTick() {
  if (m_Panel.sysTimer.Running()) {
    // The panel's own next tick runs the re-check again: query, then set.
    m_Panel.sysTimer.SetTag(kCountBeforeTheHour);
    return;
  }
  // No query was ever accepted, so the panel does not tick yet: ask again
  // as its query button would, once, a tick from now.
  if (m_Retry != 0) return;
  m_Retry = m_Loop.StartRepeating(kRetryIntervalMs, [this] {
    m_Loop.Cancel(m_Retry);
    m_Retry = 0;
    try {
      m_Panel.Command1_Click();
    } catch (const Error& error) {
      m_Check.Errors.push_back(DescribeError(error));
    }
  });
}

}  // namespace borvane::app
