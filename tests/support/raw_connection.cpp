#include "support/raw_connection.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <regex>
#include <stdexcept>

namespace borvane::testing {

LoopbackSocket::LoopbackSocket(bool listening) : m_Fd(::socket(AF_INET, SOCK_STREAM, 0)) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ::bind(m_Fd, reinterpret_cast<sockaddr*>(&address), length);
  if (listening) ::listen(m_Fd, 4);
  ::getsockname(m_Fd, reinterpret_cast<sockaddr*>(&address), &length);
  m_Port = ntohs(address.sin_port);
}

LoopbackSocket::~LoopbackSocket() { ::close(m_Fd); }

RawConnection::RawConnection(int port, int receive_buffer)
    : m_Fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
  if (m_Fd < 0) throw std::runtime_error("socket failed");
  if (receive_buffer > 0) {
    ::setsockopt(m_Fd, SOL_SOCKET, SO_RCVBUF, &receive_buffer, sizeof receive_buffer);
  }
  const int yes = 1;
  ::setsockopt(m_Fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
  SetReceiveTimeout(std::chrono::seconds(10));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(m_Fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(m_Fd);
    throw std::runtime_error("connect failed");
  }
}

RawConnection::~RawConnection() { ::close(m_Fd); }

void RawConnection::SetReceiveTimeout(std::chrono::milliseconds timeout) {
  timeval tv{};
  tv.tv_sec = static_cast<time_t>(timeout.count() / 1000);
  tv.tv_usec = static_cast<suseconds_t>(timeout.count() % 1000 * 1000);
  ::setsockopt(m_Fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
}

bool RawConnection::Send(const std::string& data) {
  return ::send(m_Fd, data.data(), data.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(data.size());
}

std::string RawConnection::ReadAnswer(bool head) {
  static const std::regex kLength("Content-Length: (\\d+)");
  for (;;) {
    const auto end = m_Buffer.find("\r\n\r\n");
    if (end != std::string::npos) {
      std::size_t length = 0;
      std::smatch match;
      const std::string headers = m_Buffer.substr(0, end);
      if (!head && std::regex_search(headers, match, kLength)) length = std::stoul(match[1]);
      if (m_Buffer.size() >= end + 4 + length) {
        std::string answer = m_Buffer.substr(0, end + 4 + length);
        m_Buffer.erase(0, answer.size());
        return answer;
      }
    }
    if (!Receive()) return {};
  }
}

bool RawConnection::ClosedByPeer() {
  while (Receive()) {
  }
  return m_Closed;
}

bool RawConnection::Receive() {
  char chunk[4096];
  const ssize_t n = ::recv(m_Fd, chunk, sizeof chunk, 0);
  if (n <= 0) {
    // A reset is a close too; a time-out is not.
    m_Closed = n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR);
    return false;
  }
  m_Buffer.append(chunk, static_cast<std::size_t>(n));
  return true;
}

}  // namespace borvane::testing
