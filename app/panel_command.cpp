// `borvane panel`: the time panel in a GTK window; headless (a first query,
// the panel's texts and a PNG of it) with --snapshot or when no display is
// available. Both build the panel the same way: a client on the host's
// site, then its creation notification.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "app/check_plan.h"
#include "app/client_report.h"
#include "app/commands.h"
#include "client/client.h"
#include "platform/gtk/headless_panel.h"
#include "container/basic_site.h"
#include "container/manual_event_loop.h"
#include "platform/posix/curl_transfer.h"
#include "platform/gtk/pango_text_engine.h"
#include "platform/posix/png_writer.h"
#include "platform/posix/posix_clock.h"
#ifdef BORVANE_HAVE_GTK
#include "platform/gtk/glib_worker_transfer.h"
#include "platform/gtk/gtk_window.h"
#endif

namespace borvane::app {
namespace {

// The start of the "process start to first frame" figure: when `borvane`
// handed over to this program, the time it was loaded (it passes it on),
// else the time this one was loaded, before main.
std::chrono::steady_clock::time_point ProcessStart() {
  static const auto loaded = std::chrono::steady_clock::now();
  if (const char* passed = std::getenv("BORVANE_PROCESS_START_NS")) {
    return std::chrono::steady_clock::time_point(std::chrono::nanoseconds(std::atoll(passed)));
  }
  return loaded;
}
const auto g_ProcessStart = ProcessStart();

constexpr const char* kDefaultSnapshot = "borvane-panel.png";
constexpr const char* kWindowTitle = "Nolvera";
// Set (to anything) to print the time from start to the first frame and
// the resident memory then, and close the window.
constexpr const char* kFirstFrameVariable = "BORVANE_PANEL_FIRST_FRAME_EXIT";

struct PanelOptions {
  std::vector<std::string> services;
  int samples = 0;
  std::string snapshot;
  bool dry_run = false;
};

// Reads the real clock; with `dry_run` accepts every setting without
// touching the clock and says what it would have set.
class PanelClock final : public Clock {
 public:
  explicit PanelClock(bool dry_run) : m_DryRun(dry_run) {}
  SystemTime Now() override { return m_Real.Now(); }
  std::int32_t UtcOffsetSeconds(std::int64_t utc) override { return m_Real.UtcOffsetSeconds(utc); }
  std::int32_t SetLocalTime(const SystemTime& t, std::int64_t utc_ms) override {
    if (!m_DryRun) {
      const std::int32_t result = m_Real.SetLocalTime(t, utc_ms);
      if (result == 0) {
        std::fprintf(stderr, "borvane panel: the clock was not set: %s\n",
                     m_Real.LastError().c_str());
      }
      return result;
    }
    std::printf("would set the clock to %d-%02d-%02d %02d:%02d:%02d.%03d (local time)\n", t.wYear,
                t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds);
    std::fflush(stdout);
    return 1;
  }

 private:
  PosixClock m_Real;
  bool m_DryRun;
};

// The resident memory of this process in kB, from /proc (0 where there is none).
long ResidentKb() {
  std::FILE* status = std::fopen("/proc/self/status", "r");
  if (status == nullptr) return 0;
  char line[256];
  long kb = 0;
  while (std::fgets(line, sizeof line, status) != nullptr) {
    if (std::sscanf(line, "VmRSS: %ld kB", &kb) == 1) break;
  }
  std::fclose(status);
  return kb;
}

void Print(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

int RunHeadless(CheckPlan& plan, Clock& clock, const std::string& file) {
  CurlTransfer plain;
  HeadlessPanel headless(clock, plan.PanelUrl(), plan.PanelTransfer(plain));
  client& panel = headless.Panel;
  panel.Initialize();

  Print(PanelText(panel));
  Print("service: " + plan.Describe() + "\n");
  try {
    WritePng(panel.Compose(), file);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "borvane panel: %s\n", e.what());
    return 1;
  }
  Print("picture: " + file + "\n");
  for (const Error& error : headless.Site.Errors) {
    std::fprintf(stderr, "borvane panel: %s\n", DescribeError(error).c_str());
  }
  return headless.Site.Errors.empty() ? 0 : 1;
}

#ifdef BORVANE_HAVE_GTK
int RunWindow(CheckPlan& plan, Clock& clock) {
  CurlTransfer plain;
  Transfer& curl = plan.PanelTransfer(plain);
  PangoTextEngine text;
  GtkControlHost host(text, "client1");
  // Fetches run on a worker and complete on the main loop, so the window
  // paints, takes input and ticks while a query waits for the service.
  GlibWorkerTransfer transfer(curl);
  transfer.AfterCompletion = [&host] { host.Redraw(); };
  transfer.CompletionFailed = [&host](const char* message) { host.ReportFailure(message); };
  client panel(host, ClientServices{clock, transfer, plan.PanelUrl()});
  host.ToolTipAt = [&panel](float x, float y) { return panel.ToolTipAt(x, y); };
  host.MoveFocus = [&panel](bool backwards) { return panel.MoveFocus(backwards); };
  host.FocusLeft = [&panel] { panel.ClearFocus(); };
  host.Attach(panel);

  ControlWindowOptions options;
  options.Title = kWindowTitle;
  // The first query runs with the window up.
  options.Shown = [&panel] { panel.Initialize(); };
  if (std::getenv(kFirstFrameVariable) != nullptr) {
    options.FirstFrame = [] {
      const auto elapsed = std::chrono::steady_clock::now() - g_ProcessStart;
      std::printf("first frame after %.1f ms; resident memory %ld kB\n",
                  std::chrono::duration<double, std::milli>(elapsed).count(), ResidentKb());
      std::fflush(stdout);
      CloseControlWindow();
    };
  }
  RunControlWindow(options, host);
  host.Detach();
  return 0;
}
#endif

int RunPanel(const PanelOptions& options) {
  CheckPlan plan(options.services, options.samples, std::string());
  PanelClock clock(options.dry_run);
  if (!options.snapshot.empty()) return RunHeadless(plan, clock, options.snapshot);
#ifdef BORVANE_HAVE_GTK
  if (OpenDisplay()) return RunWindow(plan, clock);
  std::fprintf(stderr, "borvane panel: no display; running headless, the picture goes to %s\n",
               kDefaultSnapshot);
#else
  std::fprintf(stderr, "borvane panel: built without GTK; running headless, the picture goes to %s\n",
               kDefaultSnapshot);
#endif
  return RunHeadless(plan, clock, kDefaultSnapshot);
}

}  // namespace

void AddPanelCommand(CLI::App& app, int& status) {
  auto options = std::make_shared<PanelOptions>();
  CLI::App* command = app.add_subcommand(
      "panel", "Show the time panel in a window (headless with --snapshot or without a display)");
  AddSourceOptions(command, options->services, options->samples);
  command->add_option("--snapshot", options->snapshot,
                      "run headless: one query, print the panel's texts, write a PNG of the panel");
  command->add_flag("--dry-run", options->dry_run,
                    "accept clock settings without touching the clock, printing what would be set");
  command->callback([options, &status] { status = RunPanel(*options); });
}

}  // namespace borvane::app
