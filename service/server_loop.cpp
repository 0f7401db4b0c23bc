#include "service/server_loop.h"

#include <boost/asio/post.hpp>

#if defined(__linux__)
#include <pthread.h>
#include <sched.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace borvane {

namespace {
// Deadlines are seconds long; a quarter second late is close enough.
constexpr std::chrono::milliseconds kSweepPeriod{250};
#if defined(__linux__)
// The kernel's struct sched_attr (the C library has no wrapper for it).
struct SchedulingAttributes {
  std::uint32_t Size = sizeof(SchedulingAttributes);
  std::uint32_t Policy = 0;
  std::uint64_t Flags = 0;
  std::int32_t Nice = 0;
  std::uint32_t Priority = 0;
  std::uint64_t Runtime = 0;  // for a time-shared thread: the turn it asks for, in ns
  std::uint64_t Deadline = 0;
  std::uint64_t Period = 0;
};
#endif

// A loop spends a few microseconds on an answer and is then idle or
// answering the next; with the scheduler's usual turn of a millisecond or
// more, a loop that has work keeps a core until the next tick while a thread
// woken there (the client's, on a machine it shares) waits, and a loop woken
// behind a busy thread waits as long. The shortest turn Linux grants a
// time-shared thread (0.1 ms, since 6.12) lets each side in within it: the
// loop's share of the processor is unchanged, only cut finer. Kernels
// without it ignore the request; the thread's policy and nice value stay as
// they were.
void AskForShortTurns() {
#if defined(__linux__)
  pthread_setname_np(pthread_self(), "borvane-loop");
  SchedulingAttributes attributes;
  if (::syscall(SYS_sched_getattr, 0, &attributes, sizeof attributes, 0) != 0) return;
  if (attributes.Policy != SCHED_OTHER) return;  // batch, idle or real-time: as chosen
  attributes.Size = sizeof attributes;
  attributes.Flags &= 0x01;  // SCHED_FLAG_RESET_ON_FORK, if set, stays
  attributes.Runtime = 100'000;
  ::syscall(SYS_sched_setattr, 0, &attributes, 0);
#endif
}

}  // namespace

ServerLoop::ServerLoop(ConnectionSettings settings)
    : m_Settings(settings), m_Work(m_Context.get_executor()), m_Sweeper(m_Context) {}

ServerLoop::~ServerLoop() { m_Closing = true; }

void ServerLoop::Run() {
  AskForShortTurns();
  m_Context.run();
}

void ServerLoop::Stop() {
  boost::asio::post(m_Context, [this] {
    if (m_Stopping) return;
    m_Stopping = true;
    m_Work.reset();
    // Stop may close connections and so remove them from the list.
    const std::vector<LoopConnection*> connections = m_Connections;
    for (LoopConnection* connection : connections) connection->Stop();
  });
}

void ServerLoop::Add(LoopConnection& connection) {
  connection.m_Index = m_Connections.size();
  m_Connections.push_back(&connection);
  ArmSweep();
}

void ServerLoop::Remove(LoopConnection& connection) {
  LoopConnection* last = m_Connections.back();
  m_Connections[connection.m_Index] = last;
  last->m_Index = connection.m_Index;
  m_Connections.pop_back();
  // With no connection left the timer would only keep a stopping loop alive.
  if (m_Connections.empty() && m_SweepArmed && !m_Closing) m_Sweeper.cancel();
}

void ServerLoop::ArmSweep() {
  if (m_SweepArmed) return;
  m_SweepArmed = true;
  m_Sweeper.expires_after(kSweepPeriod);
  m_Sweeper.async_wait([this](const boost::system::error_code&) {
    m_SweepArmed = false;
    Sweep();
  });
}

void ServerLoop::Sweep() {
  const auto now = std::chrono::steady_clock::now();
  // Expire only closes sockets; the connections leave the list later, from
  // their own completion handlers, so the list holds still here.
  for (LoopConnection* connection : m_Connections) {
    if (connection->Deadline <= now) connection->Expire();
  }
  if (!m_Connections.empty()) ArmSweep();
}

}  // namespace borvane
