#pragma once
// The HTTP Date header as a time source: date+http://HOST[:PORT][/PATH] and
// date+https://... (the certificate is checked as for the panel's own
// service). Where UDP is blocked, any web server still tells the time, to
// the second. Finer than that by bisection: each HEAD request on one
// kept-alive connection is sent so that, if our current estimate is
// right, the server reads its clock exactly on a second boundary; whether
// the Date it sends is the second before or after halves what we know.
// About one request a second, so a check spends most of its time.

#include <chrono>
#include <memory>
#include <string>

#include "platform/posix/time_source.h"

namespace borvane {

class DateSource final : public TimeSource {
 public:
  // Throws std::runtime_error when the address does not read.
  DateSource(const std::string& address, const std::string& ca_file);
  ~DateSource() override;

  const std::string& Address() const override { return m_Address; }
  // `samples`: timed requests at most, after the one that opens the
  // connection; 0 asks until the estimate is as fine as the round trip
  // allows or the time runs out.
  SourceEstimate Measure(int samples, std::chrono::milliseconds time_left) override;

 private:
  struct Handle;
  std::string m_Address;
  std::string m_Url;
  std::unique_ptr<Handle> m_Handle;
};

// The bisection's state, pure, so its rule is tested with numbers. All
// times are this machine's, in ms since 1970; offsets positive when this
// clock is ahead.
class DateBisection {
 public:
  // One answer: the request left at `sent`, the answer came at `received`,
  // and the server's Date said `date_seconds`. The server read its clock
  // somewhere between, so its time then lay in [date, date + 1 s).
  void Add(double sent, double received, double date_ms);
  // When to send next so that the answer's arrival, `round_trip` after,
  // has the server on a second boundary if the offset is the middle of
  // what is known; the first such moment after `now`.
  double NextSendTime(double now, double round_trip) const;
  bool Empty() const { return !m_Started; }
  double Low() const { return m_Low; }
  double High() const { return m_High; }

 private:
  bool m_Started = false;
  double m_Low = 0;
  double m_High = 0;
};

}  // namespace borvane
