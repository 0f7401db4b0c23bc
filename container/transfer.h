#pragma once
// The HTTP transfer component the time query drives: a busy test, a
// synchronous fetch that returns the body as text, and cancel. Failures of
// the fetch are raised as Error with ErrorCode::TransferFailed.

#include <chrono>
#include <string>

namespace borvane {

class Transfer {
 public:
  virtual ~Transfer() = default;

  virtual bool StillExecuting() = 0;
  // Fetches `url` and returns the body. The fetch gives up with
  // TransferFailed once `time_left` has passed: the query hands on what is
  // left of its own deadline, so no fetch outlives the query that asked.
  virtual std::string OpenUrl(const std::string& url, std::chrono::milliseconds time_left) = 0;
  virtual void Cancel() = 0;
};

}  // namespace borvane
