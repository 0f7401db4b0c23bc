#include "support/fakes.h"

#include <utility>

#include "container/error.h"

namespace borvane::testing {

void FakeClock::Push(int hour, int minute, int second, int ms) {
  SystemTime t;
  t.wYear = 2005;
  t.wMonth = 4;
  t.wDay = 27;
  t.wDayOfWeek = 3;
  t.wHour = static_cast<std::int16_t>(hour);
  t.wMinute = static_cast<std::int16_t>(minute);
  t.wSecond = static_cast<std::int16_t>(second);
  t.wMilliseconds = static_cast<std::int16_t>(ms);
  Push(t);
}

SystemTime FakeClock::Now() {
  ++Reads;
  if (!m_Readings.empty()) {
    m_Last = m_Readings.front();
    m_Readings.pop_front();
  }
  return m_Last;
}

std::int32_t FakeClock::SetLocalTime(const SystemTime& record, std::int64_t utc_milliseconds) {
  Settings.push_back(record);
  Instants.push_back(utc_milliseconds);
  return SetResult;
}

std::string ScriptedTransfer::OpenUrl(const std::string& url,
                                      std::chrono::milliseconds time_left) {
  Urls.push_back(url);
  TimesLeft.push_back(time_left);
  if (DuringFetch) DuringFetch();
  return NextAnswer();
}

std::string ScriptedTransfer::NextAnswer() {
  if (m_Script.empty()) throw Error(ErrorCode::TransferFailed, "no answer scripted");
  Step step = std::move(m_Script.front());
  m_Script.pop_front();
  if (step.ErrorMessage) throw Error(ErrorCode::TransferFailed, *step.ErrorMessage);
  return step.Body;
}

void ScriptedTransfer::Start(const std::string& url, std::chrono::milliseconds time_left,
                             Completion done) {
  if (!Deferred) {
    Transfer::Start(url, time_left, std::move(done));
    return;
  }
  Urls.push_back(url);
  TimesLeft.push_back(time_left);
  m_Waiting = std::move(done);
}

void ScriptedTransfer::Cancel() {
  ++Cancels;
  if (m_Waiting) Dropped = std::exchange(m_Waiting, nullptr);
}

bool ScriptedTransfer::Complete() {
  if (!m_Waiting) return false;
  // Taken out first: the completion may cancel, or start the next fetch.
  Completion done = std::exchange(m_Waiting, nullptr);
  std::string body;
  std::exception_ptr error;
  try {
    body = NextAnswer();
  } catch (...) {
    error = std::current_exception();
  }
  done(std::move(body), error);
  return true;
}

}  // namespace borvane::testing
