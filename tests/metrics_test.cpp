// The Prometheus metrics of `borvane watch`, scraped over HTTP while it
// runs and read by a real text-format parser (Debian's
// python3-prometheus-client), so a format mistake fails here and not in a
// fleet's monitoring. Never without --dry-run.

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <map>
#include <nlohmann/json.hpp>
#include <string>

#include "platform/posix/metrics_server.h"
#include "support/ntp_stub.h"
#include "support/process.h"

namespace borvane {
namespace {

using testing::NtpStub;
using testing::NtpStubMode;

constexpr const char* kPython = "/usr/bin/python3";

// Parses the scraped text in `file`: one entry per sample, "name{labels}".
constexpr const char* kParse = R"(
import json, sys
from prometheus_client.parser import text_string_to_metric_families
out = {}
for family in text_string_to_metric_families(open(sys.argv[1]).read()):
    for s in family.samples:
        labels = ",".join(f"{k}={v}" for k, v in sorted(s.labels.items()))
        out[s.name + "{" + labels + "}"] = s.value
print(json.dumps(out))
)";

bool ParserAvailable() {
  return testing::RunProcess({kPython, "-c", "import prometheus_client"}).ExitCode == 0;
}

std::uint16_t FreeTcpPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  socklen_t length = sizeof a;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length);
  ::close(fd);
  return ntohs(a.sin_port);
}

TEST(Metrics, WatchServesTheOffsetPerSourceAndTheChecksOutcomes) {
  if (!ParserAvailable()) GTEST_SKIP() << "python3-prometheus-client is not installed";
  NtpStub a(NtpStubMode::Good, 1500), b(NtpStubMode::Good, 1500), skewed(NtpStubMode::Good, 9000);
  const auto address = [](const NtpStub& s) { return "ntp://127.0.0.1:" + std::to_string(s.Port()); };
  const std::string port = std::to_string(FreeTcpPort());
  char scraped[] = "/tmp/borvane-metrics-XXXXXX";
  ::close(mkstemp(scraped));
  const std::string url = "http://127.0.0.1:" + port + "/metrics";
  const std::string script =
      std::string("\"") + BORVANE_BINARY + "\" watch --dry-run --metrics 127.0.0.1:" + port +
      " --service " + address(a) + " --service " + address(skewed) + " --service " + address(b) +
      " & pid=$!; i=0; while [ $i -lt 100 ]; do i=$((i+1)); curl -sf " + url + " > " + scraped +
      " && grep -q 'outcome=\"checked\"} 1' " + scraped + " && break; sleep 0.1; done; " +
      "curl -s -o /dev/null -w '%{http_code}\\n' http://127.0.0.1:" + port + "/other; " +
      "kill -TERM $pid; wait $pid";
  const testing::ProcessResult r = testing::RunProcess({"/bin/sh", "-c", script});
  EXPECT_EQ(r.ExitCode, 0) << r.Err;
  EXPECT_NE(r.Out.find("\n404\n"), std::string::npos) << r.Out;

  const testing::ProcessResult parsed = testing::RunProcess({kPython, "-c", kParse, scraped});
  ::unlink(scraped);
  ASSERT_EQ(parsed.ExitCode, 0) << parsed.Err;
  const auto m = nlohmann::json::parse(parsed.Out).get<std::map<std::string, double>>();
  // The servers run 1.5 s ahead: this clock is behind.
  // (Within the bound the check gives, which a loaded machine widens.)
  const double bound = m.at("borvane_clock_offset_bound_seconds{}");
  EXPECT_NEAR(m.at("borvane_clock_offset_seconds{}"), -1.5, bound + 1e-6);
  EXPECT_LT(bound, 0.1);
  EXPECT_GT(m.at("borvane_check_round_trip_seconds{}"), 0);
  EXPECT_GT(m.at("borvane_last_check_timestamp_seconds{}"), 1.7e9);
  EXPECT_EQ(m.at("borvane_checks_total{outcome=checked}"), 1);
  EXPECT_EQ(m.at("borvane_checks_total{outcome=failed}"), 0);
  EXPECT_EQ(m.at("borvane_source_kept{service=" + address(skewed) + "}"), 0);
  EXPECT_EQ(m.at("borvane_source_kept{service=" + address(a) + "}"), 1);
  // Its own offset, within what a loaded machine's round trips allow.
  EXPECT_NEAR(m.at("borvane_clock_offset_seconds{service=" + address(skewed) + "}"), -9, 0.01);
}

TEST(Metrics, ServeCountsItsAnswersAndTimesThem) {
  if (!ParserAvailable()) GTEST_SKIP() << "python3-prometheus-client is not installed";
  const std::string port = std::to_string(FreeTcpPort());
  const std::string metrics_port = std::to_string(FreeTcpPort());
  char scraped[] = "/tmp/borvane-metrics-XXXXXX";
  ::close(mkstemp(scraped));
  const std::string base = "http://127.0.0.1:" + port;
  const std::string script =
      std::string("\"") + BORVANE_BINARY + "\" serve --listen 127.0.0.1:" + port +
      " --metrics 127.0.0.1:" + metrics_port + " & pid=$!; i=0; while [ $i -lt 100 ]; do " +
      "i=$((i+1)); curl -sf " + base + "/times/nolvera.aspx?borvane=12345 >/dev/null && break; " +
      "sleep 0.05; done; for q in 1 2 3 4; do curl -s " + base + "/times/nolvera.aspx?borvane=12345 " +
      ">/dev/null; done; curl -s " + base + "/times/nolvera.aspx?borvane=bad >/dev/null; " +
      "curl -sf http://127.0.0.1:" + metrics_port + "/metrics > " + scraped + "; kill -TERM $pid; wait $pid";
  const testing::ProcessResult r = testing::RunProcess({"/bin/sh", "-c", script});
  EXPECT_EQ(r.ExitCode, 0) << r.Err;
  const testing::ProcessResult parsed = testing::RunProcess({kPython, "-c", kParse, scraped});
  ::unlink(scraped);
  ASSERT_EQ(parsed.ExitCode, 0) << parsed.Err;
  const auto m = nlohmann::json::parse(parsed.Out).get<std::map<std::string, double>>();
  EXPECT_EQ(m.at("borvane_service_requests_total{result=answered}"), 5);
  EXPECT_EQ(m.at("borvane_service_requests_total{result=refused}"), 1);
  EXPECT_EQ(m.at("borvane_service_requests_total{result=dropped}"), 0);
  EXPECT_EQ(m.at("borvane_service_open_connections{}"), 0);
  // Every answer written once, each in some bucket.
  EXPECT_EQ(m.at("borvane_service_answer_seconds_count{}"), 6);
  EXPECT_EQ(m.at("borvane_service_answer_seconds_bucket{le=+Inf}"), 6);
  EXPECT_GT(m.at("borvane_service_answer_seconds_sum{}"), 0);
  EXPECT_LE(m.at("borvane_service_answer_seconds_bucket{le=0.0001}"),
            m.at("borvane_service_answer_seconds_bucket{le=1}"));
}

TEST(Metrics, LabelValuesAreEscaped) {
  EXPECT_EQ(MetricLabel("a\"b\\c\nd"), "a\\\"b\\\\c\\nd");
}

}  // namespace
}  // namespace borvane
