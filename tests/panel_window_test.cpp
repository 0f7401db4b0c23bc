// The panel in a real window under a virtual X server: it queries a
// reference service on creation, a real pointer click on 查询 sends a
// second query, and Ctrl+Q closes the window and ends the program cleanly.
// The panel runs with --dry-run, so no click can touch the machine's clock.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
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
xdotool windowfocus --sync "$wid"
xdotool key ctrl+q
( sleep 60; kill "$pid" 2>/dev/null ) &
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

TEST(PanelWindow, ARealClickOnTheQueryButtonAsksTheServiceAgainAndTheWindowClosesCleanly) {
  if (!OnPath("xvfb-run") || !OnPath("xdotool")) {
    GTEST_SKIP() << "xvfb-run and xdotool are needed (scripts/setup.sh installs them)";
  }
  TimeService service(TimeServiceOptions{});
  service.Start();
  const fs::path dir = fs::temp_directory_path() / ("borvane-panel-window-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  std::ofstream(dir / "run.sh") << kScript;

  ProcessResult result;
  std::thread session([&] {
    result = RunProcess({"/usr/bin/xvfb-run", "-a", "-s", "-screen 0 640x480x24", "/bin/bash",
                         (dir / "run.sh").string()},
                        {"BORVANE=" BORVANE_BINARY, "URL=" + service.BaseUrl(), "DIR=" + dir.string()},
                        240);
  });

  // Creation runs the first query before the window is shown; the click
  // must add one more.
  const bool first = service.WaitForTimeQueries(1, std::chrono::seconds(120));
  const bool shown = AppearsWithin(dir / "window", std::chrono::seconds(120));
  const std::uint64_t before_click = service.TimeQueries();
  Touch(dir / "click");
  const bool second =
      first && shown && service.WaitForTimeQueries(before_click + 1, std::chrono::seconds(120));
  Touch(dir / "close");
  session.join();
  service.Stop();

  EXPECT_TRUE(first) << "no query at creation\n" << result.Out << result.Err;
  EXPECT_TRUE(shown) << "no window\n" << result.Out << result.Err;
  EXPECT_TRUE(second) << "the click sent no query\n" << result.Out << result.Err;
  EXPECT_EQ(result.ExitCode, 0) << result.Out << result.Err << Slurp(dir / "panel.err");
  EXPECT_NE(result.Out.find("panel exit 0"), std::string::npos) << result.Out;
  const std::string errors = Slurp(dir / "panel.err");
  EXPECT_EQ(errors.find("borvane:"), std::string::npos) << "an error was reported: " << errors;
  fs::remove_all(dir);
}

}  // namespace
}  // namespace borvane::testing
