#pragma once
// The HTTP transfer component the time query drives: a busy test, a
// synchronous fetch that returns the body as text, and cancel. Failures of
// the fetch are raised as Error with ErrorCode::TransferFailed.

#include <string>

namespace borvane {

class Transfer {
 public:
  virtual ~Transfer() = default;

  virtual bool StillExecuting() = 0;
  virtual std::string OpenUrl(const std::string& url) = 0;
  virtual void Cancel() = 0;
};

}  // namespace borvane
