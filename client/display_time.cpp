// The time query: one round trip to the service, measured against the
// local clock, shown on the panel and stored for the clock setting and the
// hourly re-check.

#include <chrono>
#include <cmath>
#include <cstdlib>

#include "client/client.h"
#include "client/decrypt.h"
#include "client/panel_texts.h"
#include "client/service_zone.h"
#include "client/time_text.h"
#include "container/error.h"
#include "container/utf8.h"

namespace borvane {

namespace {

// Characters of the answer that carry the echoed send stamp, and of its
// tail that carry the encoded time.
constexpr std::size_t kEchoLength = 5;
constexpr std::size_t kEncodedLength = 23;
// The decoded time: "YYYY-MM-DD hh:mm:ss" (19), a separator, 3 digits of ms.
constexpr std::size_t kDateTimeLength = 19;
constexpr std::size_t kMillisecondsLength = 3;

constexpr std::uint32_t kTickIntervalMs = 1000;

// Readings a minute or more apart get the verdict without a figure; within
// 100 ms either way the clock counts as right.
constexpr std::int64_t kMinuteMs = 60'000;
constexpr std::int64_t kAccurateMs = 100;

}  // namespace

std::string client::QueryAddress(const std::string& stamp) const {
  std::string base = m_Services.service_url;
  while (!base.empty() && base.back() == '/') base.pop_back();
  return base + "/times/nolvera.aspx?borvane=" + stamp;
}

std::string client::DisplayTime() {
  Ask(AfterQuery::Nothing);
  return {};
}

std::optional<client::Measurement> client::Measure(const std::string& answer) {
  Variant texti(Utf8Right(answer, kEncodedLength));
  Variant key(kDecoderKey);  // fresh each time: DeCrypt replaces it by the shift
  Measurement m;
  m.Decoded = borvane::DeCrypt(texti, key);
  m.Local = m_Services.clock.Now();

  // Round trip in ms from the echo alone, 32-bit signed. Across a minute
  // boundary it comes out strongly negative, and the range test rejects it.
  const std::int32_t echo = ReadWholeNumber(Utf8Left(answer, kEchoLength));
  const std::int32_t received = m.Local.wSecond * 1000 + m.Local.wMilliseconds;
  const std::int32_t round_trip =
      ToInt32(static_cast<double>(static_cast<std::int64_t>(received) - echo));
  // Half the round trip, ties to the even millisecond.
  const std::int32_t one_way = ToInt32(round_trip / 2.0);

  const std::int64_t corrected =
      std::int64_t{ReadWholeNumber(Utf8Right(m.Decoded, kMillisecondsLength))} + one_way;
  // A correction that carries into the seconds is not trusted.
  if (corrected < 0 || corrected > 999) return std::nullopt;
  m.CorrectedMs = static_cast<std::int32_t>(corrected);
  return m;
}

void client::ShowResult(const Measurement& m) {
  const std::string service_text =
      Utf8Left(m.Decoded, kDateTimeLength + 1) + PadLeft3(std::to_string(m.CorrectedMs));
  Label1.SetCaption(service_text);
  serverTimeText = service_text;
  SetPointer(panel::kDefaultPointer);

  const std::string local_text = FormatDateTime(m.Local);
  const std::string local_ms = PadLeft3(std::to_string(m.Local.wMilliseconds));
  Localtime.SetCaption(local_text + "." + local_ms);

  // Beijing time, as the service gave it.
  const SystemTime service = ReadDateTime(Utf8Left(service_text, kDateTimeLength));
  SystemTime service_ms = service;
  service_ms.wMilliseconds = static_cast<std::int16_t>(m.CorrectedMs);
  CompareClocks(m.Local, service_ms);

  LabelMsS.SetCaption("." + Utf8Right(serverTimeText, kMillisecondsLength));
  LabelMsL.SetCaption("." + local_ms);

  // The count of the hourly re-check restarts from the service's seconds
  // into the hour.
  sysTimer.SetInterval(kTickIntervalMs);
  sysTimer.SetTag(std::to_string(service.wMinute * 60 + service.wSecond));
  serverYearText = std::to_string(service.wYear);
  serverMonthText = std::to_string(service.wMonth);
  serverDayText = std::to_string(service.wDay);
  serverHourText = std::to_string(service.wHour);

  sysTimer_Timer();

  Label1.SetCaption(Utf8Left(m.Decoded, kDateTimeLength));
  Localtime.SetCaption(local_text);
}

void client::CompareClocks(const SystemTime& local, const SystemTime& beijing) {
  // Whole instants are compared, so two readings either side of a minute,
  // hour or day boundary are as near as they really are, and a clock set
  // right elsewhere than GMT+8 is not reported as wrong.
  const std::int64_t service_ms = ServiceToUtcMilliseconds(beijing);
  const std::int64_t local_ms = LocalToUtcMilliseconds(local, m_Services.clock, service_ms);
  // Positive when the local clock is ahead.
  const std::int64_t offset = local_ms - service_ms;
  if (offset <= -kMinuteMs || offset >= kMinuteMs) {
    Label2.SetForeColor(panel::kWarningColour);
    Label2.SetCaption(panel::kClockWrong);
    return;
  }

  if (offset > kAccurateMs || offset < -kAccurateMs) {
    Label2.SetForeColor(panel::kWarningColour);
    Label2.SetCaption(std::string(panel::kClockOffsetPrefix) +
                      (offset > 0 ? panel::kClockAhead : panel::kClockBehind) +
                      std::to_string(offset > 0 ? offset : -offset) + panel::kClockOffsetSuffix);
  } else {
    // The colour stays as it is: a warning colour from an earlier query remains.
    Label2.SetCaption(panel::kClockRight);
  }
}

}  // namespace borvane
