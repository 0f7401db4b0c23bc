// The real text engine and the gallery pictures. Assertions hold for any
// installed font: only sizes and the presence of ink are checked.

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "container/picture.h"
#include "platform/gtk/gallery.h"
#include "platform/gtk/pango_text_engine.h"
#include "platform/posix/png_writer.h"

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

class PngFile : public ::testing::Test {
 protected:
  void SetUp() override {
    m_Dir = std::filesystem::temp_directory_path() /
            ("borvane_png_" + std::to_string(::getpid()) + "_" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(m_Dir);
    std::filesystem::create_directories(m_Dir);
    std::ofstream(m_Dir / "old.png") << "old";
  }
  void TearDown() override { std::filesystem::remove_all(m_Dir); }

  std::string Contents(const std::filesystem::path& file) const {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(m_Dir)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  std::filesystem::path m_Dir;
  const Image m_Picture{353, 167, 0xFF336699u};
};

TEST_F(PngFile, ReplacesALinkRatherThanWritingThroughItAndKeepsPermissionBits) {
  std::filesystem::create_symlink(m_Dir / "old.png", m_Dir / "link.png");
  WritePng(m_Picture, m_Dir / "link.png");
  EXPECT_FALSE(std::filesystem::is_symlink(m_Dir / "link.png"));
  EXPECT_TRUE(Contents(m_Dir / "old.png") == "old") << "the link's target is untouched";
  EXPECT_TRUE(Contents(m_Dir / "link.png").starts_with("\x89PNG"));

  std::filesystem::permissions(m_Dir / "old.png", std::filesystem::perms(0640));
  WritePng(m_Picture, m_Dir / "old.png");
  EXPECT_EQ(std::filesystem::status(m_Dir / "old.png").permissions(), std::filesystem::perms(0640));
  EXPECT_EQ(Names(), (std::vector<std::string>{"link.png", "old.png"}));
}

// A file size limit fails the write part way, as a full disk does.
TEST_F(PngFile, AFailedWriteKeepsTheOldFileRemovesItsTemporaryAndSaysWhy) {
  struct rlimit saved {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = saved;
  small.rlim_cur = 1000;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  // Noise, so that the picture cannot compress below the limit.
  Image noise(353, 167);
  std::uint32_t seed = 1;
  for (std::int32_t y = 0; y < noise.Height(); ++y) {
    for (std::int32_t x = 0; x < noise.Width(); ++x) {
      seed = seed * 1664525u + 1013904223u;
      noise.Set(x, y, seed | 0xFF000000u);
    }
  }
  std::string message;
  try {
    WritePng(noise, m_Dir / "old.png");
  } catch (const std::runtime_error& e) {
    message = e.what();
  }
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, old_handler);
  EXPECT_NE(message.find((m_Dir / "old.png").string() + ": " + std::strerror(EFBIG)),
            std::string::npos)
      << message;
  EXPECT_TRUE(Contents(m_Dir / "old.png") == "old") << "the old file is untouched";
  EXPECT_EQ(Names(), (std::vector<std::string>{"old.png"}));
}

}  // namespace
}  // namespace borvane
