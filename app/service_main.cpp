// borvane-serve: the headless commands with the reference time service
// linked in. `borvane serve ...`, and a check with no service address
// (which then runs against the service started in this process), start it
// in their own place with the same arguments.

#include <CLI/CLI.hpp>

#include "app/commands.h"

int main(int argc, char** argv) {
  CLI::App app{"borvane: checks this computer's clock against a Beijing-time (GMT+8) service,\n"
               "sets it, and runs the reference time service.",
               "borvane"};

  int status = 0;
  borvane::app::AddQueryCommand(app, status);
  borvane::app::AddSetCommand(app, status);
  borvane::app::AddWatchCommand(app, status);
  borvane::app::AddServeCommand(app, status);

  return borvane::app::ParseAndRun(app, argc, argv, status);
}
