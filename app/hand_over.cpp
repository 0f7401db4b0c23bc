// What `borvane` hands over to its other halves. Loading a library costs a
// command its start-up work whether it is used or not: GTK, pango and cairo
// tens of milliseconds and megabytes, the reference service's HTTP server
// and TLS libraries several milliseconds more. So `borvane` itself links
// neither. `panel` and `gallery` run in borvane-panel, `serve` (and a check
// that needs the embedded reference service) in borvane-serve; `borvane`
// starts them in its own place with exec: same process, same arguments.

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>

#include "app/commands.h"

#ifndef BORVANE_LIBEXEC_RELATIVE
#define BORVANE_LIBEXEC_RELATIVE "../libexec/borvane"
#endif
#ifndef BORVANE_SERVICE_URL
#define BORVANE_SERVICE_URL ""
#endif

namespace borvane::app {
namespace {

// Taken while the program is loaded, before main.
const auto g_ProcessStart = std::chrono::steady_clock::now();

// Beside this program (the build tree), else in the installed libexec
// folder relative to it, so an unpacked or relocated tree works too.
std::filesystem::path FindProgram(const char* name) {
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return {};
  const std::filesystem::path candidates[] = {
      self.parent_path() / name,
      self.parent_path() / BORVANE_LIBEXEC_RELATIVE / name,
  };
  for (const auto& candidate : candidates) {
    if (access(candidate.c_str(), X_OK) == 0) return candidate.lexically_normal();
  }
  return {};
}

CLI::App* AddHandedOver(CLI::App& app, const char* name, const char* description) {
  CLI::App* command = app.add_subcommand(name, description);
  // Every argument, --help included, is the other program's to read.
  command->prefix_command();
  command->set_help_flag();
  command->allow_extras();
  return command;
}

}  // namespace

int HandOver(const char* program_name, char** argv) {
  const std::filesystem::path program = FindProgram(program_name);
  const char* command = argv[1] != nullptr ? argv[1] : "";
  if (program.empty()) {
    std::fprintf(stderr, "borvane %s: %s is not installed beside borvane\n", command, program_name);
    return 1;
  }
  // The panel's start-to-first-frame figure counts from this process's start.
  const auto start =
      std::chrono::duration_cast<std::chrono::nanoseconds>(g_ProcessStart.time_since_epoch());
  setenv("BORVANE_PROCESS_START_NS", std::to_string(start.count()).c_str(), 1);
  std::fflush(nullptr);
  execv(program.c_str(), argv);
  std::fprintf(stderr, "borvane %s: cannot start %s: %s\n", command, program.c_str(),
               std::strerror(errno));
  return 1;
}

bool NeedsEmbeddedService(int argc, char** argv) {
  if (argc < 2 || *BORVANE_SERVICE_URL != '\0') return false;
  const std::string_view command = argv[1];
  if (command != "query" && command != "set" && command != "watch") return false;
  for (int i = 2; i < argc; ++i) {
    if (std::string_view(argv[i]).substr(0, 9) == "--service") return false;
  }
  return true;
}

void AddHandedOverCommands(CLI::App& app, int& status, char** argv) {
  struct Command {
    const char* name;
    const char* program;
    const char* description;
  };
  for (const Command& c : {
           Command{"panel", kDrawingProgram,
                   "Show the time panel in a window (headless with --snapshot or without a "
                   "display)"},
           Command{"gallery", kDrawingProgram,
                   "Write PNG pictures of the controls' faces and frames into DIR"},
           Command{"serve", kServiceProgram, "Run the reference time service"},
       }) {
    AddHandedOver(app, c.name, c.description)->callback([program = c.program, argv, &status] {
      status = HandOver(program, argv);
    });
  }
}

}  // namespace borvane::app
