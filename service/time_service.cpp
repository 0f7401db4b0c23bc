#include "service/time_service.h"

#include <httplib.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>

#include "service/connection_stream.h"
#include "service/time_encoding.h"

namespace borvane {

namespace {

constexpr const char* kTimePath = R"(/times/nolvera\.aspx)";
constexpr const char* kTextType = "text/plain; charset=utf-8";
constexpr std::size_t kPayloadMaxBytes = 1024;  // the query has no body

// The send stamp: exactly five ASCII digits (seconds then milliseconds).
bool IsSendStamp(const std::string& stamp) {
  if (stamp.size() != 5) return false;
  for (const char c : stamp) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

const char* ReasonText(int status) {
  switch (status) {
    case 400: return "bad request\n";
    case 404: return "not found\n";
    case 405: return "method not allowed: use GET or HEAD\n";
    case 413: return "request too large\n";
    case 414: return "request address too long\n";
    case 416: return "range not satisfiable\n";
    default: return "request refused\n";
  }
}

}  // namespace

class TimeService::Server final : public httplib::Server {
 public:
  Server(const TimeServiceOptions& options, int wake_fd, QueryCount& queries)
      : m_WakeFd(wake_fd) {
    const std::chrono::milliseconds offset(options.offset_ms);
    Get(kTimePath, [offset, &queries](const httplib::Request& req, httplib::Response& res) {
      Answer(req, res, offset);
      queries.Add();
    });
    const auto refuse = [](const httplib::Request&, httplib::Response& res) {
      res.status = 405;
      res.set_header("Allow", "GET, HEAD");
      res.set_content(ReasonText(405), kTextType);
    };
    Post(kTimePath, refuse);
    Put(kTimePath, refuse);
    Patch(kTimePath, refuse);
    Delete(kTimePath, refuse);
    Options(kTimePath, refuse);

    // Answers the library produces itself (404, malformed requests) get a
    // one-line text too; our own refusals already carry theirs.
    set_error_handler(HandlerWithResponse(
        [](const httplib::Request&, httplib::Response& res) {
          if (!res.body.empty()) return HandlerResponse::Unhandled;
          res.set_content(ReasonText(res.status), kTextType);
          return HandlerResponse::Handled;
        }));
    set_post_routing_handler([](const httplib::Request&, httplib::Response& res) {
      if (!res.has_header("Date")) {
        res.set_header("Date", FormatHttpDate(std::chrono::system_clock::now()));
      }
    });

    // The library's default also sets SO_REUSEPORT, which would let a second
    // service bind the same port and silently take half the connections.
    set_socket_options([](int sock) {
      const int yes = 1;
      ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    set_tcp_nodelay(true);
    set_keep_alive_max_count(10000);
    set_keep_alive_timeout(5);
    set_read_timeout(5, 0);
    set_write_timeout(5, 0);
    set_payload_max_length(kPayloadMaxBytes);
  }

 private:
  static void Answer(const httplib::Request& req, httplib::Response& res,
                     std::chrono::milliseconds offset) {
    const std::size_t stamps = req.get_param_value_count("borvane");
    if (stamps != 1) {
      res.status = 400;
      res.set_content(stamps == 0 ? "missing send stamp: add ?borvane=DDDDD\n"
                                  : "more than one send stamp\n",
                      kTextType);
      return;
    }
    std::string body = req.get_param_value("borvane");
    if (!IsSendStamp(body)) {
      res.status = 400;
      res.set_content("send stamp must be exactly five digits\n", kTextType);
      return;
    }
    // Read the clock last: the client corrects for half the round trip and
    // assumes the time was taken when the answer left.
    const auto now = std::chrono::system_clock::now();
    body += EncodeTime(FormatBeijingTime(now + offset));
    res.set_header("Date", FormatHttpDate(now));
    res.set_content(std::move(body), kTextType);
  }

  // Serves one accepted connection: kept alive for up to the library's
  // request count and idle time-out, each answer flushed in a single send.
  bool process_and_close_socket(int sock) override {
    // Linux hands the listening socket's TCP_NODELAY to accepted sockets;
    // set it here as well so the answer never waits on Nagle's algorithm.
    const int yes = 1;
    ::setsockopt(sock, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);

    ConnectionStream::Limits limits;
    limits.ReadTimeout = std::chrono::seconds(read_timeout_sec_) +
                         std::chrono::milliseconds(read_timeout_usec_ / 1000);
    limits.WriteTimeout = std::chrono::seconds(write_timeout_sec_) +
                          std::chrono::milliseconds(write_timeout_usec_ / 1000);
    ConnectionStream stream(sock, m_WakeFd, limits);

    bool ok = true;
    for (std::size_t left = keep_alive_max_count_; left > 0; --left) {
      if (!stream.WaitForRequest(std::chrono::seconds(keep_alive_timeout_sec_))) break;
      stream.BeginRequest();
      bool closed = false;
      ok = process_request(stream, left == 1, closed, nullptr);
      const bool sent = stream.Flush();
      if (!ok || !sent || closed || stream.OverLimit()) break;
    }
    ::shutdown(sock, SHUT_RDWR);
    ::close(sock);
    return ok;
  }

  int m_WakeFd;
};

TimeService::TimeService(TimeServiceOptions options) : m_Options(std::move(options)) {}

TimeService::~TimeService() { Stop(); }

int TimeService::Start() {
  std::lock_guard lifecycle(m_Lifecycle);
  if (m_Server) throw std::runtime_error("time service: already started");
  if (m_Options.port < 0 || m_Options.port > 65535) {
    throw std::runtime_error("time service: port " + std::to_string(m_Options.port) +
                             " is outside 0..65535");
  }
  if (m_Options.threads < 1 || m_Options.threads > 1024) {
    throw std::runtime_error("time service: worker threads must be 1..1024, not " +
                             std::to_string(m_Options.threads));
  }

  m_WakeFd = ::eventfd(0, EFD_CLOEXEC);
  if (m_WakeFd < 0) {
    throw std::runtime_error(std::string("time service: eventfd: ") + std::strerror(errno));
  }
  m_Server = std::make_unique<Server>(m_Options, m_WakeFd, m_Queries);
  const auto threads = static_cast<std::size_t>(m_Options.threads);
  m_Server->new_task_queue = [this, threads]() -> httplib::TaskQueue* {
    // Called by the listening thread once it is running, i.e. once stop()
    // will take effect.
    {
      std::lock_guard lock(m_Mutex);
      m_Listening = true;
    }
    m_Changed.notify_all();
    return new httplib::ThreadPool(threads);
  };

  errno = 0;
  int port = -1;
  if (m_Options.port == 0) {
    port = m_Server->bind_to_any_port(m_Options.host);
  } else if (m_Server->bind_to_port(m_Options.host, m_Options.port)) {
    port = m_Options.port;
  }
  if (port <= 0) {
    const int error = errno;
    m_Server.reset();
    ::close(m_WakeFd);
    m_WakeFd = -1;
    std::string message = "time service: cannot listen on " + m_Options.host + ":" +
                          std::to_string(m_Options.port);
    if (error != 0) message += std::string(": ") + std::strerror(error);
    throw std::runtime_error(message);
  }
  m_Port = port;

  {
    std::lock_guard lock(m_Mutex);
    m_Listening = false;
    m_Finished = false;
  }
  m_Thread = std::thread([this] {
    m_Server->listen_after_bind();
    {
      std::lock_guard lock(m_Mutex);
      m_Finished = true;
    }
    m_Changed.notify_all();
  });
  std::unique_lock lock(m_Mutex);
  m_Changed.wait(lock, [this] { return m_Listening || m_Finished; });
  return m_Port;
}

void TimeService::Stop() {
  std::lock_guard lifecycle(m_Lifecycle);
  if (!m_Server) return;
  // Wake every connection waiting on its client, then close the listening
  // socket; the worker pool drains and the listening thread returns.
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t written = ::write(m_WakeFd, &one, sizeof one);
  m_Server->stop();
  if (m_Thread.joinable()) m_Thread.join();
  m_Server.reset();
  ::close(m_WakeFd);
  m_WakeFd = -1;
  {
    std::lock_guard lock(m_Mutex);
    m_Finished = true;
  }
  m_Changed.notify_all();
}

std::string TimeService::BaseUrl() const {
  std::string host = m_Options.host;
  if (host.empty() || host == "0.0.0.0") host = "127.0.0.1";
  if (host == "::") host = "::1";
  if (host.find(':') != std::string::npos) host = "[" + host + "]";
  return "http://" + host + ":" + std::to_string(m_Port);
}

void TimeService::Wait() {
  std::unique_lock lock(m_Mutex);
  m_Changed.wait(lock, [this] { return m_Finished; });
}

void TimeService::QueryCount::Add() {
  {
    const std::lock_guard<std::mutex> lock(Mutex);
    ++Count;
  }
  Changed.notify_all();
}

std::uint64_t TimeService::TimeQueries() const {
  const std::lock_guard<std::mutex> lock(m_Queries.Mutex);
  return m_Queries.Count;
}

bool TimeService::WaitForTimeQueries(std::uint64_t count, std::chrono::milliseconds timeout) const {
  std::unique_lock<std::mutex> lock(m_Queries.Mutex);
  return m_Queries.Changed.wait_for(lock, timeout, [&] { return m_Queries.Count >= count; });
}

}  // namespace borvane
