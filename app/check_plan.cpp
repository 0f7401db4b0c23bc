#include "app/check_plan.h"

#include <cmath>
#include <cstdio>
#include <optional>

#include "client/service_zone.h"
#include "client/time_text.h"
#include "container/error.h"
#include "container/utf8.h"

namespace borvane::app {

namespace {

// The local clock's offset from the service time the panel shows, in ms;
// positive when the local clock is ahead. Empty when it shows none.
std::optional<std::int64_t> ShownOffsetMs(const client& panel, Clock& clock) {
  const std::string& service_text = panel.serverTimeText;
  const std::string& local_ms = panel.LabelMsL.Caption();
  if (service_text.size() != 23 || local_ms.size() != 4) return std::nullopt;
  try {
    const SystemTime local = ReadDateTime(panel.Localtime.Caption());
    SystemTime service = ReadDateTime(Utf8Left(service_text, 19));
    service.wMilliseconds = static_cast<std::int16_t>(ReadWholeNumber(Utf8Right(service_text, 3)));
    const std::int64_t service_utc = ServiceToUtcMilliseconds(service);
    SystemTime local_full = local;
    local_full.wMilliseconds = static_cast<std::int16_t>(ReadWholeNumber(local_ms.substr(1)));
    return LocalToUtcMilliseconds(local_full, clock, service_utc) - service_utc;
  } catch (const Error&) {
    return std::nullopt;
  }
}

nlohmann::json Figure(double ms) { return nlohmann::json(std::round(ms * 1000) / 1000); }

}  // namespace

void AddSourceOptions(CLI::App* command, std::vector<std::string>& services, int& samples) {
  command->add_option("--service", services,
                      "time source: http[s]://HOST[:PORT] (the panel's own service), ntp://HOST[:PORT], "
                      "date+http[s]://HOST[:PORT][/PATH] (a web server's Date header); "
                      "give it again to ask several and keep those that agree (default: the build "
                      "setting, else an embedded reference service on loopback)")
      ->allow_extra_args(false);
  command->add_option("--samples", samples,
                      "exchanges with each source per check, 1 to 64; the lowest-delay half is "
                      "averaged (default: 1 for the own service, 8 for NTP; for Date, as many as "
                      "bisecting the server's second needs in the check's 10 s)")
      ->check(CLI::Range(1, 64));
}

CheckPlan::CheckPlan(const std::vector<std::string>& services, int samples,
                     const std::string& ca_file)
    : m_Addresses(services) {
  const bool one_own = services.empty() || (services.size() == 1 && KindOf(services.front()) == SourceKind::Own);
  if (one_own) {
    m_Endpoint = std::make_unique<ServiceEndpoint>(services.empty() ? std::string() : services.front());
    m_PanelUrl = m_Endpoint->Url();
    m_Addresses = {m_PanelUrl};
  }
  m_Combined = CombiningTransfer(m_Addresses, samples, ca_file);
  if (!m_Combined) return;  // the panel's own single query, as it always was
  m_Combined->Warn = [](const std::string& line) {
    std::fprintf(stderr, "borvane: %s\n", EscapeControls(line).c_str());
  };
  m_PanelUrl = m_Addresses.front();
}

std::string TimedTransfer::OpenUrl(const std::string& url, std::chrono::milliseconds time_left) {
  const auto start = std::chrono::steady_clock::now();
  std::string answer = m_Inner.OpenUrl(url, time_left);
  LastRoundTripMs =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  return answer;
}

Transfer& CheckPlan::PanelTransfer(Transfer& plain) {
  if (m_Combined) return *m_Combined;
  if (!m_Timed) m_Timed = std::make_unique<TimedTransfer>(plain);
  return *m_Timed;
}

std::string CheckPlan::Describe() const {
  if (m_Endpoint) return m_Endpoint->Describe();
  std::string text;
  for (const std::string& a : m_Addresses) text += (text.empty() ? "" : ", ") + a;
  return text;
}

void CheckPlan::AddSourcesJson(const client& panel, Clock& clock, nlohmann::json& out) const {
  nlohmann::json sources = nlohmann::json::array();
  out["offset_ms"] = nullptr;
  out["bound_ms"] = nullptr;
  if (!m_Combined) {
    // The panel's own single fetch: its offset as it shows it, bounded by
    // half the fetch's round trip and the millisecond the texts round to.
    const std::optional<std::int64_t> offset = ShownOffsetMs(panel, clock);
    // Negative: no fetch finished.
    const double round_trip =
        m_Timed && m_Timed->LastRoundTripMs ? *m_Timed->LastRoundTripMs : -1.0;
    nlohmann::json s = {{"service", m_PanelUrl}, {"samples", 1}};
    if (offset && round_trip >= 0) {
      const double bound = round_trip / 2 + 1;
      s["offset_ms"] = *offset;
      s["bound_ms"] = Figure(bound);
      s["round_trip_ms"] = Figure(round_trip);
      s["kept"] = true;
      s["error"] = nullptr;
      out["offset_ms"] = *offset;
      out["bound_ms"] = Figure(bound);
    } else {
      s["offset_ms"] = nullptr;
      s["bound_ms"] = nullptr;
      s["round_trip_ms"] = round_trip >= 0 ? Figure(round_trip) : nlohmann::json(nullptr);
      s["kept"] = false;
      s["error"] = "no usable service time";
    }
    sources.push_back(s);
    out["sources"] = sources;
    return;
  }
  for (const SourceOutcome& o : m_Combined->LastOutcomes()) {
    nlohmann::json s = {{"service", o.Address}, {"kept", o.Kept}};
    if (o.Estimate) {
      s["offset_ms"] = Figure(o.Estimate->OffsetMs);
      s["bound_ms"] = Figure(o.Estimate->BoundMs);
      s["round_trip_ms"] = Figure(o.Estimate->RoundTripMs);
      s["samples"] = o.Estimate->Samples;
      s["error"] = nullptr;
    } else {
      s["offset_ms"] = nullptr;
      s["bound_ms"] = nullptr;
      s["round_trip_ms"] = nullptr;
      s["samples"] = 0;
      s["error"] = o.Error;
    }
    sources.push_back(s);
  }
  out["sources"] = sources;
  if (const auto& agreed = m_Combined->LastAgreement()) {
    out["offset_ms"] = Figure(agreed->OffsetMs);
    out["bound_ms"] = Figure(agreed->BoundMs);
  }
}

}  // namespace borvane::app
