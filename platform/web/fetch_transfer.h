#pragma once
// The transfer on the browser's fetch. OpenUrl suspends the module
// (Asyncify) until the answer or the deadline; the page keeps running
// meanwhile, and the host queues every other call into the module until
// this one has returned. Cancel aborts the fetch for real (AbortController).

#include <cstdint>
#include <functional>

#include "container/transfer.h"

namespace borvane {

class FetchTransfer final : public Transfer {
 public:
  bool StillExecuting() override { return m_Busy; }
  std::string OpenUrl(const std::string& url, std::chrono::milliseconds time_left) override;
  void Cancel() override;

  // Called before the module suspends, so the page shows the busy state.
  std::function<void()> BeforeWaiting;
  // Fetches started so far.
  std::uint32_t Fetches() const { return m_Fetches; }

 private:
  bool m_Busy = false;
  std::uint32_t m_Fetches = 0;
};

}  // namespace borvane
