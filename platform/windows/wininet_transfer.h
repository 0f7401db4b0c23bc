#pragma once
// The HTTP transfer component on Windows: WinINet, one session kept for
// the life of the object, synchronous fetches with connect and receive
// time-outs, the system's proxy settings, no caching.

#include <chrono>
#include <string>

#include "container/transfer.h"

namespace borvane {

class WinInetTransfer final : public Transfer {
 public:
  WinInetTransfer();
  ~WinInetTransfer() override;
  WinInetTransfer(const WinInetTransfer&) = delete;
  WinInetTransfer& operator=(const WinInetTransfer&) = delete;

  // Fetches are synchronous, so none is ever still running when asked.
  bool StillExecuting() override { return false; }
  // The body as text. A failed connection, a read error, an HTTP status
  // other than 200 or a fetch that outlasts `time_left` raises
  // Error(TransferFailed) with WinINet's reason.
  std::string OpenUrl(const std::string& url, std::chrono::milliseconds time_left) override;
  void Cancel() override {}

 private:
  void* m_Session = nullptr;  // HINTERNET
};

}  // namespace borvane
