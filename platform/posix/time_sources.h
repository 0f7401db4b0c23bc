#pragma once
// The time sources a check can ask, chosen by the address's scheme:
//   http[s]://HOST[:PORT]   the panel's own protocol (the reference service)
//   ntp://HOST[:PORT]       NTP (platform/posix/ntp_source.h)
//   date+http[s]://HOST[:PORT][/PATH]   a web server's Date header
//                                       (platform/posix/date_source.h)
// and how the panel is given them: the plain transfer for one own-protocol
// source asked once (exactly the panel's own query), else a transfer that
// asks every source, combines those that agree and hands the panel one
// answer in its own protocol. The command line and the GTK widget both
// choose this way.

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "container/transfer.h"
#include "platform/posix/cancel_signal.h"
#include "platform/posix/curl_transfer.h"
#include "platform/posix/source_selection.h"
#include "platform/posix/time_source.h"

namespace borvane {

enum class SourceKind { Own, Ntp, Date };

// The kind of an address by its scheme; throws std::runtime_error naming
// the accepted forms when it has none of them.
SourceKind KindOf(const std::string& address);
// Exchanges per check when no count is given.
int DefaultSamples(SourceKind kind);

// The panel's own protocol as a source: N timed fetches on one kept-alive
// connection after one that sets it up (its round trip carries the
// connect, so it is not used).
class OwnProtocolSource final : public TimeSource {
 public:
  OwnProtocolSource(std::string address, std::string ca_file);
  const std::string& Address() const override { return m_Address; }
  SourceEstimate Measure(int samples, std::chrono::milliseconds time_left) override;

 private:
  std::string m_Address;
  CurlTransfer m_Transfer;
};

std::unique_ptr<TimeSource> MakeSource(const std::string& address, const std::string& ca_file);

// The transfer the panel asks when the check has more than its own single
// fetch to do. Each OpenUrl asks every source at once (each within the
// time left), selects those that agree, and answers as the reference
// service would at this instant, with the agreed time: an echo of the
// moment it answers (the delay is already allowed for) and the encoded
// Beijing time. With no majority agreeing it raises TransferFailed, so the
// panel sets nothing and shows the failure.
class SourceTransfer final : public Transfer {
 public:
  // `samples[i]` exchanges for `sources[i]`.
  SourceTransfer(std::vector<std::unique_ptr<TimeSource>> sources, std::vector<int> samples);

  // True while OpenUrl runs (it may be asked from another thread).
  bool StillExecuting() override;
  std::string OpenUrl(const std::string& url, std::chrono::milliseconds time_left) override;
  // Any thread: ends a check in progress within a moment (every source
  // stops its wait), failing it with TransferFailed; nothing when none runs.
  void Cancel() override;

  // Each source's part in the last check, in the order given.
  const std::vector<SourceOutcome>& LastOutcomes() const { return m_Outcomes; }
  const std::optional<Agreement>& LastAgreement() const { return m_Agreement; }
  // One line for each source that failed or was left out.
  std::function<void(const std::string&)> Warn;

 private:
  std::string Combine(std::chrono::milliseconds time_left);

  // Before the sources, which keep a pointer to it.
  CancelSignal m_Cancel;
  std::vector<std::unique_ptr<TimeSource>> m_Sources;
  std::vector<int> m_Samples;
  std::vector<SourceOutcome> m_Outcomes;
  std::optional<Agreement> m_Agreement;
  std::mutex m_State;  // m_Busy and the signal change together
  bool m_Busy = false;
};

// The combining transfer for `addresses` (`samples` 0: each source's
// default), or null when they are one own-protocol service asked once,
// which the panel asks itself. Throws std::runtime_error on an address
// that does not read.
std::unique_ptr<SourceTransfer> CombiningTransfer(const std::vector<std::string>& addresses,
                                                  int samples, const std::string& ca_file);

// "+1.234 ms" style text of a figure in ms, for reports.
std::string FormatMs(double ms);

}  // namespace borvane
