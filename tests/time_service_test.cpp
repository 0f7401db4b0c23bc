#include "service/time_service.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <regex>
#include <stdexcept>
#include <string>
#include <thread>

#include "client/decrypt.h"
#include "container/system_time.h"
#include "service/time_encoding.h"
#include "support/raw_connection.h"

namespace borvane {
namespace {

using testing::RawConnection;
using std::chrono::milliseconds;
using std::chrono::system_clock;

// Milliseconds since 1970 of a decoded "YYYY-MM-DD hh:mm:ss.mmm" read as GMT+8.
std::int64_t BeijingTextToUnixMs(const std::string& text) {
  const auto field = [&](std::size_t at, std::size_t n) {
    return std::atoi(text.substr(at, n).c_str());
  };
  const std::int64_t days = DaysFromCivil(field(0, 4), field(5, 2), field(8, 2));
  const std::int64_t seconds =
      days * 86400 + field(11, 2) * 3600 + field(14, 2) * 60 + field(17, 2) - 8 * 3600;
  return seconds * 1000 + field(20, 3);
}

TimeServiceOptions Options(std::string host, int port, std::int64_t offset_ms, int threads) {
  TimeServiceOptions options;
  options.host = std::move(host);
  options.port = port;
  options.offset_ms = offset_ms;
  options.threads = threads;
  return options;
}

std::int64_t UnixMs(system_clock::time_point time) {
  return std::chrono::floor<milliseconds>(time.time_since_epoch()).count();
}

std::string Decode(const std::string& encoded) {
  Variant text(encoded);
  Variant key(kDecoderKey);
  return DeCrypt(text, key);
}

std::string Get(const std::string& target, const std::string& extra = {}) {
  return "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + extra + "\r\n";
}

std::string BodyOf(const std::string& answer) {
  return answer.substr(answer.find("\r\n\r\n") + 4);
}

class TimeServiceTest : public ::testing::Test {
 protected:
  static constexpr std::int64_t kOffsetMs = 90 * 60 * 1000 + 123;

  void SetUp() override { m_Port = m_Service.Start(); }

  TimeService m_Service{Options("127.0.0.1", 0, kOffsetMs, 4)};
  int m_Port = 0;
};

TEST_F(TimeServiceTest, AnswersEchoAndEncodedBeijingTimeWithOffset) {
  httplib::Client client(m_Service.BaseUrl());
  const auto before = system_clock::now();
  const auto answer = client.Get("/times/nolvera.aspx?borvane=05007");
  const auto after = system_clock::now();
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->status, 200);
  EXPECT_EQ(answer->get_header_value("Content-Type").rfind("text/plain", 0), 0u);
  ASSERT_EQ(answer->body.size(), 28u);
  EXPECT_EQ(answer->body.substr(0, 5), "05007");

  const std::string decoded = Decode(answer->body.substr(5));
  ASSERT_TRUE(std::regex_match(decoded,
                               std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3})")))
      << decoded;
  const std::int64_t served = BeijingTextToUnixMs(decoded);
  EXPECT_GE(served, UnixMs(before) + kOffsetMs);
  EXPECT_LE(served, UnixMs(after) + kOffsetMs);
}

TEST_F(TimeServiceTest, RefusesMissingOrMalformedStampsWithOneLine) {
  httplib::Client client(m_Service.BaseUrl());
  for (const char* query : {"", "?borvane=", "?borvane=1234", "?borvane=123456",
                            "?borvane=12a45", "?borvane=+1234", "?borvane=%201234",
                            "?borvane=%EF%BC%9112345", "?borvane=12345&borvane=54321",
                            "?Borvane=12345", "?stamp=12345"}) {
    SCOPED_TRACE(query);
    const auto answer = client.Get(std::string("/times/nolvera.aspx") + query);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, 400);
    ASSERT_FALSE(answer->body.empty());
    EXPECT_EQ(answer->body.find('\n'), answer->body.size() - 1);
    EXPECT_TRUE(answer->has_header("Date"));
  }
}

TEST_F(TimeServiceTest, OtherPathsAndMethodsAreRefused) {
  httplib::Client client(m_Service.BaseUrl());
  for (const char* path : {"/", "/times/", "/times/nolvera.aspx/more?borvane=12345",
                           "/times/nolveraXaspx?borvane=12345", "/TIMES/nolvera.aspx?borvane=12345"}) {
    SCOPED_TRACE(path);
    const auto answer = client.Get(path);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, 404);
    EXPECT_EQ(answer->body, "not found\n");
  }
  const auto posted = client.Post("/times/nolvera.aspx?borvane=12345", "x", "text/plain");
  ASSERT_TRUE(posted);
  EXPECT_EQ(posted->status, 405);
  EXPECT_EQ(posted->get_header_value("Allow"), "GET, HEAD");
}

TEST_F(TimeServiceTest, HeadGivesTheHeadersOfTheAnswerWithoutItsBody) {
  RawConnection connection(m_Port);
  connection.Send("HEAD /times/nolvera.aspx?borvane=59999 HTTP/1.1\r\nHost: x\r\n\r\n");
  const std::string answer = connection.ReadAnswer(/*head=*/true);
  EXPECT_EQ(answer.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << answer;
  EXPECT_NE(answer.find("Content-Length: 28\r\n"), std::string::npos) << answer;
  EXPECT_EQ(BodyOf(answer), "");
  // The connection carries on: nothing of a body is left over to confuse the next answer.
  connection.Send(Get("/times/nolvera.aspx?borvane=00000"));
  EXPECT_EQ(BodyOf(connection.ReadAnswer()).substr(0, 5), "00000");
}

TEST_F(TimeServiceTest, DateHeaderIsTheHttpDateOfTheAnswer) {
  httplib::Client client(m_Service.BaseUrl());
  // The service's clock offset skews the header as it skews the body, so a
  // client reading either sees the same time.
  const milliseconds offset(kOffsetMs);
  const auto before = std::chrono::floor<std::chrono::seconds>(system_clock::now() + offset);
  const auto answer = client.Get("/times/nolvera.aspx?borvane=12345");
  const auto after = system_clock::now() + offset;
  ASSERT_TRUE(answer);
  const std::string date = answer->get_header_value("Date");
  bool matches = false;
  for (auto second = before; second <= after; second += std::chrono::seconds(1)) {
    matches = matches || date == FormatHttpDate(second);
  }
  EXPECT_TRUE(matches) << date;
  // The header is GMT even though the body is eight hours ahead.
  EXPECT_TRUE(std::regex_match(
      date, std::regex(R"((Mon|Tue|Wed|Thu|Fri|Sat|Sun), \d\d [A-Z][a-z]{2} \d{4} \d\d:\d\d:\d\d GMT)")));
}

TEST_F(TimeServiceTest, KeepsConnectionsAliveAndAnswersPipelinedRequests) {
  RawConnection connection(m_Port);
  for (const char* stamp : {"00001", "00002"}) {
    connection.Send(Get(std::string("/times/nolvera.aspx?borvane=") + stamp));
    const std::string answer = connection.ReadAnswer();
    EXPECT_EQ(BodyOf(answer).substr(0, 5), stamp);
    EXPECT_NE(answer.find("Keep-Alive:"), std::string::npos);
  }
  // Two requests in one segment: two answers, in order.
  connection.Send(Get("/times/nolvera.aspx?borvane=00003") +
                  Get("/times/nolvera.aspx?borvane=00004"));
  EXPECT_EQ(BodyOf(connection.ReadAnswer()).substr(0, 5), "00003");
  EXPECT_EQ(BodyOf(connection.ReadAnswer()).substr(0, 5), "00004");
  // A client that asks to close gets its answer, then the end of the stream.
  connection.Send(Get("/times/nolvera.aspx?borvane=00005", "Connection: close\r\n"));
  EXPECT_NE(connection.ReadAnswer().find("Connection: close"), std::string::npos);
  EXPECT_TRUE(connection.ClosedByPeer());
}

// The service runs in this process, so its end of a connection is one of our
// file descriptors: the one whose peer is our client socket.
int FindAcceptedSocket(int client_fd) {
  sockaddr_storage client{};
  socklen_t client_length = sizeof client;
  ::getsockname(client_fd, reinterpret_cast<sockaddr*>(&client), &client_length);
  DIR* fds = ::opendir("/proc/self/fd");
  int found = -1;
  while (dirent* entry = fds ? ::readdir(fds) : nullptr) {
    const int fd = std::atoi(entry->d_name);
    if (fd == client_fd || entry->d_name[0] == '.') continue;
    sockaddr_storage peer{};
    socklen_t peer_length = sizeof peer;
    if (::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peer_length) == 0 &&
        peer_length == client_length && std::memcmp(&peer, &client, peer_length) == 0) {
      found = fd;
    }
  }
  if (fds) ::closedir(fds);
  return found;
}

TEST_F(TimeServiceTest, AcceptedSocketsHaveNagleOff) {
  RawConnection connection(m_Port);
  connection.Send(Get("/times/nolvera.aspx?borvane=12345"));
  ASSERT_FALSE(connection.ReadAnswer().empty());  // accepted and served by now
  const int accepted = FindAcceptedSocket(connection.Fd());
  ASSERT_GE(accepted, 0);
  int nodelay = 0;
  socklen_t length = sizeof nodelay;
  ASSERT_EQ(::getsockopt(accepted, IPPROTO_TCP, TCP_NODELAY, &nodelay, &length), 0);
  EXPECT_NE(nodelay, 0);
}

TEST_F(TimeServiceTest, OversizedRequestsAreRefusedAndTheServiceCarriesOn) {
  {
    RawConnection connection(m_Port);
    connection.Send(Get("/times/nolvera.aspx?borvane=12345",
                        "X-Filler: " + std::string(20000, 'a') + "\r\n"));
    const std::string answer = connection.ReadAnswer();
    EXPECT_EQ(answer.rfind("HTTP/1.1 4", 0), 0u) << answer.substr(0, 40);
    EXPECT_TRUE(connection.ClosedByPeer());
  }
  {
    httplib::Client client(m_Service.BaseUrl());
    const auto posted = client.Post("/times/nolvera.aspx", std::string(4096, 'b'), "text/plain");
    ASSERT_TRUE(posted);
    EXPECT_EQ(posted->status, 413);
  }
  httplib::Client client(m_Service.BaseUrl());
  const auto answer = client.Get("/times/nolvera.aspx?borvane=12345");
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->status, 200);
}

TEST_F(TimeServiceTest, StopEndsIdleKeptAliveConnections) {
  RawConnection connection(m_Port);
  connection.Send(Get("/times/nolvera.aspx?borvane=12345"));
  ASSERT_FALSE(connection.ReadAnswer().empty());
  m_Service.Stop();
  EXPECT_TRUE(connection.ClosedByPeer());
  m_Service.Stop();  // again: nothing happens
}

TEST(TimeServiceLifecycle, ReportsPortsInUseAndBadOptions) {
  TimeService first(TimeServiceOptions{});
  const int port = first.Start();
  EXPECT_GT(port, 0);
  EXPECT_EQ(first.Port(), port);
  EXPECT_EQ(first.BaseUrl(), "http://127.0.0.1:" + std::to_string(port));
  EXPECT_THROW(first.Start(), std::runtime_error);

  TimeService second(Options("127.0.0.1", port, 0, 2));
  try {
    second.Start();
    ADD_FAILURE() << "a second service bound a port already in use";
  } catch (const std::runtime_error& error) {
    EXPECT_NE(std::string(error.what()).find("Address already in use"), std::string::npos)
        << error.what();
  }

  EXPECT_THROW(TimeService(Options("127.0.0.1", 70000, 0, 2)).Start(),
               std::runtime_error);
  EXPECT_THROW(TimeService(Options("127.0.0.1", 0, 0, -1)).Start(),
               std::runtime_error);
  EXPECT_THROW(TimeService(Options("no such host.invalid", 0, 0, 2)).Start(),
               std::runtime_error);
}

TEST(TimeServiceLifecycle, WaitReturnsOnceStoppedAndTheServiceCanStartAgain) {
  TimeService service(TimeServiceOptions{});
  service.Stop();  // before Start: harmless
  service.Start();
  std::thread stopper([&] { service.Stop(); });
  service.Wait();
  stopper.join();

  const int port = service.Start();
  httplib::Client client(service.BaseUrl());
  const auto answer = client.Get("/times/nolvera.aspx?borvane=00000");
  ASSERT_TRUE(answer) << "port " << port;
  EXPECT_EQ(answer->status, 200);
}

}  // namespace
}  // namespace borvane

namespace borvane {
namespace {

TEST(TimeServiceQueries, CountsTimeQueriesOnlyAndWakesWaiters) {
  TimeService service(TimeServiceOptions{});
  service.Start();
  httplib::Client http("127.0.0.1", service.Port());
  EXPECT_EQ(service.TimeQueries(), 0u);
  ASSERT_TRUE(http.Get("/times/nolvera.aspx?borvane=12345"));
  ASSERT_TRUE(http.Head("/times/nolvera.aspx?borvane=00001"));
  ASSERT_TRUE(http.Get("/elsewhere"));  // not a time query
  EXPECT_EQ(service.TimeQueries(), 2u);
  EXPECT_TRUE(service.WaitForTimeQueries(2, std::chrono::milliseconds(0)));
  EXPECT_FALSE(service.WaitForTimeQueries(3, std::chrono::milliseconds(1)));

  // A waiter on another thread wakes when the query it waits for arrives.
  std::thread asker([&] {
    httplib::Client other("127.0.0.1", service.Port());
    other.Get("/times/nolvera.aspx?borvane=00002");
  });
  EXPECT_TRUE(service.WaitForTimeQueries(3, std::chrono::seconds(30)));
  asker.join();
  service.Stop();
}

}  // namespace
}  // namespace borvane
