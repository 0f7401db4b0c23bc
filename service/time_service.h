#pragma once
// The reference time service: answers the time query over HTTP with the
// echoed send stamp and the encoded Beijing time. Embedded by the borvane
// program as its default service and run on its own by `borvane serve`.
//
//   GET|HEAD /times/nolvera.aspx?borvane=DDDDD   200, "DDDDD" + encoded time
//   same path, stamp missing or not five digits  400, one-line reason
//   any other path                               404
//
// Answers keep HTTP/1.1 connections alive, carry a Date header and leave in
// one write on a socket with Nagle's algorithm off, so a client's round trip
// is not stretched by delayed acknowledgements.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace borvane {

struct TimeServiceOptions {
  std::string host = "127.0.0.1";
  int port = 0;                // 0: any free port
  std::int64_t offset_ms = 0;  // added to the system clock; positive: the service runs ahead
  int threads = 8;             // worker threads; each serves one connection at a time
};

class TimeService {
 public:
  explicit TimeService(TimeServiceOptions options);
  ~TimeService();  // stops
  TimeService(const TimeService&) = delete;
  TimeService& operator=(const TimeService&) = delete;

  // Binds, starts serving on a background thread and returns the bound port.
  // Throws std::runtime_error saying what failed (bad options, address in
  // use, already started).
  int Start();
  // Stops accepting, ends open connections and joins the threads. Safe to
  // call more than once, and before Start.
  void Stop();

  int Port() const { return m_Port; }
  // "http://HOST:PORT"; a wildcard host is given as loopback.
  std::string BaseUrl() const;
  // Time queries answered since construction (GET or HEAD of the time
  // path, answered well or refused for a bad stamp).
  std::uint64_t TimeQueries() const;
  // Waits until at least `count` time queries have been answered; false
  // when `timeout` passes first.
  bool WaitForTimeQueries(std::uint64_t count, std::chrono::milliseconds timeout) const;

  // Blocks until the service has stopped (Stop from another thread, or the
  // listening socket failed).
  void Wait();

 private:
  class Server;

  TimeServiceOptions m_Options;
  std::unique_ptr<Server> m_Server;
  std::thread m_Thread;
  int m_WakeFd = -1;
  int m_Port = 0;
  std::mutex m_Lifecycle;  // serialises Start and Stop
  std::mutex m_Mutex;      // guards the two flags below
  std::condition_variable m_Changed;
  bool m_Listening = false;
  bool m_Finished = true;

  // Counts time queries; the server's handler threads add to it.
  struct QueryCount {
    mutable std::mutex Mutex;
    mutable std::condition_variable Changed;
    std::uint64_t Count = 0;
    void Add();
  };
  QueryCount m_Queries;
};

}  // namespace borvane
