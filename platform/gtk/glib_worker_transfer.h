#pragma once
// A transfer for a control on the GLib main loop. Each started fetch runs
// the inner, synchronous transfer on a worker thread, and its completion
// is called from the main loop of the thread that started it: the control
// goes on from there, and that thread never waits on the network. A
// cancelled fetch's completion is dropped, also after this object is gone
// (the completion's state is shared with the worker, never `this`).

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "container/transfer.h"

namespace borvane {

class GlibWorkerTransfer final : public Transfer {
 public:
  // `inner` must be safe to drive from another thread (CurlTransfer and
  // the transfer that combines time sources are) and outlive this object.
  explicit GlibWorkerTransfer(Transfer& inner) : m_Inner(inner) {}
  // Cancels a fetch still running and waits for its worker, which takes
  // as long as the inner transfer needs to give up (CurlTransfer: at once).
  ~GlibWorkerTransfer() override;
  GlibWorkerTransfer(const GlibWorkerTransfer&) = delete;
  GlibWorkerTransfer& operator=(const GlibWorkerTransfer&) = delete;

  // True from Start until the fetch has its outcome or is cancelled.
  bool StillExecuting() override;
  // The inner fetch on the calling thread, for a caller that wants to wait.
  std::string OpenUrl(const std::string& url, std::chrono::milliseconds time_left) override {
    return m_Inner.OpenUrl(url, time_left);
  }
  // Must be called on the thread that runs the main loop. A Start while a
  // fetch is still running fails at once with TransferFailed.
  void Start(const std::string& url, std::chrono::milliseconds time_left,
             Completion done) override;
  // Drops the running fetch's completion and aborts the inner transfer. A
  // fetch started after it waits for the aborted one's worker to end, on
  // its own worker, within its own time.
  void Cancel() override;

  // Runs after every completion, e.g. to ask for a redraw of what it
  // changed. Like the next one, it is taken as set when the fetch starts.
  std::function<void()> AfterCompletion;
  // Gets the message of an exception that leaves a completion (a control
  // reports its own errors to its site; this catches anything else rather
  // than let it unwind into GLib).
  std::function<void(const char*)> CompletionFailed;

 private:
  struct Fetch;
  struct Delivery;
  static int Deliver(void* data);
  static void Free(void* data);

  struct Worker {
    std::thread Thread;
    std::shared_ptr<Fetch> Of;
  };
  // Joins the workers that have posted their outcome.
  void JoinFinished();

  Transfer& m_Inner;
  std::shared_ptr<Fetch> m_Current;
  // The inner transfer runs one fetch at a time: a fetch started while an
  // aborted one is still giving up waits for it here, on its worker.
  std::mutex m_InnerInUse;
  std::vector<Worker> m_Workers;
};

}  // namespace borvane
