// Fetches on a worker thread with the outcome delivered by the GLib main
// loop: the completion runs on the loop's thread and never inside Start,
// and a cancelled fetch, or one whose transfer is destroyed meanwhile, never
// completes. The inner transfer is a stand-in that blocks until released.

#include "platform/gtk/glib_worker_transfer.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "container/error.h"

namespace borvane {
namespace {

// Blocks each fetch until Release or Cancel, then answers "body:<url>" or
// fails as cancelled. As libcurl's, a cancel reaches only the fetch running.
class GatedTransfer final : public Transfer {
 public:
  bool StillExecuting() override { return false; }
  std::string OpenUrl(const std::string& url, std::chrono::milliseconds) override {
    std::unique_lock lock(m_Mutex);
    m_Cancelled = false;
    m_Changed.wait(lock, [this] { return m_Open || m_Cancelled; });
    if (m_Cancelled) throw Error(ErrorCode::TransferFailed, "cancelled");
    return "body:" + url;
  }
  void Cancel() override { Set(m_Cancelled); }
  void Release() { Set(m_Open); }

 private:
  void Set(bool& flag) {
    {
      std::lock_guard lock(m_Mutex);
      flag = true;
    }
    m_Changed.notify_all();
  }
  std::mutex m_Mutex;
  std::condition_variable m_Changed;
  bool m_Open = false;
  bool m_Cancelled = false;
};

// Iterates the default context until `done` holds or about 10 s pass.
template <typename Done>
bool IterateUntil(Done done) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!done() && std::chrono::steady_clock::now() < end) g_main_context_iteration(nullptr, FALSE);
  return done();
}

// Lets the loop run for a while, so a completion that should not come has
// every chance to.
void IterateFor(std::chrono::milliseconds span) {
  const auto end = std::chrono::steady_clock::now() + span;
  while (std::chrono::steady_clock::now() < end) g_main_context_iteration(nullptr, FALSE);
}

TEST(GlibWorkerTransfer, TheCompletionComesFromTheLoopOnItsThreadAfterStartHasReturned) {
  GatedTransfer inner;
  GlibWorkerTransfer transfer(inner);
  int completions = 0;
  int after = 0;
  std::string body;
  std::thread::id thread;
  transfer.AfterCompletion = [&] { ++after; };
  transfer.Start("u", std::chrono::seconds(5), [&](std::string b, std::exception_ptr error) {
    ++completions;
    body = std::move(b);
    thread = std::this_thread::get_id();
    EXPECT_FALSE(error);
  });
  EXPECT_EQ(completions, 0);
  EXPECT_TRUE(transfer.StillExecuting());
  inner.Release();
  ASSERT_TRUE(IterateUntil([&] { return completions == 1; }));
  EXPECT_EQ(body, "body:u");
  EXPECT_EQ(thread, std::this_thread::get_id());
  EXPECT_EQ(after, 1) << "a redraw is asked after the completion";
  EXPECT_FALSE(transfer.StillExecuting());
}

TEST(GlibWorkerTransfer, ACancelledFetchOrOneOutlivingItsTransferNeverCompletes) {
  int completions = 0;
  const auto count = [&](std::string, std::exception_ptr) { ++completions; };
  {
    GatedTransfer inner;
    GlibWorkerTransfer transfer(inner);
    transfer.Start("cancelled", std::chrono::seconds(5), count);
    transfer.Cancel();
    EXPECT_FALSE(transfer.StillExecuting()) << "a new fetch may start at once";
    // The next fetch waits for the aborted one and then completes.
    std::string body;
    transfer.Start("next", std::chrono::seconds(5), [&](std::string b, std::exception_ptr) {
      body = std::move(b);
    });
    inner.Release();
    ASSERT_TRUE(IterateUntil([&] { return !body.empty(); }));
    EXPECT_EQ(body, "body:next");

    transfer.Start("destroyed", std::chrono::seconds(5), count);
  }  // the destructor cancels the blocked fetch and joins its worker
  IterateFor(std::chrono::milliseconds(200));
  EXPECT_EQ(completions, 0);
}

}  // namespace
}  // namespace borvane
