// The public GTK widget against a time service that accepts and never
// answers: creating it returns at once, the application's main loop keeps
// running (its own timer fires) while the query hangs, the failure shows
// once the query's deadline has passed, and a widget destroyed meanwhile
// goes at once and calls nothing back; and the widget given several NTP
// sources shows what they agree on. Each test runs again in a child
// process under a virtual X server that it starts and stops.

#include <borvane/panel_widget.h>
#include <gtk/gtk.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "support/ntp_stub.h"
#include "support/process.h"
#include "support/raw_connection.h"

namespace borvane::testing {
namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kChildVariable = "BORVANE_WIDGET_TEST_CHILD";

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// In the parent: runs the current test in a child under xvfb-run and checks
// it passed; false. In the child: true, with GTK up.
bool InChildWithDisplay() {
  if (std::getenv(kChildVariable) != nullptr) {
    EXPECT_TRUE(gtk_init_check()) << "no display in the child";
    return true;
  }
  if (std::system("command -v xvfb-run >/dev/null 2>&1") != 0) {
    ADD_FAILURE() << "xvfb-run is needed (scripts/setup.sh installs it)";
    return false;
  }
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
  const ProcessResult child = RunProcess(
      {"/usr/bin/xvfb-run", "-a", "-s", "-screen 0 640x480x24", self,
       std::string("--gtest_filter=") + test->test_suite_name() + "." + test->name()},
      // GTK's process-wide caches would count as leaks in a sanitizer build.
      {std::string(kChildVariable) + "=1", "no_proxy=127.0.0.1", "NO_PROXY=127.0.0.1",
       "ASAN_OPTIONS=detect_leaks=0"},
      120);
  EXPECT_EQ(child.ExitCode, 0) << child.Out << child.Err;
  // Figures the child measured, for the log.
  for (std::size_t at = child.Out.find("measured:"); at != std::string::npos;
       at = child.Out.find("measured:", at + 1)) {
    std::printf("%s\n", child.Out.substr(at, child.Out.find('\n', at) - at).c_str());
  }
  return false;
}

// An application timer on the default main context, counting its ticks.
class AppTimer {
 public:
  AppTimer() : m_Source(g_timeout_add(10, &AppTimer::Tick, this)) {}
  ~AppTimer() { g_source_remove(m_Source); }
  int Ticks = 0;

 private:
  static gboolean Tick(gpointer data) {
    ++static_cast<AppTimer*>(data)->Ticks;
    return G_SOURCE_CONTINUE;
  }
  guint m_Source;
};

template <typename Done>
bool IterateUntil(Done done, std::chrono::seconds limit) {
  const auto end = Clock::now() + limit;
  while (!done() && Clock::now() < end) g_main_context_iteration(nullptr, TRUE);
  return done();
}

TEST(PanelWidget, AHungServiceNeitherDelaysCreationNorStopsTheMainLoop) {
  if (!InChildWithDisplay()) return;
  const LoopbackSocket stalled(/*listening=*/true);
  AppTimer timer;

  const auto created = Clock::now();
  PanelWidget panel({.ServiceUrl = stalled.Url(), .DryRun = true});
  const double creation_ms = MsSince(created);
  std::printf("measured: widget created in %.1f ms against a service that never answers\n",
              creation_ms);
  // Generous for a loaded machine, yet far below the 10 s a query waiting
  // on this thread would take.
  EXPECT_LT(creation_ms, 2000.0);
  int ended = 0;
  panel.OnQueryEnded([&] { ++ended; });

  // The application's timer keeps firing while the query hangs.
  ASSERT_TRUE(IterateUntil([&] { return timer.Ticks >= 50; }, std::chrono::seconds(8)));
  EXPECT_EQ(ended, 0);
  EXPECT_EQ(panel.ErrorText(), "") << "the query gave up before its deadline";

  const int ticks_before = timer.Ticks;
  ASSERT_TRUE(IterateUntil([&] { return ended > 0; }, std::chrono::seconds(30)))
      << "the query never ended";
  std::printf("measured: query ended %.1f ms after creation\n", MsSince(created));
  EXPECT_GE(MsSince(created), 9000.0) << "ended before the 10 s deadline";
  EXPECT_NE(panel.ErrorText().find("time-out"), std::string::npos) << panel.ErrorText();
  EXPECT_GT(timer.Ticks, ticks_before + 100) << "the loop stalled while the query waited";
}

TEST(PanelWidget, DestroyedDuringAHungQueryItGoesAtOnceAndNothingCallsBack) {
  if (!InChildWithDisplay()) return;
  const LoopbackSocket stalled(/*listening=*/true);
  auto panel = std::make_unique<PanelWidget>(PanelWidgetOptions{.ServiceUrl = stalled.Url(),
                                                                .DryRun = true});
  int ended = 0;
  panel->OnQueryEnded([&] { ++ended; });
  // The first query starts from the loop; give its worker time to connect.
  AppTimer timer;
  ASSERT_TRUE(IterateUntil([&] { return timer.Ticks >= 20; }, std::chrono::seconds(8)));

  const auto destroyed = Clock::now();
  panel.reset();
  const double destroy_ms = MsSince(destroyed);
  std::printf("measured: widget destroyed in %.1f ms with its query in flight\n", destroy_ms);
  EXPECT_LT(destroy_ms, 3000.0) << "the fetch was not aborted";

  const int ticks = timer.Ticks;
  IterateUntil([&] { return timer.Ticks >= ticks + 30; }, std::chrono::seconds(8));
  EXPECT_EQ(ended, 0);
}

TEST(PanelWidget, ShowsWhatSeveralNtpSourcesAgreeOn) {
  if (!InChildWithDisplay()) return;
  // Two servers 3 s ahead of this clock, 4 samples each.
  NtpStub first(NtpStubMode::Good, 3000);
  NtpStub second(NtpStubMode::Good, 3000);
  const auto address = [](const NtpStub& stub) {
    return "ntp://127.0.0.1:" + std::to_string(stub.Port());
  };
  PanelWidget panel({.ServiceUrl = "", .DryRun = true},
                    {.Services = {address(first), address(second)}, .Samples = 4});
  int ended = 0;
  panel.OnQueryEnded([&] { ++ended; });
  ASSERT_TRUE(IterateUntil([&] { return ended > 0; }, std::chrono::seconds(15)));
  EXPECT_EQ(panel.ErrorText(), "");
  EXPECT_EQ(first.Requests(), 4);
  EXPECT_EQ(second.Requests(), 4);
  // "[ 您的系统时间比北京时间慢3000ms请校准！ ]", give or take the round trip:
  // a few ms on a loaded machine, where ignoring the sources would be 3 s off.
  const std::string status = panel.StatusText();
  const std::string behind = "慢";
  const std::size_t at = status.find(behind);
  ASSERT_NE(at, std::string::npos) << status;
  EXPECT_NEAR(std::atoi(status.c_str() + at + behind.size()), 3000, 20) << status;
}

}  // namespace
}  // namespace borvane::testing
