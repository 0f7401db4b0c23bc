// The drawing surface, pictures and the image strip.

#include <gtest/gtest.h>

#include "container/error.h"
#include "container/picture.h"
#include "container/surface.h"

namespace borvane {
namespace {

constexpr Pixel kRed = 0xFF0000FFu;
constexpr Pixel kGreen = 0xFF00FF00u;
constexpr Pixel kBlue = 0xFFFF0000u;
constexpr Pixel kWhite = 0xFFFFFFFFu;

// A 2 × 2 picture: red green / blue white.
Picture Quad(std::optional<Colour> transparent = std::nullopt) {
  Image image(2, 2);
  image.Set(0, 0, kRed);
  image.Set(1, 0, kGreen);
  image.Set(0, 1, kBlue);
  image.Set(1, 1, kWhite);
  return Picture::FromImage(image, transparent);
}

// Black, in pixels.
void Blacken(Surface& surface) {
  surface.SetBackColor(colours::kBlack);
  surface.Cls();
  surface.SetScaleMode(Surface::kPixels);
}

TEST(SurfaceUnits, TwipsByDefaultAndPixelsAfterScaleModeThree) {
  Surface surface({41, 25});
  EXPECT_EQ(surface.ScaleWidth(), 615.0f);
  EXPECT_EQ(surface.ScaleHeight(), 375.0f);
  surface.SetScaleMode(Surface::kPixels);
  EXPECT_EQ(surface.ScaleWidth(), 41.0f);
  EXPECT_EQ(surface.ScaleHeight(), 25.0f);
  EXPECT_EQ(surface.ScaleLeft(), 0.0f);
  EXPECT_EQ(surface.ScaleTop(), 0.0f);
  try {
    surface.SetScaleMode(7);
    FAIL() << "unit 7 accepted";
  } catch (const Error& e) {
    EXPECT_EQ(e.Code(), ErrorCode::InvalidPropertyValue);
  }
}

TEST(SurfaceRetention, ClsFillsWithTheResolvedBackColourAndGrowingKeepsTheDrawing) {
  Surface surface({3, 2});
  surface.SetBackColor(Colour(0x00FFFF00u));
  surface.Cls();
  EXPECT_EQ(surface.At(2, 1), 0xFFFFFF00u);
  surface.SetBackColor(colours::kWindowBackground);
  surface.SetPixelSize({4, 3});
  EXPECT_EQ(surface.At(2, 1), 0xFFFFFF00u) << "old drawing kept";
  EXPECT_EQ(surface.At(3, 2), 0xFFFFFFFFu) << "new area in the window colour";
  EXPECT_NE(Surface({1, 1}).hWnd(), surface.hWnd());
}

TEST(PaintPicture, OneToOneCopiesThePixels) {
  Surface surface({4, 4});
  Blacken(surface);
  surface.PaintPicture(Quad(), 1, 1, 2, 2, 0, 0, 2, 2);
  EXPECT_EQ(surface.At(1, 1), kRed);
  EXPECT_EQ(surface.At(2, 1), kGreen);
  EXPECT_EQ(surface.At(1, 2), kBlue);
  EXPECT_EQ(surface.At(2, 2), kWhite);
  EXPECT_EQ(surface.At(0, 0), 0xFF000000u);
  EXPECT_EQ(surface.At(3, 3), 0xFF000000u);
}

TEST(PaintPicture, StretchesByNearestPixel) {
  Surface surface({6, 4});
  Blacken(surface);
  surface.PaintPicture(Quad(), 0, 0, 6, 4, 0, 0, 2, 2);
  for (int x = 0; x < 6; ++x) {
    EXPECT_EQ(surface.At(x, 0), x < 3 ? kRed : kGreen) << x;
    EXPECT_EQ(surface.At(x, 3), x < 3 ? kBlue : kWhite) << x;
  }
  EXPECT_EQ(surface.At(0, 1), kRed);
  EXPECT_EQ(surface.At(0, 2), kBlue);
}

TEST(PaintPicture, ShrinksAndStretchesOneSourceColumn) {
  Surface surface({5, 2});
  Blacken(surface);
  // Column 1 of the picture stretched to five pixels, one row high.
  surface.PaintPicture(Quad(), 0, 0, 5, 1, 1, 0, 1, 1);
  for (int x = 0; x < 5; ++x) EXPECT_EQ(surface.At(x, 0), kGreen);
  // The whole picture shrunk to one pixel takes its centre's nearest: white.
  surface.PaintPicture(Quad(), 0, 1, 1, 1, 0, 0, 2, 2);
  EXPECT_EQ(surface.At(0, 1), kWhite);
}

TEST(PaintPicture, SkipsTheTransparentColourAndZeroAlpha) {
  Surface surface({2, 2});
  Blacken(surface);
  surface.PaintPicture(Quad(Colour(0x0000FF00u)), 0, 0, 2, 2, 0, 0, 2, 2);
  EXPECT_EQ(surface.At(1, 0), 0xFF000000u) << "green is the transparent colour";
  EXPECT_EQ(surface.At(0, 0), kRed);

  Image image(1, 1, 0x00FFFFFFu);  // alpha 0, as a GIF's transparent entry decodes
  Surface second({1, 1});
  Blacken(second);
  second.PaintPicture(Picture::FromImage(image), 0, 0, 1, 1, 0, 0, 1, 1);
  EXPECT_EQ(second.At(0, 0), 0xFF000000u);
}

TEST(PaintPicture, ClipsToTheSurfaceAndSkipsEmptyPieces) {
  Surface surface({2, 2});
  Blacken(surface);
  surface.PaintPicture(Quad(), -1, -1, 2, 2, 0, 0, 2, 2);
  EXPECT_EQ(surface.At(0, 0), kWhite);
  EXPECT_EQ(surface.At(1, 0), 0xFF000000u);
  surface.PaintPicture(Quad(), 1, 1, 4, 4, 0, 0, 2, 2);
  EXPECT_EQ(surface.At(1, 1), kRed);
  const Image before = surface.Pixels();
  surface.PaintPicture(Quad(), 0, 0, 0, 2, 0, 0, 2, 2);
  surface.PaintPicture(Quad(), 0, 0, -2, 2, 0, 0, 2, 2);
  surface.PaintPicture(Quad(), 0, 0, 2, 2, 0, 0, 2, -1);
  EXPECT_EQ(surface.Pixels(), before);
}

TEST(PaintPicture, DestinationIsInTheSurfaceUnit) {
  Surface surface({4, 4});
  surface.SetBackColor(colours::kBlack);
  surface.Cls();
  surface.PaintPicture(Quad(), 15, 15, 30, 30, 0, 0, 2, 2);  // twips: pixels 1..2
  EXPECT_EQ(surface.At(1, 1), kRed);
  EXPECT_EQ(surface.At(2, 2), kWhite);
  EXPECT_EQ(surface.At(3, 3), 0xFF000000u);
}

TEST(PictureClip, CellsAreTheGridRegionsLeftToRight) {
  Image strip(6, 2);
  for (int x = 0; x < 6; ++x) {
    strip.Set(x, 0, 0xFF000000u | static_cast<Pixel>(x));
    strip.Set(x, 1, 0xFF000000u | static_cast<Pixel>(x + 16));
  }
  PictureClip clip;
  clip.SetPicture(Picture::FromImage(strip));
  clip.SetColumns(3);
  const Picture cell = clip.GraphicCell(2);
  ASSERT_EQ(cell.Width(), 2);
  ASSERT_EQ(cell.Height(), 2);
  EXPECT_EQ(cell.At(0, 0), 0xFF000004u);
  EXPECT_EQ(cell.At(1, 1), 0xFF000015u);
  for (std::int16_t bad : {std::int16_t{-1}, std::int16_t{3}}) {
    try {
      (void)clip.GraphicCell(bad);
      FAIL() << "cell " << bad << " given";
    } catch (const Error& e) {
      EXPECT_EQ(e.Code(), ErrorCode::InvalidPropertyValue);
    }
  }
}

TEST(Pictures, UndecodableBytesAndMissingResourcesRaiseInvalidPicture) {
  const std::uint8_t junk[] = {1, 2, 3, 4};
  try {
    (void)DecodePicture(junk);
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(e.Code(), ErrorCode::InvalidPicture);
  }
  try {
    (void)EmbeddedPicture("no_such_picture.bmp");
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(e.Code(), ErrorCode::InvalidPicture);
  }
}

}  // namespace
}  // namespace borvane
