#include "platform/posix/curl_transfer.h"

#include <arpa/inet.h>
#include <curl/curl.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "container/error.h"
#include "service/time_service.h"
#include "support/raw_connection.h"

namespace borvane {
namespace {

using testing::LoopbackSocket;

// Long enough never to cut a loopback fetch short.
constexpr std::chrono::milliseconds kTimeLeft{10000};

class CurlTransferTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Loopback never goes through a proxy the environment may name.
    ::setenv("no_proxy", "127.0.0.1,localhost", 1);
    ::setenv("NO_PROXY", "127.0.0.1,localhost", 1);

    m_Server.Get("/hello", [this](const httplib::Request& req, httplib::Response& res) {
      {
        std::lock_guard lock(m_Mutex);
        m_ClientPorts.push_back(req.remote_port);
        m_BusyDuringFetch = m_Transfer->StillExecuting();
      }
      res.set_content("hello\nworld", "text/plain");
    });
    m_Server.Get("/gone", [](const httplib::Request&, httplib::Response& res) {
      res.status = 404;
      res.set_content("no such page\r\nsecond line", "text/plain");
    });
    m_Server.Get("/huge", [](const httplib::Request&, httplib::Response& res) {
      res.set_content(std::string(2 << 20, 'x'), "text/plain");
    });
    m_Server.Get("/moved", [this](const httplib::Request&, httplib::Response& res) {
      res.set_redirect(m_Elsewhere.Url() + "times", 302);
    });
    m_Server.set_keep_alive_max_count(100);
    m_Port = m_Server.bind_to_any_port("127.0.0.1");
    ASSERT_GT(m_Port, 0);
    m_Thread = std::thread([this] { m_Server.listen_after_bind(); });
    // stop() only takes effect once the listening loop runs.
    while (!m_Server.is_running()) std::this_thread::yield();
  }

  void TearDown() override {
    // Close the kept-alive connection first, or the server waits out its
    // keep-alive time before it stops.
    m_Transfer.reset();
    m_Server.stop();
    m_Thread.join();
  }

  std::string Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(m_Port) + path;
  }

  std::unique_ptr<CurlTransfer> m_Transfer = std::make_unique<CurlTransfer>();
  const LoopbackSocket m_Elsewhere{/*listening=*/true};  // where /moved points
  httplib::Server m_Server;
  std::thread m_Thread;
  int m_Port = 0;
  std::mutex m_Mutex;
  std::vector<int> m_ClientPorts;
  bool m_BusyDuringFetch = false;
};

TEST_F(CurlTransferTest, ReturnsTheBodyAndIsBusyOnlyWhileFetching) {
  EXPECT_FALSE(m_Transfer->StillExecuting());
  EXPECT_EQ(m_Transfer->OpenUrl(Url("/hello"), kTimeLeft), "hello\nworld");
  EXPECT_TRUE(m_BusyDuringFetch);
  EXPECT_FALSE(m_Transfer->StillExecuting());
  // Cancel after a finished fetch changes nothing for the next one.
  m_Transfer->Cancel();
  EXPECT_EQ(m_Transfer->OpenUrl(Url("/hello"), kTimeLeft), "hello\nworld");
}

TEST_F(CurlTransferTest, ReusesItsConnectionBetweenFetches) {
  for (int i = 0; i < 3; ++i) m_Transfer->OpenUrl(Url("/hello"), kTimeLeft);
  std::lock_guard lock(m_Mutex);
  ASSERT_EQ(m_ClientPorts.size(), 3u);
  EXPECT_EQ(m_ClientPorts[1], m_ClientPorts[0]);
  EXPECT_EQ(m_ClientPorts[2], m_ClientPorts[0]);
}

TEST_F(CurlTransferTest, ErrorStatusRaisesTransferFailedWithStatusAndFirstLine) {
  try {
    m_Transfer->OpenUrl(Url("/gone"), kTimeLeft);
    FAIL() << "no error for a 404";
  } catch (const Error& error) {
    EXPECT_EQ(error.Code(), ErrorCode::TransferFailed);
    const std::string message = error.what();
    EXPECT_NE(message.find("HTTP status 404: no such page"), std::string::npos) << message;
    EXPECT_EQ(message.find("second line"), std::string::npos) << message;
  }
  EXPECT_FALSE(m_Transfer->StillExecuting());
  EXPECT_EQ(m_Transfer->OpenUrl(Url("/hello"), kTimeLeft), "hello\nworld");
}

TEST_F(CurlTransferTest, RedirectsAreRefusedAndNeverFollowed) {
  // A redirect could send the clock setting to a service of someone else's choosing.
  try {
    m_Transfer->OpenUrl(Url("/moved"), std::chrono::seconds(2));
    FAIL() << "no error for a redirect";
  } catch (const Error& error) {
    EXPECT_NE(std::string(error.what()).find("HTTP status 302"), std::string::npos) << error.what();
  }
  // Nothing connected to where it pointed.
  ::fcntl(m_Elsewhere.Fd(), F_SETFL, O_NONBLOCK);
  EXPECT_EQ(::accept(m_Elsewhere.Fd(), nullptr, nullptr), -1);
}

TEST_F(CurlTransferTest, OversizedBodiesAndOtherSchemesAreRefused) {
  try {
    m_Transfer->OpenUrl(Url("/huge"), kTimeLeft);
    FAIL() << "no error for a 2 MiB body";
  } catch (const Error& error) {
    EXPECT_EQ(error.Code(), ErrorCode::TransferFailed);
    EXPECT_NE(std::string(error.what()).find("larger than 1 MiB"), std::string::npos);
  }
  EXPECT_THROW(m_Transfer->OpenUrl("file:///etc/hostname", kTimeLeft), Error);
}

TEST(CurlTransfer, RefusedConnectionRaisesCurlsMessage) {
  const LoopbackSocket closed(/*listening=*/false);
  CurlTransfer transfer;
  try {
    transfer.OpenUrl(closed.Url(), kTimeLeft);
    FAIL() << "no error for a refused connection";
  } catch (const Error& error) {
    EXPECT_EQ(error.Code(), ErrorCode::TransferFailed);
    const std::string message = error.what();
    EXPECT_NE(message.find(curl_easy_strerror(CURLE_COULDNT_CONNECT)), std::string::npos)
        << message;
    EXPECT_NE(message.find(closed.Url()), std::string::npos) << message;
  }
  EXPECT_FALSE(transfer.StillExecuting());
}

TEST(CurlTransfer, CancelFromAnotherThreadEndsARunningFetchAtOnce) {
  ::setenv("no_proxy", "127.0.0.1,localhost", 1);
  ::setenv("NO_PROXY", "127.0.0.1,localhost", 1);
  // Connected but never answered: the fetch would run to its 10 s time-out.
  const LoopbackSocket silent(/*listening=*/true);
  CurlTransfer transfer;
  // Three cancels in a row, each timed from Cancel to the fetch's end. A
  // wait that looks at the cancel only when libcurl's own timers end it
  // (every 200 ms on this wait) takes about 450 ms for the three; one woken
  // by the cancel takes milliseconds.
  std::chrono::steady_clock::duration cancelling{};
  for (int round = 0; round < 3; ++round) {
    std::string message;
    std::thread fetch([&] {
      try {
        transfer.OpenUrl(silent.Url(), kTimeLeft);
      } catch (const Error& error) {
        message = error.what();
      }
    });
    while (!transfer.StillExecuting()) std::this_thread::yield();
    if (round == 0) {
      EXPECT_THROW(transfer.OpenUrl(silent.Url(), kTimeLeft), Error);  // one fetch at a time
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // into the wait for an answer
    const auto cancelled = std::chrono::steady_clock::now();
    transfer.Cancel();
    fetch.join();
    cancelling += std::chrono::steady_clock::now() - cancelled;
    EXPECT_NE(message.find("cancelled"), std::string::npos) << message;
    EXPECT_FALSE(transfer.StillExecuting());
  }
  EXPECT_LT(cancelling, std::chrono::milliseconds(200));
}

TEST(CurlTransfer, FetchesTheTimeServiceAnswer) {
  ::setenv("no_proxy", "127.0.0.1,localhost", 1);
  ::setenv("NO_PROXY", "127.0.0.1,localhost", 1);
  TimeService service(TimeServiceOptions{});
  service.Start();
  CurlTransfer transfer;
  const std::string body = transfer.OpenUrl(service.BaseUrl() + "/times/nolvera.aspx?borvane=05007", kTimeLeft);
  EXPECT_EQ(body.size(), 28u);
  EXPECT_EQ(body.substr(0, 5), "05007");
  try {
    transfer.OpenUrl(service.BaseUrl() + "/times/nolvera.aspx?borvane=5007", kTimeLeft);
    FAIL() << "no error for a refused stamp";
  } catch (const Error& error) {
    EXPECT_NE(std::string(error.what()).find("HTTP status 400: send stamp must be exactly five digits"),
              std::string::npos)
        << error.what();
  }
}

TEST(CurlTransfer, AStalledServiceFailsWithinTheDeadlineGiven) {
  ::setenv("no_proxy", "127.0.0.1,localhost", 1);
  ::setenv("NO_PROXY", "127.0.0.1,localhost", 1);
  // Accepts (in the backlog) and never answers.
  const LoopbackSocket stalled(/*listening=*/true);
  CurlTransfer transfer;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_THROW(transfer.OpenUrl(stalled.Url(), std::chrono::milliseconds(300)), Error);
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_GE(took, std::chrono::milliseconds(250));
  EXPECT_LT(took, std::chrono::seconds(3)) << "a limit other than the deadline was used";
}

// Reads one request's head from a connected socket (empty when it closed first).
std::string ReadRequest(int client) {
  std::string request;
  char buffer[1024];
  while (request.find("\r\n\r\n") == std::string::npos) {
    const ssize_t got = ::recv(client, buffer, sizeof buffer, 0);
    if (got <= 0) return {};
    request.append(buffer, static_cast<std::size_t>(got));
  }
  return request;
}

// A stand-in server (or HTTP proxy) on loopback: accepts one connection,
// keeps the request line and sends `answer`, as it is.
class OneShotServer {
 public:
  explicit OneShotServer(std::string answer) : m_Listener(/*listening=*/true) {
    m_Thread = std::thread([this, answer = std::move(answer)] {
      const int client = ::accept(m_Listener.Fd(), nullptr, nullptr);
      if (client < 0) return;
      const std::string request = ReadRequest(client);
      RequestLine = request.substr(0, request.find("\r\n"));
      ::send(client, answer.data(), answer.size(), MSG_NOSIGNAL);
      ::close(client);
    });
  }
  // Wakes an accept that no request came to, so the test ends either way.
  ~OneShotServer() {
    ::shutdown(m_Listener.Fd(), SHUT_RDWR);
    m_Thread.join();
  }
  std::string Url() const { return m_Listener.Url(); }

  std::string RequestLine;

 private:
  LoopbackSocket m_Listener;
  std::thread m_Thread;
};

TEST(CurlTransfer, FetchesGoThroughTheProxyTheEnvironmentNames) {
  OneShotServer proxy("HTTP/1.1 200 OK\r\nContent-Length: 9\r\nConnection: close\r\n\r\nvia proxy");
  ::setenv("http_proxy", proxy.Url().c_str(), 1);
  ::setenv("no_proxy", "127.0.0.1,localhost", 1);
  ::setenv("NO_PROXY", "127.0.0.1,localhost", 1);
  std::string body;
  {
    CurlTransfer transfer;
    // The host is never resolved here: the proxy is asked for it.
    body = transfer.OpenUrl("http://time.example.invalid/times/nolvera.aspx?borvane=05007",
                            kTimeLeft);
  }
  ::unsetenv("http_proxy");
  EXPECT_EQ(body, "via proxy");
  EXPECT_EQ(proxy.RequestLine,
            "GET http://time.example.invalid/times/nolvera.aspx?borvane=05007 HTTP/1.1");
}

// Answers the first request of a kept-alive connection, resets that
// connection at the second request, and leaves the fresh connection that
// libcurl then opens unanswered.
class ResetThenSilent {
 public:
  ResetThenSilent() {
    m_Thread = std::thread([this] {
      const int first = ::accept(m_Listener.Fd(), nullptr, nullptr);
      if (first < 0) return;
      ReadRequest(first);
      const std::string answer = "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello";
      ::send(first, answer.data(), answer.size(), MSG_NOSIGNAL);
      ReadRequest(first);
      const linger reset{1, 0};
      ::setsockopt(first, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
      ::close(first);
      m_Silent = ::accept(m_Listener.Fd(), nullptr, nullptr);
    });
  }
  ~ResetThenSilent() {
    ::shutdown(m_Listener.Fd(), SHUT_RDWR);
    m_Thread.join();
    if (m_Silent >= 0) ::close(m_Silent);
  }
  std::string Url() const { return m_Listener.Url(); }

 private:
  LoopbackSocket m_Listener{/*listening=*/true};
  std::thread m_Thread;
  int m_Silent = -1;
};

TEST(CurlTransfer, ATimeOutIsToldOnItsOwnNotWithAStepThatWasRecoveredFrom) {
  ::setenv("no_proxy", "127.0.0.1,localhost", 1);
  ::setenv("NO_PROXY", "127.0.0.1,localhost", 1);
  ResetThenSilent server;
  CurlTransfer transfer;
  EXPECT_EQ(transfer.OpenUrl(server.Url(), kTimeLeft), "hello");
  try {
    transfer.OpenUrl(server.Url(), std::chrono::milliseconds(500));
    FAIL() << "no error for a fetch that was never answered";
  } catch (const Error& error) {
    const std::string message = error.what();
    EXPECT_NE(message.find("no complete answer within"), std::string::npos) << message;
    EXPECT_EQ(message.find("reset"), std::string::npos) << message;
  }
}

TEST(CurlTransfer, AnswersThatBreakTheProtocolAreNamedSo) {
  ::setenv("no_proxy", "127.0.0.1,localhost", 1);
  ::setenv("NO_PROXY", "127.0.0.1,localhost", 1);
  struct Row {
    std::string Answer;
    const char* Says;
  };
  const Row rows[] = {
      {"HTTP/1.1 200 OK\r\nContent-Length: 5\r\ncontent-length:  28\r\n\r\n12345",
       "two different Content-Length headers"},
      {"HTTP/1.1 200 OK\r\nX-Endless: " + std::string(200 << 10, 'a'), "header line is longer than 100 KiB"},
  };
  for (const Row& row : rows) {
    OneShotServer server(row.Answer);
    CurlTransfer transfer;
    try {
      transfer.OpenUrl(server.Url(), kTimeLeft);
      ADD_FAILURE() << "accepted: " << row.Says;
    } catch (const Error& error) {
      EXPECT_NE(std::string(error.what()).find(row.Says), std::string::npos) << error.what();
    }
  }
}

}  // namespace
}  // namespace borvane
