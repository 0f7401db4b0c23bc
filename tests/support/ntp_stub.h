#pragma once
// A small NTP answerer on a loopback UDP port for tests: answers each
// request as a server whose clock runs `offset` ahead of this machine's,
// or in one of the broken or hostile ways a client must withstand.

#include <atomic>
#include <cstdint>
#include <thread>

namespace borvane::testing {

enum class NtpStubMode {
  Good,
  WrongOrigin,     // the origin is not the request's transmit time
  ClientEcho,      // the request sent back as it came (mode 3)
  Unsynchronised,  // leap indicator 3
  ZeroTransmit,    // no transmit time
  Truncated,       // 40 bytes only
  Rate,            // kiss code RATE to every request
  RateOnce,        // RATE to the first request, then good answers
  Deny,            // kiss code DENY
  Restrict,        // kiss code RSTR
  Silent,          // no answer at all
  OtherPortFirst,  // a skewed answer from another port, then the good one
  Stratum16,       // stratum 16
  FarRoot,         // root dispersion of 16 s
};

class NtpStub {
 public:
  // Listens on 127.0.0.1 (a free port). `offset_ms`: positive, the stub's
  // clock is ahead of this machine's.
  NtpStub(NtpStubMode mode, double offset_ms = 0);
  ~NtpStub();
  NtpStub(const NtpStub&) = delete;
  NtpStub& operator=(const NtpStub&) = delete;

  std::uint16_t Port() const { return m_Port; }
  int Requests() const { return m_Requests.load(); }

 private:
  void Serve();
  NtpStubMode m_Mode;
  double m_OffsetMs;
  int m_Socket = -1;
  int m_OtherSocket = -1;
  std::uint16_t m_Port = 0;
  std::atomic<int> m_Requests{0};
  std::atomic<bool> m_Stop{false};
  std::thread m_Thread;
};

// A free UDP port on 127.0.0.1 (free when asked; for a server started next).
std::uint16_t FreeUdpPort();

}  // namespace borvane::testing
