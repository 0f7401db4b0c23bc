#include "service/time_service.h"

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/ssl/context.hpp>
#include <boost/asio/steady_timer.hpp>

#include <atomic>
#include <optional>
#include <stdexcept>

#include "service/connection.h"
#include "service/server_loop.h"

namespace borvane {

namespace asio = boost::asio;
using asio::ip::tcp;

namespace {

std::runtime_error Failure(const std::string& what) {
  return std::runtime_error("time service: " + what);
}

void CheckOptions(const TimeServiceOptions& options) {
  if (options.port < 0 || options.port > 65535) {
    throw Failure("port " + std::to_string(options.port) + " is outside 0..65535");
  }
  if (options.threads < 0 || options.threads > 1024) {
    throw Failure("threads must be 0 (one per core) to 1024, not " + std::to_string(options.threads));
  }
  if (options.max_connections < 1) {
    throw Failure("the connection cap must be at least 1, not " + std::to_string(options.max_connections));
  }
  if (options.offset_ms < -kMaxOffsetMs || options.offset_ms > kMaxOffsetMs) {
    throw Failure("clock offset " + std::to_string(options.offset_ms) +
                  " ms is beyond 100 years either way (at most " + std::to_string(kMaxOffsetMs) +
                  " ms)");
  }
  if (options.tls_cert.empty() != options.tls_key.empty()) {
    throw Failure("TLS needs both a certificate and a key");
  }
  if (options.header_deadline.count() <= 0 || options.idle_timeout.count() <= 0) {
    throw Failure("the header deadline and the idle time-out must be positive");
  }
}

}  // namespace

// The loops, their threads and the acceptor, which lives on the first loop
// and hands each accepted socket to the loops in turn.
class TimeService::Server {
 public:
  explicit Server(const TimeServiceOptions& options) : m_Options(options) {
    ConnectionSettings settings;
    settings.Answer.Offset = std::chrono::milliseconds(options.offset_ms);
    settings.Answer.KeepAlive = std::chrono::ceil<std::chrono::seconds>(options.idle_timeout);
    settings.Answer.Web = options.web;
    settings.HeaderDeadline = options.header_deadline;
    settings.IdleTimeout = options.idle_timeout;
    unsigned count = static_cast<unsigned>(options.threads);
    if (count == 0) count = std::max(1u, std::thread::hardware_concurrency());
    for (unsigned i = 0; i < count; ++i) m_Loops.push_back(std::make_unique<ServerLoop>(settings));
    m_Acceptor.emplace(m_Loops.front()->Context());
    m_RetryTimer.emplace(m_Loops.front()->Context());
    if (!options.tls_cert.empty()) LoadTls();
  }

  ~Server() { Stop(); }

  int Listen() {
    boost::system::error_code error;
    tcp::resolver resolver(m_Loops.front()->Context());
    const auto found = resolver.resolve(m_Options.host, std::to_string(m_Options.port),
                                        tcp::resolver::passive | tcp::resolver::numeric_service,
                                        error);
    if (error || found.empty()) throw Failure(Where() + ": " + error.message());
    const tcp::endpoint endpoint = found.begin()->endpoint();
    tcp::acceptor& acceptor = *m_Acceptor;
    const auto check = [&](const boost::system::error_code& failed) {
      if (failed) throw Failure("cannot listen on " + Where() + ": " + failed.message());
    };
    acceptor.open(endpoint.protocol(), error);
    check(error);
    acceptor.set_option(tcp::acceptor::reuse_address(true), error);
    check(error);
    if (m_Options.reuse_port) {
      // Off unless asked: it would let a second service take half of a port's
      // connections without a word.
      using ReusePort = asio::detail::socket_option::boolean<SOL_SOCKET, SO_REUSEPORT>;
      acceptor.set_option(ReusePort(true), error);
      check(error);
    }
    // Accepted sockets inherit it on Linux; each is set again on accept.
    acceptor.set_option(tcp::no_delay(true), error);
    check(error);
    acceptor.bind(endpoint, error);
    check(error);
    acceptor.listen(asio::socket_base::max_listen_connections, error);
    check(error);
    return acceptor.local_endpoint().port();
  }

  void Run() {
    Accept();
    for (auto& loop : m_Loops) {
      ServerLoop* running = loop.get();
      m_Threads.emplace_back([running] { running->Run(); });
    }
  }

  void Stop() {
    if (m_Threads.empty()) return;
    asio::post(m_Loops.front()->Context(), [this] {
      boost::system::error_code ignored;
      m_Acceptor->close(ignored);
      m_RetryTimer->cancel();
    });
    for (auto& loop : m_Loops) loop->Stop();
    for (auto& thread : m_Threads) thread.join();
    m_Threads.clear();
  }

  TimeServiceStats Stats() const {
    TimeServiceStats stats;
    stats.Refused = m_TurnedAway.load(std::memory_order_relaxed);
    for (const auto& loop : m_Loops) {
      const LoopCounters& counters = loop->Counters();
      stats.Answered += counters.Answered.load(std::memory_order_relaxed);
      stats.Refused += counters.Refused.load(std::memory_order_relaxed);
      stats.Dropped += counters.Dropped.load(std::memory_order_relaxed);
      for (std::size_t i = 0; i < stats.AnswerDelay.size(); ++i) {
        stats.AnswerDelay[i] += counters.AnswerDelay[i].load(std::memory_order_relaxed);
      }
      stats.AnswerDelaySeconds +=
          static_cast<double>(counters.AnswerDelayNs.load(std::memory_order_relaxed)) / 1e9;
    }
    stats.Open = m_Open.load(std::memory_order_relaxed);
    return stats;
  }

  std::uint64_t TimeQueries() const {
    std::uint64_t count = 0;
    for (const auto& loop : m_Loops) count += loop->Counters().TimeQueries.load(std::memory_order_relaxed);
    return count;
  }

  bool Tls() const { return m_Tls.has_value(); }

 private:
  std::string Where() const { return m_Options.host + ":" + std::to_string(m_Options.port); }

  void LoadTls() {
    m_Tls.emplace(asio::ssl::context::tls_server);
    asio::ssl::context& tls = *m_Tls;
    tls.set_options(asio::ssl::context::default_workarounds | asio::ssl::context::no_sslv2 |
                    asio::ssl::context::no_sslv3 | asio::ssl::context::no_tlsv1 |
                    asio::ssl::context::no_tlsv1_1 | asio::ssl::context::single_dh_use);
    boost::system::error_code error;
    tls.use_certificate_chain_file(m_Options.tls_cert, error);
    if (error) throw Failure("TLS certificate " + m_Options.tls_cert + ": " + error.message());
    tls.use_private_key_file(m_Options.tls_key, asio::ssl::context::pem, error);
    if (error) throw Failure("TLS key " + m_Options.tls_key + ": " + error.message());
  }

  void Accept() {
    ServerLoop& target = *m_Loops[m_Next++ % m_Loops.size()];
    m_Acceptor->async_accept(target.Context(), [this, &target](const boost::system::error_code& error,
                                                               tcp::socket socket) {
      if (error == asio::error::operation_aborted || !m_Acceptor->is_open()) return;
      if (error) {
        // Out of descriptors or memory: the connection waits in the backlog
        // while others close, instead of the loop spinning on the error.
        m_RetryTimer->expires_after(std::chrono::milliseconds(20));
        m_RetryTimer->async_wait([this](const boost::system::error_code& cancelled) {
          if (!cancelled) Accept();
        });
        return;
      }
      if (m_Open.load(std::memory_order_relaxed) >= m_Options.max_connections) {
        m_TurnedAway.fetch_add(1, std::memory_order_relaxed);
        boost::system::error_code ignored;
        socket.close(ignored);
      } else {
        m_Open.fetch_add(1, std::memory_order_relaxed);
        boost::system::error_code ignored;
        socket.set_option(tcp::no_delay(true), ignored);
        Hand(target, std::move(socket));
      }
      Accept();
    });
  }

  void Hand(ServerLoop& target, tcp::socket socket) {
    if (m_Tls) {
      auto connection = std::make_shared<Connection<TlsStream>>(
          target, TlsStream(std::move(socket), *m_Tls), m_Open);
      asio::post(target.Context(), [connection] { connection->Start(); });
    } else {
      auto connection = std::make_shared<Connection<PlainStream>>(target, std::move(socket), m_Open);
      asio::post(target.Context(), [connection] { connection->Start(); });
    }
  }

  // Destroyed bottom up: the threads are joined by then, and whatever the
  // loops still hold may use the counters and the TLS context above them.
  TimeServiceOptions m_Options;
  std::atomic<int> m_Open{0};
  std::atomic<std::uint64_t> m_TurnedAway{0};
  std::optional<asio::ssl::context> m_Tls;
  std::vector<std::unique_ptr<ServerLoop>> m_Loops;
  std::optional<tcp::acceptor> m_Acceptor;
  std::optional<asio::steady_timer> m_RetryTimer;
  std::vector<std::thread> m_Threads;
  std::size_t m_Next = 0;
};

TimeService::TimeService(TimeServiceOptions options) : m_Options(std::move(options)) {}

TimeService::~TimeService() { Stop(); }

int TimeService::Start() {
  std::lock_guard lifecycle(m_Lifecycle);
  if (m_Server) throw Failure("already started");
  CheckOptions(m_Options);
  auto server = std::make_unique<Server>(m_Options);
  m_Port = server->Listen();
  server->Run();
  {
    std::lock_guard lock(m_Mutex);
    m_Server = std::move(server);
    m_Running = true;
  }
  return m_Port;
}

void TimeService::Stop() {
  std::lock_guard lifecycle(m_Lifecycle);
  if (!m_Server) return;
  m_Server->Stop();
  {
    std::lock_guard lock(m_Mutex);
    const TimeServiceStats last = m_Server->Stats();
    m_Previous.Answered += last.Answered;
    m_Previous.Refused += last.Refused;
    m_Previous.Dropped += last.Dropped;
    for (std::size_t i = 0; i < last.AnswerDelay.size(); ++i) m_Previous.AnswerDelay[i] += last.AnswerDelay[i];
    m_Previous.AnswerDelaySeconds += last.AnswerDelaySeconds;
    m_PreviousQueries += m_Server->TimeQueries();
    m_Server.reset();
    m_Running = false;
  }
  m_Changed.notify_all();
}

std::string TimeService::BaseUrl() const {
  std::string host = m_Options.host;
  if (host.empty() || host == "0.0.0.0") host = "127.0.0.1";
  if (host == "::") host = "::1";
  if (host.find(':') != std::string::npos) host = "[" + host + "]";
  const bool tls = !m_Options.tls_cert.empty();
  return (tls ? "https://" : "http://") + host + ":" + std::to_string(m_Port);
}

void TimeService::Wait() {
  std::unique_lock lock(m_Mutex);
  m_Changed.wait(lock, [this] { return !m_Running; });
}

TimeServiceStats TimeService::Stats() const {
  std::lock_guard lock(m_Mutex);
  TimeServiceStats stats = m_Previous;
  if (m_Server) {
    const TimeServiceStats now = m_Server->Stats();
    stats.Answered += now.Answered;
    stats.Refused += now.Refused;
    stats.Dropped += now.Dropped;
    stats.Open = now.Open;
    for (std::size_t i = 0; i < now.AnswerDelay.size(); ++i) stats.AnswerDelay[i] += now.AnswerDelay[i];
    stats.AnswerDelaySeconds += now.AnswerDelaySeconds;
  }
  return stats;
}

std::uint64_t TimeService::TimeQueries() const {
  std::lock_guard lock(m_Mutex);
  return m_PreviousQueries + (m_Server ? m_Server->TimeQueries() : 0);
}

bool TimeService::WaitForTimeQueries(std::uint64_t count, std::chrono::milliseconds timeout) const {
  // Polled: answering stays free of locks and wake-ups for the rare waiter.
  const auto until = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (TimeQueries() >= count) return true;
    if (std::chrono::steady_clock::now() >= until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

}  // namespace borvane
