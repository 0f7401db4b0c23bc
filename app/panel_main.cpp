// borvane-panel: the drawing half of the borvane program (`panel` and
// `gallery`). `borvane panel ...` and `borvane gallery ...` start it in
// their own place with the same arguments, so it reads the same command
// line and calls itself borvane.

#include <CLI/CLI.hpp>

#include <cstdio>
#include <exception>

#include "app/commands.h"

int main(int argc, char** argv) {
  CLI::App app{"borvane: the time panel and the controls' picture gallery.", "borvane"};
  app.require_subcommand(1);
  app.fallthrough(false);

  int status = 0;
  borvane::app::AddPanelCommand(app, status);
  borvane::app::AddGalleryCommand(app, status);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "borvane: %s\n", e.what());
    return 1;
  }
  return status;
}
