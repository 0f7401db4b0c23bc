#pragma once
// libcurl as borvane's HTTP clients use it: initialised once per process,
// one easy handle kept for the life of the session (so consecutive fetches
// reuse a kept-alive connection), and each fetch run on a multi handle of
// the session's own. A cancel then ends a wait at once: libcurl's own
// perform asks a progress callback only between its own waits, which last
// up to a second on a silent server.

#include <curl/curl.h>

#include <functional>
#include <memory>

#include "platform/posix/cancel_signal.h"

namespace borvane {

class CurlSession {
 public:
  // Raises Error(TransferFailed) when libcurl cannot start.
  CurlSession();
  ~CurlSession();
  CurlSession(const CurlSession&) = delete;
  CurlSession& operator=(const CurlSession&) = delete;

  // The easy handle, for its options and its information after a fetch.
  CURL* Easy() const { return m_Easy.get(); }

  // Runs one fetch of the easy handle, as curl_easy_perform does, and gives
  // its result; CURLE_ABORTED_BY_CALLBACK as soon as `signal` (null: none)
  // is raised, which wakes the wait, or `stop` (empty: none) is true. Both
  // are asked before the fetch, whenever it has waited a second at most,
  // and after Wake. Raises Error(TransferFailed) when libcurl's own
  // bookkeeping fails.
  CURLcode Perform(const CancelSignal* signal, const std::function<bool()>& stop = {});
  // Any thread: a running Perform asks its `stop` again now.
  void Wake();

 private:
  struct EasyCleanup {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
  };
  struct MultiCleanup {
    void operator()(CURLM* handle) const { curl_multi_cleanup(handle); }
  };
  // The easy handle goes first: it is never left attached to the multi.
  std::unique_ptr<CURLM, MultiCleanup> m_Multi;
  std::unique_ptr<CURL, EasyCleanup> m_Easy;
};

}  // namespace borvane
