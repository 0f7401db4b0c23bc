#include "service/connection_stream.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace borvane {

namespace {

constexpr std::size_t kReadChunk = 4096;

void AddressOf(const sockaddr_storage& address, std::string& ip, int& port) {
  char text[INET6_ADDRSTRLEN] = {};
  if (address.ss_family == AF_INET) {
    const auto& v4 = reinterpret_cast<const sockaddr_in&>(address);
    inet_ntop(AF_INET, &v4.sin_addr, text, sizeof text);
    port = ntohs(v4.sin_port);
  } else if (address.ss_family == AF_INET6) {
    const auto& v6 = reinterpret_cast<const sockaddr_in6&>(address);
    inet_ntop(AF_INET6, &v6.sin6_addr, text, sizeof text);
    port = ntohs(v6.sin6_port);
  }
  ip = text;
}

}  // namespace

ConnectionStream::ConnectionStream(int sock, int wake_fd, Limits limits)
    : m_Socket(sock), m_WakeFd(wake_fd), m_Limits(limits) {}

bool ConnectionStream::WaitFor(short events, std::chrono::milliseconds timeout) const {
  pollfd fds[2] = {{m_Socket, events, 0}, {m_WakeFd, POLLIN, 0}};
  for (;;) {
    const int ready = ::poll(fds, 2, static_cast<int>(timeout.count()));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0 || (fds[1].revents & POLLIN)) return false;
    // A hang-up or error still counts as ready: the next recv or send reports it.
    return fds[0].revents != 0;
  }
}

bool ConnectionStream::WaitForRequest(std::chrono::milliseconds timeout) {
  if (m_InOffset < m_In.size()) return true;  // a pipelined request is already here
  return WaitFor(POLLIN, timeout);
}

bool ConnectionStream::is_readable() const {
  return m_InOffset < m_In.size() || WaitFor(POLLIN, m_Limits.ReadTimeout);
}

bool ConnectionStream::is_writable() const { return true; }

ssize_t ConnectionStream::read(char* ptr, size_t size) {
  const std::size_t budget =
      m_Limits.RequestBytes - std::min(m_RequestBytes, m_Limits.RequestBytes);
  if (budget == 0) {
    m_OverLimit = true;
    return -1;
  }
  if (m_InOffset == m_In.size()) {
    m_In.clear();
    m_InOffset = 0;
    if (!WaitFor(POLLIN, m_Limits.ReadTimeout)) return -1;
    m_In.resize(kReadChunk);
    ssize_t got;
    do {
      got = ::recv(m_Socket, m_In.data(), m_In.size(), 0);
    } while (got < 0 && errno == EINTR);
    m_In.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    if (got <= 0) return got;
  }
  const std::size_t available = m_In.size() - m_InOffset;
  const std::size_t n = std::min({size, available, budget});
  std::memcpy(ptr, m_In.data() + m_InOffset, n);
  m_InOffset += n;
  m_RequestBytes += n;
  return static_cast<ssize_t>(n);
}

ssize_t ConnectionStream::write(const char* ptr, size_t size) {
  m_Out.append(ptr, size);
  return static_cast<ssize_t>(size);
}

bool ConnectionStream::Flush() {
  std::size_t sent = 0;
  while (sent < m_Out.size()) {
    // MSG_NOSIGNAL: a client that went away must not raise SIGPIPE in the host.
    const ssize_t n = ::send(m_Socket, m_Out.data() + sent, m_Out.size() - sent,
                             MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n >= 0) {
      sent += static_cast<std::size_t>(n);
    } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
      if (!WaitFor(POLLOUT, m_Limits.WriteTimeout)) break;
    } else if (errno != EINTR) {
      break;
    }
  }
  const bool complete = sent == m_Out.size();
  m_Out.clear();
  return complete;
}

void ConnectionStream::get_remote_ip_and_port(std::string& ip, int& port) const {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  if (::getpeername(m_Socket, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    AddressOf(address, ip, port);
  }
}

void ConnectionStream::get_local_ip_and_port(std::string& ip, int& port) const {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  if (::getsockname(m_Socket, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    AddressOf(address, ip, port);
  }
}

}  // namespace borvane
