#include "platform/posix/ntp_source.h"

#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <stdexcept>
#include <thread>
#include <vector>

#include "container/error.h"
#include "container/utf8.h"
#include "platform/posix/source_selection.h"

namespace borvane {

namespace {

constexpr std::size_t kPacketBytes = 48;
// NTP's own limit on a server's root distance (RFC 5905, MAXDIST).
constexpr double kMaxRootDistanceMs = 1500;
// Unanswered requests in a row after which the server counts as silent.
constexpr int kMaxSilentExchanges = 3;
constexpr std::chrono::milliseconds kFirstRateBackoff{1000};

std::int64_t RealtimeNs() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return std::int64_t{now.tv_sec} * 1'000'000'000 + now.tv_nsec;
}

std::uint32_t Read32(const unsigned char* p) {
  return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}
std::uint64_t Read64(const unsigned char* p) {
  return std::uint64_t{Read32(p)} << 32 | Read32(p + 4);
}
void Write64(unsigned char* p, std::uint64_t v) {
  for (int i = 7; i >= 0; --i, v >>= 8) p[i] = static_cast<unsigned char>(v & 0xff);
}
// A 16.16 fixed-point field in ms.
double ShortMs(std::uint32_t v) { return v / 65536.0 * 1000; }

struct FdClose {
  void operator()(const int* fd) const {
    ::close(*fd);
    delete fd;
  }
};
using Socket = std::unique_ptr<int, FdClose>;

struct AddrInfoFree {
  void operator()(addrinfo* info) const { freeaddrinfo(info); }
};

bool SameAddress(const sockaddr_storage& a, const sockaddr_storage& b) {
  if (a.ss_family != b.ss_family) return false;
  if (a.ss_family == AF_INET) {
    const auto& x = reinterpret_cast<const sockaddr_in&>(a);
    const auto& y = reinterpret_cast<const sockaddr_in&>(b);
    return x.sin_port == y.sin_port && x.sin_addr.s_addr == y.sin_addr.s_addr;
  }
  if (a.ss_family == AF_INET6) {
    const auto& x = reinterpret_cast<const sockaddr_in6&>(a);
    const auto& y = reinterpret_cast<const sockaddr_in6&>(b);
    return x.sin6_port == y.sin6_port &&
           std::memcmp(&x.sin6_addr, &y.sin6_addr, sizeof x.sin6_addr) == 0;
  }
  return false;
}

// What one request came to.
struct Exchange {
  enum class Kind { Sample, NoAnswer, Refused, Rate, Denied } What = Kind::NoAnswer;
  TimeSample Sample;
  std::string Reason;  // for everything but a sample
};

// The tests a server's answer must pass once it is known to answer our
// request, in the order they are told. `t1` and `t4` are our send and
// receive times (ns since 1970).
Exchange Judge(const unsigned char* p, std::int64_t t1, std::int64_t t4) {
  Exchange e;
  e.What = Exchange::Kind::Refused;
  const int leap = p[0] >> 6;
  const int version = (p[0] >> 3) & 7;
  const int mode = p[0] & 7;
  const int stratum = p[1];
  if (mode != 4) {
    e.Reason = "the answer is not a server's (mode " + std::to_string(mode) + ")";
    return e;
  }
  if (version != 3 && version != 4) {
    e.Reason = "the answer speaks NTP version " + std::to_string(version) + ", not 3 or 4";
    return e;
  }
  if (stratum == 0) {
    // Kiss-o'-Death: the reference identifier carries an ASCII code.
    std::string code(reinterpret_cast<const char*>(p + 12), 4);
    code = EscapeControls(code.substr(0, code.find('\0')));
    if (code == "RATE") {
      e.What = Exchange::Kind::Rate;
      e.Reason = "the server asks us to ask less often (kiss code RATE)";
    } else if (code == "DENY" || code == "RSTR") {
      e.What = Exchange::Kind::Denied;
      e.Reason = "the server refuses to serve us (kiss code " + code + "); it is not asked again";
    } else {
      e.Reason = "the server sent kiss code " + code + " instead of the time";
    }
    return e;
  }
  if (stratum > 15) {
    e.Reason = "the server says it is unsynchronised (stratum " + std::to_string(stratum) + ")";
    return e;
  }
  if (leap == 3) {
    e.Reason = "the server says it is unsynchronised (leap indicator 3)";
    return e;
  }
  const std::uint64_t receive = Read64(p + 32);
  const std::uint64_t transmit = Read64(p + 40);
  if (transmit == 0) {
    e.Reason = "the answer carries no transmit time";
    return e;
  }
  if (receive == 0) {
    e.Reason = "the answer carries no receive time";
    return e;
  }
  const double root_distance = ShortMs(Read32(p + 4)) / 2 + ShortMs(Read32(p + 8));
  if (root_distance > kMaxRootDistanceMs) {
    e.Reason = "the server's own time is too uncertain (root distance " +
               std::to_string(static_cast<long long>(root_distance)) + " ms)";
    return e;
  }
  const std::int64_t t2 = NtpToUnixNanoseconds(receive, t1);
  const std::int64_t t3 = NtpToUnixNanoseconds(transmit, t1);
  const std::int64_t delay = (t4 - t1) - (t3 - t2);
  if (t3 < t2 || delay < 0) {
    e.Reason = "the answer's times do not fit our round trip (it held the request longer than "
               "the round trip took)";
    return e;
  }
  e.What = Exchange::Kind::Sample;
  // NTP's offset is the server's clock minus ours; ours is the other way.
  e.Sample.OffsetMs = -static_cast<double>((t2 - t1) + (t3 - t4)) / 2 / 1e6;
  e.Sample.DelayMs = static_cast<double>(delay) / 1e6;
  // The server's clock precision, a signed power of two in seconds.
  const auto precision = static_cast<signed char>(p[3]);
  e.Sample.ResolutionMs = std::min(std::ldexp(1.0, precision) * 1000 / 2, 1000.0) + root_distance;
  return e;
}

std::mt19937_64& Random() {
  thread_local std::mt19937_64 engine([] {
    std::random_device device;
    return (std::uint64_t{device()} << 32) ^ device();
  }());
  return engine;
}

}  // namespace

std::int64_t NtpToUnixNanoseconds(std::uint64_t ntp, std::int64_t near_unix_ns) {
  const auto seconds = static_cast<std::uint32_t>(ntp >> 32);
  const std::uint64_t fraction = ntp & 0xffffffffu;
  std::int64_t near_s = near_unix_ns / 1'000'000'000;
  if (near_unix_ns % 1'000'000'000 < 0) --near_s;
  // The difference in the 32-bit seconds field, read as signed, is the
  // difference in time whatever era either side is in.
  const auto near_field = static_cast<std::uint32_t>(
      static_cast<std::uint64_t>(near_s + kNtpUnixEpochSeconds) & 0xffffffffu);
  const auto step = static_cast<std::int32_t>(seconds - near_field);
  const std::int64_t unix_s = near_s + step;
  return unix_s * 1'000'000'000 + static_cast<std::int64_t>((fraction * 1'000'000'000) >> 32);
}

std::uint64_t UnixNanosecondsToNtp(std::int64_t unix_ns) {
  std::int64_t s = unix_ns / 1'000'000'000;
  std::int64_t ns = unix_ns % 1'000'000'000;
  if (ns < 0) {
    --s;
    ns += 1'000'000'000;
  }
  const auto field = static_cast<std::uint64_t>(s + kNtpUnixEpochSeconds) & 0xffffffffu;
  return field << 32 | (static_cast<std::uint64_t>(ns) << 32) / 1'000'000'000;
}

NtpAddress ParseNtpAddress(const std::string& address) {
  constexpr std::string_view kScheme = "ntp://";
  if (address.compare(0, kScheme.size(), kScheme) != 0) {
    throw std::invalid_argument("an NTP address starts with ntp://");
  }
  std::string rest = address.substr(kScheme.size());
  while (!rest.empty() && rest.back() == '/') rest.pop_back();
  NtpAddress out;
  std::string port;
  if (!rest.empty() && rest.front() == '[') {
    const auto close = rest.find(']');
    if (close == std::string::npos) throw std::invalid_argument("unclosed [ in the host");
    out.Host = rest.substr(1, close - 1);
    if (close + 1 < rest.size()) {
      if (rest[close + 1] != ':') throw std::invalid_argument("unexpected text after the host");
      port = rest.substr(close + 2);
    }
  } else {
    const auto colon = rest.find(':');
    out.Host = rest.substr(0, colon);
    if (colon != std::string::npos) port = rest.substr(colon + 1);
  }
  if (out.Host.empty() || out.Host.find_first_of("/?#@ ") != std::string::npos) {
    throw std::invalid_argument("the address must be ntp://HOST[:PORT]");
  }
  if (!port.empty() || rest.find(':') != std::string::npos) {
    if (port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos ||
        std::stoi(port) < 1 || std::stoi(port) > 65535) {
      throw std::invalid_argument("the port must be a number from 1 to 65535");
    }
    out.Port = static_cast<std::uint16_t>(std::stoi(port));
  }
  return out;
}

NtpSource::NtpSource(const std::string& address) : m_Address(address) {
  try {
    m_Server = ParseNtpAddress(address);
  } catch (const std::invalid_argument& e) {
    throw std::runtime_error("bad time source \"" + address + "\": " + e.what());
  }
}

SourceEstimate NtpSource::Measure(int samples, std::chrono::milliseconds time_left) {
  using Steady = std::chrono::steady_clock;
  const Steady::time_point deadline = Steady::now() + time_left;
  const auto fail = [this](const std::string& why) -> SourceEstimate {
    throw Error(ErrorCode::TransferFailed, m_Address + ": " + why);
  };
  if (m_Refused) fail(*m_Refused);

  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* found = nullptr;
  const std::string port = std::to_string(m_Server.Port);
  if (const int rc = getaddrinfo(m_Server.Host.c_str(), port.c_str(), &hints, &found); rc != 0) {
    fail("cannot resolve " + m_Server.Host + ": " + gai_strerror(rc));
  }
  const std::unique_ptr<addrinfo, AddrInfoFree> info(found);
  sockaddr_storage server{};
  std::memcpy(&server, info->ai_addr, info->ai_addrlen);
  const socklen_t server_length = info->ai_addrlen;

  const int fd = ::socket(info->ai_family, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) fail(std::string("cannot open a socket: ") + std::strerror(errno));
  const Socket socket(new int(fd));
  // The kernel stamps each datagram as it arrives, so a scheduling delay
  // before we read it does not count as network delay.
  const int on = 1;
  const bool kernel_stamps = ::setsockopt(fd, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on) == 0;

  std::vector<TimeSample> taken;
  std::string last_problem;
  int silent = 0;
  std::chrono::milliseconds backoff = kFirstRateBackoff;
  while (static_cast<int>(taken.size()) < samples) {
    if (Steady::now() >= deadline) break;
    if (Cancelled()) fail("cancelled");
    std::array<unsigned char, kPacketBytes> request{};
    request[0] = 0x23;  // leap 0, version 4, mode 3 (client)
    // A random transmit time, not our clock: it reveals nothing about this
    // machine, and an answer must carry it back as its origin.
    const std::uint64_t cookie = Random()();
    Write64(request.data() + 40, cookie);
    const std::int64_t t1 = RealtimeNs();
    if (::sendto(fd, request.data(), request.size(), 0, reinterpret_cast<const sockaddr*>(&server),
                 server_length) < 0) {
      fail(std::string("cannot send to the server: ") + std::strerror(errno));
    }

    const Steady::time_point answer_by = std::min(deadline, Steady::now() + AnswerWait);
    Exchange exchange;
    while (exchange.What == Exchange::Kind::NoAnswer) {
      const auto wait = std::chrono::ceil<std::chrono::milliseconds>(answer_by - Steady::now());
      if (wait.count() <= 0) break;
      // The cancel signal's descriptor, when there is one, wakes the wait.
      std::array<pollfd, 2> p{pollfd{fd, POLLIN, 0},
                              pollfd{m_Cancel ? m_Cancel->Descriptor() : -1, POLLIN, 0}};
      if (::poll(p.data(), p.size(), static_cast<int>(wait.count())) <= 0) continue;
      if (Cancelled()) fail("cancelled");
      if ((p[0].revents & (POLLIN | POLLERR)) == 0) continue;
      std::array<unsigned char, 512> answer{};
      sockaddr_storage from{};
      iovec io{answer.data(), answer.size()};
      alignas(cmsghdr) std::array<char, 128> control{};
      msghdr message{};
      message.msg_name = &from;
      message.msg_namelen = sizeof from;
      message.msg_iov = &io;
      message.msg_iovlen = 1;
      message.msg_control = control.data();
      message.msg_controllen = control.size();
      const ssize_t got = ::recvmsg(fd, &message, 0);
      std::int64_t t4 = RealtimeNs();
      if (got < 0) {
        // An ICMP refusal comes back as an error on the socket.
        if (errno == EAGAIN || errno == EINTR) continue;
        last_problem = std::string("the server cannot be reached: ") + std::strerror(errno);
        continue;
      }
      if (kernel_stamps) {
        for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
          if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMPNS) {
            timespec stamp{};
            std::memcpy(&stamp, CMSG_DATA(c), sizeof stamp);
            t4 = std::int64_t{stamp.tv_sec} * 1'000'000'000 + stamp.tv_nsec;
          }
        }
      }
      if (!SameAddress(from, server)) {
        last_problem = "an answer came from another address than the server's (ignored)";
        continue;
      }
      if (static_cast<std::size_t>(got) < kPacketBytes) {
        last_problem = "the answer was cut short (" + std::to_string(got) + " bytes)";
        continue;
      }
      if (Read64(answer.data() + 24) != cookie) {
        last_problem = "the answer did not echo our request's transmit time as its origin";
        continue;
      }
      exchange = Judge(answer.data(), t1, t4);
    }

    switch (exchange.What) {
      case Exchange::Kind::Sample:
        silent = 0;
        taken.push_back(exchange.Sample);
        break;
      case Exchange::Kind::NoAnswer:
        if (++silent >= kMaxSilentExchanges) {
          if (taken.empty()) {
            fail(last_problem.empty() ? "no answer from the server" : last_problem);
          }
          return EstimateFromSamples(taken);
        }
        break;
      case Exchange::Kind::Refused:
        fail(exchange.Reason);
        break;
      case Exchange::Kind::Denied:
        m_Refused = exchange.Reason;
        fail(exchange.Reason);
        break;
      case Exchange::Kind::Rate:
        // What we have is enough to go on; else wait as asked and try again.
        if (!taken.empty()) return EstimateFromSamples(taken);
        if (Steady::now() + backoff >= deadline) fail(exchange.Reason);
        if (Pause(backoff)) fail("cancelled");
        backoff *= 2;
        last_problem = exchange.Reason;
        break;
    }
  }
  if (taken.empty()) fail(last_problem.empty() ? "no answer from the server in time" : last_problem);
  return EstimateFromSamples(taken);
}

}  // namespace borvane
