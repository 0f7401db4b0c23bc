#include "platform/gtk/glib_worker_transfer.h"

#include <glib.h>

#include <atomic>
#include <exception>
#include <utility>

#include "container/error.h"

namespace borvane {

// One started fetch. Done and Cancelled are touched only on the main
// loop's thread; the worker sets Finished just before it posts the outcome.
struct GlibWorkerTransfer::Fetch {
  Completion Done;
  std::function<void()> After;
  std::function<void(const char*)> Failed;
  bool Cancelled = false;
  std::atomic<bool> Finished{false};
};

// The outcome on its way to the main loop; owned by its GLib source.
struct GlibWorkerTransfer::Delivery {
  std::shared_ptr<Fetch> Of;
  std::string Body;
  std::exception_ptr Error;
};

GlibWorkerTransfer::~GlibWorkerTransfer() {
  Cancel();
  for (Worker& worker : m_Workers) worker.Thread.join();
}

bool GlibWorkerTransfer::StillExecuting() {
  return m_Current != nullptr && !m_Current->Cancelled && !m_Current->Finished;
}

void GlibWorkerTransfer::JoinFinished() {
  std::erase_if(m_Workers, [](Worker& worker) {
    if (!worker.Of->Finished) return false;
    worker.Thread.join();  // it has only its outcome left to post
    return true;
  });
}

void GlibWorkerTransfer::Start(const std::string& url, std::chrono::milliseconds time_left,
                               Completion done) {
  if (StillExecuting()) {
    done({}, std::make_exception_ptr(Error(ErrorCode::TransferFailed,
                                           "a transfer is still running")));
    return;
  }
  JoinFinished();
  auto fetch = std::make_shared<Fetch>();
  fetch->Done = std::move(done);
  fetch->After = AfterCompletion;
  fetch->Failed = CompletionFailed;

  const auto deadline = std::chrono::steady_clock::now() + time_left;
  // The outcome goes to the main context of this thread, the one whose
  // loop runs the control.
  GMainContext* context = g_main_context_ref_thread_default();
  auto delivery = std::make_unique<Delivery>(Delivery{fetch, {}, {}});
  Delivery* posted = delivery.get();
  m_Workers.reserve(m_Workers.size() + 1);  // no allocation left to fail once it runs
  std::thread thread;
  try {
    thread = std::thread([posted, context, url, deadline, &inner = m_Inner,
                          &in_use = m_InnerInUse] {
      try {
        const std::lock_guard lock(in_use);
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left <= std::chrono::milliseconds::zero()) {
          throw Error(ErrorCode::TransferFailed, "transfer of " + url + " failed: no time left");
        }
        posted->Body = inner.OpenUrl(url, left);
      } catch (...) {
        posted->Error = std::current_exception();
      }
      posted->Of->Finished = true;
      // Not g_main_context_invoke: while the main thread is between
      // iterations it would run the completion right here, on the worker.
      GSource* source = g_idle_source_new();
      g_source_set_priority(source, G_PRIORITY_DEFAULT);
      g_source_set_callback(source, &GlibWorkerTransfer::Deliver, posted,
                            &GlibWorkerTransfer::Free);
      g_source_attach(source, context);
      g_source_unref(source);
      g_main_context_unref(context);
    });
  } catch (...) {
    g_main_context_unref(context);
    throw;
  }
  delivery.release();  // the worker's GLib source owns it now
  m_Workers.push_back(Worker{std::move(thread), fetch});
  m_Current = std::move(fetch);
}

void GlibWorkerTransfer::Cancel() {
  if (m_Current != nullptr) {
    m_Current->Cancelled = true;
    m_Current->Done = nullptr;
  }
  m_Inner.Cancel();
}

int GlibWorkerTransfer::Deliver(void* data) {
  auto* delivery = static_cast<Delivery*>(data);
  Fetch& fetch = *delivery->Of;
  if (fetch.Cancelled || !fetch.Done) return G_SOURCE_REMOVE;
  // Taken out first: the completion may cancel, or start the next fetch.
  Completion done = std::exchange(fetch.Done, nullptr);
  try {
    done(std::move(delivery->Body), delivery->Error);
  } catch (const std::exception& error) {
    if (fetch.Failed) fetch.Failed(error.what());
  } catch (...) {
    if (fetch.Failed) fetch.Failed("an unknown error left the transfer's completion");
  }
  if (fetch.After) fetch.After();
  return G_SOURCE_REMOVE;
}

void GlibWorkerTransfer::Free(void* data) { delete static_cast<Delivery*>(data); }

}  // namespace borvane
