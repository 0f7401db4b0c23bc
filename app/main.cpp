// borvane: check this computer's clock against a Beijing-time service,
// set it, or run the reference service.

#include <CLI/CLI.hpp>

#include <cstdio>
#include <exception>

#include "app/commands.h"
#include "container/utf8.h"

int main(int argc, char** argv) {
  CLI::App app{"borvane: checks this computer's clock against a Beijing-time (GMT+8) service,\n"
               "sets it, and runs the reference time service.",
               "borvane"};
  app.require_subcommand(1);
  app.fallthrough(false);

  int status = 0;
  borvane::app::AddPanelCommand(app, status);
  borvane::app::AddQueryCommand(app, status);
  borvane::app::AddSetCommand(app, status);
  borvane::app::AddDecryptCommand(app, status);
  borvane::app::AddServeCommand(app, status);
  borvane::app::AddGalleryCommand(app, status);

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
