#pragma once
// Raw loopback sockets for tests: a port that never answers (or refuses),
// and a client on one raw TCP connection to a loopback port, so service
// tests see exactly what travels. Every read gives up after the receive time-out
// (10 s unless set), so a service that never answers fails a test instead
// of hanging it.

#include <chrono>
#include <string>

namespace borvane::testing {

// A loopback socket bound to a free port: listening (the kernel completes
// each connection into the backlog, and nothing reads or answers it) or not
// (connections are refused).
class LoopbackSocket {
 public:
  explicit LoopbackSocket(bool listening);
  ~LoopbackSocket();
  LoopbackSocket(const LoopbackSocket&) = delete;
  LoopbackSocket& operator=(const LoopbackSocket&) = delete;
  int Fd() const { return m_Fd; }
  std::string Url() const { return "http://127.0.0.1:" + std::to_string(m_Port) + "/"; }

 private:
  int m_Fd;
  int m_Port = 0;
};

class RawConnection {
 public:
  // Connects to 127.0.0.1:`port`; throws std::runtime_error when refused.
  // `receive_buffer` > 0 shrinks the socket's receive buffer first.
  explicit RawConnection(int port, int receive_buffer = 0);
  ~RawConnection();
  RawConnection(const RawConnection&) = delete;
  RawConnection& operator=(const RawConnection&) = delete;

  // Sends all of `data` (false when the peer is gone).
  bool Send(const std::string& data);
  // One whole answer (headers and a Content-Length body); empty when the
  // service closed the connection, or time ran out, first.
  std::string ReadAnswer(bool head = false);
  // True when the service closed the connection (end of stream or reset)
  // before the receive time-out; what arrives meanwhile is kept.
  bool ClosedByPeer();
  void SetReceiveTimeout(std::chrono::milliseconds timeout);

  int Fd() const { return m_Fd; }
  const std::string& Buffered() const { return m_Buffer; }

 private:
  bool Receive();

  int m_Fd;
  std::string m_Buffer;
  bool m_Closed = false;
};

}  // namespace borvane::testing
