#pragma once
// What `borvane watch --metrics` serves: the clock's offset as the last
// check found it, per source too, and how the checks went, in the
// Prometheus text format.

#include <cstdint>
#include <map>
#include <nlohmann/json.hpp>
#include <string>

namespace borvane::app {

class WatchMetrics {
 public:
  WatchMetrics();
  // A check came to `outcome` ("checked", "set", "would_set", "refused",
  // "failed") at `unix_seconds`; `report` is the check's JSON ("sources",
  // "offset_ms", "bound_ms"). Offsets stay as the last check that had one
  // left them.
  void Record(const std::string& outcome, const nlohmann::json& report, double unix_seconds);
  std::string Render() const;

 private:
  std::map<std::string, std::uint64_t> m_Checks;
  nlohmann::json m_Report;  // of the last check with an agreed offset
  double m_LastCheck = 0;   // when that check ran; 0: none yet
};

}  // namespace borvane::app
