// The query's course: attempts started through the transfer, the answer
// judged when the fetch completes (inside Start, or later from the host's
// loop), what follows a query, and the asks that waited behind it.

#include "client/query_run.h"

#include <algorithm>
#include <utility>

#include "client/client.h"
#include "client/panel_texts.h"
#include "client/time_text.h"

namespace borvane {

void QueryRun::Wait(AfterQuery then) {
  if (then == AfterQuery::Nothing && !Waiting.empty()) return;
  if (std::find(Waiting.begin(), Waiting.end(), then) != Waiting.end()) return;
  if (!Waiting.empty() && Waiting.back() == AfterQuery::Nothing) {
    Waiting.back() = then;
    return;
  }
  Waiting.push_back(then);
}

client::~client() {
  // The transfer outlives the panel; a fetch still running must not
  // complete into it.
  if (m_Run.Outstanding) m_Services.transfer.Cancel();
}

void client::CancelQuery() {
  const bool outstanding = m_Run.Outstanding;
  const bool in_flight = m_Run.InFlight;
  m_Run.Outstanding = false;
  ++m_Run.Fetch;
  m_Run.InFlight = false;
  m_Run.Then = AfterQuery::Nothing;
  m_Run.Waiting.clear();
  if (outstanding) m_Services.transfer.Cancel();
  if (in_flight) SetPointer(panel::kDefaultPointer);
}

void client::Ask(AfterQuery then) {
  if (m_Run.InFlight) {
    m_Run.Wait(then);
    return;
  }
  // A query that ran to its end inside this call (its transfer completed in
  // Start) can only have had asks come by re-entering the panel (a handler
  // of a changed caption); they wait no longer than it, even when it fails.
  // One left in flight keeps them waiting for its completion.
  try {
    Begin(then);
  } catch (...) {
    RunWaiting();
    throw;
  }
  RunWaiting();
}

void client::Begin(AfterQuery then) {
  m_Run.InFlight = true;
  m_Run.Attempt = 0;
  m_Run.Deadline = std::chrono::steady_clock::now() + m_Services.query_deadline;
  m_Run.Then = then;
  Proceed([this] { return RunAttempts(); });
}

// Runs one step of the query; true from the step means the query has
// ended. An error ends it too, and leaves to whoever runs the step.
void client::Proceed(const std::function<bool()>& step) {
  bool ended = false;
  try {
    ended = step();
  } catch (...) {
    Abandon();
    throw;
  }
  if (ended) Finish();
}

bool client::RunAttempts() {
  while (m_Run.InFlight && m_Run.Attempt < kMaxQueryAttempts) {
    const auto time_left = std::chrono::ceil<std::chrono::milliseconds>(
        m_Run.Deadline - std::chrono::steady_clock::now());
    // Out of time: give up as after the last attempt.
    if (time_left <= std::chrono::milliseconds::zero()) break;
    ++m_Run.Attempt;
    SetPointer(panel::kBusyPointer);
    const std::optional<FetchOutcome> outcome = StartFetch(time_left);
    if (!outcome) return false;  // the completion carries on
    if (Accept(*outcome)) return true;
  }
  return true;
}

std::optional<FetchOutcome> client::StartFetch(std::chrono::milliseconds time_left) {
  Transfer& transfer = m_Services.transfer;
  // The send stamp: seconds (2 digits) and milliseconds (3 digits) of the
  // first reading. The service echoes it; we keep no copy.
  const SystemTime sent = m_Services.clock.Now();
  const std::string stamp =
      PadLeft2(std::to_string(sent.wSecond)) + PadLeft3(std::to_string(sent.wMilliseconds));

  // A transfer still running gets no second request; the empty answer then
  // fails to read as an echo.
  if (transfer.StillExecuting()) return FetchOutcome{};

  const std::uint64_t fetch = ++m_Run.Fetch;
  m_Run.Early.reset();
  m_Run.Starting = true;
  m_Run.Outstanding = true;
  try {
    transfer.Start(QueryAddress(stamp), time_left,
                   [this, fetch, life = std::weak_ptr<const int>(m_Run.Life)](
                       std::string body, std::exception_ptr error) {
                     if (life.expired()) return;
                     OnFetched(fetch, FetchOutcome{std::move(body), error});
                   });
  } catch (...) {
    m_Run.Starting = false;
    m_Run.Outstanding = false;
    throw;
  }
  m_Run.Starting = false;
  std::optional<FetchOutcome> early = std::exchange(m_Run.Early, std::nullopt);
  if (early) m_Run.Outstanding = false;
  return early;
}

void client::OnFetched(std::uint64_t fetch, FetchOutcome outcome) {
  if (fetch != m_Run.Fetch || !m_Run.Outstanding) return;
  if (m_Run.Starting) {
    m_Run.Early = std::move(outcome);
    return;
  }
  m_Run.Outstanding = false;
  // The query goes on as a notification of its own: its errors go to the
  // site, as a tick's do.
  Guarded([&] { Proceed([&] { return Accept(outcome) || RunAttempts(); }); });
  RunWaiting();
}

// Judges one attempt's answer: true when it was accepted and shown.
bool client::Accept(const FetchOutcome& outcome) {
  if (outcome.Error) std::rethrow_exception(outcome.Error);
  m_Services.transfer.Cancel();
  if (const std::optional<Measurement> m = Measure(outcome.Body)) {
    ShowResult(*m);
    return true;
  }
  // Too slow to trust; earlier results stay as they are.
  Label1.SetCaption(panel::kDelayMessage);
  return false;
}

void client::Finish() {
  // A query cancelled from inside its own step has nothing to finish.
  if (!m_Run.InFlight) return;
  const AfterQuery then = m_Run.Then;
  m_Run.InFlight = false;
  m_Run.Then = AfterQuery::Nothing;
  SetPointer(panel::kDefaultPointer);
  if (QueryEnded) QueryEnded();
  RunAfter(then);
}

void client::Abandon() {
  if (!m_Run.InFlight) return;
  if (m_Run.Outstanding) m_Services.transfer.Cancel();
  m_Run.InFlight = false;
  m_Run.Then = AfterQuery::Nothing;
  m_Run.Outstanding = false;
  ++m_Run.Fetch;
  SetPointer(panel::kDefaultPointer);
  if (QueryEnded) QueryEnded();
}

void client::RunAfter(AfterQuery then) {
  switch (then) {
    case AfterQuery::Nothing: break;
    case AfterQuery::SetClock: SetClockFromAnswer(); break;
    case AfterQuery::HourlyRecheck:
      if (Checkperhour.Value() == 1) Command2_Click();
      break;
    case AfterQuery::CountTick: CountTick(); break;
  }
}

void client::RunWaiting() {
  // Each waiting ask is a notification of its own, in the order they came;
  // one that leaves a fetch in flight lets the rest wait for it.
  while (!m_Run.InFlight && !m_Run.Waiting.empty()) {
    const AfterQuery next = m_Run.Waiting.front();
    m_Run.Waiting.pop_front();
    Guarded([&] { Begin(next); });
  }
}

}  // namespace borvane
