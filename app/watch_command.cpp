// `borvane watch`: the panel's hourly re-check as a long-running service,
// on GLib's main loop (the panel window's loop, without GTK). SIGTERM and
// SIGINT end it cleanly with status 0.

#include <glib-unix.h>
#include <glib.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <memory>

#include "app/check_plan.h"
#include "app/commands.h"
#include "app/hourly_watch.h"
#include "app/watch_metrics.h"
#include "platform/posix/curl_transfer.h"
#include "platform/gtk/glib_event_loop.h"
#include "platform/posix/metrics_server.h"
#include "platform/posix/posix_clock.h"

namespace borvane::app {
namespace {

struct WatchOptions {
  std::vector<std::string> services;
  int samples = 0;
  bool dry_run = false;
  std::string metrics;
};

struct MainLoopFree {
  void operator()(GMainLoop* loop) const { g_main_loop_unref(loop); }
};

// One line each, flushed at once: under a service manager stdout is a pipe
// into the journal.
void Log(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

int RunWatch(const WatchOptions& options) {
  CheckPlan plan(options.services, options.samples, std::string());
  PosixClock clock;
  CurlTransfer transfer;
  GlibEventLoop loop;
  loop.TickFailed = [](const char* message) { Log(std::string("tick failed: ") + message); };

  std::unique_ptr<GMainLoop, MainLoopFree> main_loop(g_main_loop_new(nullptr, FALSE));
  const auto stop = [](gpointer data) -> gboolean {
    g_main_loop_quit(static_cast<GMainLoop*>(data));
    return G_SOURCE_CONTINUE;
  };
  const guint on_term = g_unix_signal_add(SIGTERM, stop, main_loop.get());
  const guint on_int = g_unix_signal_add(SIGINT, stop, main_loop.get());

  Log("borvane watch: checking against " + plan.Describe() + " every hour" +
      (options.dry_run ? " (dry run: the clock is not set)" : ""));
  {
    HourlyWatch watch(clock, plan.PanelTransfer(transfer), loop, plan.PanelUrl(), options.dry_run, Log);
    watch.RefusalReason = [&clock] { return clock.LastError(); };
    std::unique_ptr<MetricsServer> metrics_server;
    WatchMetrics metrics;
    if (!options.metrics.empty()) {
      metrics_server = std::make_unique<MetricsServer>(options.metrics);
      metrics_server->Publish(metrics.Render());
      const std::string host = options.metrics.substr(0, options.metrics.rfind(':'));
      Log("borvane watch: metrics at http://" + host + ":" + std::to_string(metrics_server->Port()) +
          "/metrics");
      watch.Checked = [&](const std::string& outcome) {
        nlohmann::json report;
        plan.AddSourcesJson(watch.Panel(), clock, report);
        const double now = std::chrono::duration<double>(
                               std::chrono::system_clock::now().time_since_epoch()).count();
        metrics.Record(outcome, report, now);
        metrics_server->Publish(metrics.Render());
      };
    }
    watch.Start();
    g_main_loop_run(main_loop.get());
  }
  g_source_remove(on_term);
  g_source_remove(on_int);
  Log("borvane watch: stopped");
  return 0;
}

}  // namespace

void AddWatchCommand(CLI::App& app, int& status) {
  auto options = std::make_shared<WatchOptions>();
  CLI::App* command = app.add_subcommand(
      "watch",
      "Check the clock now and set it at every full hour of the service, logging one line per "
      "check (the panel's hourly re-check without a window; SIGTERM stops it)");
  AddSourceOptions(command, options->services, options->samples);
  command->add_flag("--dry-run", options->dry_run,
                    "never set the clock; log what would be set");
  command->add_option("--metrics", options->metrics,
                      "serve Prometheus metrics (the offset, per source too, and the checks' "
                      "outcomes) at http://HOST:PORT/metrics");
  command->callback([options, &status] { status = RunWatch(*options); });
}

}  // namespace borvane::app
