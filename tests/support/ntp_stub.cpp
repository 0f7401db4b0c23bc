#include "support/ntp_stub.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <cstring>
#include <stdexcept>

#include "platform/posix/ntp_source.h"

namespace borvane::testing {

namespace {

int BoundSocket(std::uint16_t& port) {
  const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) throw std::runtime_error("socket failed");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    throw std::runtime_error("bind failed");
  }
  socklen_t length = sizeof address;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  port = ntohs(address.sin_port);
  return fd;
}

std::int64_t NowNs() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return std::int64_t{now.tv_sec} * 1'000'000'000 + now.tv_nsec;
}

void Put64(unsigned char* p, std::uint64_t v) {
  for (int i = 7; i >= 0; --i, v >>= 8) p[i] = static_cast<unsigned char>(v & 0xff);
}

}  // namespace

std::uint16_t FreeUdpPort() {
  std::uint16_t port = 0;
  ::close(BoundSocket(port));
  return port;
}

NtpStub::NtpStub(NtpStubMode mode, double offset_ms) : m_Mode(mode), m_OffsetMs(offset_ms) {
  m_Socket = BoundSocket(m_Port);
  std::uint16_t other = 0;
  m_OtherSocket = BoundSocket(other);
  m_Thread = std::thread([this] { Serve(); });
}

NtpStub::~NtpStub() {
  m_Stop = true;
  m_Thread.join();
  ::close(m_Socket);
  ::close(m_OtherSocket);
}

void NtpStub::Serve() {
  const auto skew = static_cast<std::int64_t>(std::llround(m_OffsetMs * 1e6));
  while (!m_Stop) {
    pollfd p{m_Socket, POLLIN, 0};
    if (::poll(&p, 1, 20) <= 0) continue;
    std::array<unsigned char, 512> request{};
    sockaddr_in from{};
    socklen_t from_length = sizeof from;
    const ssize_t got = ::recvfrom(m_Socket, request.data(), request.size(), 0,
                                   reinterpret_cast<sockaddr*>(&from), &from_length);
    const std::int64_t received = NowNs() + skew;
    if (got < 48) continue;
    const int count = ++m_Requests;
    if (m_Mode == NtpStubMode::Silent) continue;

    std::array<unsigned char, 48> a{};
    std::size_t length = a.size();
    a[0] = 4 << 3 | 4;  // leap 0, version 4, server
    a[1] = 2;           // stratum
    a[2] = 6;
    a[3] = static_cast<unsigned char>(-20);  // about a microsecond
    a[7] = 0x10;                              // root delay and dispersion: about 0.25 ms
    a[11] = 0x10;
    std::memcpy(a.data() + 12, "STUB", 4);
    std::uint64_t origin = 0;
    for (int i = 40; i < 48; ++i) origin = origin << 8 | request[i];
    Put64(a.data() + 16, UnixNanosecondsToNtp(received - 1'000'000'000));
    Put64(a.data() + 24, origin);
    Put64(a.data() + 32, UnixNanosecondsToNtp(received));
    const auto kiss = [&a](const char* code) {
      a[1] = 0;
      std::memcpy(a.data() + 12, code, 4);
    };
    switch (m_Mode) {
      case NtpStubMode::WrongOrigin: Put64(a.data() + 24, origin ^ 1); break;
      case NtpStubMode::ClientEcho: std::memcpy(a.data(), request.data(), 48); break;
      case NtpStubMode::Unsynchronised: a[0] |= 3 << 6; break;
      case NtpStubMode::Truncated: length = 40; break;
      case NtpStubMode::Rate: kiss("RATE"); break;
      case NtpStubMode::RateOnce: if (count == 1) kiss("RATE"); break;
      case NtpStubMode::Deny: kiss("DENY"); break;
      case NtpStubMode::Restrict: kiss("RSTR"); break;
      case NtpStubMode::Stratum16: a[1] = 16; break;
      case NtpStubMode::FarRoot: a[8] = 0; a[9] = 16; break;
      default: break;
    }
    if (m_Mode == NtpStubMode::ClientEcho || m_Mode == NtpStubMode::ZeroTransmit) {
      if (m_Mode == NtpStubMode::ZeroTransmit) Put64(a.data() + 40, 0);
    } else {
      Put64(a.data() + 40, UnixNanosecondsToNtp(NowNs() + skew));
    }
    if (m_Mode == NtpStubMode::OtherPortFirst) {
      // A forged answer a minute off, from a port the request did not go to.
      std::array<unsigned char, 48> forged = a;
      Put64(forged.data() + 32, UnixNanosecondsToNtp(received + 60'000'000'000));
      Put64(forged.data() + 40, UnixNanosecondsToNtp(NowNs() + skew + 60'000'000'000));
      ::sendto(m_OtherSocket, forged.data(), forged.size(), 0, reinterpret_cast<sockaddr*>(&from),
               from_length);
    }
    ::sendto(m_Socket, a.data(), length, 0, reinterpret_cast<sockaddr*>(&from), from_length);
  }
}

}  // namespace borvane::testing
