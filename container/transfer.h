#pragma once
// The HTTP transfer component the time query drives: a busy test, a fetch
// that returns the body as text, and cancel. Failures of the fetch are
// raised as Error with ErrorCode::TransferFailed.
//
// A fetch is either synchronous (OpenUrl) or started (Start) with its
// result handed to a completion later, on the thread that handles the
// control's notifications. The query always starts its fetches, so a host
// whose transfer really runs in the background never waits on the network
// on its own thread; a transfer that only knows OpenUrl completes before
// Start returns, and the query then runs to its end inside the handler
// that asked, exactly as a synchronous fetch does.

#include <chrono>
#include <exception>
#include <functional>
#include <string>
#include <utility>

namespace borvane {

class Transfer {
 public:
  // The body, or the error the fetch raised (and then the body is empty).
  using Completion = std::function<void(std::string body, std::exception_ptr error)>;

  virtual ~Transfer() = default;

  virtual bool StillExecuting() = 0;
  // Fetches `url` and returns the body. The fetch gives up with
  // TransferFailed once `time_left` has passed: the query hands on what is
  // left of its own deadline, so no fetch outlives the query that asked.
  virtual std::string OpenUrl(const std::string& url, std::chrono::milliseconds time_left) = 0;
  // Starts fetching `url` within `time_left` and calls `done` exactly once
  // with the outcome, on the notification thread; after Cancel it is never
  // called. This default fetches synchronously and calls `done` before
  // returning; an error that `done` raises leaves Start to its caller.
  virtual void Start(const std::string& url, std::chrono::milliseconds time_left,
                     Completion done) {
    std::string body;
    std::exception_ptr error;
    try {
      body = OpenUrl(url, time_left);
    } catch (...) {
      error = std::current_exception();
    }
    done(std::move(body), error);
  }
  // Aborts a fetch in progress; a started fetch's completion is dropped.
  virtual void Cancel() = 0;
};

}  // namespace borvane
