#include "platform/gtk/gtk_painting_transfer.h"

#include <glib.h>

#include <atomic>
#include <exception>
#include <thread>

namespace borvane {

namespace {

// Holds the host's input for one scope, however it is left.
class InputHold {
 public:
  explicit InputHold(GtkControlHost& host) : m_Host(host) { m_Host.HoldInput(); }
  ~InputHold() { m_Host.ReleaseInput(); }
  InputHold(const InputHold&) = delete;
  InputHold& operator=(const InputHold&) = delete;

 private:
  GtkControlHost& m_Host;
};

}  // namespace

std::string PaintingTransfer::OpenUrl(const std::string& url,
                                      std::chrono::milliseconds time_left) {
  std::string body;
  std::exception_ptr error;
  std::atomic<bool> done{false};
  std::thread worker([&] {
    try {
      body = m_Inner.OpenUrl(url, time_left);
    } catch (...) {
      error = std::current_exception();
    }
    done = true;
    // Ends the main loop's wait even when nothing else is due.
    g_main_context_wakeup(nullptr);
  });
  {
    const InputHold hold(m_Host);
    while (!done) g_main_context_iteration(nullptr, TRUE);
  }
  worker.join();
  if (error) std::rethrow_exception(error);
  return body;
}

}  // namespace borvane
