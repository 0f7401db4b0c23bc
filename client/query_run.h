#pragma once
// Where the panel's query stands between its fetches. A fetch may finish
// long after the handler that started it has returned (the host's transfer
// runs in the background), so the query's course lives here rather than on
// a handler's stack: the attempt under way, the deadline all attempts
// share, what runs once the query ends, and the asks that came meanwhile.

#include <chrono>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <optional>
#include <string>

namespace borvane {

// What a query is for, beyond showing its answer.
enum class AfterQuery : std::uint8_t {
  Nothing,        // DisplayTime: the answer shown is all
  SetClock,       // the set-clock button: set the clock from the answer
  HourlyRecheck,  // the hourly re-check: then the set-clock button's work, if the box is ticked
  CountTick,      // a tick that found no service year: counted once the answer is in
};

// The outcome of one fetch: the body, or the error the fetch raised.
struct FetchOutcome {
  std::string Body;
  std::exception_ptr Error;
};

struct QueryRun {
  // Queues an ask that came while a query was in flight. Asks coalesce: a
  // plain query joins any ask already waiting (that one queries too), an
  // ask already waiting is not queued twice, and one with work after it
  // takes the place of a plain query waiting last. At most one ask of each
  // kind waits, so a burst of clicks or script calls costs one fetch more.
  void Wait(AfterQuery then);

  bool InFlight = false;
  int Attempt = 0;  // attempts started so far, 1..kMaxQueryAttempts
  std::chrono::steady_clock::time_point Deadline;
  AfterQuery Then = AfterQuery::Nothing;
  std::deque<AfterQuery> Waiting;

  // Numbers the fetches. A completion carries the number of its fetch and
  // is dropped unless it is still the current one: a fetch that was
  // cancelled, or belongs to a query that ended, never touches the panel.
  std::uint64_t Fetch = 0;
  // A fetch started and not yet completed: only then is there anything to
  // cancel.
  bool Outstanding = false;
  // True while the transfer's Start runs. A completion that comes then is
  // synchronous: it is kept in Early and the asker handles it on its own
  // stack, so its errors reach the asker exactly as a blocking fetch's do.
  bool Starting = false;
  std::optional<FetchOutcome> Early;
  // Completions hold it weakly: once the panel is gone, so is this.
  std::shared_ptr<const int> Life = std::make_shared<const int>(0);
};

}  // namespace borvane
