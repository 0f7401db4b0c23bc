#pragma once
// The borvane program's subcommands. Each registers itself on the parser
// and, when chosen, runs and leaves the process exit status in `status`.

#include <CLI/CLI.hpp>

namespace borvane::app {

void AddQueryCommand(CLI::App& app, int& status);
void AddSetCommand(CLI::App& app, int& status);
void AddDecryptCommand(CLI::App& app, int& status);
void AddServeCommand(CLI::App& app, int& status);
void AddPanelCommand(CLI::App& app, int& status);
void AddGalleryCommand(CLI::App& app, int& status);
void AddWatchCommand(CLI::App& app, int& status);
// `panel` and `gallery` as `borvane` offers them: handed over, with all of
// `argv`, to the drawing program borvane-panel.
void AddDrawingCommands(CLI::App& app, int& status, char** argv);

}  // namespace borvane::app
