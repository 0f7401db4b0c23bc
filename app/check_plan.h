#pragma once
// What the check asks, from the command line's --service (any number of
// them) and --samples: one own-protocol service asked once goes to the
// panel as it always has (no --service at all: the build setting or the
// embedded reference service); anything else goes through a SourceTransfer
// that combines the sources before the panel sees one answer.

#include <CLI/CLI.hpp>

#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "app/service_endpoint.h"
#include "platform/posix/time_sources.h"
#include "client/client.h"

namespace borvane::app {

// --service (repeatable) and --samples, as every command that checks takes them.
void AddSourceOptions(CLI::App* command, std::vector<std::string>& services, int& samples);

// Measures the round trip of every fetch through it: the plain own-protocol
// check's one source, reported beside what the panel made of the answer.
class TimedTransfer final : public Transfer {
 public:
  explicit TimedTransfer(Transfer& inner) : m_Inner(inner) {}
  bool StillExecuting() override { return m_Inner.StillExecuting(); }
  std::string OpenUrl(const std::string& url, std::chrono::milliseconds time_left) override;
  void Cancel() override { m_Inner.Cancel(); }
  std::optional<double> LastRoundTripMs;

 private:
  Transfer& m_Inner;
};

class CheckPlan {
 public:
  // `samples` 0: each source's default. Throws std::runtime_error on an
  // address that does not read.
  CheckPlan(const std::vector<std::string>& services, int samples, const std::string& ca_file);

  // The address the panel is built with (its banner shows the host).
  const std::string& PanelUrl() const { return m_PanelUrl; }
  // The transfer the panel is to use: `plain` itself (timed) for its own
  // single fetch, else the combining transfer.
  Transfer& PanelTransfer(Transfer& plain);
  std::string Describe() const;
  // The combining transfer, or null on the plain path.
  SourceTransfer* Combined() { return m_Combined.get(); }

  // "sources" (one object per address) and the combined "offset_ms" and
  // "bound_ms" (null when there is no agreed figure), added to `out`.
  void AddSourcesJson(const client& panel, Clock& clock, nlohmann::json& out) const;

 private:
  std::unique_ptr<ServiceEndpoint> m_Endpoint;  // the plain path's service
  std::unique_ptr<SourceTransfer> m_Combined;
  std::unique_ptr<TimedTransfer> m_Timed;
  std::vector<std::string> m_Addresses;
  std::string m_PanelUrl;
};

}  // namespace borvane::app
