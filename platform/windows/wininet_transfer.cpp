#include "platform/windows/wininet_transfer.h"

#include <wininet.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <stdexcept>
#include <utility>

#include "container/error.h"

namespace borvane {

namespace {

// Connect and receive limits, milliseconds: long enough for a slow link;
// each is cut to what is left of the query's deadline. (Some WinINet
// implementations ignore them, Wine's among them: the deadline itself is
// kept on the host's thread, not by these.)
constexpr DWORD kConnectTimeoutMs = 10000;
constexpr DWORD kReceiveTimeoutMs = 15000;

// On the transfer's own message window: the worker's "done" (WPARAM: the
// fetch's serial number) and the deadline's timer.
constexpr UINT kFetchDoneMessage = WM_APP;
constexpr UINT_PTR kDeadlineTimer = 1;

// Serial numbers of fetches, unique in the process: a "done" posted just
// before its fetch was abandoned never passes for a later fetch's.
std::atomic<WPARAM> g_NextSerial{1};

std::exception_ptr Failed(const std::string& reason) {
  return std::make_exception_ptr(Error(ErrorCode::TransferFailed, reason));
}

}  // namespace

// Everything one fetch needs, owned jointly by the host's thread and the
// worker, so that either may go first.
struct WinInetTransfer::Fetch {
  std::string Url;
  DWORD TimeLimitMs = 0;
  // Where the worker posts its "done" (nullptr: nowhere, OpenUrl waits on
  // Done instead), and the serial it posts.
  HWND Notify = nullptr;
  WPARAM Serial = 0;
  HANDLE Done = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);

  std::mutex Lock;
  HINTERNET Session = nullptr;  // closed by whoever finishes or cancels
  bool Cancelled = false;

  // Written by the worker before Done is set and its message posted, read
  // after.
  std::string Body;
  std::string Failure;  // empty when the fetch succeeded

  ~Fetch() {
    if (Done != nullptr) ::CloseHandle(Done);
  }

  // The worker closes its session (and with it its request) when it ends.
  void CloseSession() {
    HINTERNET session = nullptr;
    {
      const std::lock_guard<std::mutex> hold(Lock);
      session = std::exchange(Session, nullptr);
    }
    if (session != nullptr) ::InternetCloseHandle(session);
  }
  // The host's thread gives up on the fetch: nothing is posted from now
  // on, and the session is closed aside (see CloseAside).
  void Abandon();

  // The worker is done: tells the host's thread, unless it gave up on this
  // fetch. Under the lock, so that once the host has cancelled (and may
  // destroy its window next) nothing is posted any more.
  void Finished() {
    ::SetEvent(Done);
    const std::lock_guard<std::mutex> hold(Lock);
    if (!Cancelled && Notify != nullptr) {
      ::PostMessageW(Notify, kFetchDoneMessage, Serial, 0);
    }
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

// Ends a thread of this library's, letting go of the reference to it that
// was taken when the thread started: the library may unload only once the
// thread's last instruction has run.
[[noreturn]] void ExitReleasingLibrary() {
  HMODULE self = nullptr;
  ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&ExitReleasingLibrary), &self);
  ::FreeLibraryAndExitThread(self, 0);
}

// The worker's entry: runs the fetch, says so, and lets go of this library
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
  fetch->Finished();
  fetch.reset();
  ExitReleasingLibrary();
}

DWORD WINAPI CloseThread(void* session) {
  ::InternetCloseHandle(static_cast<HINTERNET>(session));
  ExitReleasingLibrary();
}

// Closes the session of an abandoned fetch on a thread of its own, which
// keeps this library loaded until it is done: closing a session whose
// request is still connecting can itself wait (two seconds under 32-bit
// Wine), and the host's thread never waits on the network. Inline only
// when no thread can be had.
void CloseAside(HINTERNET session) {
  HMODULE self = nullptr;
  if (::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                           reinterpret_cast<LPCWSTR>(&CloseThread), &self)) {
    HANDLE closer = ::CreateThread(nullptr, 0, &CloseThread, session, 0, nullptr);
    if (closer != nullptr) {
      ::CloseHandle(closer);
      return;
    }
    ::FreeLibrary(self);
  }
  ::InternetCloseHandle(session);
}

// Starts the worker for `fetch`; the reason when it cannot.
std::string Launch(const std::shared_ptr<WinInetTransfer::Fetch>& fetch) {
  if (fetch->Done == nullptr) return Reason("cannot make an event", ::GetLastError());
  // The worker keeps this library loaded until its last instruction.
  HMODULE self = nullptr;
  if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                            reinterpret_cast<LPCWSTR>(&FetchThread), &self)) {
    return Reason("cannot hold the library", ::GetLastError());
  }
  auto* handed = new std::shared_ptr<WinInetTransfer::Fetch>(fetch);
  HANDLE worker = ::CreateThread(nullptr, 0, &FetchThread, handed, 0, nullptr);
  if (worker == nullptr) {
    const DWORD code = ::GetLastError();
    delete handed;
    ::FreeLibrary(self);
    return Reason("cannot start the transfer", code);
  }
  ::CloseHandle(worker);
  return {};
}

// The query's time left as a timer's milliseconds: at least 1, at most
// what a DWORD timer takes.
long long LimitMs(std::chrono::milliseconds time_left) {
  const long long limit = time_left.count();
  if (limit < 1) return 1;
  return limit < 0x7FFFFFFF ? limit : 0x7FFFFFFF;
}

std::string NoAnswer(const std::string& url, long long limit_ms) {
  return "no answer from " + url + " within " + std::to_string(limit_ms) + " ms";
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
    CloseSession();
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

void WinInetTransfer::Fetch::Abandon() {
  HINTERNET session = nullptr;
  {
    const std::lock_guard<std::mutex> hold(Lock);
    Cancelled = true;
    session = std::exchange(Session, nullptr);
  }
  if (session != nullptr) CloseAside(session);
}

WinInetTransfer::~WinInetTransfer() { Cancel(); }

std::string WinInetTransfer::OpenUrl(const std::string& url, std::chrono::milliseconds time_left) {
  const long long limit = LimitMs(time_left);
  auto fetch = std::make_shared<Fetch>();
  fetch->Url = url;
  fetch->TimeLimitMs = static_cast<DWORD>(limit);
  const std::string failure = Launch(fetch);
  if (!failure.empty()) throw Error(ErrorCode::TransferFailed, failure);
  if (::WaitForSingleObject(fetch->Done, static_cast<DWORD>(limit)) != WAIT_OBJECT_0) {
    fetch->Abandon();
    throw Error(ErrorCode::TransferFailed, NoAnswer(url, limit));
  }
  const std::lock_guard<std::mutex> hold(fetch->Lock);
  if (!fetch->Failure.empty()) throw Error(ErrorCode::TransferFailed, fetch->Failure);
  return std::move(fetch->Body);
}

void WinInetTransfer::Start(const std::string& url, std::chrono::milliseconds time_left,
                            Completion done) {
  const auto fail = [&](const std::string& reason) { done({}, Failed(reason)); };
  if (m_Current) return fail("a time query is already running");
  if (!m_Window) {
    try {
      m_Window = std::make_unique<MessageWindow>(
          [this](UINT message, WPARAM wparam) { Notified(message, wparam); });
    } catch (const std::runtime_error& error) {
      return fail(std::string("cannot receive the answer: ") + error.what());
    }
  }
  const long long limit = LimitMs(time_left);
  auto fetch = std::make_shared<Fetch>();
  fetch->Url = url;
  fetch->TimeLimitMs = static_cast<DWORD>(limit);
  fetch->Notify = m_Window->Handle();
  fetch->Serial = g_NextSerial++;
  // The deadline is kept here, whatever WinINet does with its time-outs:
  // a timer on the host's thread, stopped when the answer comes first.
  if (!m_Window->StartTimer(kDeadlineTimer, static_cast<UINT>(limit))) {
    return fail(Reason("cannot time the fetch", ::GetLastError()));
  }
  const std::string failure = Launch(fetch);
  if (!failure.empty()) {
    m_Window->StopTimer(kDeadlineTimer);
    return fail(failure);
  }
  // The worker's message cannot run before this returns: it is posted to
  // this thread, which is busy here.
  m_Current = std::move(fetch);
  m_Done = std::move(done);
}

void WinInetTransfer::Cancel() {
  if (!m_Current) return;
  m_Current->Abandon();
  m_Window->StopTimer(kDeadlineTimer);
  m_Current.reset();
  // Dropped here, on the host's thread, with everything it holds.
  m_Done = nullptr;
}

void WinInetTransfer::Notified(UINT message, WPARAM wparam) {
  if (!m_Current) return;  // a "done" or a tick that lost the race to a cancel
  if (message == WM_TIMER && wparam == kDeadlineTimer) {
    m_Current->Abandon();
    Complete({}, Failed(NoAnswer(m_Current->Url, m_Current->TimeLimitMs)));
  } else if (message == kFetchDoneMessage && wparam == m_Current->Serial) {
    std::string body;
    std::string failure;
    {
      const std::lock_guard<std::mutex> hold(m_Current->Lock);
      body = std::move(m_Current->Body);
      failure = std::move(m_Current->Failure);
    }
    if (failure.empty()) {
      Complete(std::move(body), nullptr);
    } else {
      Complete({}, Failed(failure));
    }
  }
}

void WinInetTransfer::Complete(std::string body, std::exception_ptr error) {
  m_Window->StopTimer(kDeadlineTimer);
  // Over before the completion runs: it may start the next fetch, or end
  // the control that owns this transfer (so nothing of this object is
  // touched once it has been called).
  m_Current.reset();
  const Completion done = std::exchange(m_Done, nullptr);
  const std::function<void(const std::function<void()>&)> call_out = CallOut;
  const std::function<void()> run = [&] { done(std::move(body), error); };
  if (call_out) {
    call_out(run);
  } else {
    run();
  }
}

}  // namespace borvane
