// borvane-panel: the drawing half of the borvane program (`panel` and
// `gallery`). `borvane panel ...` and `borvane gallery ...` start it in
// their own place with the same arguments, so it reads the same command
// line and calls itself borvane.

#include <CLI/CLI.hpp>

#include "app/commands.h"

int main(int argc, char** argv) {
  CLI::App app{"borvane: the time panel and the controls' picture gallery.", "borvane"};

  int status = 0;
  borvane::app::AddPanelCommand(app, status);
  borvane::app::AddGalleryCommand(app, status);

  return borvane::app::ParseAndRun(app, argc, argv, status);
}
