#pragma once
// A small HTTP endpoint for Prometheus: GET /metrics answers the text the
// owner last published (text format 0.0.4), on a thread of its own, so a
// scrape is answered even while a check waits on the network. One
// connection at a time, each closed after its answer; a client gets 2 s
// to send its request.

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace borvane {

class MetricsServer {
 public:
  // Listens on "HOST:PORT" (port 0: any free one). Throws
  // std::runtime_error saying why when the address does not read or bind.
  explicit MetricsServer(const std::string& listen);
  ~MetricsServer();  // stops and joins
  MetricsServer(const MetricsServer&) = delete;
  MetricsServer& operator=(const MetricsServer&) = delete;

  std::uint16_t Port() const { return m_Port; }
  // Replaces the text served from now on.
  void Publish(std::string text);
  // Called for each scrape, just before the text is sent, so figures that
  // change on their own (open connections) are fresh; may call Publish.
  std::function<void()> BeforeScrape;

 private:
  void Serve();
  void Answer(int connection);

  int m_Listener = -1;
  int m_Wake[2] = {-1, -1};  // a pipe that ends the thread's wait
  std::uint16_t m_Port = 0;
  std::mutex m_Mutex;
  std::string m_Text;
  std::thread m_Thread;
};

// A label value escaped for the text format (backslash, quote, newline).
std::string MetricLabel(const std::string& value);

}  // namespace borvane
