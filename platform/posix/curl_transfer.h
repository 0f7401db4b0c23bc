#pragma once
// The HTTP transfer component on libcurl: one easy handle kept for the life
// of the object, so consecutive queries to the time service reuse the same
// kept-alive connection and skip the connect on the round trip.

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>

#include "container/transfer.h"
#include "platform/posix/cancel_signal.h"

namespace borvane {

class CurlTransfer final : public Transfer {
 public:
  CurlTransfer();
  ~CurlTransfer() override;
  CurlTransfer(const CurlTransfer&) = delete;
  CurlTransfer& operator=(const CurlTransfer&) = delete;

  // True only while OpenUrl runs (it may be asked from another thread).
  bool StillExecuting() override;
  // Fetches `url` (http or https) and returns the body. An https:// service
  // must show a certificate that a trusted CA signed for the URL's host name;
  // a refused certificate fails the fetch (it never retries over plain
  // HTTP). Redirects are not followed: a redirect's status fails the fetch.
  // The whole transfer gives up after `time_left`, the connect after 5 s if
  // that is shorter; proxy variables of the environment apply. Raises
  // Error(TransferFailed) when the fetch fails, times out, is cancelled, the
  // body passes 1 MiB, the answer breaks the protocol (two different
  // lengths, an endless header line), or the status is not 2xx (the message
  // names the status and the first line of the body).
  std::string OpenUrl(const std::string& url, std::chrono::milliseconds time_left) override;
  // Trust only the CA certificates in this PEM file for https:// services,
  // instead of the system's store. Empty: the system's store.
  void SetCaFile(const std::string& path);
  // Also abort a fetch when `signal` is raised (a combined check's signal,
  // shared by its sources); it must outlive the transfer. Null: only Cancel.
  void SetCancelSignal(const CancelSignal* signal);
  // Aborts a fetch running on another thread (it fails with TransferFailed);
  // does nothing when no fetch runs.
  void Cancel() override;

 private:
  struct Handle;
  std::unique_ptr<Handle> m_Handle;
  std::mutex m_State;
  std::atomic<bool> m_Busy{false};
  std::atomic<bool> m_Cancelled{false};
};

}  // namespace borvane
