#pragma once
// One event loop of the time service and the connections it serves. A
// connection lives on one loop for its whole life, so nothing of it is
// shared between threads. Deadlines are plain time points swept by one
// timer per loop, which keeps a request free of timer work however many
// connections wait.

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/steady_timer.hpp>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <vector>

#include "service/request_reader.h"
#include "service/time_service.h"

namespace borvane {

struct ConnectionSettings {
  RequestLimits Limits;
  AnswerSettings Answer;
  // From the first byte of a request to its last header byte, however
  // slowly the bytes come: a slow sender is dropped when it runs out.
  std::chrono::milliseconds HeaderDeadline{5000};
  std::chrono::milliseconds IdleTimeout{5000};   // kept-alive, no request begun
  std::chrono::milliseconds WriteTimeout{5000};  // one write to a client that does not read
  std::chrono::milliseconds LingerTime{1000};    // reading leftovers after the last answer
};

// Served, refused and dropped since the loop began; read from any thread.
struct LoopCounters {
  std::atomic<std::uint64_t> Answered{0};     // 200s
  std::atomic<std::uint64_t> Refused{0};      // 4xx, and connections over the cap
  std::atomic<std::uint64_t> Dropped{0};      // cut off mid-request: deadline, error, stop
  std::atomic<std::uint64_t> TimeQueries{0};  // requests of the time path
  // From the read that brought a request to the end of its answer's write.
  std::array<std::atomic<std::uint64_t>, kAnswerDelayBounds.size() + 1> AnswerDelay{};
  std::atomic<std::uint64_t> AnswerDelayNs{0};

  void ObserveAnswerDelay(std::chrono::steady_clock::duration delay) {
    const double seconds = std::chrono::duration<double>(delay).count();
    std::size_t bucket = 0;
    while (bucket < kAnswerDelayBounds.size() && seconds > kAnswerDelayBounds[bucket]) ++bucket;
    AnswerDelay[bucket].fetch_add(1, std::memory_order_relaxed);
    AnswerDelayNs.fetch_add(
        static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(delay).count()),
        std::memory_order_relaxed);
  }
};

class ServerLoop;

// What a loop needs of a connection; the connections themselves are
// templates over plain and TLS streams.
class LoopConnection {
 public:
  virtual ~LoopConnection() = default;
  // The deadline passed: close, counting a drop when a request was under way.
  virtual void Expire() = 0;
  // The service is stopping: close at once when idle, else after the answer
  // being written.
  virtual void Stop() = 0;

  std::chrono::steady_clock::time_point Deadline;

 private:
  friend class ServerLoop;
  std::size_t m_Index = 0;
};

class ServerLoop {
 public:
  explicit ServerLoop(ConnectionSettings settings);
  ~ServerLoop();
  ServerLoop(const ServerLoop&) = delete;
  ServerLoop& operator=(const ServerLoop&) = delete;

  boost::asio::io_context& Context() { return m_Context; }
  const ConnectionSettings& Settings() const { return m_Settings; }
  LoopCounters& Counters() { return m_Counters; }
  const LoopCounters& Counters() const { return m_Counters; }
  bool Stopping() const { return m_Stopping; }

  // Runs the loop on the calling thread until Stop has taken effect and the
  // last connection is gone.
  void Run();
  // Any thread: asks the loop to stop (connections finish their answers).
  void Stop();

  // Loop thread only.
  void Add(LoopConnection& connection);
  void Remove(LoopConnection& connection);

 private:
  void Sweep();
  void ArmSweep();

  // Declared before the context: handlers it still holds when it goes (a
  // connection handed over after the loop stopped) remove themselves here.
  ConnectionSettings m_Settings;
  LoopCounters m_Counters;
  std::vector<LoopConnection*> m_Connections;
  bool m_Stopping = false;
  bool m_SweepArmed = false;
  bool m_Closing = false;
  boost::asio::io_context m_Context{1};
  boost::asio::executor_work_guard<boost::asio::io_context::executor_type> m_Work;
  boost::asio::steady_timer m_Sweeper;
};

}  // namespace borvane
