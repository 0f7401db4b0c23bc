#pragma once
// The borvane program's subcommands. Each registers itself on the parser
// and, when chosen, runs and leaves the process exit status in `status`.

#include <CLI/CLI.hpp>

#include <cstdio>
#include <exception>
#include <string>

#include "container/utf8.h"

namespace borvane::app {

void AddQueryCommand(CLI::App& app, int& status);
void AddSetCommand(CLI::App& app, int& status);
void AddDecryptCommand(CLI::App& app, int& status);
void AddServeCommand(CLI::App& app, int& status);
void AddPanelCommand(CLI::App& app, int& status);
void AddGalleryCommand(CLI::App& app, int& status);
void AddWatchCommand(CLI::App& app, int& status);

// The programs `borvane` hands commands over to (app/hand_over.cpp).
inline constexpr const char* kDrawingProgram = "borvane-panel";   // panel, gallery
inline constexpr const char* kServiceProgram = "borvane-serve";   // serve, embedded checks
// `panel`, `gallery` and `serve` as `borvane` offers them: handed over,
// with all of `argv`, to the program that runs them.
void AddHandedOverCommands(CLI::App& app, int& status, char** argv);
// Starts `program` in this process's place with `argv`; returns (with an
// exit status, after saying why on stderr) only when it cannot.
int HandOver(const char* program, char** argv);
// Whether argv asks for a check with no service address given and none
// built in: then the check needs the reference service in-process.
bool NeedsEmbeddedService(int argc, char** argv);

// Parses argv and runs the chosen command. Gives the process exit status:
// CLI11's own for --help, 2 for a usage error (a bad option or value), 1
// for an error that leaves a command, else what the command left. Errors
// are one line on stderr, control characters escaped (a message may quote
// the service or what was typed).
inline constexpr int kUsageStatus = 2;
inline int ParseAndRun(CLI::App& app, int argc, char** argv, const int& status) {
  app.require_subcommand(1);
  app.fallthrough(false);
  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& e) {  // --help
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    std::string message = e.what();
    // CLI11 only says that a command is missing when the one typed is unknown.
    if (app.get_subcommands().empty() && argc > 1 && argv[1][0] != '-') {
      message = "unknown command \"" + std::string(argv[1]) + "\"";
    }
    std::fprintf(stderr, "borvane: %s\n", EscapeControls(message).c_str());
    return kUsageStatus;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "borvane: %s\n", EscapeControls(e.what()).c_str());
    return 1;
  }
  return status;
}

}  // namespace borvane::app
