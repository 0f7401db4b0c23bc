// `borvane query` and `borvane set`: one time check, and one clock setting,
// by a headless client against the chosen time service.

#include <cstdio>
#include <optional>

#include "app/check_plan.h"
#include "app/client_report.h"
#include "app/commands.h"
#include "client/client.h"
#include "client/panel_texts.h"
#include "platform/gtk/headless_panel.h"
#include "platform/posix/posix_clock.h"

namespace borvane::app {
namespace {

// Passes everything to the real clock but remembers the record it was asked
// to set; with `dry_run` it accepts the record without touching the clock.
class RecordingClock final : public Clock {
 public:
  RecordingClock(Clock& inner, bool dry_run) : m_Inner(inner), m_DryRun(dry_run) {}

  SystemTime Now() override { return m_Inner.Now(); }
  std::int32_t UtcOffsetSeconds(std::int64_t utc) override { return m_Inner.UtcOffsetSeconds(utc); }
  std::int32_t SetLocalTime(const SystemTime& time, std::int64_t utc_ms) override {
    Record = time;
    Result = m_DryRun ? 1 : m_Inner.SetLocalTime(time, utc_ms);
    return Result;
  }

  std::optional<SystemTime> Record;
  std::int32_t Result = 0;

 private:
  Clock& m_Inner;
  bool m_DryRun;
};

struct CheckOptions {
  std::vector<std::string> services;
  int samples = 0;
  std::string ca_file;
  bool json = false;
  bool dry_run = false;
};

void Print(const std::string& text) { std::fwrite(text.data(), 1, text.size(), stdout); }

int RunCheck(const CheckOptions& options, bool set_clock) {
  CheckPlan plan(options.services, options.samples, options.ca_file);
  PosixClock real_clock;
  RecordingClock clock(real_clock, options.dry_run);
  CurlTransfer plain;
  HeadlessCheck headless(clock, plan.PanelUrl(), plan.PanelTransfer(plain));
  client& panel = headless.Panel;

  try {
    plain.SetCaFile(options.ca_file);
    panel.UserControl_Initialize();
    if (set_clock) panel.Command2_Click();
  } catch (const Error& e) {
    std::fprintf(stderr, "borvane %s: %s\n", set_clock ? "set" : "query", DescribeError(e).c_str());
    // Scripts still get each source's figures and why they were refused.
    if (options.json && plan.Combined() != nullptr) {
      nlohmann::json out = ClientJson(panel);
      plan.AddSourcesJson(panel, real_clock, out);
      Print(JsonLine(out));
    }
    return 1;
  }

  if (options.json) {
    nlohmann::json out = ClientJson(panel);
    plan.AddSourcesJson(panel, real_clock, out);
    if (set_clock) out["record"] = clock.Record ? RecordJson(*clock.Record) : nlohmann::json(nullptr);
    Print(JsonLine(out));
  } else {
    Print(ClientText(panel));
    if (set_clock && clock.Record) {
      const SystemTime& r = *clock.Record;
      char line[160];
      std::snprintf(line, sizeof line,
                    "%s record: %d-%02d-%02d %02d:%02d:%02d.%03d (local time)\n",
                    options.dry_run ? "would set" : "set", r.wYear, r.wMonth, r.wDay, r.wHour,
                    r.wMinute, r.wSecond, r.wMilliseconds);
      Print(line);
    }
    Print("service: " + plan.Describe() + "\n");
  }

  if (!set_clock) {
    // Every attempt gave up: the texts above show it, and scripts see it.
    if (panel.Label1.Caption() == panel::kDelayMessage) {
      std::fprintf(stderr,
                   "borvane query: no usable service time: every attempt's round trip was too long\n");
      return 1;
    }
    return 0;
  }
  // A check that ended without setting the clock is a failure for scripts,
  // whatever the panel's status line says to a person.
  if (!clock.Record) {
    std::fprintf(stderr, "borvane set: the clock was not set: no usable service time\n");
    return 1;
  }
  if (clock.Result == 0) {
    std::fprintf(stderr, "borvane set: the clock was not set: the system refused (%s)\n",
                 real_clock.LastError().c_str());
    return 1;
  }
  return 0;
}

void AddCheckOptions(CLI::App* command, CheckOptions& options) {
  AddSourceOptions(command, options.services, options.samples);
  command->add_option("--ca-file", options.ca_file,
                      "PEM file of the CA certificates to trust for an https:// service "
                      "(default: the system's store)")
      ->check(CLI::ExistingFile);
  command->add_flag("--json", options.json, "print one JSON object keyed by element name");
}

}  // namespace

void AddQueryCommand(CLI::App& app, int& status) {
  auto options = std::make_shared<CheckOptions>();
  CLI::App* command = app.add_subcommand(
      "query", "Check this computer's clock against the time service and print the panel's texts");
  AddCheckOptions(command, *options);
  command->callback([options, &status] { status = RunCheck(*options, false); });
}

void AddSetCommand(CLI::App& app, int& status) {
  auto options = std::make_shared<CheckOptions>();
  CLI::App* command = app.add_subcommand(
      "set", "Run a fresh check and set this computer's clock to the service time");
  AddCheckOptions(command, *options);
  command->add_flag("--dry-run", options->dry_run,
                    "print the clock record instead of setting the clock");
  command->callback([options, &status] { status = RunCheck(*options, true); });
}

}  // namespace borvane::app
