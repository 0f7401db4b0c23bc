// The panel in a real window under a virtual X server: it queries a
// reference service on creation, a real pointer click on 查询 sends a
// second query, and Ctrl+Q closes the window and ends the program cleanly.
// The panel runs with --dry-run, so no click can touch the machine's clock.

#include <gtest/gtest.h>

#include <chrono>
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
  // Creation runs the first query before the window is shown; the click
  // must add one more.
  std::uint64_t before_click = 0;
  bool second = false;
  const Session s = RunSession(
      service.BaseUrl(), [&] { before_click = service.TimeQueries(); },
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

}  // namespace
}  // namespace borvane::testing
