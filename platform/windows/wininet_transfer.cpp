#include "platform/windows/wininet_transfer.h"

#include <windows.h>
#include <wininet.h>

#include <chrono>
#include <memory>

#include "container/error.h"

namespace borvane {

namespace {

// Connect and receive limits, milliseconds: long enough for a slow link,
// short enough that a dead service does not hang the panel for minutes.
constexpr DWORD kConnectTimeoutMs = 10000;
constexpr DWORD kReceiveTimeoutMs = 15000;

struct HandleCloser {
  void operator()(void* handle) const { ::InternetCloseHandle(handle); }
};
using Handle = std::unique_ptr<void, HandleCloser>;

[[noreturn]] void RaiseTransfer(const std::string& what, DWORD code) {
  throw Error(ErrorCode::TransferFailed,
              what + " (WinINet error " + std::to_string(static_cast<unsigned long>(code)) + ")");
}

}  // namespace

WinInetTransfer::WinInetTransfer() {
  m_Session = ::InternetOpenW(L"borvane", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  if (m_Session == nullptr) return;  // OpenUrl reports it
  DWORD connect = kConnectTimeoutMs;
  DWORD receive = kReceiveTimeoutMs;
  ::InternetSetOptionW(m_Session, INTERNET_OPTION_CONNECT_TIMEOUT, &connect, sizeof connect);
  ::InternetSetOptionW(m_Session, INTERNET_OPTION_RECEIVE_TIMEOUT, &receive, sizeof receive);
}

WinInetTransfer::~WinInetTransfer() {
  if (m_Session != nullptr) ::InternetCloseHandle(m_Session);
}

std::string WinInetTransfer::OpenUrl(const std::string& url, std::chrono::milliseconds time_left) {
  if (m_Session == nullptr) RaiseTransfer("cannot open an internet session", ::GetLastError());
  using SteadyClock = std::chrono::steady_clock;
  const SteadyClock::time_point deadline = SteadyClock::now() + time_left;
  // Each wait of this fetch is bounded by what is left of the caller's
  // deadline, and the whole fetch by the deadline itself (checked between reads).
  const auto bound = [](DWORD limit, std::chrono::milliseconds left) {
    const long long ms = left.count() < 1 ? 1 : left.count();
    return ms < static_cast<long long>(limit) ? static_cast<DWORD>(ms) : limit;
  };
  DWORD connect = bound(kConnectTimeoutMs, time_left);
  DWORD receive = bound(kReceiveTimeoutMs, time_left);
  ::InternetSetOptionW(m_Session, INTERNET_OPTION_CONNECT_TIMEOUT, &connect, sizeof connect);
  ::InternetSetOptionW(m_Session, INTERNET_OPTION_RECEIVE_TIMEOUT, &receive, sizeof receive);
  const DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                      INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_NO_COOKIES |
                      INTERNET_FLAG_NO_UI;
  Handle request(::InternetOpenUrlA(m_Session, url.c_str(), nullptr, 0, flags, 0));
  if (!request) RaiseTransfer("cannot fetch " + url, ::GetLastError());

  DWORD status = 0;
  DWORD size = sizeof status;
  if (::HttpQueryInfoW(request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                       &size, nullptr) &&
      status != 200) {
    throw Error(ErrorCode::TransferFailed,
                url + " answered with HTTP status " + std::to_string(static_cast<unsigned long>(status)));
  }

  std::string body;
  char buffer[4096];
  for (;;) {
    DWORD read = 0;
    if (!::InternetReadFile(request.get(), buffer, sizeof buffer, &read)) {
      RaiseTransfer("reading the answer from " + url + " failed", ::GetLastError());
    }
    if (read == 0) break;
    body.append(buffer, read);
    if (SteadyClock::now() > deadline) {
      throw Error(ErrorCode::TransferFailed, "reading the answer from " + url + " timed out");
    }
  }
  return body;
}

}  // namespace borvane
