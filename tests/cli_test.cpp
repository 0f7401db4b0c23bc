// The borvane program end to end: real libcurl against the reference
// service on loopback, and the command line's help, output and errors.

#include <gtest/gtest.h>

#include <httplib.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <thread>
#include <regex>

#include "service/time_service.h"
#include "support/answers.h"
#include "support/process.h"

namespace borvane {
namespace {

using testing::ProcessResult;
using testing::RunProcess;

ProcessResult Borvane(std::vector<std::string> args, std::vector<std::string> env = {},
                      int timeout_seconds = 60) {
  args.insert(args.begin(), BORVANE_BINARY);
  return RunProcess(args, env, timeout_seconds);
}

std::size_t Lines(const std::string& text) { return std::count(text.begin(), text.end(), '\n'); }

int ReportedOffset(const std::string& status) {
  static const std::regex kFigure("北京时间(快|慢)([0-9]+)ms请校准");
  std::smatch m;
  if (!std::regex_search(status, m, kFigure)) return 1 << 30;
  const int figure = std::stoi(m[2]);
  return m[1] == "快" ? figure : -figure;
}

class SkewedService : public ::testing::Test {
 protected:
  void StartService(std::int64_t offset_ms) {
    TimeServiceOptions options;
    options.offset_ms = offset_ms;
    m_Service = std::make_unique<TimeService>(options);
    m_Service->Start();
  }
  void TearDown() override {
    if (m_Service) m_Service->Stop();
  }
  std::string Url() const { return m_Service->BaseUrl(); }

  // Queries a few times and keeps the answer whose figure is nearest the
  // skew: a loaded machine can stall the client between the answer and its
  // clock reading, which adds to one measurement but not to all of them.
  // A clock read across a minute boundary gets the figure-less line, which
  // says nothing about accuracy, and is passed over the same way.
  nlohmann::json BestQuery(const std::vector<std::string>& env, int expected_offset) {
    nlohmann::json best;
    int best_error = 1 << 30;
    for (int attempt = 0; attempt < 10 && best_error > 2; ++attempt) {
      const ProcessResult r = Borvane({"query", "--service", Url(), "--json"}, env);
      EXPECT_EQ(r.ExitCode, 0) << r.Err;
      nlohmann::json state = nlohmann::json::parse(r.Out);
      const int error = std::abs(ReportedOffset(state["Label2"]) - expected_offset);
      if (best.is_null() || error < best_error) best = std::move(state), best_error = error;
    }
    return best;
  }

  std::unique_ptr<TimeService> m_Service;
};

TEST_F(SkewedService, QueryReportsTheServiceSkewWithinAFewMilliseconds) {
  // The skew is small, so a clock read across a minute boundary stays in
  // the way for well under the time the repeated checks take.
  StartService(-400);  // the service runs 400 ms behind: this clock is 400 ms fast
  const nlohmann::json state = BestQuery({"TZ=Asia/Shanghai"}, 400);
  EXPECT_NEAR(ReportedOffset(state["Label2"]), 400, 20) << state.dump();
  EXPECT_EQ(state["Label2ForeColor"], 0x4080);
  EXPECT_EQ(state["sysTimerInterval"], 1000);
  EXPECT_EQ(state["MousePointer"], 0);
  EXPECT_EQ(state["serverTimeText"].get<std::string>().size(), 23u);
}

TEST_F(SkewedService, AMachineInAnotherZoneIsComparedInItsOwnTime) {
  StartService(400);  // the service is 400 ms ahead: this clock is slow
  const nlohmann::json state = BestQuery({"TZ=UTC"}, -400);
  EXPECT_NEAR(ReportedOffset(state["Label2"]), -400, 20) << state.dump();
  // The service row still shows Beijing time, eight hours ahead of UTC.
  const std::string beijing_hour = state["Label1"].get<std::string>().substr(11, 2);
  const std::string local_hour = state["Localtime"].get<std::string>().substr(11, 2);
  EXPECT_EQ((std::stoi(local_hour) + 8) % 24, std::stoi(beijing_hour)) << state.dump();
}

TEST_F(SkewedService, DryRunSetPrintsTheLocalRecordAndLeavesTheClockAlone) {
  StartService(0);
  const ProcessResult r =
      Borvane({"set", "--service", Url(), "--dry-run", "--json"}, {"TZ=UTC"});
  ASSERT_EQ(r.ExitCode, 0) << r.Err;
  const nlohmann::json state = nlohmann::json::parse(r.Out);
  EXPECT_EQ(state["Label2"], "[ 校准系统时间成功！感谢使用！]");
  const nlohmann::json& record = state["record"];
  EXPECT_EQ(record["wDayOfWeek"], 0);
  // The record is in the machine's zone (UTC here), eight hours behind Beijing.
  const int beijing_hour = std::stoi(state["Label1"].get<std::string>().substr(11, 2));
  EXPECT_EQ((record["wHour"].get<int>() + 8) % 24, beijing_hour);
  // The local row shows the time just applied, in the machine's zone.
  char applied[32];
  std::snprintf(applied, sizeof applied, "%04d-%02d-%02d %02d:%02d:%02d", record["wYear"].get<int>(),
                record["wMonth"].get<int>(), record["wDay"].get<int>(), record["wHour"].get<int>(),
                record["wMinute"].get<int>(), record["wSecond"].get<int>());
  EXPECT_EQ(state["Localtime"], applied);
}

TEST_F(SkewedService, ASettingTheSystemRefusesFailsWithItsReason) {
  StartService(0);
  // Run with CAP_SYS_TIME gone from every set, proven first.
  const std::vector<std::string> without = {"/usr/bin/setpriv", "--bounding-set=-sys_time",
                                            "--inh-caps=-sys_time"};
  std::vector<std::string> probe = without;
  probe.insert(probe.end(), {"/bin/grep", "-E", "^Cap(Eff|Prm)", "/proc/self/status"});
  const ProcessResult caps = RunProcess(probe);
  std::smatch m;
  int without_sys_time = 0;
  static const std::regex kCaps("Cap(Eff|Prm):\\s+([0-9a-f]+)");
  for (auto it = caps.Out.cbegin(); std::regex_search(it, caps.Out.cend(), m, kCaps); it = m.suffix().first) {
    if (((std::stoull(m[2], nullptr, 16) >> 25) & 1) == 0) ++without_sys_time;  // CAP_SYS_TIME
  }
  if (caps.ExitCode != 0 || without_sys_time != 2) GTEST_SKIP() << "could not prove CAP_SYS_TIME dropped; the clock is left alone";

  std::vector<std::string> set = without;
  set.insert(set.end(), {BORVANE_BINARY, "set", "--service", Url()});
  const ProcessResult r = RunProcess(set);
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_EQ(Lines(r.Err), 1u) << r.Err;
  EXPECT_NE(r.Err.find("the clock was not set: the system refused (Operation not permitted)"),
            std::string::npos)
      << r.Err;
}

TEST(Cli, EveryCommandHasHelp) {
  for (const char* command : {"query", "set", "watch", "decrypt", "serve", "gallery"}) {
    const ProcessResult r = Borvane({command, "--help"});
    EXPECT_EQ(r.ExitCode, 0) << command;
    EXPECT_NE(r.Out.find("Usage"), std::string::npos) << command;
  }
  const ProcessResult top = Borvane({"--help"});
  EXPECT_EQ(top.ExitCode, 0);
  for (const char* command : {"query", "set", "watch", "decrypt", "serve", "gallery"}) {
    EXPECT_NE(top.Out.find(command), std::string::npos) << command;
  }
}

TEST(Cli, DecryptPrintsTheResultAndTheShiftThatReplacedTheKey) {
  const ProcessResult plain = Borvane({"decrypt", "ggg"});
  ASSERT_EQ(plain.ExitCode, 0) << plain.Err;
  EXPECT_EQ(plain.Out, "result: eg`\nshift: 6\n");

  const ProcessResult json = Borvane({"decrypt", "ggg", "--key", "", "--json"});
  ASSERT_EQ(json.ExitCode, 0) << json.Err;
  EXPECT_EQ(nlohmann::json::parse(json.Out), (nlohmann::json{{"result", "kaf"}, {"shift", "0"}}));
}

TEST(Cli, FailuresAreOneLineAndNonZero) {
  // Nothing listens on port 1 of loopback.
  const ProcessResult refused = Borvane({"query", "--service", "http://127.0.0.1:1"});
  EXPECT_NE(refused.ExitCode, 0);
  EXPECT_NE(refused.Err.find("transfer failed"), std::string::npos) << refused.Err;
  EXPECT_EQ(Lines(refused.Err), 1u) << refused.Err;

  const ProcessResult bad_url = Borvane({"query", "--service", "ftp://example"});
  EXPECT_NE(bad_url.ExitCode, 0);
  EXPECT_NE(bad_url.Err.find("http://"), std::string::npos) << bad_url.Err;

}

TEST(Cli, UsageErrorsAreOneLineQuotingWhatWasTypedWithStatusTwo) {
  struct Row {
    std::vector<std::string> Args;
    const char* Says;
  };
  const Row rows[] = {
      {{"serve", "--listen", "nowhere"}, "HOST:PORT"},
      {{"serve", "--listen", "127.0.0.1:99999"}, "from 0 to 65535, got \"99999\""},
      {{"serve", "--offset-ms", "1e3"}, "--offset-ms: must be a whole number of milliseconds, got \"1e3\""},
      // Offsets past 100 years are refused rather than wrapped into some other time.
      {{"serve", "--offset-ms", "99999999999999999999"}, "99999999999999999999 ms is beyond 100 years"},
      {{"serve", "--offset-ms", "299980000000000"}, "100 years"},
      {{"serve", "--offset-ms", "-3155760000001"}, "100 years"},
      {{"serve", "--header-deadline", "1e300"}, "from 0.001 to 86400 seconds, got \"1e300\""},
      {{"serve", "--idle-timeout", "nan"}, "from 0.001 to 86400 seconds, got \"nan\""},
      {{"frobnicate"}, "frobnicate"},
  };
  for (const Row& row : rows) {
    std::vector<std::string> args = row.Args;
    // Should a check be lost, the service starts on a free port and is cut off.
    if (args[0] == "serve" && args[1] != "--listen") args.insert(args.end(), {"--listen", "127.0.0.1:0"});
    const ProcessResult r = Borvane(args, {}, 10);
    SCOPED_TRACE(row.Args.back());
    EXPECT_EQ(r.ExitCode, 2);
    EXPECT_EQ(Lines(r.Err), 1u) << r.Err;
    EXPECT_NE(r.Err.find(row.Says), std::string::npos) << r.Err;
  }
}

TEST(Cli, ServeNamesAnIpv6AddressInBrackets) {
  // Cut off after a second: the first line is all this needs.
  const ProcessResult r = Borvane({"serve", "--listen", "[::1]:0"}, {}, 1);
  if (r.Err.find("cannot listen") != std::string::npos) GTEST_SKIP() << "no IPv6 loopback: " << r.Err;
  EXPECT_NE(r.Out.find("serving Beijing time on http://[::1]:"), std::string::npos) << r.Out;
}

// A stand-in time service on loopback that answers as told: an error page,
// an answer whose echo makes every round trip too long, or a date field
// holding terminal escape sequences.
class HostileService {
  static constexpr char kErrorPage[] =
      "\x1b]0;owned\x07\x1b[2J[ 校准系统时间成功！]\x00tail\xff" "!";

 public:
  enum class Mode { ErrorPage, TooSlow, EscapeInDate };

  HostileService() {
    m_Server.Get("/times/nolvera.aspx", [this](const httplib::Request& req, httplib::Response& res) {
      switch (m_Mode.load()) {
        case Mode::ErrorPage:
          res.status = 500;
          res.set_content(std::string(kErrorPage, sizeof kErrorPage - 1), "text/plain");
          break;
        case Mode::TooSlow:
          res.set_content(testing::MakeAnswer("99999", "2005-04-27 15:32:08.400"), "text/plain");
          break;
        case Mode::EscapeInDate:
          res.set_content(testing::MakeAnswer(req.get_param_value("borvane"),
                                              "\x1b[2J\x1b]0;pwned\x07" "12:08.500"),
                          "text/plain");
          break;
      }
    });
    m_Port = m_Server.bind_to_any_port("127.0.0.1");
    m_Thread = std::thread([this] { m_Server.listen_after_bind(); });
    while (!m_Server.is_running()) std::this_thread::yield();
  }
  ~HostileService() {
    m_Server.stop();
    m_Thread.join();
  }
  void Answer(Mode mode) { m_Mode = mode; }
  std::string Url() const { return "http://127.0.0.1:" + std::to_string(m_Port); }

 private:
  httplib::Server m_Server;
  std::thread m_Thread;
  int m_Port = 0;
  std::atomic<Mode> m_Mode{Mode::ErrorPage};
};

bool HasControl(const std::string& text) {
  return std::any_of(text.begin(), text.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return (byte < 0x20 && byte != '\n') || byte == 0x7F;
  });
}

TEST(Cli, AnswersFromOutsideNeverActOnTheTerminalAndAGivenUpQueryFails) {
  HostileService service;
  struct Row {
    HostileService::Mode mode;
    std::vector<std::string> extra;
    const char* in_err;  // the one line on stderr says this (U+FFFD for a malformed byte)
    const char* in_out;  // and the texts (or JSON) are still printed
  };
  const Row rows[] = {
      {HostileService::Mode::ErrorPage, {}, "\\x1b]0;owned\\x07\\x1b[2J[ 校准系统时间成功！]\\0tail\uFFFD!", ""},
      {HostileService::Mode::EscapeInDate, {}, "\\x1b[2J\\x1b]0;pwned\\x07", ""},
      {HostileService::Mode::TooSlow, {}, "no usable service time", "[ 网络传输延时过大。]"},
      {HostileService::Mode::TooSlow, {"--json"}, "no usable service time",
       R"("Label1":"[ 网络传输延时过大。]")"},
  };
  for (const Row& row : rows) {
    service.Answer(row.mode);
    std::vector<std::string> args{"query", "--service", service.Url()};
    args.insert(args.end(), row.extra.begin(), row.extra.end());
    const ProcessResult r = Borvane(args, {"no_proxy=127.0.0.1", "NO_PROXY=127.0.0.1"});
    EXPECT_NE(r.ExitCode, 0) << r.Out;
    EXPECT_EQ(std::count(r.Err.begin(), r.Err.end(), '\n'), 1) << r.Err;
    EXPECT_NE(r.Err.find(row.in_err), std::string::npos) << r.Err;
    EXPECT_NE(r.Out.find(row.in_out), std::string::npos) << r.Out;
    EXPECT_FALSE(HasControl(r.Err)) << r.Err;
    EXPECT_FALSE(HasControl(r.Out)) << r.Out;
  }
}

TEST(Cli, ThePanelShowsAHostileServiceRowEscaped) {
  // The query stops at the bad date; the panel still prints every row.
  HostileService service;
  service.Answer(HostileService::Mode::EscapeInDate);
  const std::string picture =
      (std::filesystem::temp_directory_path() / ("borvane-hostile-" + std::to_string(::getpid()) + ".png"))
          .string();
  const ProcessResult r = Borvane({"panel", "--service", service.Url(), "--snapshot", picture},
                                  {"no_proxy=127.0.0.1", "NO_PROXY=127.0.0.1"});
  std::filesystem::remove(picture);
  EXPECT_NE(r.Out.find("北京时间 GMT+8:00  \\x1b[2J\\x1b]0;pwned\\x07"), std::string::npos) << r.Out;
  EXPECT_FALSE(HasControl(r.Out)) << r.Out;
  EXPECT_FALSE(HasControl(r.Err)) << r.Err;
}

TEST(Cli, DecryptShowsEveryCharacterOfTheResultEscaped) {
  // Decodes to "ab", NUL, ESC "[2J", then "c".
  const std::string plain = std::string("ab") + '\0' + "\x1b[2Jc";
  const ProcessResult r = Borvane({"decrypt", testing::EncodeForDecoder(plain), "--key", "53190427"});
  ASSERT_EQ(r.ExitCode, 0) << r.Err;
  EXPECT_NE(r.Out.find("result: ab\\0\\x1b[2Jc\n"), std::string::npos) << r.Out;
  EXPECT_FALSE(HasControl(r.Out)) << r.Out;
}

}  // namespace
}  // namespace borvane
