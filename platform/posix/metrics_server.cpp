#include "platform/posix/metrics_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <stdexcept>

namespace borvane {

namespace {

constexpr int kRequestWaitMs = 2000;
constexpr std::size_t kMaxRequestBytes = 8192;

struct AddrInfoFree {
  void operator()(addrinfo* info) const { freeaddrinfo(info); }
};

void WriteAll(int fd, const std::string& data) {
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
    if (n <= 0) {
      if (n < 0 && errno == EINTR) continue;
      return;
    }
    done += static_cast<std::size_t>(n);
  }
}

}  // namespace

std::string MetricLabel(const std::string& value) {
  std::string out;
  for (const char c : value) {
    if (c == '\\') out += "\\\\";
    else if (c == '"') out += "\\\"";
    else if (c == '\n') out += "\\n";
    else out += c;
  }
  return out;
}

MetricsServer::MetricsServer(const std::string& listen) {
  const auto colon = listen.rfind(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 == listen.size()) {
    throw std::runtime_error("the metrics address must be HOST:PORT, got \"" + listen + "\"");
  }
  std::string host = listen.substr(0, colon);
  if (host.size() > 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
  const std::string port = listen.substr(colon + 1);
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  addrinfo* found = nullptr;
  if (const int rc = getaddrinfo(host.c_str(), port.c_str(), &hints, &found); rc != 0) {
    throw std::runtime_error("the metrics address " + listen + " does not resolve: " + gai_strerror(rc));
  }
  const std::unique_ptr<addrinfo, AddrInfoFree> info(found);
  m_Listener = ::socket(info->ai_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const int on = 1;
  if (m_Listener < 0 || ::setsockopt(m_Listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
      ::bind(m_Listener, info->ai_addr, info->ai_addrlen) != 0 || ::listen(m_Listener, 16) != 0 ||
      ::pipe2(m_Wake, O_CLOEXEC) != 0) {
    const std::string why = std::strerror(errno);
    if (m_Listener >= 0) ::close(m_Listener);
    throw std::runtime_error("cannot serve metrics on " + listen + ": " + why);
  }
  sockaddr_storage bound{};
  socklen_t length = sizeof bound;
  ::getsockname(m_Listener, reinterpret_cast<sockaddr*>(&bound), &length);
  m_Port = ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6&>(bound).sin6_port
                                              : reinterpret_cast<sockaddr_in&>(bound).sin_port);
  m_Thread = std::thread([this] { Serve(); });
}

MetricsServer::~MetricsServer() {
  const char stop = 1;
  if (::write(m_Wake[1], &stop, 1) < 0) {
    // The thread still ends at its next wake; nothing else to do.
  }
  m_Thread.join();
  ::close(m_Listener);
  ::close(m_Wake[0]);
  ::close(m_Wake[1]);
}

void MetricsServer::Publish(std::string text) {
  std::lock_guard lock(m_Mutex);
  m_Text = std::move(text);
}

void MetricsServer::Serve() {
  for (;;) {
    pollfd fds[2] = {{m_Listener, POLLIN, 0}, {m_Wake[0], POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) continue;
    if (fds[1].revents != 0) return;
    const int connection = ::accept4(m_Listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (connection < 0) continue;
    Answer(connection);
    ::close(connection);
  }
}

void MetricsServer::Answer(int connection) {
  std::string request;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kRequestWaitMs);
  while (request.find("\r\n\r\n") == std::string::npos && request.size() < kMaxRequestBytes) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd p{connection, POLLIN, 0};
    if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) return;
    char buffer[1024];
    const ssize_t n = ::recv(connection, buffer, sizeof buffer, 0);
    if (n <= 0) return;
    request.append(buffer, static_cast<std::size_t>(n));
  }
  const std::string line = request.substr(0, request.find("\r\n"));
  const bool get = line.rfind("GET ", 0) == 0;
  const bool head = line.rfind("HEAD ", 0) == 0;
  const std::string target = line.substr(line.find(' ') + 1, line.rfind(' ') - line.find(' ') - 1);
  std::string status = "200 OK";
  std::string body;
  if (!get && !head) {
    status = "405 Method Not Allowed";
    body = "only GET and HEAD\n";
  } else if (target != "/metrics" && target.rfind("/metrics?", 0) != 0) {
    status = "404 Not Found";
    body = "metrics are at /metrics\n";
  } else {
    if (BeforeScrape) BeforeScrape();
    std::lock_guard lock(m_Mutex);
    body = m_Text;
  }
  std::string answer = "HTTP/1.1 " + status +
                       "\r\nContent-Type: text/plain; version=0.0.4; charset=utf-8\r\nContent-Length: " +
                       std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n";
  if (!head) answer += body;
  WriteAll(connection, answer);
}

}  // namespace borvane
