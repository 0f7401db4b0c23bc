#pragma once
// The HTTP transfer component on Windows: WinINet on a worker thread, so
// that the host's thread never waits on the network.
//
// The query calls OpenUrl on the host's thread and gets its body back
// there, as the core expects; meanwhile a worker does the transfer and the
// host's thread goes on running its own message loop (its windows paint,
// its timers fire). The wait ends when the worker is done (its result is
// taken on the host's thread), when the deadline passes, or when Cancel is
// called (the control closed or was released). At the deadline or on a
// cancel the worker's internet handles are closed from the host's thread
// (which aborts a blocked WinINet call where the platform supports it) and
// the worker is abandoned: it owns everything it touches, and a reference
// to this library keeps the code it runs loaded until it ends.

#include <windows.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "container/transfer.h"

namespace borvane {

class WinInetTransfer final : public Transfer {
 public:
  WinInetTransfer();
  ~WinInetTransfer() override;  // cancels a fetch still running
  WinInetTransfer(const WinInetTransfer&) = delete;
  WinInetTransfer& operator=(const WinInetTransfer&) = delete;

  // True while OpenUrl waits for its worker.
  bool StillExecuting() override { return m_Waiting; }
  // The body as text. A failed connection, a read error, an HTTP status
  // other than 200, a fetch that outlasts `time_left`, or a cancel raises
  // Error(TransferFailed) with the reason. Runs the thread's messages
  // while it waits; a WM_QUIT seen meanwhile cancels the fetch and is put
  // back for the host's own loop.
  std::string OpenUrl(const std::string& url, std::chrono::milliseconds time_left) override;
  // The query calls this after every fetch; nothing is left running then.
  void Cancel() override {}
  // Ends the wait of a fetch in progress now (from the host's thread,
  // e.g. from a message handled during the wait); the next OpenUrl starts
  // afresh.
  void CancelFetch();

  // Called when a wait starts (true) and ends (false), on the host's
  // thread: the host holds the control's input and ticks meanwhile.
  std::function<void(bool)> Waiting;

  struct Fetch;  // shared by the host's thread and one worker

 private:
  bool m_Waiting = false;
  HANDLE m_Cancel;  // manual-reset event: set by CancelFetch
};

}  // namespace borvane
