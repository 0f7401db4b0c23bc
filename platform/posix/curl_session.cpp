#include "platform/posix/curl_session.h"

#include <string>

#include "container/error.h"

namespace borvane {

namespace {

// Longest wait between two looks at the stop condition when nothing wakes
// the session (a raised descriptor or Wake end it sooner).
constexpr int kLongestWaitMs = 1000;

[[noreturn]] void Fail(const std::string& what, CURLMcode code) {
  throw Error(ErrorCode::TransferFailed, "libcurl " + what + " failed: " + curl_multi_strerror(code));
}

}  // namespace

CurlSession::CurlSession() {
  // curl_global_init is not thread-safe on its own; a function-local static
  // is initialised exactly once even when sessions are created concurrently.
  static const CURLcode init = curl_global_init(CURL_GLOBAL_DEFAULT);
  if (init != CURLE_OK) {
    throw Error(ErrorCode::TransferFailed,
                std::string("libcurl initialisation failed: ") + curl_easy_strerror(init));
  }
  m_Multi.reset(curl_multi_init());
  m_Easy.reset(curl_easy_init());
  if (m_Multi == nullptr || m_Easy == nullptr) {
    throw Error(ErrorCode::TransferFailed, "libcurl could not create a handle");
  }
}

CurlSession::~CurlSession() = default;

void CurlSession::Wake() { curl_multi_wakeup(m_Multi.get()); }

CURLcode CurlSession::Perform(const CancelSignal* signal, const std::function<bool()>& stop) {
  const auto stopped = [&] { return (signal != nullptr && signal->Raised()) || (stop && stop()); };
  if (stopped()) return CURLE_ABORTED_BY_CALLBACK;
  CURLM* multi = m_Multi.get();
  CURL* easy = m_Easy.get();
  if (const CURLMcode code = curl_multi_add_handle(multi, easy); code != CURLM_OK) Fail("add", code);
  // Detached however the fetch ends; the connection stays in the multi
  // handle's cache for the next fetch.
  struct Detach {
    CURLM* Multi;
    CURL* Easy;
    ~Detach() { curl_multi_remove_handle(Multi, Easy); }
  } detach{multi, easy};

  curl_waitfd wake{signal != nullptr ? signal->Descriptor() : -1, CURL_WAIT_POLLIN, 0};
  const unsigned extra = signal != nullptr ? 1 : 0;
  for (;;) {
    int running = 0;
    if (const CURLMcode code = curl_multi_perform(multi, &running); code != CURLM_OK) Fail("perform", code);
    if (running == 0) {
      int queued = 0;
      while (const CURLMsg* message = curl_multi_info_read(multi, &queued)) {
        if (message->msg == CURLMSG_DONE && message->easy_handle == easy) return message->data.result;
      }
      return CURLE_GOT_NOTHING;  // ended without saying how: not a success
    }
    if (stopped()) return CURLE_ABORTED_BY_CALLBACK;
    if (const CURLMcode code = curl_multi_poll(multi, extra != 0 ? &wake : nullptr, extra, kLongestWaitMs, nullptr);
        code != CURLM_OK) {
      Fail("poll", code);
    }
    if (stopped()) return CURLE_ABORTED_BY_CALLBACK;
  }
}

}  // namespace borvane
