// borvane: check this computer's clock against a Beijing-time service,
// set it, or run the reference service. This program runs the headless
// commands and hands the rest over (app/hand_over.cpp).

#include <CLI/CLI.hpp>

#include <cstdio>
#include <exception>

#include "app/commands.h"
#include "container/utf8.h"

int main(int argc, char** argv) {
  // A check against the reference service started in this process needs
  // the service's server code, which only borvane-serve carries.
  if (borvane::app::NeedsEmbeddedService(argc, argv)) {
    return borvane::app::HandOver(borvane::app::kServiceProgram, argv);
  }

  CLI::App app{"borvane: checks this computer's clock against a Beijing-time (GMT+8) service,\n"
               "sets it, and runs the reference time service.",
               "borvane"};
  app.require_subcommand(1);
  app.fallthrough(false);

  int status = 0;
  borvane::app::AddHandedOverCommands(app, status, argv);
  borvane::app::AddQueryCommand(app, status);
  borvane::app::AddSetCommand(app, status);
  borvane::app::AddWatchCommand(app, status);
  borvane::app::AddDecryptCommand(app, status);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "borvane: %s\n", borvane::EscapeControls(e.what()).c_str());
    return 1;
  }
  return status;
}
