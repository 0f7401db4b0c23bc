// Button faces: the strip, the nine pieces, which face rests, and the
// caption's place.

#include <gtest/gtest.h>

#include "container/error.h"
#include "resources/embedded.h"
#include "support/button_probe.h"
#include "support/fake_site.h"
#include "xpcmdbutton/face_pieces.h"
#include "xpcmdbutton/xpcmdbutton.h"

namespace borvane {
namespace {

using testing::FakeSite;
using testing::ShownCell;

TEST(FacePieces, AtThePanelSizeTheNinePiecesTileTheFace) {
  const auto p = FacePieces(41, 25);
  const std::array<FacePiece, 9> want{{
      {{0, 0, 3, 3}, {0, 0, 3, 3}},
      {{38, 0, 3, 3}, {15, 0, 3, 3}},
      {{38, 22, 3, 3}, {15, 18, 3, 3}},
      {{0, 22, 3, 3}, {0, 18, 3, 3}},
      {{3, 0, 35, 3}, {3, 0, 12, 3}},
      {{38, 3, 3, 19}, {15, 3, 3, 15}},
      {{0, 3, 3, 19}, {0, 3, 3, 15}},
      {{3, 22, 35, 3}, {3, 18, 12, 3}},
      {{3, 3, 35, 19}, {3, 3, 12, 15}},
  }};
  EXPECT_EQ(p, want);
}

TEST(FacePieces, AtSixPixelsTheCornersMeetAndTheRestIsEmpty) {
  const auto p = FacePieces(6, 6);
  EXPECT_EQ(p[1].Destination, (RectF{3, 0, 3, 3}));
  EXPECT_EQ(p[2].Destination, (RectF{3, 3, 3, 3}));
  for (int i = 4; i < 9; ++i) {
    const RectF d = p[i].Destination;
    EXPECT_TRUE(d.Width == 0 || d.Height == 0) << "piece " << i + 1;
  }
}

TEST(FacePieces, HeightMinusSixIsSixteenBit) {
  EXPECT_EQ(FacePieces(10, 32773)[8].Destination.Height, 32767.0f);
  try {
    (void)FacePieces(10, 32774);
    FAIL() << "no overflow";
  } catch (const Error& e) {
    EXPECT_EQ(e.Code(), ErrorCode::Overflow);
  }
}

TEST(FaceStrip, IsAPalettisedBitmapOfFiveCellsWhereHotAndHighlightDifferOnlyInTheRing) {
  const auto bytes = EmbeddedResource("face_strip.bmp");
  ASSERT_EQ(bytes.size(), 3010u);
  EXPECT_EQ(bytes[28], 8) << "8 bits per pixel";
  const Picture strip = EmbeddedPicture("face_strip.bmp");
  ASSERT_EQ(strip.Width(), 90);
  ASSERT_EQ(strip.Height(), 21);
  const auto in_ring = [](int x, int y) {
    const bool rows = (y == 1 || y == 2 || y == 18 || y == 19) && x >= 1 && x <= 16;
    const bool sides = (x == 1 || x == 2 || x == 15 || x == 16) && y >= 3 && y <= 17;
    return rows || sides;
  };
  int ring_differences = 0;
  for (int y = 0; y < 21; ++y) {
    for (int x = 0; x < 18; ++x) {
      const Pixel plain = strip.At(x, y);
      for (int cell : {3, 4}) {
        const Pixel other = strip.At(18 * cell + x, y);
        if (!in_ring(x, y)) {
          EXPECT_EQ(other, plain) << "cell " << cell << " at " << x << "," << y;
        }
        if (other != plain) ++ring_differences;
      }
    }
  }
  EXPECT_GT(ring_differences, 100);
  // Pixels are 0xAABBGGRR: the colour with alpha 0xFF.
  EXPECT_EQ(strip.At(9, 0), 0xFF743C00u) << "outline";
  EXPECT_EQ(strip.At(9, 1), 0xFFFFFFFFu);
  EXPECT_EQ(strip.At(9, 16), 0xFFEAF0F0u);
  EXPECT_EQ(strip.At(18 + 9, 1), 0xFFC1CCD1u) << "pressed top row";
  EXPECT_EQ(strip.At(36 + 9, 0), 0xFFBAC7C9u) << "disabled outline";
  EXPECT_EQ(strip.At(36, 0), 0xFFFFFFFFu) << "disabled corner";
  EXPECT_EQ(strip.At(54 + 9, 19), 0xFF0097E5u) << "hot ring bottom";
  EXPECT_EQ(strip.At(72 + 9, 1), 0xFFFFE7CEu) << "highlight ring top";
}

class ButtonFace : public ::testing::Test {
 protected:
  void Place(Size size) {
    button.InitProperties();
    button.Resize(size);
    button.Show();
  }
  FakeSite site;
  xpcmdbutton button{site};
};

TEST_F(ButtonFace, AtCellSizeEveryFaceReproducesItsCellPixelForPixel) {
  Place({18, 21});
  const auto expect_cell = [&](std::int16_t cell) {
    const Picture picture = button.FaceStrip().GraphicCell(cell);
    EXPECT_EQ(button.DrawingSurface().Pixels(), picture.ToImage()) << "cell " << cell;
  };
  expect_cell(0);
  button.MouseDown(1, 0, 1, 1);
  expect_cell(1);
  button.MouseUp(1, 0, 1, 1);
  button.MouseMove(0, 0, 1, 1);
  expect_cell(3);
  button.SetState(1);
  expect_cell(4);
  button.SetEnabled(false);
  expect_cell(2);
}

TEST_F(ButtonFace, StretchedFacesKeepTheRingTwoPixelsWide) {
  Place({41, 25});
  button.MouseMove(0, 0, 40, 1);
  const Surface& s = button.DrawingSurface();
  const Picture hot = button.FaceStrip().GraphicCell(3);
  EXPECT_EQ(s.At(20, 1), hot.At(9, 1));
  EXPECT_EQ(s.At(20, 2), hot.At(9, 2));
  EXPECT_EQ(s.At(20, 22), hot.At(9, 18));
  EXPECT_EQ(s.At(20, 23), hot.At(9, 19));
  EXPECT_EQ(s.At(1, 12), hot.At(1, 10));
  EXPECT_EQ(s.At(39, 12), hot.At(16, 10));
  EXPECT_EQ(s.At(20, 12), hot.At(9, 10)) << "centre stretched from the cell's centre";
  EXPECT_EQ(s.At(40, 24), hot.At(17, 20)) << "corner copied";
}

TEST_F(ButtonFace, RestFaceFollowsStateZeroAndOneAndIgnoresOtherValues) {
  Place({41, 25});
  EXPECT_EQ(ShownCell(button), 0);
  button.SetState(1);
  EXPECT_EQ(ShownCell(button), 4);
  button.SetState(2);
  EXPECT_EQ(ShownCell(button), 4) << "2 keeps the previous rest face";
  EXPECT_EQ(button.State(), 2);
  button.SetState(0);
  EXPECT_EQ(ShownCell(button), 0);
}

TEST_F(ButtonFace, ANewButtonGivenStateFiveShowsThePlainFace) {
  Place({41, 25});
  button.SetState(5);
  EXPECT_EQ(ShownCell(button), 0);
  EXPECT_EQ(button.RestFace(), 0);
}

TEST_F(ButtonFace, DisabledShowsCellTwoWhateverTheStateAndKeepsTheRestFace) {
  Place({41, 25});
  button.SetState(1);
  button.SetEnabled(false);
  EXPECT_EQ(ShownCell(button), 2);
  button.SetState(0);
  EXPECT_EQ(ShownCell(button), 2);
  button.SetState(1);
  button.SetEnabled(true);
  EXPECT_EQ(ShownCell(button), 4);
}

TEST_F(ButtonFace, AResizeWhileHotShowsTheRestFace) {
  Place({41, 25});
  button.MouseMove(0, 0, 10, 3);
  EXPECT_EQ(ShownCell(button), 3);
  button.Resize({60, 30});
  EXPECT_EQ(ShownCell(button), 0);
  button.MouseMove(0, 0, 10, 3);
  EXPECT_EQ(ShownCell(button), 3);
}

TEST_F(ButtonFace, ATooTallFaceRaisesOverflowToTheContainerBeforeDrawing) {
  Place({6, 10});
  const Image before = button.DrawingSurface().Pixels();
  site.Clear();
  button.Resize({6, 32774});
  ASSERT_EQ(site.Errors.size(), 1u);
  EXPECT_EQ(site.Errors[0].Code(), ErrorCode::Overflow);
  const Surface& s = button.DrawingSurface();
  for (int y = 0; y < 10; ++y) {
    for (int x = 0; x < 6; ++x) ASSERT_EQ(s.At(x, y), before.At(x, y)) << x << "," << y;
  }
  EXPECT_NE(s.At(0, 20), before.At(0, 0)) << "the new rows hold the background only";
}

TEST_F(ButtonFace, CaptionIsCentredOnTheFace) {
  site.DisplayName = "abcd";  // 29 × 13 in the test metrics
  Place({41, 25});
  const Label& lbl = button.CaptionLabel();
  EXPECT_EQ(lbl.Width(), 29.0f);
  EXPECT_EQ(lbl.Height(), 13.0f);
  EXPECT_EQ(lbl.Left(), 6.0f);
  EXPECT_EQ(lbl.Top(), 6.0f);
  EXPECT_TRUE(lbl.Transparent());
  EXPECT_TRUE(lbl.AutoSize());
}

TEST_F(ButtonFace, ALongerCaptionIsCentredOnTheSameLine) {
  site.DisplayName = "abcd";
  Place({41, 25});
  const Label& lbl = button.CaptionLabel();
  const float centre = lbl.Left() + lbl.Width() / 2;
  button.SetCaption("abcdefg");
  EXPECT_EQ(lbl.Width(), 47.0f);
  EXPECT_EQ(lbl.Left(), -3.0f);
  EXPECT_EQ(lbl.Left() + lbl.Width() / 2, centre);
}

TEST_F(ButtonFace, AFontChangeCentresTheCaptionAtItsNewSize) {
  site.DisplayName = "ab";
  Place({41, 25});
  button.SetFont(MakeFont("Arial", 4.5));  // half size: 3 px a character, 7 px high (6.5 rounded)
  const Label& lbl = button.CaptionLabel();
  EXPECT_EQ(lbl.Width(), 11.0f);
  EXPECT_EQ(lbl.Height(), 7.0f);
  EXPECT_EQ(lbl.Left(), 15.0f);
  EXPECT_EQ(lbl.Top(), 9.0f);
}

TEST_F(ButtonFace, TheCaptionIsDrawnAboveTheFaceWhichShowsAroundIt) {
  site.DisplayName = "ab";
  Place({41, 25});
  const Image frame = button.Compose();
  const Label& lbl = button.CaptionLabel();
  const int x = static_cast<int>(lbl.Left()) + 2;
  const int y = static_cast<int>(lbl.Top()) + 2;
  EXPECT_EQ(frame.At(x, y), 0xFF000000u) << "black glyph";
  EXPECT_EQ(frame.At(static_cast<int>(lbl.Left()), y), button.DrawingSurface().At(
                static_cast<int>(lbl.Left()), y)) << "transparent around the glyph";
}

}  // namespace
}  // namespace borvane
