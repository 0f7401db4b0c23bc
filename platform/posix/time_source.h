#pragma once
// Time sources the check can ask besides the panel's own service: NTP and
// the HTTP Date header. Each source measures this machine's clock against
// one server and yields an estimate with a bound that always holds (the
// server read its clock somewhere inside our round trip); several sources
// are combined by interval intersection (platform/posix/source_selection.h)
// before the panel sees one answer.
//
// Sign convention throughout: offset is this machine's clock minus the
// server's, positive when this clock is ahead.

#include <chrono>
#include <string>
#include <thread>

#include "platform/posix/cancel_signal.h"

namespace borvane {

// One request and its answer.
struct TimeSample {
  double OffsetMs = 0;  // positive: this clock is ahead
  double DelayMs = 0;   // the network's share of the round trip (>= 0)
  // Half-width of what the answer itself cannot tell, added to half the
  // delay for the bound: the resolution of the server's time stamp and,
  // for NTP, the server's own distance from its reference (root distance),
  // which is what lets honest servers' intervals overlap.
  double ResolutionMs = 0;
};

// What one source measured in one check.
struct SourceEstimate {
  double OffsetMs = 0;     // positive: this clock is ahead
  double BoundMs = 0;      // the true offset lies within OffsetMs ± BoundMs
  double RoundTripMs = 0;  // the shortest round trip among the samples used
  int Samples = 0;         // exchanges that gave a usable answer
};

class TimeSource {
 public:
  virtual ~TimeSource() = default;
  // A Measure in progress ends soon after `signal` is raised, failing with
  // TransferFailed ("cancelled"), and none starts while it is raised. The
  // signal must outlive the source; null: never cancelled.
  void SetCancelSignal(const CancelSignal* signal) { m_Cancel = signal; }
  // The address as the user gave it, for reports.
  virtual const std::string& Address() const = 0;
  // Measures with `samples` exchanges (a source may use fewer when the
  // server asks it to slow down), giving up once `time_left` has passed.
  // Raises Error(TransferFailed) with the reason when no usable answer came.
  virtual SourceEstimate Measure(int samples, std::chrono::milliseconds time_left) = 0;

 protected:
  bool Cancelled() const { return m_Cancel != nullptr && m_Cancel->Raised(); }
  // Waits `wait` between exchanges; true when cancelled meanwhile.
  bool Pause(std::chrono::steady_clock::duration wait) const {
    if (m_Cancel != nullptr) return m_Cancel->WaitFor(wait);
    std::this_thread::sleep_for(wait);
    return false;
  }

  const CancelSignal* m_Cancel = nullptr;
};

}  // namespace borvane
