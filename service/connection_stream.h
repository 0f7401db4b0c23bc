#pragma once
// One accepted connection of the time service as the HTTP library's stream.
// Reads are buffered (the library reads request lines a byte at a time);
// writes are collected and leave in one send per answer, so status line,
// headers and body travel in one segment instead of two.

#include <httplib.h>

#include <chrono>
#include <cstddef>
#include <string>

namespace borvane {

class ConnectionStream final : public httplib::Stream {
 public:
  struct Limits {
    std::chrono::milliseconds ReadTimeout{5000};
    std::chrono::milliseconds WriteTimeout{5000};
    // Bytes one request (line, headers and body) may take; past it reads fail
    // and the connection ends after its answer.
    std::size_t RequestBytes = 16 * 1024;
  };

  // `sock` stays owned by the caller. `wake_fd` becomes readable when the
  // service stops; every wait gives up then.
  ConnectionStream(int sock, int wake_fd, Limits limits);

  // Waits up to `timeout` for the next request of a kept-alive connection.
  // False when the peer closed, the service is stopping or time ran out.
  bool WaitForRequest(std::chrono::milliseconds timeout);
  // Starts counting a new request against the byte limit.
  void BeginRequest() { m_RequestBytes = 0; }
  bool OverLimit() const { return m_OverLimit; }
  // Sends everything written since the last flush; false when the peer is gone
  // or the write time-out ran out.
  bool Flush();

  bool is_readable() const override;
  bool is_writable() const override;
  ssize_t read(char* ptr, size_t size) override;
  ssize_t write(const char* ptr, size_t size) override;
  void get_remote_ip_and_port(std::string& ip, int& port) const override;
  void get_local_ip_and_port(std::string& ip, int& port) const override;
  int socket() const override { return m_Socket; }

 private:
  // Waits for `events` on the socket; false on time-out, error or stop.
  bool WaitFor(short events, std::chrono::milliseconds timeout) const;

  int m_Socket;
  int m_WakeFd;
  Limits m_Limits;
  std::string m_In;
  std::size_t m_InOffset = 0;
  std::string m_Out;
  std::size_t m_RequestBytes = 0;
  bool m_OverLimit = false;
};

}  // namespace borvane
