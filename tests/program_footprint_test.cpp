// What each headless command loads, read from the dynamic loader's own
// account (LD_DEBUG=libs): no GTK, pango or cairo for a command that draws
// nothing, and no libcurl or TLS library for one that fetches nothing.

#include <gtest/gtest.h>

#include "service/time_service.h"
#include "support/process.h"

namespace borvane {
namespace {

TEST(ProgramFootprint, HeadlessCommandsLoadOnlyWhatTheyUse) {
  TimeService service(TimeServiceOptions{});
  service.Start();
  struct Row {
    std::vector<std::string> args;
    std::vector<std::string> absent;
    std::vector<std::string> present;
  };
  const Row rows[] = {
      {{"decrypt", "abc"}, {"libgtk", "libpango", "libcairo", "libcurl", "libssl"}, {}},
      {{"query", "--service", service.BaseUrl()}, {"libgtk", "libpango", "libcairo"}, {"libcurl"}},
      {{"--help"}, {"libgtk", "libpango", "libcairo", "libcurl", "libssl"}, {}},
  };
  for (const Row& row : rows) {
    std::vector<std::string> args = row.args;
    args.insert(args.begin(), BORVANE_BINARY);
    const testing::ProcessResult r = testing::RunProcess(args, {"LD_DEBUG=libs"});
    EXPECT_EQ(r.ExitCode, 0) << row.args[0] << "\n" << r.Out;
    // Without the loader's account every absence below would hold.
    ASSERT_NE(r.Err.find("calling init: /"), std::string::npos) << r.Err;
    for (const std::string& library : row.absent) {
      EXPECT_EQ(r.Err.find("/" + library), std::string::npos) << row.args[0] << " loaded " << library;
    }
    for (const std::string& library : row.present) {
      EXPECT_NE(r.Err.find("/" + library), std::string::npos) << row.args[0] << " did not load " << library;
    }
  }
  service.Stop();
}

}  // namespace
}  // namespace borvane
