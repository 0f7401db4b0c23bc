// The whole road of an answer through the panel: query, verdict, clock
// record, tick and drawing, on a fake clock and a scripted transfer. The
// input is a script of what the service answers, what the clock reads and
// what the user and the timer do. Whatever the service sends:
//   - only the library's own error leaves a handler, and none leaves a
//     notification entry (creation, mouse, keys, timer ticks);
//   - the mouse pointer is back to default once a handler has returned;
//   - the clock is only ever given a real date and time;
//   - the status line shows only the panel's own lines.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "client/panel_texts.h"
#include "client/time_text.h"
#include "container/error.h"
#include "container/system_time.h"
#include "support/answers.h"

namespace {

using borvane::SystemTime;
using borvane::testing::ClientRig;

void Require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "answer_path_fuzz: %s\n", what);
    std::abort();
  }
}

// A reading the real clock could give: any instant from 1970 to 2200.
SystemTime AnyReading(FuzzedDataProvider& data) {
  constexpr std::int64_t kLast = 7258118400;  // 2200-01-01
  SystemTime t = borvane::CivilFromSeconds(data.ConsumeIntegralInRange<std::int64_t>(0, kLast));
  t.wMilliseconds = data.ConsumeIntegralInRange<std::int16_t>(0, 999);
  return t;
}

// `t` moved on by `ms` milliseconds.
SystemTime Later(const SystemTime& t, std::int64_t ms) {
  const std::int64_t total = borvane::SecondsFromCivil(t) * 1000 + t.wMilliseconds + ms;
  SystemTime later = borvane::CivilFromSeconds(total / 1000);
  later.wMilliseconds = static_cast<std::int16_t>(total % 1000);
  return later;
}

std::string Digits(int value, std::size_t width) {
  std::string text = std::to_string(value);
  return std::string(width > text.size() ? width - text.size() : 0, '0') + text;
}

// One attempt whose answer is well formed around the send stamp: the
// service's time near the local one (so every verdict is reachable), then
// at most one byte of the encoded answer changed.
void ScriptAnswer(FuzzedDataProvider& data, ClientRig& rig) {
  const SystemTime sent = AnyReading(data);
  const SystemTime received = Later(sent, data.ConsumeIntegralInRange(0, 1500));
  const SystemTime service =
      Later(received, data.ConsumeIntegralInRange<std::int64_t>(-90'000'000, 90'000'000));
  const std::string plain = borvane::FormatDateTime(service) + "." + Digits(service.wMilliseconds, 3);
  std::string answer = borvane::testing::MakeAnswer(borvane::testing::StampOf(sent), plain);
  if (data.ConsumeBool()) {
    answer[data.ConsumeIntegralInRange<std::size_t>(0, answer.size() - 1)] =
        data.ConsumeIntegral<char>();
  }
  rig.clock.Push(sent);
  rig.transfer.PushBody(answer);
  rig.clock.Push(received);
}

// One attempt with any answer at all.
void ScriptAnyAnswer(FuzzedDataProvider& data, ClientRig& rig) {
  const SystemTime sent = AnyReading(data);
  rig.clock.Push(sent);
  rig.transfer.PushBody(data.ConsumeRandomLengthString(64));
  rig.clock.Push(Later(sent, data.ConsumeIntegralInRange(-2000, 2000)));
}

// A handler called directly may raise the library's error, nothing else.
template <typename Run>
void Handler(Run run) {
  try {
    run();
  } catch (const borvane::Error&) {
  }
}

bool IsStatusLine(const std::string& line, const std::string& host) {
  namespace panel = borvane::panel;
  if (line == panel::kLabel2Initial || line == panel::kClockWrong || line == panel::kClockRight ||
      line == panel::kSetSucceeded ||
      line == std::string(panel::kSetRefusedPrefix) + "0" + panel::kSetRefusedSuffix ||
      line == panel::kConnectionPrefix + host + panel::kConnectionSuffix) {
    return true;
  }
  // "[ 您的系统时间比北京时间" 快|慢 <ms> "ms请校准！ ]"
  const std::string prefix = panel::kClockOffsetPrefix;
  const std::string suffix = panel::kClockOffsetSuffix;
  if (!line.starts_with(prefix) || !line.ends_with(suffix)) return false;
  std::string middle = line.substr(prefix.size(), line.size() - prefix.size() - suffix.size());
  if (middle.starts_with(panel::kClockAhead)) {
    middle.erase(0, std::string(panel::kClockAhead).size());
  } else if (middle.starts_with(panel::kClockBehind)) {
    middle.erase(0, std::string(panel::kClockBehind).size());
  } else {
    return false;
  }
  return !middle.empty() && middle.size() <= 5 &&
         middle.find_first_not_of("0123456789") == std::string::npos;
}

bool IsRealRecord(const SystemTime& t) {
  return borvane::IsValidDate(t.wYear, t.wMonth, t.wDay) && t.wDayOfWeek == 0 && t.wHour >= 0 &&
         t.wHour <= 23 && t.wMinute >= 0 && t.wMinute <= 59 && t.wSecond >= 0 && t.wSecond <= 59 &&
         t.wMilliseconds >= 0 && t.wMilliseconds <= 999;
}

// With BORVANE_FUZZ_TRACE set, each step prints what the panel shows, so a
// finding can be read step by step when it is replayed.
void Trace(int kind, const ClientRig& rig) {
  static const bool trace = std::getenv("BORVANE_FUZZ_TRACE") != nullptr;
  if (!trace) return;
  std::fprintf(stderr, "step %d: Label1 \"%s\" Label2 \"%s\" Localtime \"%s\" tag %s, %zu settings\n", kind,
               rig.panel.Label1.Caption().c_str(), rig.panel.Label2.Caption().c_str(),
               rig.panel.Localtime.Caption().c_str(), rig.panel.sysTimer.Tag().c_str(),
               rig.clock.Settings.size());
}

void Step(FuzzedDataProvider& data, ClientRig& rig) {
  borvane::client& panel = rig.panel;
  const int kind = data.ConsumeIntegralInRange(0, 12);
  switch (kind) {
    case 0: ScriptAnswer(data, rig); break;
    case 1: ScriptAnyAnswer(data, rig); break;
    case 2: rig.transfer.PushError(data.ConsumeRandomLengthString(32)); break;
    case 3: rig.transfer.Busy = !rig.transfer.Busy; break;
    case 4: rig.clock.SetResult = rig.clock.SetResult == 0 ? 1 : 0; break;
    case 5: panel.Initialize(); break;
    case 6: Handler([&] { panel.Command1_Click(); }); break;
    case 7: Handler([&] { panel.Command2_Click(); }); break;
    case 8: panel.CheckDisplayMs.Click(); break;
    case 9: panel.Checkperhour.Click(); break;
    case 10: rig.loop.Advance(data.ConsumeIntegralInRange(0, 10'000)); break;
    case 11: {
      // A click wherever the user puts it, as the host delivers it.
      const auto x = static_cast<float>(data.ConsumeIntegralInRange(0, 352));
      const auto y = static_cast<float>(data.ConsumeIntegralInRange(0, 166));
      panel.MouseDown(1, 0, x, y);
      panel.MouseUp(1, 0, x, y);
      break;
    }
    default: {
      const borvane::Image frame = panel.Compose();
      Require(frame.Width() > 0 && frame.Height() > 0, "the panel drew nothing");
    }
  }
  Trace(kind, rig);
  Require(panel.MousePointer() == borvane::panel::kDefaultPointer, "the busy pointer stayed");
  Require(IsStatusLine(panel.Label2.Caption(), panel.ServiceHost()),
          "the status line shows a text that is not the panel's own");
  for (const SystemTime& setting : rig.clock.Settings) {
    Require(IsRealRecord(setting), "the clock was given a record that is no real time");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  FuzzedDataProvider data(bytes, size);
  // Any zone the machine could be in, whole quarter hours from UTC-12 to UTC+14.
  ClientRig rig(data.ConsumeIntegralInRange(-48, 56) * 900);
  try {
    for (int steps = 0; steps < 64 && data.remaining_bytes() > 0; ++steps) Step(data, rig);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "answer_path_fuzz: escaped: %s\n", error.what());
    std::abort();
  }
  return 0;
}
