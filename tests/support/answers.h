#pragma once
// Well-formed answers of the time service for the client's tests, built by
// inverting the client's decoder, plus a rig that wires a client to fakes.

#include <chrono>
#include <cstdint>
#include <ostream>
#include <string>

#include "client/client.h"
#include "container/manual_event_loop.h"
#include "support/fake_site.h"
#include "support/fakes.h"

namespace borvane {
// Readable records in test failures.
void PrintTo(const SystemTime& time, std::ostream* out);
}  // namespace borvane

namespace borvane::testing {

// The text that the client's decoder turns back into `plain` under shift
// `k` (6 for the fixed key). ASCII only.
std::string EncodeForDecoder(const std::string& plain, int k = 6);

// An answer: the echo, a separator the client ignores, then the encoded
// time ("YYYY-MM-DD hh:mm:ss.mmm").
std::string MakeAnswer(const std::string& echo, const std::string& plain_time);

// The five-digit send stamp of a clock reading.
std::string StampOf(const SystemTime& reading);

// A reading at h:m:s.ms on the day the fake clock uses (2005-04-27).
SystemTime At(int hour, int minute, int second, int ms);

// A client on a fake clock, a scripted transfer and a test site (fixed
// text metrics, a manual loop).
struct ClientRig {
  explicit ClientRig(std::int32_t utc_offset_seconds = 8 * 3600,
                     std::string service_url = "http://time.example:8080",
                     std::chrono::milliseconds query_deadline = kQueryDeadline);

  // Scripts one attempt: the first reading `sent`, an answer that echoes
  // its stamp and carries `service_time`, the second reading `received`.
  void Script(const SystemTime& sent, const std::string& service_time,
              const SystemTime& received);
  // One attempt whose round trip is `round_trip_ms` within second 10 of
  // 15:32 local time (so sent and received share the minute).
  void ScriptRoundTrip(const std::string& service_time, int round_trip_ms);

  FakeClock clock;
  ScriptedTransfer transfer;
  FakeSite site;
  ManualEventLoop& loop;
  client panel;
};

}  // namespace borvane::testing
