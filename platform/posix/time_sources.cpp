#include "platform/posix/time_sources.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <future>
#include <stdexcept>
#include <thread>

#include "client/decrypt.h"
#include "client/service_zone.h"
#include "client/time_text.h"
#include "container/error.h"
#include "container/utf8.h"
#include "platform/posix/date_source.h"
#include "platform/posix/ntp_source.h"
#include "platform/posix/service_url.h"
#include "service/time_encoding.h"

namespace borvane {

namespace {

using SystemClock = std::chrono::system_clock;

double NowMs() {
  return std::chrono::duration<double, std::milli>(SystemClock::now().time_since_epoch()).count();
}

// The answer's echo and its encoded time (service/time_answer.h).
constexpr std::size_t kEchoLength = 5;
constexpr std::size_t kEncodedLength = 23;

std::string Stamp(SystemClock::time_point t) {
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch()).count();
  char text[8];
  std::snprintf(text, sizeof text, "%02d%03d", static_cast<int>(ms / 1000 % 60),
                static_cast<int>(ms % 1000));
  return text;
}

}  // namespace

SourceKind KindOf(const std::string& address) {
  if (address.rfind("http://", 0) == 0 || address.rfind("https://", 0) == 0) return SourceKind::Own;
  if (address.rfind("ntp://", 0) == 0) return SourceKind::Ntp;
  if (address.rfind("date+http://", 0) == 0 || address.rfind("date+https://", 0) == 0) {
    return SourceKind::Date;
  }
  throw std::runtime_error(
      "a time source address must start with http:// or https:// (the panel's own service), ntp:// "
      "or date+http[s]:// (a web server's Date header), got \"" + address + "\"");
}

int DefaultSamples(SourceKind kind) {
  switch (kind) {
    case SourceKind::Own: return 1;
    case SourceKind::Ntp: return 8;
    case SourceKind::Date: return 0;  // as many as the bisection needs in the time given
  }
  return 1;
}

std::string FormatMs(double ms) {
  char text[48];
  std::snprintf(text, sizeof text, "%+.3f ms", ms);
  return text;
}

OwnProtocolSource::OwnProtocolSource(std::string address, std::string ca_file)
    : m_Address(std::move(address)) {
  m_Transfer.SetCaFile(ca_file);
}

SourceEstimate OwnProtocolSource::Measure(int samples, std::chrono::milliseconds time_left) {
  using Steady = std::chrono::steady_clock;
  const Steady::time_point deadline = Steady::now() + time_left;
  const std::string base = NormaliseServiceUrl(m_Address) + "/times/nolvera.aspx?borvane=";
  std::vector<TimeSample> taken;
  // The first fetch opens the connection; only the ones after it are timed.
  m_Transfer.SetCancelSignal(m_Cancel);
  for (int fetch = 0; fetch <= samples; ++fetch) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Steady::now());
    if (left.count() <= 0) break;
    if (Cancelled()) throw Error(ErrorCode::TransferFailed, m_Address + ": cancelled");
    const SystemClock::time_point sent = SystemClock::now();
    const double t1 = NowMs();
    const std::string answer = m_Transfer.OpenUrl(base + Stamp(sent), left);
    const double t4 = NowMs();
    if (fetch == 0) continue;
    Variant text(Utf8Right(answer, kEncodedLength));
    Variant key(kDecoderKey);
    const std::string decoded = DeCrypt(text, key);
    if (Utf8Left(answer, kEchoLength).size() != kEchoLength || decoded.size() != 23) {
      throw Error(ErrorCode::TypeMismatch, m_Address + ": the answer is not a time answer");
    }
    SystemTime beijing = ReadDateTime(Utf8Left(decoded, 19));
    beijing.wMilliseconds = static_cast<std::int16_t>(ReadWholeNumber(Utf8Right(decoded, 3)));
    // The service truncates to the millisecond: its instant lies within
    // the millisecond it names.
    const double service_ms = static_cast<double>(ServiceToUtcMilliseconds(beijing)) + 0.5;
    taken.push_back({(t1 + t4) / 2 - service_ms, t4 - t1, 0.5});
  }
  if (taken.empty()) throw Error(ErrorCode::TransferFailed, m_Address + ": no answer in time");
  return EstimateFromSamples(taken);
}

std::unique_ptr<TimeSource> MakeSource(const std::string& address, const std::string& ca_file) {
  switch (KindOf(address)) {
    case SourceKind::Own:
      NormaliseServiceUrl(address);  // refuses a malformed address before any check
      return std::make_unique<OwnProtocolSource>(address, ca_file);
    case SourceKind::Ntp:
      return std::make_unique<NtpSource>(address);
    case SourceKind::Date:
      return std::make_unique<DateSource>(address, ca_file);
  }
  throw std::logic_error("unknown source kind");
}

SourceTransfer::SourceTransfer(std::vector<std::unique_ptr<TimeSource>> sources,
                               std::vector<int> samples)
    : m_Sources(std::move(sources)), m_Samples(std::move(samples)) {
  for (const auto& source : m_Sources) source->SetCancelSignal(&m_Cancel);
}

bool SourceTransfer::StillExecuting() {
  std::lock_guard lock(m_State);
  return m_Busy;
}

void SourceTransfer::Cancel() {
  std::lock_guard lock(m_State);
  if (m_Busy) m_Cancel.Raise();
}

std::string SourceTransfer::OpenUrl(const std::string&, std::chrono::milliseconds time_left) {
  {
    // Busy and the signal change together, so a Cancel cannot fall between.
    std::lock_guard lock(m_State);
    if (m_Busy) throw Error(ErrorCode::TransferFailed, "a check is still running");
    m_Busy = true;
    m_Cancel.Reset();
  }
  struct Idle {
    SourceTransfer& Owner;
    ~Idle() {
      std::lock_guard lock(Owner.m_State);
      Owner.m_Busy = false;
    }
  } idle{*this};
  return Combine(time_left);
}

std::string SourceTransfer::Combine(std::chrono::milliseconds time_left) {

  // Every source at once, each within the same time.
  std::vector<std::future<SourceEstimate>> running;
  for (std::size_t i = 0; i < m_Sources.size(); ++i) {
    running.push_back(std::async(std::launch::async, [this, i, time_left] {
      return m_Sources[i]->Measure(m_Samples[i], time_left);
    }));
  }
  m_Outcomes.clear();
  for (std::size_t i = 0; i < m_Sources.size(); ++i) {
    SourceOutcome outcome;
    outcome.Address = m_Sources[i]->Address();
    try {
      outcome.Estimate = running[i].get();
    } catch (const std::exception& e) {
      outcome.Error = e.what();
    }
    m_Outcomes.push_back(std::move(outcome));
  }
  if (m_Cancel.Raised()) throw Error(ErrorCode::TransferFailed, "the check was cancelled");
  m_Agreement = SelectAgreeing(m_Outcomes);

  for (const SourceOutcome& o : m_Outcomes) {
    if (!Warn) break;
    if (!o.Error.empty()) {
      Warn("time source " + o.Address + " failed: " + o.Error);
    } else if (!o.Kept && m_Agreement) {
      Warn("time source " + o.Address + " left out: it disagrees with the others by " +
           FormatMs(o.DisagreementMs));
    }
  }
  if (!m_Agreement) {
    if (m_Outcomes.size() == 1) throw Error(ErrorCode::TransferFailed, m_Outcomes.front().Error);
    std::string message = "no majority of the time sources agree:";
    for (const SourceOutcome& o : m_Outcomes) {
      message += " " + o.Address + " " +
                 (o.Estimate ? FormatMs(o.Estimate->OffsetMs) + " ± " + FormatMs(o.Estimate->BoundMs).substr(1)
                             : std::string("failed")) + ";";
    }
    message.pop_back();
    throw Error(ErrorCode::TransferFailed, message);
  }

  // Answer at a moment when neither our milliseconds nor the agreed time's
  // are about to carry into the next second: the panel reads its clock just
  // after this, and a carry between the two readings would make it take
  // the answer for one that crossed a second.
  const auto offset = std::chrono::duration<double, std::milli>(m_Agreement->OffsetMs);
  for (;;) {
    const SystemClock::time_point now = SystemClock::now();
    // Rounded to the nearest millisecond, since the text truncates.
    const auto service = now - std::chrono::duration_cast<SystemClock::duration>(offset) +
                         std::chrono::microseconds(500);
    const auto local_ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    const auto service_ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(service.time_since_epoch()).count() % 1000;
    if (local_ms < 990 && service_ms < 990) {
      return Stamp(now) + EncodeTime(FormatBeijingTime(service));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

std::unique_ptr<SourceTransfer> CombiningTransfer(const std::vector<std::string>& addresses,
                                                  int samples, const std::string& ca_file) {
  if (addresses.size() == 1 && KindOf(addresses.front()) == SourceKind::Own && samples <= 1) {
    NormaliseServiceUrl(addresses.front());  // refuses a malformed address before any check
    return nullptr;
  }
  std::vector<std::unique_ptr<TimeSource>> sources;
  std::vector<int> counts;
  for (const std::string& address : addresses) {
    sources.push_back(MakeSource(address, ca_file));
    counts.push_back(samples > 0 ? samples : DefaultSamples(KindOf(address)));
  }
  return std::make_unique<SourceTransfer>(std::move(sources), std::move(counts));
}

}  // namespace borvane
