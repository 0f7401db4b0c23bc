// The command line with several time sources, NTP and --samples: which
// sources are kept, what is reported, and that nothing is set without a
// majority. NTP servers are the test's own stubs on loopback.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <regex>
#include <string>

#include "service/time_service.h"
#include "support/ntp_stub.h"
#include "support/process.h"

namespace borvane {
namespace {

using testing::NtpStub;
using testing::NtpStubMode;
using testing::ProcessResult;

ProcessResult Borvane(std::vector<std::string> args) {
  args.insert(args.begin(), BORVANE_BINARY);
  return testing::RunProcess(args);
}

std::string Address(const NtpStub& stub) { return "ntp://127.0.0.1:" + std::to_string(stub.Port()); }

// The figure of the panel's status line; positive: this clock is ahead.
int ShownOffset(const std::string& status) {
  static const std::regex kFigure("北京时间(快|慢)([0-9]+)ms请校准");
  std::smatch m;
  if (!std::regex_search(status, m, kFigure)) return 0;
  return (m[1] == "快" ? 1 : -1) * std::stoi(m[2]);
}

TEST(TimeSourcesCli, LeavesOutAndNamesTheSourceThatDisagrees) {
  // Honest servers differ by less than their root distance (about 0.37 ms).
  NtpStub a(NtpStubMode::Good, 1200), b(NtpStubMode::Good, 1200.2), skewed(NtpStubMode::Good, 6200);
  const ProcessResult r = Borvane({"query", "--service", Address(a), "--service", Address(skewed),
                                   "--service", Address(b), "--json"});
  ASSERT_EQ(r.ExitCode, 0) << r.Err;
  const nlohmann::json out = nlohmann::json::parse(r.Out);
  ASSERT_EQ(out["sources"].size(), 3u);
  EXPECT_EQ(out["sources"][1]["service"], Address(skewed));
  EXPECT_FALSE(out["sources"][1]["kept"]);
  EXPECT_TRUE(out["sources"][0]["kept"]);
  EXPECT_TRUE(out["sources"][2]["kept"]);
  EXPECT_EQ(out["sources"][0]["samples"], 8);
  EXPECT_TRUE(out["sources"][0]["error"].is_null());
  // The servers run 1.2 s ahead: this clock is behind, and the panel says
  // so in its own words with the agreed figure.
  const double offset = out["offset_ms"];
  EXPECT_NEAR(offset, -1200.1, out["bound_ms"].get<double>());
  // Both give or take a loaded machine's round trips.
  EXPECT_NEAR(ShownOffset(out["Label2"]), -1200, 10);
  const std::regex named(Address(skewed) + " left out: it disagrees with the others by -(499\\d|500\\d)\\.");
  EXPECT_TRUE(std::regex_search(r.Err, named)) << r.Err;
}

TEST(TimeSourcesCli, SetsNothingWhenNoMajorityAgrees) {
  NtpStub a(NtpStubMode::Good, 0), b(NtpStubMode::Good, 3000), c(NtpStubMode::Good, 6000);
  const std::vector<std::string> sources = {"--service", Address(a), "--service", Address(b),
                                            "--service", Address(c)};
  std::vector<std::string> query = {"query", "--json"};
  query.insert(query.end(), sources.begin(), sources.end());
  const ProcessResult q = Borvane(query);
  EXPECT_EQ(q.ExitCode, 1);
  EXPECT_NE(q.Err.find("no majority of the time sources agree"), std::string::npos) << q.Err;
  const nlohmann::json out = nlohmann::json::parse(q.Out);
  EXPECT_TRUE(out["offset_ms"].is_null());
  for (const auto& s : out["sources"]) EXPECT_FALSE(s["kept"]);

  std::vector<std::string> set = {"set", "--dry-run"};
  set.insert(set.end(), sources.begin(), sources.end());
  const ProcessResult s = Borvane(set);
  EXPECT_EQ(s.ExitCode, 1);
  EXPECT_EQ(s.Out.find("would set"), std::string::npos) << s.Out;
}

TEST(TimeSourcesCli, ReportsAFailedSourceWithItsReason) {
  NtpStub good(NtpStubMode::Good, 0), good2(NtpStubMode::Good, 0), denied(NtpStubMode::Deny);
  const ProcessResult r = Borvane({"query", "--json", "--service", Address(good), "--service",
                                   Address(denied), "--service", Address(good2)});
  ASSERT_EQ(r.ExitCode, 0) << r.Err;
  const nlohmann::json out = nlohmann::json::parse(r.Out);
  EXPECT_NE(out["sources"][1]["error"].get<std::string>().find("DENY"), std::string::npos);
  EXPECT_NE(r.Err.find(Address(denied) + " failed"), std::string::npos) << r.Err;
}

TEST(TimeSourcesCli, OwnServiceWithSamplesAndTheDefaultReportTheirSource) {
  TimeServiceOptions options;
  options.offset_ms = -800;  // the service runs behind: this clock is ahead
  TimeService service(options);
  service.Start();
  const ProcessResult many = Borvane({"query", "--json", "--samples", "4", "--service", service.BaseUrl()});
  const ProcessResult once = Borvane({"query", "--json", "--service", service.BaseUrl()});
  service.Stop();
  for (const ProcessResult* r : {&many, &once}) {
    ASSERT_EQ(r->ExitCode, 0) << r->Err;
    const nlohmann::json out = nlohmann::json::parse(r->Out);
    ASSERT_EQ(out["sources"].size(), 1u);
    EXPECT_EQ(out["sources"][0]["service"], service.BaseUrl());
    EXPECT_NEAR(out["offset_ms"].get<double>(), 800, 2 + out["bound_ms"].get<double>()) << r->Out;
  }
  EXPECT_EQ(nlohmann::json::parse(many.Out)["sources"][0]["samples"], 4);
  // With no --service, the samples go to the embedded reference service.
  const ProcessResult embedded = Borvane({"query", "--json", "--samples", "3"});
  ASSERT_EQ(embedded.ExitCode, 0) << embedded.Err;
  EXPECT_EQ(nlohmann::json::parse(embedded.Out)["sources"][0]["samples"], 3);
}

TEST(TimeSourcesCli, RefusesBadSourceOptions) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"query", "--service", "ftp://127.0.0.1:1"},
           {"query", "--service", "ntp://127.0.0.1:99999"},
           {"query", "--samples", "0", "--service", "ntp://127.0.0.1:1"},
           {"query", "--samples", "65", "--service", "ntp://127.0.0.1:1"},
       }) {
    const ProcessResult r = Borvane(args);
    EXPECT_NE(r.ExitCode, 0) << args[2];
    EXPECT_FALSE(r.Err.empty());
  }
}

}  // namespace
}  // namespace borvane
