// borvane: check this computer's clock against a Beijing-time service,
// set it, or run the reference service. This program runs the headless
// commands and hands the rest over (app/hand_over.cpp).

#include <CLI/CLI.hpp>

#include "app/commands.h"

int main(int argc, char** argv) {
  // A check against the reference service started in this process needs
  // the service's server code, which only borvane-serve carries.
  if (borvane::app::NeedsEmbeddedService(argc, argv)) {
    return borvane::app::HandOver(borvane::app::kServiceProgram, argv);
  }

  CLI::App app{"borvane: checks this computer's clock against a Beijing-time (GMT+8) service,\n"
               "sets it, and runs the reference time service.",
               "borvane"};

  int status = 0;
  borvane::app::AddHandedOverCommands(app, status, argv);
  borvane::app::AddQueryCommand(app, status);
  borvane::app::AddSetCommand(app, status);
  borvane::app::AddWatchCommand(app, status);
  borvane::app::AddDecryptCommand(app, status);

  return borvane::app::ParseAndRun(app, argc, argv, status);
}
