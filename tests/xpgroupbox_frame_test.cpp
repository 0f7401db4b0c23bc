// The group box's frame: the artwork, the eight pieces, the caption
// half-height, and what a redraw leaves on the surface.

#include <gtest/gtest.h>

#include <string>

#include "container/error.h"
#include "resources/embedded.h"
#include "support/fake_site.h"
#include "xpgroupbox/frame_pieces.h"
#include "xpgroupbox/xpgroupbox.h"

namespace borvane {
namespace {

using testing::FakeSite;

constexpr Pixel kLine = 0xFFBFD0D0u;
constexpr Pixel kBlend = 0xFFC5D3D3u;
constexpr Pixel kYellow = 0xFF00FFFFu;

// The artwork as drawn: 'L' line, 'A' blending, '.' transparent.
const char* const kArtRows[kFrameArtHeight] = {
    "..LLLLLLLLLLLLLLLLLL..",  //
    ".LL................AL.",  //
    "LL..................AA",  //
    "L....................L", "L....................L", "L....................L",
    "L....................L", "L....................L", "L....................L",
    "L....................L", "L....................L", "L....................L",
    "L....................L", "L....................L", "L....................L",
    "L....................L", "L....................L",  //
    "LL..................AA",  //
    ".LL................AL.",  //
    "..LLLLLLLLLLLLLLLLLL..",
};

TEST(FrameArt, IsA97ByteGifWhosePixelsMatchTheDrawing) {
  const auto bytes = EmbeddedResource("frame.gif");
  ASSERT_EQ(bytes.size(), 97u);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 6), "GIF89a");
  EXPECT_EQ(bytes[10] & 0x87, 0x81) << "a global palette of four entries";
  // Graphic control extension right after the 12-byte palette: transparent
  // flag set, transparent index 1.
  EXPECT_EQ(bytes[25], 0x21);
  EXPECT_EQ(bytes[26], 0xF9);
  EXPECT_EQ(bytes[28] & 1, 1);
  EXPECT_EQ(bytes[31], 1);

  const Picture art = EmbeddedPicture("frame.gif");
  ASSERT_EQ(art.Width(), kFrameArtWidth);
  ASSERT_EQ(art.Height(), kFrameArtHeight);
  for (int y = 0; y < kFrameArtHeight; ++y) {
    for (int x = 0; x < kFrameArtWidth; ++x) {
      const char want = kArtRows[y][x];
      const Pixel got = art.At(x, y);
      if (want == '.') {
        EXPECT_TRUE(art.IsTransparent(got)) << x << "," << y;
      } else {
        EXPECT_EQ(got, want == 'L' ? kLine : kBlend) << x << "," << y;
      }
    }
  }
}

TEST(CaptionHalfHeight, RoundsHalvesToEvenThenHalvesDroppingTheRemainder) {
  EXPECT_EQ(CaptionHalfHeight(12.5f), 6);
  EXPECT_EQ(CaptionHalfHeight(13.5f), 7);
  EXPECT_EQ(CaptionHalfHeight(14.5f), 7);
  EXPECT_EQ(CaptionHalfHeight(15.0f), 7);
  EXPECT_EQ(CaptionHalfHeight(13.0f), 6);
  EXPECT_EQ(CaptionHalfHeight(0.0f), 0);
  EXPECT_EQ(CaptionHalfHeight(65535.0f), 32767);
  try {
    (void)CaptionHalfHeight(65536.0f);
    FAIL() << "no overflow";
  } catch (const Error& e) {
    EXPECT_EQ(e.Code(), ErrorCode::Overflow);
  }
}

TEST(FramePieces, AtTheDesignSizeWithAThirteenPixelCaption) {
  const std::array<FramePiece, kFramePieces> want{{
      {{0, 6, 3, 3}, {0, 0, 3, 3}},
      {{197, 6, 3, 3}, {19, 0, 3, 3}},
      {{197, 86, 3, 3}, {19, 17, 3, 3}},
      {{0, 86, 3, 3}, {0, 17, 3, 3}},
      {{3, 6, 194, 1}, {3, 0, 16, 1}},
      {{199, 9, 1, 77}, {21, 3, 1, 14}},
      {{3, 88, 194, 1}, {3, 19, 16, 1}},
      {{0, 9, 1, 77}, {0, 3, 1, 14}},
  }};
  EXPECT_EQ(FramePieces(200, 89, 6), want);
}

TEST(FramePieces, OnlyTheSideEdgesOverflowWhenTPlusThreeLeavesSixteenBits) {
  EXPECT_EQ(FramePieceAt(5, 200, 89, 32764).Destination.Y, 32767.0f);
  for (int index = 0; index < kFramePieces; ++index) {
    const bool side = index == 5 || index == 7;
    if (side) {
      EXPECT_THROW((void)FramePieceAt(index, 200, 89, 32765), Error) << index;
    } else {
      EXPECT_NO_THROW((void)FramePieceAt(index, 200, 89, 32767)) << index;
    }
  }
}

class Frame : public ::testing::Test {
 protected:
  void Place(Size pixels = {200, 89}) {
    box.InitProperties();
    box.Resize(pixels);
    box.Show();
    site.Clear();
  }
  Pixel At(int x, int y) const { return box.DrawingSurface().At(x, y); }
  // Pixels of the surface that are not `background`.
  int Drawn(Pixel background) const {
    int n = 0;
    for (Pixel p : box.DrawingSurface().Pixels().Pixels()) n += p != background;
    return n;
  }
  FakeSite site;
  xpgroupbox box{site};
};

TEST_F(Frame, AtTheDesignSizeTheFrameRunsThroughTheCaptionsMiddle) {
  site.DisplayName = "xpgroupbox1";
  Place();
  ASSERT_EQ(box.CaptionLabel().Height(), 13.0f);
  // Top edge at t = 6 and bottom edge at H − 1, both from x = 3 to W − 4.
  for (int x = 3; x <= 196; ++x) {
    ASSERT_EQ(At(x, 6), kLine) << x;
    ASSERT_EQ(At(x, 88), kLine) << x;
  }
  // Side edges from t + 3 to H − 4: 77 pixels each.
  for (int y = 9; y <= 85; ++y) {
    ASSERT_EQ(At(0, y), kLine) << y;
    ASSERT_EQ(At(199, y), kLine) << y;
  }
  // Corner cells; the blending pixels sit only on the right.
  EXPECT_EQ(At(0, 6), kYellow);
  EXPECT_EQ(At(1, 7), kLine);
  EXPECT_EQ(At(0, 8), kLine);
  EXPECT_EQ(At(197, 7), kBlend);
  EXPECT_EQ(At(198, 8), kBlend);
  EXPECT_EQ(At(199, 8), kBlend);
  EXPECT_EQ(At(199, 7), kYellow);
  EXPECT_EQ(At(199, 86), kBlend) << "right under the right edge's last pixel";
  EXPECT_EQ(At(197, 87), kBlend);
  EXPECT_EQ(At(197, 88), kLine) << "in line with the bottom edge";
  EXPECT_EQ(At(0, 86), kLine) << "right under the left edge's last pixel";
  EXPECT_EQ(At(2, 88), kLine);
  EXPECT_EQ(At(0, 88), kYellow);
  // Above the frame and inside it: background only. Two edges of 194, two
  // of 77, and five coloured pixels in each corner cell.
  EXPECT_EQ(At(100, 5), kYellow);
  EXPECT_EQ(At(100, 40), kYellow);
  EXPECT_EQ(Drawn(kYellow), 2 * 194 + 2 * 77 + 4 * 5);
}

TEST_F(Frame, TheOpaqueCaptionHidesTheTopEdgeBehindIt) {
  site.DisplayName = "xpgroupbox1";
  Place();
  const Label& caption = box.CaptionLabel();
  EXPECT_EQ(caption.Left(), 15.0f);
  EXPECT_EQ(caption.Top(), 0.0f);
  EXPECT_FALSE(caption.Transparent());
  const int right = 15 + static_cast<int>(caption.Width());  // first column after it
  const Image frame = box.Compose();
  EXPECT_EQ(frame.At(14, 6), kLine);
  EXPECT_EQ(frame.At(15, 6), kYellow);
  EXPECT_EQ(frame.At(right - 1, 6), kYellow);
  EXPECT_EQ(frame.At(right, 6), kLine);
  EXPECT_EQ(frame.At(16, 1), ToPixel(xpgroupbox::kEnabledCaption)) << "the first letter's ink";
}

TEST_F(Frame, ACaptionWiderThanTheBoxCoversTheTopRightCornerAndIsCutOff) {
  Place();
  box.SetCaption(std::string(40, ' '));  // blanks: no ink, only the label's background
  const float width = box.CaptionLabel().Width();
  EXPECT_EQ(width, 40 * 6 + 5.0f) << "nothing shortens the caption";
  const Image frame = box.Compose();
  EXPECT_EQ(frame.Width(), 200);
  for (int x = 15; x < 200; ++x) ASSERT_NE(frame.At(x, 6), kLine) << x;
  EXPECT_EQ(frame.At(197, 7), ToPixel(Colour(0x0000FFFFu))) << "corner cell covered";
  EXPECT_EQ(frame.At(199, 20), kLine) << "the right edge below the caption stays";
}

TEST_F(Frame, ANewBackgroundClearsEverythingButLeavesBlendingPixelsAlone) {
  Place();
  box.SetBackColor(Colour(0x00123456u));
  const Pixel back = 0xFF123456u;
  EXPECT_EQ(At(100, 40), back);
  EXPECT_EQ(At(199, 7), back) << "a transparent corner pixel";
  EXPECT_EQ(At(197, 7), kBlend);
  EXPECT_EQ(At(199, 86), kBlend);
  EXPECT_EQ(Drawn(back), 2 * 194 + 2 * 77 + 4 * 5);
  EXPECT_EQ(box.Compose().At(16, 12), back) << "the caption's background follows";
}

TEST_F(Frame, ResizingRedrawsAtTheNewSizeAndTinySizesDrawWithoutFailing) {
  Place({353, 161});
  EXPECT_EQ(At(350, 160), kLine);
  EXPECT_EQ(At(352, 100), kLine);
  EXPECT_EQ(Drawn(kYellow), 2 * 347 + 2 * 149 + 4 * 5);
  for (const Size tiny : {Size{6, 6}, Size{1, 1}, Size{200, 10}}) {
    box.Resize(tiny);
    EXPECT_EQ(box.DrawingSurface().PixelSize(), tiny);
  }
  EXPECT_TRUE(site.Errors.empty());
}

TEST(FrameOverflow, ACaptionTooTallForSixteenBitsStopsTheRedrawBeforeTheCaptionMoves) {
  FakeSite site;
  site.TextMetrics.LineHeight = 140000;  // about 128333 pixels in the fallback font
  xpgroupbox box(site);
  ASSERT_EQ(site.Errors.size(), 1u);
  EXPECT_EQ(site.Errors[0].Code(), ErrorCode::Overflow);
  EXPECT_EQ(box.CaptionLabel().Left(), 32.0f) << "still at its design-time place";
  const Surface& surface = box.DrawingSurface();
  const Pixel cleared = ToPixel(surface.BackColor());
  for (Pixel p : surface.Pixels().Pixels()) ASSERT_EQ(p, cleared) << "cleared, no piece drawn";
}

TEST(FrameOverflow, TPlusThreeOverflowsAtTheRightEdgeAfterTheFirstFivePieces) {
  FakeSite site;
  xpgroupbox box(site);
  box.InitProperties();
  box.Resize({200, 89});
  site.TextMetrics.LineHeight = 65530;  // t = 32765
  try {
    box.SetCaption("Tall");
    FAIL() << "no overflow";
  } catch (const Error& e) {
    EXPECT_EQ(e.Code(), ErrorCode::Overflow);
  }
  EXPECT_EQ(box.CaptionLabel().Left(), 15.0f);
  const Surface& surface = box.DrawingSurface();
  EXPECT_EQ(surface.At(0, 86), kLine) << "bottom-left corner drawn";
  EXPECT_EQ(surface.At(199, 86), kBlend) << "bottom-right corner drawn";
  EXPECT_EQ(surface.At(199, 50), kYellow) << "no right edge";
  EXPECT_EQ(surface.At(100, 88), kYellow) << "no bottom edge";
  EXPECT_EQ(surface.At(0, 50), kYellow) << "no left edge";
}

}  // namespace
}  // namespace borvane
