#pragma once
// The HTTP transfer component on Windows: WinINet on a worker thread, so
// that the host's thread never waits on the network.
//
// Start hands the fetch to a worker and returns at once; the worker posts
// its outcome to a message-only window of this transfer, made on the
// host's thread, and the completion runs from the host's own message loop.
// No loop of ours runs meanwhile: the host's windows paint and its timers
// fire because its loop never stopped. The deadline is a timer on that
// window: when it fires first, the fetch completes with TransferFailed.
// At the deadline and on Cancel the worker is abandoned: it posts nothing
// from then on, its internet handles are closed on a thread of their own
// (which aborts a blocked WinINet call where the platform supports it, and
// may itself wait), it owns everything it touches, and a reference to this
// library keeps the code it runs loaded until it ends.

#include <windows.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "container/transfer.h"
#include "platform/windows/message_window.h"

namespace borvane {

class WinInetTransfer final : public Transfer {
 public:
  WinInetTransfer() = default;
  ~WinInetTransfer() override;  // cancels a fetch still running
  WinInetTransfer(const WinInetTransfer&) = delete;
  WinInetTransfer& operator=(const WinInetTransfer&) = delete;

  // True from Start until the completion runs or the fetch is cancelled.
  bool StillExecuting() override { return m_Current != nullptr; }
  // Blocks the calling thread until the body comes or `time_left` has
  // passed, running no messages: for callers off the host's thread. The
  // control itself only ever starts its fetches. A failed connection, a
  // read error, an HTTP status other than 200 or the deadline raises
  // Error(TransferFailed) with the reason.
  std::string OpenUrl(const std::string& url, std::chrono::milliseconds time_left) override;
  // Must be called on the host's thread, the one `done` then runs on. The
  // same failures as OpenUrl reach `done` as errors; a fetch that cannot
  // even start (no thread, no window, one already running) completes
  // with its error before Start returns.
  void Start(const std::string& url, std::chrono::milliseconds time_left,
             Completion done) override;
  // Drops the started fetch: its completion never runs, its handles are
  // closed, its worker is left to end on its own. Safe when none runs
  // and from inside the completion.
  void Cancel() override;

  // Runs each completion (the call it is given) on the host's thread; the
  // control wraps it in a reference to itself and its exception boundary.
  // Without it the completion runs bare.
  std::function<void(const std::function<void()>&)> CallOut;

  struct Fetch;  // shared by the host's thread and one worker

 private:
  // The worker's message and the deadline's timer, on the host's thread.
  void Notified(UINT message, WPARAM wparam);
  // Takes the current fetch out and runs its completion.
  void Complete(std::string body, std::exception_ptr error);

  std::unique_ptr<MessageWindow> m_Window;  // made by the first Start
  std::shared_ptr<Fetch> m_Current;         // the started fetch, until it completes
  Completion m_Done;
};

}  // namespace borvane
