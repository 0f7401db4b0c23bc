#pragma once
// A transfer for a control hosted in a GTK window. The fetch stays
// synchronous for the control, but runs on a worker thread while the
// user-interface thread goes on running the main loop, so the window keeps
// painting (and shows the busy pointer) instead of freezing. Meanwhile the
// host holds input and timer ticks: nothing enters the control until the
// handler that asked has returned.

#include <chrono>
#include <string>

#include "container/transfer.h"
#include "platform/gtk/gtk_control_host.h"

namespace borvane {

class PaintingTransfer final : public Transfer {
 public:
  // `inner` must be safe to drive from another thread (CurlTransfer is).
  PaintingTransfer(Transfer& inner, GtkControlHost& host) : m_Inner(inner), m_Host(host) {}

  bool StillExecuting() override { return m_Inner.StillExecuting(); }
  // The inner fetch's body, or its error raised here on the calling thread.
  std::string OpenUrl(const std::string& url, std::chrono::milliseconds time_left) override;
  void Cancel() override { m_Inner.Cancel(); }

 private:
  Transfer& m_Inner;
  GtkControlHost& m_Host;
};

}  // namespace borvane
