#include "platform/posix/cancel_signal.h"

#include <poll.h>
#include <time.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>

namespace borvane {

CancelSignal::CancelSignal() : m_Fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
  if (m_Fd < 0) throw std::runtime_error(std::string("eventfd: ") + std::strerror(errno));
}

CancelSignal::~CancelSignal() { ::close(m_Fd); }

void CancelSignal::Raise() {
  m_Raised.store(true, std::memory_order_release);
  const std::uint64_t one = 1;
  // Only fails when the counter is full, and then it is readable anyway.
  [[maybe_unused]] const ssize_t written = ::write(m_Fd, &one, sizeof one);
}

void CancelSignal::Reset() {
  std::uint64_t count = 0;
  // Non-blocking: empties the counter, or finds it already empty.
  [[maybe_unused]] const ssize_t read = ::read(m_Fd, &count, sizeof count);
  m_Raised.store(false, std::memory_order_release);
}

bool CancelSignal::WaitFor(std::chrono::steady_clock::duration wait) const {
  using Steady = std::chrono::steady_clock;
  const Steady::time_point until = Steady::now() + wait;
  while (!Raised()) {
    // To the nanosecond: the Date source times its requests by these waits.
    const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(until - Steady::now());
    if (left.count() <= 0) return false;
    const timespec span{static_cast<time_t>(left.count() / 1'000'000'000),
                        static_cast<long>(left.count() % 1'000'000'000)};
    pollfd p{m_Fd, POLLIN, 0};
    ::ppoll(&p, 1, &span, nullptr);
  }
  return true;
}

}  // namespace borvane
