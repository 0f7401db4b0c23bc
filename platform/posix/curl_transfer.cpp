#include "platform/posix/curl_transfer.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <limits>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string_view>

#include "container/error.h"
#include "container/utf8.h"
#include "platform/posix/curl_session.h"

namespace borvane {

namespace {

constexpr long kConnectTimeoutMs = 5000;
// The time answer is 28 bytes; anything near this is not the time service.
constexpr std::size_t kMaxBodyBytes = 1 << 20;

struct Receiver {
  std::string Body;
  bool TooLarge = false;
  bool HeadersEnded = false;            // the blank line after the last header arrived
  std::string ContentLength;            // the first Content-Length value of this answer
  bool ConflictingLengths = false;
};

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
  }
  return true;
}

std::string_view Trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// One whole header line at a time. libcurl takes the last of two different
// Content-Length headers and reads that much as the body: an answer that
// states two lengths is refused as the protocol error it is, not read to
// either length and then misread.
std::size_t ReceiveHeader(char* data, std::size_t size, std::size_t count, void* user) {
  auto* receiver = static_cast<Receiver*>(user);
  const std::size_t bytes = size * count;
  const std::string_view line(data, bytes);
  if (StartsWithNoCase(line, "http/")) {
    // A new answer (after a 1xx or a redirect's headers): its own lengths.
    receiver->ContentLength.clear();
    receiver->HeadersEnded = false;
  } else if (Trimmed(line).empty()) {
    receiver->HeadersEnded = true;
  } else if (StartsWithNoCase(line, "content-length:")) {
    const std::string_view value = Trimmed(line.substr(15));
    if (receiver->ContentLength.empty()) {
      receiver->ContentLength = value;
    } else if (value != receiver->ContentLength) {
      receiver->ConflictingLengths = true;
      return 0;  // libcurl ends the transfer with CURLE_WRITE_ERROR
    }
  }
  return bytes;
}

std::size_t Receive(char* data, std::size_t size, std::size_t count, void* user) {
  auto* receiver = static_cast<Receiver*>(user);
  const std::size_t bytes = size * count;
  if (receiver->Body.size() + bytes > kMaxBodyBytes) {
    receiver->TooLarge = true;
    return 0;  // libcurl ends the transfer with CURLE_WRITE_ERROR
  }
  receiver->Body.append(data, bytes);
  return bytes;
}

// What stops a fetch: its own Cancel, or the check's signal.
struct StopWhen {
  const std::atomic<bool>* Cancelled = nullptr;
  const CancelSignal* Signal = nullptr;
  bool Now() const { return *Cancelled || (Signal != nullptr && Signal->Raised()); }
};

// The body's first line as a message may quote it: escaped, since it is
// the service's text (a NUL would cut the message short; escape sequences
// would reach whatever terminal shows the message).
std::string FirstLine(const std::string& text) {
  std::string line = text.substr(0, text.find_first_of("\r\n"));
  if (line.size() > 200) line = line.substr(0, 200) + "...";
  return EscapeControls(line);
}

// Clears the busy flag however the fetch ends.
struct BusyScope {
  std::atomic<bool>& Busy;
  ~BusyScope() { Busy = false; }
};

}  // namespace

struct CurlTransfer::Handle {
  CurlSession Session;
  StopWhen Stop;
  char ErrorText[CURL_ERROR_SIZE] = {};
};

CurlTransfer::CurlTransfer() : m_Handle(std::make_unique<Handle>()) {
  m_Handle->Stop.Cancelled = &m_Cancelled;
  CURL* easy = m_Handle->Session.Easy();

  // Options that hold for every fetch; the URL and the body sink are set per
  // fetch, with the time-outs that the caller's deadline bounds. Proxy
  // variables stay honoured (libcurl's default).
  const auto set = [](CURLcode code) {
    if (code != CURLE_OK) {
      throw Error(ErrorCode::TransferFailed,
                  std::string("libcurl option refused: ") + curl_easy_strerror(code));
    }
  };
  set(curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L));  // time-outs without SIGALRM: thread-safe
  set(curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, m_Handle->ErrorText));
  set(curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Receive));
  set(curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &ReceiveHeader));
  set(curl_easy_setopt(easy, CURLOPT_TCP_NODELAY, 1L));
  set(curl_easy_setopt(easy, CURLOPT_TCP_KEEPALIVE, 1L));
  set(curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(kMaxBodyBytes)));
  // A query address is never a local file or another protocol.
  set(curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https"));
  // libcurl's defaults, stated: the time from an unauthenticated service
  // would be written into the clock.
  set(curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L));
  set(curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L));
}

void CurlTransfer::SetCaFile(const std::string& path) {
  const CURLcode code =
      curl_easy_setopt(m_Handle->Session.Easy(), CURLOPT_CAINFO, path.empty() ? nullptr : path.c_str());
  if (code != CURLE_OK) {
    throw Error(ErrorCode::TransferFailed, std::string("libcurl option refused: ") + curl_easy_strerror(code));
  }
}

void CurlTransfer::SetCancelSignal(const CancelSignal* signal) { m_Handle->Stop.Signal = signal; }

CurlTransfer::~CurlTransfer() = default;

bool CurlTransfer::StillExecuting() { return m_Busy; }

void CurlTransfer::Cancel() {
  std::lock_guard lock(m_State);
  if (!m_Busy) return;
  m_Cancelled = true;
  m_Handle->Session.Wake();
}

std::string CurlTransfer::OpenUrl(const std::string& url, std::chrono::milliseconds time_left) {
  {
    // Busy and cancelled change together, so a Cancel cannot fall between them.
    std::lock_guard lock(m_State);
    if (m_Busy) throw Error(ErrorCode::TransferFailed, "a transfer is still running");
    m_Busy = true;
    m_Cancelled = false;
  }
  BusyScope busy{m_Busy};

  CURL* easy = m_Handle->Session.Easy();
  Receiver receiver;
  m_Handle->ErrorText[0] = '\0';
  curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
  // The caller's deadline is the only limit on the whole transfer. libcurl
  // reads 0 as "no limit": a deadline already passed still gets 1 ms.
  const long limit_ms = static_cast<long>(std::clamp<std::chrono::milliseconds::rep>(
      time_left.count(), 1, std::numeric_limits<long>::max()));
  curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, limit_ms);
  curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, std::min(limit_ms, kConnectTimeoutMs));
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, &receiver);
  curl_easy_setopt(easy, CURLOPT_HEADERDATA, &receiver);
  const CURLcode code =
      m_Handle->Session.Perform(m_Handle->Stop.Signal, [this] { return m_Cancelled.load(); });
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, nullptr);
  curl_easy_setopt(easy, CURLOPT_HEADERDATA, nullptr);

  if (code != CURLE_OK) {
    std::string message = "transfer of " + url + " failed: ";
    if (code == CURLE_ABORTED_BY_CALLBACK && m_Handle->Stop.Now()) {
      message += "cancelled";
    } else if (receiver.TooLarge || code == CURLE_FILESIZE_EXCEEDED) {
      message += "answer larger than 1 MiB";
    } else if (receiver.ConflictingLengths) {
      message += "protocol error: the answer gives two different Content-Length headers";
    } else if (code == CURLE_OUT_OF_MEMORY && !receiver.HeadersEnded) {
      // libcurl's own limit on one header line (100 KiB) reports itself so.
      message += "protocol error: an answer header line is longer than 100 KiB";
    } else if (code == CURLE_OPERATION_TIMEDOUT) {
      // libcurl keeps the first error text of a fetch, which may be a step
      // it recovered from (a reset kept-alive connection it then replaced):
      // the time-out is told on its own.
      curl_off_t elapsed_us = 0;
      curl_easy_getinfo(easy, CURLINFO_TOTAL_TIME_T, &elapsed_us);
      message += "no complete answer within " + std::to_string(elapsed_us / 1000) + " ms (time-out)";
    } else if (code == CURLE_PEER_FAILED_VERIFICATION || code == CURLE_SSL_CACERT_BADFILE) {
      message += "the service's certificate was refused";
      if (m_Handle->ErrorText[0] != '\0') message += std::string(" (") + m_Handle->ErrorText + ")";
    } else {
      message += curl_easy_strerror(code);
      if (m_Handle->ErrorText[0] != '\0') message += std::string(" (") + m_Handle->ErrorText + ")";
    }
    throw Error(ErrorCode::TransferFailed, message);
  }

  long status = 0;
  curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
  if (status < 200 || status > 299) {
    std::string message = "transfer of " + url + " failed: HTTP status " + std::to_string(status);
    const std::string line = FirstLine(receiver.Body);
    if (!line.empty()) message += ": " + line;
    throw Error(ErrorCode::TransferFailed, message);
  }
  return std::move(receiver.Body);
}

}  // namespace borvane
