#include "platform/gtk/gallery.h"

#include <functional>
#include <stdexcept>
#include <string>

#include "container/basic_site.h"
#include "container/manual_event_loop.h"
#include "platform/gtk/pango_text_engine.h"
#include "platform/posix/png_writer.h"
#include "xpcmdbutton/xpcmdbutton.h"
#include "xpgroupbox/xpgroupbox.h"

namespace borvane {

void WriteButtonGallery(const std::filesystem::path& dir) {
  std::filesystem::create_directories(dir);
  PangoTextEngine text;
  ManualEventLoop loop;
  FixedCursor cursor;
  BasicSite site(text, loop, cursor);
  site.DisplayName = "Command1";
  site.AmbientFontObject = MakeFont("Arial", 9);
  site.OnError = [](const Error& error) {
    throw std::runtime_error(std::string("the button reported: ") + error.what());
  };

  struct Face {
    const char* Name;
    std::function<void(xpcmdbutton&)> Show;
  };
  const Face faces[] = {
      {"rest", [](xpcmdbutton&) {}},
      {"pressed", [](xpcmdbutton& b) { b.MouseDown(1, 0, 1, 1); }},
      {"disabled", [](xpcmdbutton& b) { b.SetEnabled(false); }},
      {"hot", [](xpcmdbutton& b) { b.MouseMove(0, 0, 1, 1); }},
      {"highlighted", [](xpcmdbutton& b) { b.SetState(1); }},
  };
  for (const Size size : {Size{41, 25}, Size{18, 21}, Size{113, 77}}) {
    for (const Face& face : faces) {
      xpcmdbutton button(site);
      button.InitProperties();
      button.SetCaption("查询");
      button.Resize(size);
      button.Show();
      face.Show(button);
      const std::string name = "xpcmdbutton_" + std::to_string(size.Width) + "x" +
                               std::to_string(size.Height) + "_" + face.Name + ".png";
      WritePng(button.Compose(), dir / name);
    }
  }
}

void WriteGroupBoxGallery(const std::filesystem::path& dir) {
  std::filesystem::create_directories(dir);
  PangoTextEngine text;
  ManualEventLoop loop;
  FixedCursor cursor;
  BasicSite site(text, loop, cursor);
  site.DisplayName = "xpgroupbox1";
  site.AmbientFontObject = MakeFont("Arial", 9);
  site.OnError = [](const Error& error) {
    throw std::runtime_error(std::string("the group box reported: ") + error.what());
  };

  struct Look {
    const char* Name;
    Size Pixels;
    std::function<void(xpgroupbox&)> Apply;
  };
  const Look looks[] = {
      {"default", {200, 89}, [](xpgroupbox&) {}},
      {"banner", {353, 161},
       [](xpgroupbox& box) {
         box.SetFont(MakeFont("Arial", 8.25));
         box.SetBackColor(Colour(0x00C0FFFFu));
         box.SetCaption(" = Borvane Time Service   Nolvera  [127.0.0.1] = ");
       }},
      {"disabled", {200, 89}, [](xpgroupbox& box) { box.SetEnabled(false); }},
      {"wide_caption", {200, 89},
       [](xpgroupbox& box) {
         box.SetCaption("A caption far wider than the group box that holds it");
       }},
  };
  for (const Look& look : looks) {
    xpgroupbox box(site);
    box.InitProperties();
    look.Apply(box);
    box.Resize(look.Pixels);
    box.Show();
    const std::string name = "xpgroupbox_" + std::to_string(look.Pixels.Width) + "x" +
                             std::to_string(look.Pixels.Height) + "_" + look.Name + ".png";
    WritePng(box.Compose(), dir / name);
  }
}

void WriteGallery(const std::filesystem::path& dir) {
  WriteButtonGallery(dir);
  WriteGroupBoxGallery(dir);
}

}  // namespace borvane
