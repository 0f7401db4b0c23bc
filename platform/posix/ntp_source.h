#pragma once
// An SNTP client (client mode, unauthenticated): ntp://HOST[:PORT], port
// 123 by default. Written on plain sockets: the exchange is one 48-byte
// datagram each way, and Debian's NTP libraries (libntp inside ntpsec,
// chrony's) are not packaged for programs to link.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/posix/time_source.h"

namespace borvane {

// Seconds between 1900-01-01 (the NTP epoch) and 1970-01-01.
inline constexpr std::int64_t kNtpUnixEpochSeconds = 2208988800;

// An NTP timestamp (32-bit seconds since 1900 in its era, 32-bit fraction)
// as nanoseconds since 1970, in the era that puts it nearest `near_unix_ns`:
// the seconds field wraps in 2036, and a server's answer is always within
// 68 years of our own clock.
std::int64_t NtpToUnixNanoseconds(std::uint64_t ntp, std::int64_t near_unix_ns);
std::uint64_t UnixNanosecondsToNtp(std::int64_t unix_ns);

// Splits "ntp://HOST[:PORT]" (HOST may be a bracketed IPv6 address); throws
// std::invalid_argument with the reason when it does not read.
struct NtpAddress {
  std::string Host;
  std::uint16_t Port = 123;
};
NtpAddress ParseNtpAddress(const std::string& address);

class NtpSource final : public TimeSource {
 public:
  explicit NtpSource(const std::string& address);

  const std::string& Address() const override { return m_Address; }
  // Sends one request at a time on one socket and waits for its answer (at
  // most 1 s each). An answer is taken only from the address the request
  // went to, whole, and echoing the request's random transmit time as its
  // origin; others are ignored (a stray or forged datagram). A taken answer
  // must pass every test of a server in good health, or the check fails
  // with the test it failed. Kiss-o'-Death: RATE waits longer before asking
  // again (or ends the check with the samples it has); DENY and RSTR end
  // it, and this source never asks that server again.
  SourceEstimate Measure(int samples, std::chrono::milliseconds time_left) override;

  // How long to wait for each answer.
  std::chrono::milliseconds AnswerWait{1000};

 private:
  std::string m_Address;
  NtpAddress m_Server;
  std::optional<std::string> m_Refused;  // the server's DENY or RSTR, once sent
};

}  // namespace borvane
