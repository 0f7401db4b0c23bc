#pragma once
// A request to stop that a blocked wait notices at once: a flag any thread
// raises, and a descriptor that poll() watches beside a socket (it turns
// readable when the flag is raised). The time sources of one check share
// one, so a cancelled check ends all of them together.

#include <atomic>
#include <chrono>

namespace borvane {

class CancelSignal {
 public:
  CancelSignal();
  ~CancelSignal();
  CancelSignal(const CancelSignal&) = delete;
  CancelSignal& operator=(const CancelSignal&) = delete;

  // Any thread.
  void Raise();
  bool Raised() const { return m_Raised.load(std::memory_order_acquire); }
  // Lowers the flag for the next run; only while nothing waits on it.
  void Reset();

  // Readable while raised; for poll() beside other descriptors.
  int Descriptor() const { return m_Fd; }
  // Sleeps `wait`, or less when raised meanwhile; true when raised.
  bool WaitFor(std::chrono::steady_clock::duration wait) const;

 private:
  int m_Fd = -1;
  std::atomic<bool> m_Raised{false};
};

}  // namespace borvane
