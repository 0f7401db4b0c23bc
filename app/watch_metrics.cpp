#include "app/watch_metrics.h"

#include <cmath>
#include <cstdio>

#include "platform/posix/metrics_server.h"

namespace borvane::app {

namespace {

std::string Number(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.9g", value);
  return text;
}

void Family(std::string& out, const char* name, const char* type, const char* help) {
  out += std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " " + type + "\n";
}

}  // namespace

WatchMetrics::WatchMetrics() {
  for (const char* outcome : {"checked", "set", "would_set", "refused", "failed"}) m_Checks[outcome] = 0;
}

void WatchMetrics::Record(const std::string& outcome, const nlohmann::json& report,
                          double unix_seconds) {
  ++m_Checks[outcome];
  if (outcome != "failed" && report.contains("offset_ms") && report["offset_ms"].is_number()) {
    m_Report = report;
    m_LastCheck = unix_seconds;
  }
}

std::string WatchMetrics::Render() const {
  std::string out;
  Family(out, "borvane_clock_offset_seconds", "gauge",
         "This clock minus the agreed time of the sources (positive: ahead); with a service label, "
         "that source's own figure.");
  const bool measured = m_Report.is_object();
  if (measured) {
    out += "borvane_clock_offset_seconds " + Number(m_Report["offset_ms"].get<double>() / 1000) + "\n";
    for (const auto& s : m_Report["sources"]) {
      if (!s["offset_ms"].is_number()) continue;
      out += "borvane_clock_offset_seconds{service=\"" + MetricLabel(s["service"].get<std::string>()) +
             "\"} " + Number(s["offset_ms"].get<double>() / 1000) + "\n";
    }
  }
  Family(out, "borvane_clock_offset_bound_seconds", "gauge",
         "The true offset lies within the offset plus or minus this.");
  if (measured && m_Report["bound_ms"].is_number()) {
    out += "borvane_clock_offset_bound_seconds " + Number(m_Report["bound_ms"].get<double>() / 1000) + "\n";
  }
  Family(out, "borvane_check_round_trip_seconds", "gauge",
         "The shortest round trip to a source kept in the last check.");
  if (measured) {
    double shortest = INFINITY;
    for (const auto& s : m_Report["sources"]) {
      if (s["kept"].get<bool>() && s["round_trip_ms"].is_number()) {
        shortest = std::min(shortest, s["round_trip_ms"].get<double>());
      }
    }
    if (std::isfinite(shortest)) out += "borvane_check_round_trip_seconds " + Number(shortest / 1000) + "\n";
  }
  Family(out, "borvane_last_check_timestamp_seconds", "gauge",
         "When the offsets above were measured (seconds since 1970).");
  if (measured) {
    char stamp[48];
    std::snprintf(stamp, sizeof stamp, "%.3f", m_LastCheck);
    out += std::string("borvane_last_check_timestamp_seconds ") + stamp + "\n";
  }
  Family(out, "borvane_source_kept", "gauge",
         "1 when the source agreed with the majority in the last check, else 0.");
  if (measured) {
    for (const auto& s : m_Report["sources"]) {
      out += "borvane_source_kept{service=\"" + MetricLabel(s["service"].get<std::string>()) + "\"} " +
             (s["kept"].get<bool>() ? "1" : "0") + "\n";
    }
  }
  Family(out, "borvane_checks_total", "counter", "Checks by what they came to.");
  for (const auto& [outcome, count] : m_Checks) {
    out += "borvane_checks_total{outcome=\"" + outcome + "\"} " + std::to_string(count) + "\n";
  }
  return out;
}

}  // namespace borvane::app
