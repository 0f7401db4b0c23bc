#include "support/answers.h"

#include "client/time_text.h"

namespace borvane {

void PrintTo(const SystemTime& t, std::ostream* out) {
  *out << t.wYear << "," << t.wMonth << "," << t.wDayOfWeek << "," << t.wDay << "," << t.wHour
       << "," << t.wMinute << "," << t.wSecond << "," << t.wMilliseconds;
}

}  // namespace borvane

namespace borvane::testing {

std::string EncodeForDecoder(const std::string& plain, int k) {
  // The decoder's net change per phase (position mod 6) is
  // A + sign × K + offset; the encoder subtracts it.
  static constexpr int kSign[6] = {1, -1, 1, -1, 1, -1};
  static constexpr int kOffset[6] = {-2, 4, -6, -1, -7, 0};
  std::string out;
  for (std::size_t j = 1; j <= plain.size(); ++j) {
    const std::size_t p = j % 6;
    out += static_cast<char>(plain[j - 1] - kSign[p] * k - kOffset[p]);
  }
  return out;
}

std::string MakeAnswer(const std::string& echo, const std::string& plain_time) {
  return echo + "|" + EncodeForDecoder(plain_time);
}

std::string StampOf(const SystemTime& reading) {
  return PadLeft2(std::to_string(reading.wSecond)) +
         PadLeft3(std::to_string(reading.wMilliseconds));
}

SystemTime At(int hour, int minute, int second, int ms) {
  FakeClock clock;
  clock.Push(hour, minute, second, ms);
  return clock.Now();
}

ClientRig::ClientRig(std::int32_t utc_offset_seconds, std::string service_url,
                     std::chrono::milliseconds query_deadline)
    : clock(utc_offset_seconds),
      loop(site.Clock),
      panel(site, ClientServices{clock, transfer, std::move(service_url), query_deadline}) {
  site.DisplayName = "client1";
}

void ClientRig::Script(const SystemTime& sent, const std::string& service_time,
                       const SystemTime& received) {
  clock.Push(sent);
  transfer.PushBody(MakeAnswer(StampOf(sent), service_time));
  clock.Push(received);
}

void ClientRig::ScriptRoundTrip(const std::string& service_time, int round_trip_ms) {
  const int received = 10'500 + round_trip_ms;
  Script(At(15, 32, 10, 500), service_time, At(15, 32, received / 1000, received % 1000));
}

}  // namespace borvane::testing
