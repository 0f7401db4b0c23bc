#include "service/server_loop.h"

#include <boost/asio/post.hpp>

namespace borvane {

namespace {
// Deadlines are seconds long; a quarter second late is close enough.
constexpr std::chrono::milliseconds kSweepPeriod{250};
}  // namespace

ServerLoop::ServerLoop(ConnectionSettings settings)
    : m_Settings(settings), m_Work(m_Context.get_executor()), m_Sweeper(m_Context) {}

ServerLoop::~ServerLoop() { m_Closing = true; }

void ServerLoop::Run() { m_Context.run(); }

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
