// The panel in a real window under a virtual X server: it queries a
// reference service on creation, a real pointer click on 查询 sends a
// second query, and Ctrl+Q closes the window and ends the program cleanly.
// The panel runs with --dry-run, so no click can touch the machine's clock.

#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "service/time_service.h"
#include "support/process.h"

namespace borvane::testing {
namespace {

namespace fs = std::filesystem;

bool OnPath(const char* program) {
  return std::system((std::string("command -v ") + program + " >/dev/null 2>&1").c_str()) == 0;
}

// Runs inside xvfb-run: starts the panel, finds its window, then clicks and
// closes when the test says so (by creating the files "click" and "close").
// Each wait is bounded, so a lost window ends the script instead of hanging.
constexpr const char* kScript = R"(set -u
cd "$DIR"
"$BORVANE" panel --service "$URL" --dry-run >panel.out 2>panel.err &
pid=$!
wid=$(timeout 90 xdotool search --sync --onlyvisible --name '^Nolvera$' | head -n1)
if [ -z "$wid" ]; then echo "no panel window" >&2; kill "$pid"; exit 2; fi
echo "$wid" >window
for _ in $(seq 1200); do [ -e click ] && break; sleep 0.1; done
# 查询 is Command1: 296, 32, 41 x 25 pixels inside the group box at 0, 0.
xdotool mousemove --window "$wid" 316 44 click 1
for _ in $(seq 1200); do [ -e close ] && break; sleep 0.1; done
xdotool windowfocus "$wid"
xdotool key ctrl+q
( sleep 60; kill "$pid" ) >/dev/null 2>&1 &
watchdog=$!
wait "$pid"
status=$?
kill "$watchdog" 2>/dev/null
echo "panel exit $status"
exit "$status"
)";

std::string Slurp(const fs::path& file) {
  std::ifstream in(file);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void Touch(const fs::path& file) { std::ofstream(file) << "\n"; }

// Waits for the script's handshake file; bounded, so a dead session fails
// the test instead of hanging it.
bool AppearsWithin(const fs::path& file, std::chrono::seconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!fs::exists(file)) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

// One session of the script against `url`; `between` runs once the window
// is up and before the test lets the script click; `after_click` before it
// lets the script close the window.
struct Session {
  ProcessResult Result;
  std::string PanelErr;
  bool Shown = false;
};

Session RunSession(const std::string& url, const std::function<void()>& before_click,
                   const std::function<void()>& after_click) {
  const fs::path dir =
      fs::temp_directory_path() / ("borvane-panel-window-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  std::ofstream(dir / "run.sh") << kScript;

  Session session;
  std::thread runner([&] {
    session.Result = RunProcess({"/usr/bin/xvfb-run", "-a", "-s", "-screen 0 640x480x24",
                                 "/bin/bash", (dir / "run.sh").string()},
                                // GTK keeps process-wide caches that a sanitizer
                                // build's leak checker would count against the
                                // program; the same panel code is leak-checked in
                                // the headless tests.
                                {"BORVANE=" BORVANE_BINARY, "URL=" + url, "DIR=" + dir.string(),
                                 "ASAN_OPTIONS=detect_leaks=0"},
                                240);
  });
  session.Shown = AppearsWithin(dir / "window", std::chrono::seconds(120));
  if (session.Shown) before_click();
  Touch(dir / "click");
  if (session.Shown) after_click();
  Touch(dir / "close");
  runner.join();
  session.PanelErr = Slurp(dir / "panel.err");
  fs::remove_all(dir);
  return session;
}

bool ToolsPresent() { return OnPath("xvfb-run") && OnPath("xdotool"); }

TEST(PanelWindow, ARealClickOnTheQueryButtonAsksTheServiceAgainAndTheWindowClosesCleanly) {
  if (!ToolsPresent()) GTEST_SKIP() << "xvfb-run and xdotool are needed (scripts/setup.sh installs them)";
  TimeService service(TimeServiceOptions{});
  service.Start();
  // Creation runs the first query as the window is shown; the click must
  // add one more.
  std::uint64_t before_click = 0;
  bool second = false;
  const Session s = RunSession(
      service.BaseUrl(),
      [&] {
        // The window is up before its first query has necessarily arrived.
        service.WaitForTimeQueries(1, std::chrono::seconds(120));
        before_click = service.TimeQueries();
      },
      [&] { second = service.WaitForTimeQueries(before_click + 1, std::chrono::seconds(120)); });
  service.Stop();

  const std::string output = s.Result.Out + s.Result.Err;
  EXPECT_TRUE(s.Shown) << "no window\n" << output;
  EXPECT_GE(before_click, 1u) << "no query at creation";
  EXPECT_TRUE(second) << "the click sent no query\n" << output;
  EXPECT_EQ(s.Result.ExitCode, 0) << output << s.PanelErr;
  EXPECT_NE(s.Result.Out.find("panel exit 0"), std::string::npos) << s.Result.Out;
  EXPECT_EQ(s.PanelErr.find("borvane:"), std::string::npos) << "an error was reported: " << s.PanelErr;
}

TEST(PanelWindow, ErrorsFromADeadServiceAreReportedWhileTheWindowStaysUp) {
  if (!ToolsPresent()) GTEST_SKIP() << "xvfb-run and xdotool are needed (scripts/setup.sh installs them)";
  TimeService service(TimeServiceOptions{});
  service.Start();
  const std::string url = service.BaseUrl();
  service.Stop();  // nothing answers there now

  const Session s = RunSession(url, [] {}, [] {});
  const std::string output = s.Result.Out + s.Result.Err;
  EXPECT_TRUE(s.Shown) << "no window\n" << output;
  // Creation's query and the click's each fail and are reported.
  std::size_t reports = 0;
  for (std::size_t at = s.PanelErr.find("(error 35750)"); at != std::string::npos;
       at = s.PanelErr.find("(error 35750)", at + 1)) {
    ++reports;
  }
  EXPECT_EQ(reports, 2u) << s.PanelErr;
  EXPECT_NE(s.Result.Out.find("panel exit 0"), std::string::npos) << "it closed cleanly\n" << output;
}

// Answers a time query only when the test lets it (or after 30 s).
class HeldService {
 public:
  HeldService() {
    m_Server.Get("/times/nolvera.aspx", [this](const httplib::Request&, httplib::Response& res) {
      ++Asked;
      std::unique_lock lock(m_Mutex);
      m_Released.wait_for(lock, std::chrono::seconds(30), [this] { return m_Let; });
      Answered = true;
      res.status = 503;
      res.set_content("later", "text/plain");
    });
    m_Port = m_Server.bind_to_any_port("127.0.0.1");
    m_Thread = std::thread([this] { m_Server.listen_after_bind(); });
    while (!m_Server.is_running()) std::this_thread::yield();
  }
  ~HeldService() {
    Let();
    m_Server.stop();
    m_Thread.join();
  }
  void Let() {
    {
      std::lock_guard lock(m_Mutex);
      m_Let = true;
    }
    m_Released.notify_all();
  }
  std::string Url() const { return "http://127.0.0.1:" + std::to_string(m_Port); }

  std::atomic<int> Asked{0};
  std::atomic<bool> Answered{false};

 private:
  httplib::Server m_Server;
  std::thread m_Thread;
  int m_Port = 0;
  std::mutex m_Mutex;
  std::condition_variable m_Released;
  bool m_Let = false;
};

TEST(PanelWindow, TheWindowIsPaintedWhileTheFirstQueryWaitsForTheService) {
  if (!OnPath("xvfb-run")) GTEST_SKIP() << "xvfb-run is needed (scripts/setup.sh installs it)";
  HeldService service;
  const fs::path dir =
      fs::temp_directory_path() / ("borvane-panel-held-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  // The program prints its first frame and closes the window then.
  std::ofstream(dir / "run.sh") << "cd \"$DIR\"\n"
                                   "BORVANE_PANEL_FIRST_FRAME_EXIT=1 \"$BORVANE\" panel --service "
                                   "\"$URL\" --dry-run >panel.out 2>panel.err\n"
                                   "echo \"panel exit $?\"\n";
  ProcessResult result;
  std::thread runner([&] {
    result = RunProcess({"/usr/bin/xvfb-run", "-a", "-s", "-screen 0 640x480x24", "/bin/bash",
                         (dir / "run.sh").string()},
                        {"BORVANE=" BORVANE_BINARY, "URL=" + service.Url(), "DIR=" + dir.string(),
                         "no_proxy=127.0.0.1", "NO_PROXY=127.0.0.1", "ASAN_OPTIONS=detect_leaks=0"},
                        240);
  });
  bool painted_while_waiting = false;
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (std::chrono::steady_clock::now() < end && !service.Answered) {
    if (Slurp(dir / "panel.out").find("first frame after") != std::string::npos) {
      // Still waiting: the service holds its answer, and the query has not
      // given up by its own deadline either (that would be reported).
      painted_while_waiting = service.Asked > 0 && !service.Answered &&
                              Slurp(dir / "panel.err").find("borvane:") == std::string::npos;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  service.Let();
  runner.join();
  const std::string err = Slurp(dir / "panel.err");
  fs::remove_all(dir);
  EXPECT_TRUE(painted_while_waiting) << "no frame while the query was pending\n"
                                     << result.Out << result.Err << err;
  EXPECT_NE(result.Out.find("panel exit 0"), std::string::npos) << result.Out << result.Err << err;
}

}  // namespace
}  // namespace borvane::testing
