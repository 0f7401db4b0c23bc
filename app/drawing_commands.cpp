// `borvane panel` and `borvane gallery` draw, with pango, cairo and (for the
// window) GTK. Those libraries cost a headless command tens of milliseconds
// and megabytes just to load, so the drawing commands live in a second
// program, borvane-panel, and `borvane` hands over to it with exec: same
// process, same arguments, nothing of the first program left behind.

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "app/commands.h"

#ifndef BORVANE_LIBEXEC_RELATIVE
#define BORVANE_LIBEXEC_RELATIVE "../libexec/borvane"
#endif

namespace borvane::app {
namespace {

constexpr const char* kDrawingProgram = "borvane-panel";

// Taken while the program is loaded, before main.
const auto g_ProcessStart = std::chrono::steady_clock::now();

// Beside this program (the build tree), else in the installed libexec
// folder relative to it, so an unpacked or relocated tree works too.
std::filesystem::path FindDrawingProgram() {
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return {};
  const std::filesystem::path candidates[] = {
      self.parent_path() / kDrawingProgram,
      self.parent_path() / BORVANE_LIBEXEC_RELATIVE / kDrawingProgram,
  };
  for (const auto& candidate : candidates) {
    if (access(candidate.c_str(), X_OK) == 0) return candidate.lexically_normal();
  }
  return {};
}

void HandOver(char** argv, int& status) {
  const std::filesystem::path program = FindDrawingProgram();
  if (program.empty()) {
    std::fprintf(stderr, "borvane %s: the drawing program %s is not installed beside borvane\n",
                 argv[1], kDrawingProgram);
    status = 1;
    return;
  }
  // The panel's start-to-first-frame figure counts from this process's
  // start, not the exec.
  const auto start = std::chrono::duration_cast<std::chrono::nanoseconds>(
      g_ProcessStart.time_since_epoch());
  setenv("BORVANE_PROCESS_START_NS", std::to_string(start.count()).c_str(), 1);
  std::fflush(nullptr);
  execv(program.c_str(), argv);
  std::fprintf(stderr, "borvane %s: cannot start %s: %s\n", argv[1], program.c_str(),
               std::strerror(errno));
  status = 1;
}

CLI::App* AddForwarded(CLI::App& app, const char* name, const char* description) {
  CLI::App* command = app.add_subcommand(name, description);
  // Every argument, --help included, is the drawing program's to read.
  command->prefix_command();
  command->set_help_flag();
  command->allow_extras();
  return command;
}

}  // namespace

void AddDrawingCommands(CLI::App& app, int& status, char** argv) {
  for (const auto& [name, description] :
       {std::pair{"panel", "Show the time panel in a window (headless with --snapshot or without a "
                           "display); see borvane panel --help"},
        std::pair{"gallery", "Write PNG pictures of the controls' faces and frames into DIR"}}) {
    AddForwarded(app, name, description)->callback([argv, &status] { HandOver(argv, status); });
  }
}

}  // namespace borvane::app
