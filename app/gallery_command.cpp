// `borvane gallery DIR`: pictures of the controls' looks, for people to
// look at and to compare between versions.

#include <cstdio>

#include "app/commands.h"
#include "platform/gtk/gallery.h"

namespace borvane::app {

void AddGalleryCommand(CLI::App& app, int& status) {
  auto dir = std::make_shared<std::string>();
  CLI::App* command = app.add_subcommand(
      "gallery", "Write PNG pictures of the controls' faces and frames into DIR");
  command->add_option("DIR", *dir, "folder to write into (created when missing)")->required();
  command->callback([dir, &status] {
    try {
      WriteGallery(*dir);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "borvane gallery: %s\n", e.what());
      status = 1;
      return;
    }
    std::printf("borvane: wrote the gallery to %s\n", dir->c_str());
    status = 0;
  });
}

}  // namespace borvane::app
