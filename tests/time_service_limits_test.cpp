// The time service under abuse: idle and slow clients, the connection cap,
// stopping with answers in flight. Deadlines are configured short here; the
// bounds are generous because they check liveness, not speed.

#include <sys/socket.h>

#include <cerrno>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "service/time_service.h"
#include "support/raw_connection.h"

namespace borvane {
namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;
using testing::RawConnection;

const std::string kQuery =
    "GET /times/nolvera.aspx?borvane=12345 HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";

TimeServiceOptions ShortDeadlines() {
  TimeServiceOptions options;
  options.threads = 2;
  options.header_deadline = milliseconds(1000);
  options.idle_timeout = milliseconds(3000);
  return options;
}

bool Answered(RawConnection& connection) {
  const std::string answer = connection.ReadAnswer();
  return answer.rfind("HTTP/1.1 200 OK\r\n", 0) == 0 && answer.size() > 28;
}

TEST(TimeServiceLimits, IdleConnectionsDoNotHoldUpANewClient) {
  TimeService service(ShortDeadlines());
  const int port = service.Start();
  std::vector<std::unique_ptr<RawConnection>> idle;
  for (int i = 0; i < 64; ++i) {
    idle.push_back(std::make_unique<RawConnection>(port));
    if (i % 2 == 0) {  // half kept alive after an answer, half never sent a byte
      ASSERT_TRUE(idle.back()->Send(kQuery));
      ASSERT_TRUE(Answered(*idle.back()));
    }
  }
  RawConnection fresh(port);
  fresh.SetReceiveTimeout(milliseconds(1000));
  ASSERT_TRUE(fresh.Send(kQuery));
  EXPECT_TRUE(Answered(fresh));
}

TEST(TimeServiceLimits, SlowSendersAreDroppedAtTheHeaderDeadline) {
  TimeService service(ShortDeadlines());
  const int port = service.Start();
  // Half a request, then nothing; and one byte every 100 ms, which keeps
  // the connection busy but would take 5 s to finish the request.
  RawConnection stalled(port);
  ASSERT_TRUE(stalled.Send(kQuery.substr(0, 20)));
  RawConnection drip(port);
  const auto start = steady_clock::now();
  bool closed = false;
  for (std::size_t i = 0; i < kQuery.size() && !closed; ++i) {
    drip.Send(kQuery.substr(i, 1));
    std::this_thread::sleep_for(milliseconds(100));
    char byte;
    const ssize_t n = ::recv(drip.Fd(), &byte, 1, MSG_DONTWAIT);
    closed = n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
  }
  EXPECT_TRUE(closed);  // without an answer: a byte read would have been the answer's
  EXPECT_LT(steady_clock::now() - start, milliseconds(2500));
  EXPECT_TRUE(stalled.ClosedByPeer());
  EXPECT_EQ(service.Stats().Dropped, 2u);
}

TEST(TimeServiceLimits, ConnectionsPastTheCapAreClosedAtAccept) {
  TimeServiceOptions options = ShortDeadlines();
  options.max_connections = 3;
  TimeService service(options);
  const int port = service.Start();
  std::vector<std::unique_ptr<RawConnection>> held;
  for (int i = 0; i < 3; ++i) {
    held.push_back(std::make_unique<RawConnection>(port));
    ASSERT_TRUE(held.back()->Send(kQuery));
    ASSERT_TRUE(Answered(*held.back()));
  }
  {
    RawConnection over(port);
    over.Send(kQuery);
    EXPECT_TRUE(over.ClosedByPeer());
    EXPECT_EQ(over.Buffered(), "");
  }
  EXPECT_EQ(service.Stats().Refused, 1u);
  // A place freed is a place taken again.
  held.pop_back();
  bool answered = false;
  for (int attempt = 0; attempt < 50 && !answered; ++attempt) {
    RawConnection again(port);
    answered = again.Send(kQuery) && Answered(again);
    if (!answered) std::this_thread::sleep_for(milliseconds(20));  // the close is still on its way
  }
  EXPECT_TRUE(answered);
}

TEST(TimeServiceLimits, StopFinishesTheAnswersBeingWritten) {
  TimeService service(ShortDeadlines());
  const int port = service.Start();
  // A client that pipelines far more than it reads: it sends until the
  // service stops taking requests, which it does once it is blocked writing
  // answers into the client's full socket.
  RawConnection client(port, /*receive_buffer=*/2048);
  std::string burst;
  for (int i = 0; i < 1000; ++i) burst += kQuery;
  std::size_t sent = 0;  // bytes of an endless run of requests
  std::uint64_t taken = 0;
  for (int round = 0; round < 500; ++round) {
    for (;;) {
      const std::string_view rest = std::string_view(burst).substr(sent % kQuery.size());
      const ssize_t n = ::send(client.Fd(), rest.data(), rest.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
      if (n <= 0) break;
      sent += static_cast<std::size_t>(n);
    }
    std::this_thread::sleep_for(milliseconds(20));
    const std::uint64_t now = service.TimeQueries();
    if (now == taken && now > 0) break;
    taken = now;
  }
  const std::size_t requests = sent / kQuery.size();

  std::thread stopper([&] { service.Stop(); });
  int answers = 0;
  while (Answered(client)) ++answers;
  stopper.join();
  EXPECT_TRUE(client.ClosedByPeer());
  EXPECT_EQ(client.Buffered(), "");  // no answer cut in half
  EXPECT_GE(answers, 64);
  EXPECT_LT(static_cast<std::size_t>(answers), requests);  // those not yet read are not answered
  EXPECT_EQ(static_cast<std::uint64_t>(answers), service.Stats().Answered);
}

TEST(TimeServiceLimits, KeptAliveQueriesDoNotWaitForDelayedAcknowledgements) {
  TimeService service(ShortDeadlines());
  const int port = service.Start();
  RawConnection client(port);
  // Twenty rounds, each a pipelined burst longer than one write's batch of
  // answers, so the second write of a round goes out while the first is
  // not yet acknowledged. With Nagle's algorithm on it would wait for the
  // client's delayed acknowledgement, about 40 ms a round.
  std::string burst;
  for (int i = 0; i < 40; ++i) burst += kQuery;
  const auto start = steady_clock::now();
  for (int round = 0; round < 20; ++round) {
    ASSERT_TRUE(client.Send(burst));
    for (int i = 0; i < 40; ++i) ASSERT_TRUE(Answered(client));
  }
  EXPECT_LT(steady_clock::now() - start, milliseconds(400));
}

}  // namespace
}  // namespace borvane
