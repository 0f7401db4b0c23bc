#pragma once
// The reference time service: answers the time query over HTTP (or HTTPS)
// with the echoed send stamp and the encoded Beijing time (wire format in
// service/time_answer.h). Embedded by the borvane program as its default
// service and run on its own by `borvane serve`.
//
// Event-driven: one event loop per thread, each serving many connections;
// no thread ever waits on one client. Answers keep HTTP/1.1 connections
// alive, carry a Date header and leave in one write on a socket with Nagle's
// algorithm off, so a client's round trip is not stretched by delayed
// acknowledgements.

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace borvane {

class WebFiles;

struct TimeServiceOptions {
  std::string host = "127.0.0.1";
  int port = 0;                // 0: any free port
  std::int64_t offset_ms = 0;  // added to the system clock; positive: the service runs ahead
  int threads = 0;             // event loops; 0: one per core
  int max_connections = 20000;  // more are closed as soon as they are accepted
  std::chrono::milliseconds header_deadline{5000};  // first byte to end of headers
  std::chrono::milliseconds idle_timeout{5000};     // a kept-alive connection between requests
  bool reuse_port = false;  // let other processes bind the same port (SO_REUSEPORT)
  std::string tls_cert;     // PEM certificate chain; with tls_key, serve HTTPS only
  std::string tls_key;      // PEM private key
  const WebFiles* web = nullptr;  // the web panel to serve at "/"; outlives the service
};

// Largest clock skew the service accepts either way: 100 years.
inline constexpr std::int64_t kMaxOffsetMs = 36525LL * 24 * 3600 * 1000;

// Upper bounds (seconds) of the answer-delay histogram's buckets; one more
// bucket past the last takes the rest.
inline constexpr std::array<double, 10> kAnswerDelayBounds = {
    0.0001, 0.00025, 0.0005, 0.001, 0.0025, 0.005, 0.01, 0.025, 0.1, 1.0};

struct TimeServiceStats {
  std::uint64_t Answered = 0;  // time answers (200)
  std::uint64_t Refused = 0;   // requests answered 4xx, and connections over the cap
  std::uint64_t Dropped = 0;   // connections cut off mid-request (deadline, error, stop)
  int Open = 0;                // connections open now
  // Writes of answers by the time from the read that brought the request
  // to the end of the write (per bucket, not cumulative), and their sum.
  std::array<std::uint64_t, kAnswerDelayBounds.size() + 1> AnswerDelay{};
  double AnswerDelaySeconds = 0;
};

class TimeService {
 public:
  explicit TimeService(TimeServiceOptions options);
  ~TimeService();  // stops
  TimeService(const TimeService&) = delete;
  TimeService& operator=(const TimeService&) = delete;

  // Binds, starts serving on background threads and returns the bound port.
  // Throws std::runtime_error saying what failed (bad options, unreadable
  // certificate, address in use, already started).
  int Start();
  // Stops accepting, finishes the answers being written, closes every
  // connection and joins the threads. Safe to call more than once, and
  // before Start.
  void Stop();

  int Port() const { return m_Port; }
  // "http://HOST:PORT" ("https://" with TLS); a wildcard host is given as loopback.
  std::string BaseUrl() const;
  // Time queries answered since construction (GET or HEAD of the time
  // path, answered well or refused for a bad stamp).
  std::uint64_t TimeQueries() const;
  // Waits until at least `count` time queries have been answered; false
  // when `timeout` passes first.
  bool WaitForTimeQueries(std::uint64_t count, std::chrono::milliseconds timeout) const;
  // Totals since construction.
  TimeServiceStats Stats() const;

  // Blocks until the service has stopped (Stop from another thread).
  void Wait();

 private:
  class Server;

  TimeServiceOptions m_Options;
  std::unique_ptr<Server> m_Server;
  int m_Port = 0;
  std::mutex m_Lifecycle;  // serialises Start and Stop
  mutable std::mutex m_Mutex;  // guards m_Server's replacement, m_Running and the totals
  std::condition_variable m_Changed;
  bool m_Running = false;
  TimeServiceStats m_Previous;  // of the runs before the current one
  std::uint64_t m_PreviousQueries = 0;
};

}  // namespace borvane
