// The real text engine and the gallery pictures. Assertions hold for any
// installed font: only sizes and the presence of ink are checked.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "container/picture.h"
#include "platform/gallery.h"
#include "platform/pango_text_engine.h"
#include "platform/png_writer.h"

// Fontconfig keeps its font cache for the life of the process; the leak
// checker of sanitizer builds would report it as ours.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig\n"; }

namespace borvane {
namespace {

TEST(PangoTextEngine, LongerTextMeasuresWiderAndDrawsInk) {
  PangoTextEngine engine;
  const Font font = *MakeFont("Arial", 9);
  const Size one = engine.Measure("查", font);
  const Size two = engine.Measure("查询", font);
  EXPECT_GT(one.Width, 0);
  EXPECT_GT(one.Height, 0);
  EXPECT_GT(two.Width, one.Width);
  EXPECT_GT(engine.Measure("查询", *MakeFont("Arial", 18)).Height, two.Height);

  Image frame(40, 20, 0xFFFFFFFFu);
  engine.Draw(frame, {2, 2}, frame.Bounds(), "查询", font, Colour(0));
  int inked = 0;
  for (Pixel p : frame.Pixels()) inked += p != 0xFFFFFFFFu;
  EXPECT_GT(inked, 10);

  Image clipped(40, 20, 0xFFFFFFFFu);
  engine.Draw(clipped, {2, 2}, Rect{0, 0, 1, 1}, "查询", font, Colour(0));
  EXPECT_EQ(clipped, Image(40, 20, 0xFFFFFFFFu)) << "nothing outside the clip";
}

std::vector<std::uint8_t> ReadFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

TEST(Gallery, WritesFiveFacesAtThreeSizesAsPictures) {
  const auto dir = std::filesystem::temp_directory_path() / "borvane_gallery_test";
  std::filesystem::remove_all(dir);
  WriteButtonGallery(dir);
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    (void)entry;
    ++files;
  }
  EXPECT_EQ(files, 15);
  const Picture hot = DecodePicture(ReadFile(dir / "xpcmdbutton_41x25_hot.png"));
  EXPECT_EQ(hot.Width(), 41);
  EXPECT_EQ(hot.Height(), 25);
  EXPECT_EQ(hot.At(20, 23), 0xFF0097E5u) << "the hot ring's bottom row";
  const Picture rest = DecodePicture(ReadFile(dir / "xpcmdbutton_113x77_rest.png"));
  EXPECT_EQ(rest.At(56, 1), 0xFFFFFFFFu);
  std::filesystem::remove_all(dir);
}

TEST(Gallery, WritesTheGroupBoxAtItsDesignSizeThePanelsSizeDisabledAndOverfull) {
  const auto dir = std::filesystem::temp_directory_path() / "borvane_groupbox_gallery_test";
  std::filesystem::remove_all(dir);
  WriteGroupBoxGallery(dir);
  const struct {
    const char* Name;
    std::int32_t Width, Height;
    Pixel Back;
  } looks[] = {
      {"xpgroupbox_200x89_default.png", 200, 89, 0xFF00FFFFu},
      {"xpgroupbox_353x161_banner.png", 353, 161, 0xFFC0FFFFu},
      {"xpgroupbox_200x89_disabled.png", 200, 89, 0xFF00FFFFu},
      {"xpgroupbox_200x89_wide_caption.png", 200, 89, 0xFF00FFFFu},
  };
  for (const auto& look : looks) {
    const Picture picture = DecodePicture(ReadFile(dir / look.Name));
    ASSERT_EQ(picture.Width(), look.Width) << look.Name;
    ASSERT_EQ(picture.Height(), look.Height) << look.Name;
    // The bottom edge and the interior do not depend on the caption's font.
    EXPECT_EQ(picture.At(look.Width / 2, look.Height - 1), 0xFFBFD0D0u) << look.Name;
    EXPECT_EQ(picture.At(look.Width / 2, look.Height - 10), look.Back) << look.Name;
  }
  std::filesystem::remove_all(dir);
}

TEST(PngWriter, RefusesAPlaceItCannotWrite) {
  EXPECT_THROW(WritePng(Image(2, 2, 0xFF000000u), "/nonexistent-dir/x.png"), std::runtime_error);
}

}  // namespace
}  // namespace borvane
