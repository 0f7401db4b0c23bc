// borvane watch --dry-run end to end: the real program, libcurl and GLib's
// main loop against the reference service on loopback, skewed so that the
// service's next full hour comes a few seconds after the start. Never
// without --dry-run: the tests may run as root and would set the clock.

#include <gtest/gtest.h>

#include <chrono>
#include <regex>

#include "service/time_service.h"
#include "support/process.h"

namespace borvane {
namespace {

TEST(WatchCommand, DryRunChecksAtStartWouldSetAtTheServiceHourAndStopsOnSigterm) {
  // Beijing is a whole number of hours from UTC, so seconds into the hour
  // are the same on both: put the service 2.5 s before its next hour.
  const auto now_ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                          std::chrono::system_clock::now().time_since_epoch())
                          .count();
  TimeServiceOptions options;
  options.offset_ms = 3600000 - 2500 - now_ms % 3600000;
  TimeService service(options);
  service.Start();

  const std::string command = std::string("\"") + BORVANE_BINARY + "\" watch --dry-run --service " +
                              service.BaseUrl() +
                              " & pid=$!; sleep 6; kill -TERM $pid; wait $pid";
  const testing::ProcessResult r = testing::RunProcess({"/bin/sh", "-c", command}, {"TZ=UTC"});
  service.Stop();

  EXPECT_EQ(r.ExitCode, 0) << r.Err;
  EXPECT_EQ(r.Err, "");
  const std::regex checked(R"(\n\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} offset [-+]?\d+ ms checked\n)");
  EXPECT_TRUE(std::regex_search(r.Out, checked)) << r.Out;
  // The setting comes at the service's full hour: minute 00, second 00 or
  // 01 as ticks fall late on a busy machine.
  const std::regex would_set(R"(offset [-+]?\d+ ms would set \d{4}-\d\d-\d\d \d\d:00:0[01]\.\d{3}\n)");
  EXPECT_TRUE(std::regex_search(r.Out, would_set)) << r.Out;
  EXPECT_NE(r.Out.find("borvane watch: stopped\n"), std::string::npos) << r.Out;
}

}  // namespace
}  // namespace borvane
