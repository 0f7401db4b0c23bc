#pragma once
// One client connection of the time service, over a plain TCP socket or a
// TLS stream on one. It reads what has arrived, answers every complete
// request in one write, and keeps at most one read or one write pending, so
// a client that does not read its answers stops being read from and costs
// no more than its buffers.
//
//   handshake TLS only, header deadline; plain HTTP instead gets a 400 and the close
//   waiting   idle deadline; the first byte of a request starts the header deadline
//   writing   write deadline; then the next pipelined request or back to waiting
//   lingering after the last answer, or when stopped with bytes on their way:
//             sending side shut, leftovers read and dropped until the peer
//             closes, so closing cannot reset the connection under an answer
//             the peer has not read yet

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/ssl/stream.hpp>
#include <boost/asio/write.hpp>
#include <linux/sockios.h>
#include <sys/ioctl.h>

#include <array>
#include <atomic>
#include <memory>
#include <string>
#include <type_traits>

#include "service/server_loop.h"

namespace borvane {

using PlainStream = boost::asio::ip::tcp::socket;
using TlsStream = boost::asio::ssl::stream<boost::asio::ip::tcp::socket>;

template <class Stream>
class Connection final : public LoopConnection,
                         public std::enable_shared_from_this<Connection<Stream>> {
 public:
  // `open` counts the service's open connections; this one is already in it.
  Connection(ServerLoop& loop, Stream stream, std::atomic<int>& open)
      : m_Loop(loop), m_Stream(std::move(stream)), m_Open(open) {}

  ~Connection() override {
    if (m_Registered) m_Loop.Remove(*this);
    m_Open.fetch_sub(1, std::memory_order_relaxed);
  }

  // Loop thread.
  void Start() {
    m_Loop.Add(*this);
    m_Registered = true;
    if (m_Loop.Stopping()) return Close(false);
    if constexpr (std::is_same_v<Stream, TlsStream>) {
      m_State = State::Handshake;
      Deadline = Now() + Settings().HeaderDeadline;
      // The first bytes decide: a TLS record goes on to the handshake, which
      // reads them again; a plain HTTP request gets one line saying why it
      // cannot be answered, instead of a silent close.
      Socket().async_read_some(
          boost::asio::buffer(m_Chunk),
          [self = this->shared_from_this()](const boost::system::error_code& error, std::size_t bytes) {
            if (self->m_State != State::Handshake) return;
            if (error) return self->Close(true);
            if (LooksLikePlainHttp(self->m_Chunk[0])) return self->RefusePlainHttp();
            self->m_Stream.async_handshake(
                boost::asio::ssl::stream_base::server, boost::asio::buffer(self->m_Chunk.data(), bytes),
                [self](const boost::system::error_code& failed, std::size_t) {
                  if (self->m_State != State::Handshake) return;
                  if (failed) return self->Close(true);
                  self->WaitForRequest();
                });
          });
    } else {
      // Writes that cannot finish at once must say so rather than wait.
      boost::system::error_code ignored;
      m_Stream.non_blocking(true, ignored);
      WaitForRequest();
    }
  }

  void Expire() override {
    const bool mid_request = m_State == State::Handshake || m_State == State::Writing ||
                             (m_State == State::Reading && m_RequestBegun);
    Close(mid_request);
  }

  void Stop() override {
    switch (m_State) {
      case State::Writing: m_CloseAfterWrite = true; break;  // finish the answer first
      case State::Lingering: break;
      case State::Reading:
        // Waiting for a request. With nothing on its way either side the
        // connection closes at once. Otherwise it lingers: a close with
        // requests unread would reset it, and the answers the peer has not
        // received yet would be lost. A request half read is dropped.
        if (!InFlight()) return Close(m_RequestBegun);
        if (m_RequestBegun) m_Loop.Counters().Dropped.fetch_add(1, std::memory_order_relaxed);
        Linger();
        break;
      default: Close(true); break;
    }
  }

 private:
  enum class State { Idle, Handshake, Reading, Writing, Lingering, Closed };

  static std::chrono::steady_clock::time_point Now() { return std::chrono::steady_clock::now(); }
  const ConnectionSettings& Settings() const { return m_Loop.Settings(); }
  PlainStream& Socket() {
    if constexpr (std::is_same_v<Stream, TlsStream>) {
      return m_Stream.next_layer();
    } else {
      return m_Stream;
    }
  }

  // Answers the peer has not acknowledged, or requests it sent that were
  // not read yet (when the kernel cannot say: assumed so).
  bool InFlight() {
    const int fd = Socket().native_handle();
    int unacknowledged = 0;
    int unread = 0;
    return ::ioctl(fd, SIOCOUTQ, &unacknowledged) != 0 || unacknowledged > 0 ||
           ::ioctl(fd, FIONREAD, &unread) != 0 || unread > 0;
  }

  void WaitForRequest() {
    m_RequestBegun = false;
    Deadline = Now() + Settings().IdleTimeout;
    Read();
  }

  void Read() {
    m_State = State::Reading;
    m_Stream.async_read_some(
        boost::asio::buffer(m_Chunk),
        [self = this->shared_from_this()](const boost::system::error_code& error, std::size_t bytes) {
          self->OnRead(error, bytes);
        });
  }

  void OnRead(const boost::system::error_code& error, std::size_t bytes) {
    if (m_State != State::Reading) return;
    if (error) return Close(m_RequestBegun);
    if (!m_RequestBegun) {
      m_RequestBegun = true;
      Deadline = Now() + Settings().HeaderDeadline;
    }
    m_LastRead = Now();
    const std::string_view chunk(m_Chunk.data(), bytes);
    if (m_Pending.empty()) {
      Answer(chunk, /*pending=*/false);
    } else {
      m_Pending.append(chunk);
      Answer(m_Pending, /*pending=*/true);
    }
  }

  // Answers what `input` holds and keeps the unread rest in m_Pending.
  void Answer(std::string_view input, bool pending) {
    const RequestsRead read = ReadRequests(input, Settings().Limits, Settings().Answer, m_Out);
    LoopCounters& counters = m_Loop.Counters();
    if (read.Answered) counters.Answered.fetch_add(read.Answered, std::memory_order_relaxed);
    if (read.Refused) counters.Refused.fetch_add(read.Refused, std::memory_order_relaxed);
    if (read.TimeQueries) counters.TimeQueries.fetch_add(read.TimeQueries, std::memory_order_relaxed);

    if (pending) {
      m_Pending.erase(0, read.Consumed);
    } else {
      m_Pending.assign(input.substr(read.Consumed));
    }
    if (read.Close) {
      m_CloseAfterWrite = true;
      m_Pending.clear();
    }
    if (!m_Out.empty()) return Write();
    if (m_CloseAfterWrite) return Linger();  // stopped, with nothing more to answer
    Read();  // the request is not complete yet; its header deadline runs on
  }

  // A TLS record starts with its content type (22 for a handshake); an HTTP
  // request with its method, in capitals.
  static bool LooksLikePlainHttp(char first) { return first >= 'A' && first <= 'Z'; }

  // Plain HTTP on the TLS port: a 400 in plain text, then the usual close.
  void RefusePlainHttp() {
    AppendRefusal(400, "this port speaks HTTPS: use an https:// address\n", /*head=*/false,
                  /*keep_alive=*/false, Settings().Answer, m_Out);
    m_Loop.Counters().Refused.fetch_add(1, std::memory_order_relaxed);
    m_State = State::Writing;
    Deadline = Now() + Settings().WriteTimeout;
    boost::asio::async_write(
        Socket(), boost::asio::buffer(m_Out),
        [self = this->shared_from_this()](const boost::system::error_code& error, std::size_t) {
          if (self->m_State != State::Writing) return;
          if (error) return self->Close(true);
          self->m_Out.clear();
          self->Linger();
        });
  }

  void Write() {
    m_State = State::Writing;
    if constexpr (std::is_same_v<Stream, PlainStream>) {
      // Sent at once when the socket takes it all, as it nearly always
      // does: the answer leaves in this turn of the loop, and the next
      // request is read in it too, instead of each waiting for a turn of
      // its own behind every other connection's handlers.
      boost::system::error_code error;
      const std::size_t sent = m_Stream.write_some(boost::asio::buffer(m_Out), error);
      if (error && error != boost::asio::error::would_block) return Close(true);
      if (!error && sent == m_Out.size()) return OnWritten(error, /*now=*/true);
      m_Out.erase(0, error ? 0 : sent);
    }
    Deadline = Now() + Settings().WriteTimeout;
    boost::asio::async_write(
        m_Stream, boost::asio::buffer(m_Out),
        [self = this->shared_from_this()](const boost::system::error_code& error, std::size_t) {
          self->OnWritten(error, /*now=*/false);
        });
  }

  // `now`: the write finished within the handler that answered, so the
  // stack holds that handler still.
  void OnWritten(const boost::system::error_code& error, bool now) {
    if (m_State != State::Writing) return;
    if (error) return Close(true);
    m_Loop.Counters().ObserveAnswerDelay(Now() - m_LastRead);
    m_Out.clear();
    if (m_CloseAfterWrite || m_Loop.Stopping()) return Linger();
    if (m_Pending.empty()) return WaitForRequest();
    // More pipelined requests arrived with the last read: they began already.
    Deadline = Now() + Settings().HeaderDeadline;
    if (!now) return Answer(m_Pending, /*pending=*/true);
    // Answered in a later turn, so that a client pipelining many requests
    // neither deepens the stack nor keeps the loop from other connections.
    boost::asio::post(m_Stream.get_executor(), [self = this->shared_from_this()] {
      if (self->m_State == State::Writing) self->Answer(self->m_Pending, /*pending=*/true);
    });
  }

  void Linger() {
    m_State = State::Lingering;
    Deadline = Now() + Settings().LingerTime;
    boost::system::error_code ignored;
    Socket().cancel(ignored);  // a request's read, when stopped while waiting for one
    Socket().shutdown(boost::asio::socket_base::shutdown_send, ignored);
    Discard();
  }

  void Discard() {
    // Raw socket reads: what comes now is never answered, TLS or not.
    Socket().async_read_some(
        boost::asio::buffer(m_Chunk),
        [self = this->shared_from_this()](const boost::system::error_code& error, std::size_t) {
          if (self->m_State != State::Lingering) return;
          if (error) return self->Close(false);
          self->Discard();
        });
  }

  void Close(bool dropped) {
    if (m_State == State::Closed) return;
    m_State = State::Closed;
    if (dropped) m_Loop.Counters().Dropped.fetch_add(1, std::memory_order_relaxed);
    boost::system::error_code ignored;
    Socket().close(ignored);
  }

  ServerLoop& m_Loop;
  Stream m_Stream;
  std::atomic<int>& m_Open;
  State m_State = State::Idle;
  bool m_Registered = false;
  bool m_RequestBegun = false;
  bool m_CloseAfterWrite = false;
  std::array<char, 1024> m_Chunk;
  std::string m_Pending;  // the start of a request that has not fully arrived
  std::string m_Out;      // answers of the current write
  std::chrono::steady_clock::time_point m_LastRead;  // when the latest bytes came
};

}  // namespace borvane
