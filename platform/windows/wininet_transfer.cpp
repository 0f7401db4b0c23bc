#include "platform/windows/wininet_transfer.h"

#include <wininet.h>

#include <chrono>
#include <mutex>
#include <utility>

#include "container/error.h"

namespace borvane {

namespace {

// Connect and receive limits, milliseconds: long enough for a slow link;
// each is cut to what is left of the query's deadline. (Some WinINet
// implementations ignore them: the deadline itself is kept by the waiting
// thread, not by these.)
constexpr DWORD kConnectTimeoutMs = 10000;
constexpr DWORD kReceiveTimeoutMs = 15000;

using SteadyClock = std::chrono::steady_clock;

}  // namespace

// Everything one fetch needs, owned jointly by the waiting thread and the
// worker, so that either may go first.
struct WinInetTransfer::Fetch {
  std::string Url;
  DWORD TimeLimitMs = 0;
  HANDLE Done = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);

  std::mutex Lock;
  HINTERNET Session = nullptr;  // closed by whoever finishes or cancels
  bool Cancelled = false;

  // Written by the worker before Done is set, read after.
  std::string Body;
  std::string Failure;  // empty when the fetch succeeded

  ~Fetch() {
    if (Done != nullptr) ::CloseHandle(Done);
  }

  // Closes the session (and with it the request in flight): on the worker
  // when it ends, on the waiting thread when it gives up.
  void CloseSession(bool cancel) {
    HINTERNET session = nullptr;
    {
      const std::lock_guard<std::mutex> hold(Lock);
      if (cancel) Cancelled = true;
      session = std::exchange(Session, nullptr);
    }
    if (session != nullptr) ::InternetCloseHandle(session);
  }

  void Run();
};

namespace {

std::string Reason(const std::string& what, DWORD code) {
  return what + " (WinINet error " + std::to_string(static_cast<unsigned long>(code)) + ")";
}

struct RequestCloser {
  void operator()(void* handle) const { ::InternetCloseHandle(handle); }
};
using Request = std::unique_ptr<void, RequestCloser>;

// The worker's entry: runs the fetch, signals, and lets go of this library
// last (the module reference was taken for it when it started).
DWORD WINAPI FetchThread(void* parameter) {
  auto* handed = static_cast<std::shared_ptr<WinInetTransfer::Fetch>*>(parameter);
  std::shared_ptr<WinInetTransfer::Fetch> fetch = std::move(*handed);
  delete handed;
  try {
    fetch->Run();
  } catch (...) {
    fetch->Failure = "the transfer failed: out of memory";
  }
  ::SetEvent(fetch->Done);
  fetch.reset();
  HMODULE self = nullptr;
  ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&FetchThread), &self);
  ::FreeLibraryAndExitThread(self, 0);
}

}  // namespace

void WinInetTransfer::Fetch::Run() {
  HINTERNET session =
      ::InternetOpenW(L"borvane", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  if (session == nullptr) {
    Failure = Reason("cannot open an internet session", ::GetLastError());
    return;
  }
  DWORD connect = TimeLimitMs < kConnectTimeoutMs ? TimeLimitMs : kConnectTimeoutMs;
  DWORD receive = TimeLimitMs < kReceiveTimeoutMs ? TimeLimitMs : kReceiveTimeoutMs;
  ::InternetSetOptionW(session, INTERNET_OPTION_CONNECT_TIMEOUT, &connect, sizeof connect);
  ::InternetSetOptionW(session, INTERNET_OPTION_RECEIVE_TIMEOUT, &receive, sizeof receive);
  {
    const std::lock_guard<std::mutex> hold(Lock);
    if (Cancelled) {
      ::InternetCloseHandle(session);
      return;
    }
    Session = session;
  }
  const DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                      INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_NO_COOKIES |
                      INTERNET_FLAG_NO_UI;
  const auto finish = [this](std::string failure) {
    Failure = std::move(failure);
    CloseSession(false);
  };
  Request request(::InternetOpenUrlA(session, Url.c_str(), nullptr, 0, flags, 0));
  if (!request) return finish(Reason("cannot fetch " + Url, ::GetLastError()));

  DWORD status = 0;
  DWORD size = sizeof status;
  if (::HttpQueryInfoW(request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                       &size, nullptr) &&
      status != 200) {
    return finish(Url + " answered with HTTP status " +
                  std::to_string(static_cast<unsigned long>(status)));
  }
  char buffer[4096];
  for (;;) {
    DWORD read = 0;
    if (!::InternetReadFile(request.get(), buffer, sizeof buffer, &read)) {
      return finish(Reason("reading the answer from " + Url + " failed", ::GetLastError()));
    }
    if (read == 0) break;
    Body.append(buffer, read);
  }
  request.reset();
  finish({});
}

WinInetTransfer::WinInetTransfer() : m_Cancel(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

WinInetTransfer::~WinInetTransfer() {
  if (m_Cancel != nullptr) ::CloseHandle(m_Cancel);
}

void WinInetTransfer::CancelFetch() {
  if (m_Waiting && m_Cancel != nullptr) ::SetEvent(m_Cancel);
}

std::string WinInetTransfer::OpenUrl(const std::string& url, std::chrono::milliseconds time_left) {
  if (m_Waiting) {
    // A fetch started from inside another's wait (a script's call made
    // while the control waits): one at a time.
    throw Error(ErrorCode::TransferFailed, "a time query is already running");
  }
  if (m_Cancel == nullptr) throw Error(ErrorCode::TransferFailed, "cannot make an event");
  ::ResetEvent(m_Cancel);
  const long long limit = time_left.count() < 1 ? 1 : time_left.count();
  const SteadyClock::time_point deadline = SteadyClock::now() + std::chrono::milliseconds(limit);

  auto fetch = std::make_shared<Fetch>();
  fetch->Url = url;
  fetch->TimeLimitMs = static_cast<DWORD>(limit < 0x7FFFFFFF ? limit : 0x7FFFFFFF);
  if (fetch->Done == nullptr) throw Error(ErrorCode::TransferFailed, "cannot make an event");

  // The worker keeps this library loaded until its last instruction.
  HMODULE self = nullptr;
  if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                            reinterpret_cast<LPCWSTR>(&FetchThread), &self)) {
    throw Error(ErrorCode::TransferFailed, Reason("cannot hold the library", ::GetLastError()));
  }
  auto* handed = new std::shared_ptr<Fetch>(fetch);
  HANDLE worker = ::CreateThread(nullptr, 0, &FetchThread, handed, 0, nullptr);
  if (worker == nullptr) {
    const DWORD code = ::GetLastError();
    delete handed;
    ::FreeLibrary(self);
    throw Error(ErrorCode::TransferFailed, Reason("cannot start the transfer", code));
  }
  ::CloseHandle(worker);

  m_Waiting = true;
  if (Waiting) Waiting(true);
  struct EndWait {
    WinInetTransfer& Owner;
    ~EndWait() {
      Owner.m_Waiting = false;
      if (Owner.Waiting) Owner.Waiting(false);
    }
  } end_wait{*this};

  const HANDLE events[2] = {fetch->Done, m_Cancel};
  for (;;) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - SteadyClock::now());
    const DWORD wait = left.count() <= 0 ? 0 : static_cast<DWORD>(left.count());
    const DWORD woke =
        ::MsgWaitForMultipleObjectsEx(2, events, wait, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (woke == WAIT_OBJECT_0) break;
    if (woke == WAIT_OBJECT_0 + 1) {
      fetch->CloseSession(true);
      throw Error(ErrorCode::TransferFailed, "the fetch from " + url + " was cancelled");
    }
    if (woke == WAIT_TIMEOUT || woke == WAIT_FAILED) {
      fetch->CloseSession(true);
      throw Error(ErrorCode::TransferFailed,
                  "no answer from " + url + " within " + std::to_string(limit) + " ms");
    }
    // The host's messages, while the worker works.
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        fetch->CloseSession(true);
        ::PostQuitMessage(static_cast<int>(message.wParam));
        throw Error(ErrorCode::TransferFailed, "the fetch from " + url + " was cancelled");
      }
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
  }
  if (!fetch->Failure.empty()) throw Error(ErrorCode::TransferFailed, fetch->Failure);
  return std::move(fetch->Body);
}

}  // namespace borvane
