#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <vector>

#include "graphics/raster/Blit.h"
#include "graphics/raster/MemBitmap.h"
#include "tests/graphics/RasterTestUtil.h"

namespace kestro {
namespace {

// Expected results worked out from the blend formulas for three
// (destination, source) pairs: an opaque destination under a half-alpha
// source, a faint destination under an opaque source with extreme channels,
// and a source with alpha 1, where the source-alpha rows differ most.
constexpr PackedPixel kPairs[3][2] = {
    {0xFF204060, 0x80C0A010}, {0x10FFFF00, 0xFF0180FE}, {0x7F8899AA, 0x01FF7F00}};

struct BlendRow {
  BlitMode mode;
  float opacity;
  PackedPixel expected[3];
};

constexpr BlendRow kBlendRows[] = {
    {BlitCopy, 1.0f, {0x80C0A010, 0xFF0180FE, 0x01FF7F00}},
    {BlitCopy, 0.75f, {0x9F988824, 0xC4409FBF, 0x20E2852A}},
    {BlitCopy, 0.3f, {0xD9505D48, 0x57B3D94C, 0x59AC9177}},
    {BlitAdd, 1.0f, {0xFFE0E070, 0xFFFFFFFE, 0x80FFFFAA}},
    {BlitAdd, 0.75f, {0xFFB0B86C, 0xCFFFFFBE, 0x7FFFF8AA}},
    {BlitAdd, 0.3f, {0xFF596F64, 0x5BFFFF4B, 0x7FD3BEAA}},
    {BlitDodge, 1.0f, {0xFF80AA66, 0xFFFFFF00, 0x7FFFFFAA}},
    {BlitDodge, 0.75f, {0xFF497864, 0x3FFFFF00, 0x7FFFF3AA}},
    {BlitDodge, 0.3f, {0xFF294E61, 0x16FFFF00, 0x7FC0B2AA}},
    {BlitMultiply, 1.0f, {0x7F182806, 0x0F007F00, 0x00874B00}},
    {BlitMultiply, 0.75f, {0x9F1A2E1C, 0x0F409F00, 0x20875F2A}},
    {BlitMultiply, 0.3f, {0xD91D3845, 0x0FB3D900, 0x59878277}},
    {BlitOverlay, 1.0f, {0xFF2E4C2B, 0x1EFEFF00, 0x3FC79870}},
    {BlitOverlay, 0.75f, {0xFF2A4938, 0x1BFEFF00, 0x4FB7987F}},
    {BlitOverlay, 0.3f, {0xFF244350, 0x14FEFF00, 0x6C9A9899}},
    {BlitHsvAdjust, 1.0f, {0x80000000, 0xFF0000FF, 0x01000000}},
    {BlitHsvAdjust, 0.75f, {0x80000000, 0xFFBF00FF, 0x01000000}},
    {BlitHsvAdjust, 0.3f, {0x8007091E, 0xFFFF1C00, 0x01524B5E}},
    {BlitCopy | BlitUseSourceAlpha, 1.0f, {0xFF717137, 0xFF0180FE, 0x808998A8}},
    {BlitCopy | BlitUseSourceAlpha, 0.75f, {0xFF5C6442, 0xD0409FBF, 0x808998A9}},
    {BlitCopy | BlitUseSourceAlpha, 0.3f, {0xFF384F54, 0x5CB3D94C, 0x7F8899AA}},
    {BlitAdd | BlitUseSourceAlpha, 1.0f, {0xFF809068, 0xFFFFFFFE, 0x7F8999AA}},
    {BlitAdd | BlitUseSourceAlpha, 0.75f, {0xFF687C66, 0xCFFFFFBE, 0x7F8899AA}},
    {BlitAdd | BlitUseSourceAlpha, 0.3f, {0xFF3C5762, 0x5BFFFF4B, 0x7F8899AA}},
    {BlitDodge | BlitUseSourceAlpha, 1.0f, {0xFF335D63, 0xFFFFFF00, 0x7F8899AA}},
    {BlitDodge | BlitUseSourceAlpha, 0.75f, {0xFF2C5362, 0x3FFFFF00, 0x7F8899AA}},
    {BlitDodge | BlitUseSourceAlpha, 0.3f, {0xFF234660, 0x16FFFF00, 0x7F8899AA}},
    {BlitMultiply | BlitUseSourceAlpha, 1.0f, {0xBE1B3332, 0x0F007F00, 0x7E8798A8}},
    {BlitMultiply | BlitUseSourceAlpha, 0.75f, {0xCF1D373E, 0x0F409F00, 0x7E8798A9}},
    {BlitMultiply | BlitUseSourceAlpha, 0.3f, {0xEC1E3C52, 0x0FB3D900, 0x7F8899AA}},
    {BlitOverlay | BlitUseSourceAlpha, 1.0f, {0xFF274645, 0x1EFEFF00, 0x7E8898A9}},
    {BlitOverlay | BlitUseSourceAlpha, 0.75f, {0xFF25444C, 0x1BFEFF00, 0x7E8898A9}},
    {BlitOverlay | BlitUseSourceAlpha, 0.3f, {0xFF224158, 0x14FEFF00, 0x7F8899AA}},
    {BlitHsvAdjust | BlitUseSourceAlpha, 1.0f, {0x80000000, 0xFF0000FF, 0x018696A8}},
    {BlitHsvAdjust | BlitUseSourceAlpha, 0.75f, {0x8003020C, 0xFFBF00FF, 0x018797A9}},
    {BlitHsvAdjust | BlitUseSourceAlpha, 0.3f, {0x80121F3F, 0xFFFF1C00, 0x018898AA}},
    {BlitCopy, 0.5f, {0xBF707038, 0x877FBF7F, 0x3FC38B55}},
    {BlitCopy | BlitUseSourceAlpha, 0.5f, {0xFF48584C, 0x9080BF7F, 0x808998A9}},
};

TEST(Blit, EveryModeAndOpacityFollowsTheFormulas) {
  for (const BlendRow& row : kBlendRows) {
    for (int p = 0; p < 3; ++p) {
      auto dest = FilledBitmap(3, 2, kPairs[p][0]);
      auto source = FilledBitmap(3, 2, kPairs[p][1]);
      Blit(dest.get(), source.get(), 0, 0, nullptr, row.opacity, row.mode);
      for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) {
          ASSERT_EQ(Hex(dest->Row(y)[x]), Hex(row.expected[p]))
              << "mode " << std::hex << row.mode << " opacity " << row.opacity << " pair " << p;
        }
      }
    }
  }
}

struct HsvRow {
  PackedPixel dest;
  PackedPixel source;
  int strength;
  PackedPixel expected;
};

// Strength k arrives as opacity k / 256 (exact in a float).
constexpr HsvRow kHsvRows[] = {
    // Pure red turned by -192 steps wraps below 0 to cyan; alpha from the source.
    {0xFFFF0000, 0x00008080, 256, 0x0000FFFF},
    // Red leaning to blue (hue 381) turned by +190 wraps past 384 to 187.
    {0xFFFF000A, 0x20FF8080, 256, 0x2000FFEB},
    {0xFF00FF00, 0x80808080, 256, 0x8000FF00},
    {0xFF0000FF, 0xFF80FF80, 256, 0xFF0000FF},
    {0xFF808080, 0xFFC0C0A0, 256, 0xFFC06090},
    {0xFF336699, 0x40A040C0, 128, 0x407F88D9},
    {0xFF996633, 0x10404040, 77, 0x10733A37},
    {0xFFFFFF00, 0xFF808080, 256, 0xFFFFFB00},
};

TEST(Blit, HsvAdjustShiftsAndWrapsHue) {
  for (const HsvRow& row : kHsvRows) {
    auto dest = FilledBitmap(1, 1, row.dest);
    auto source = FilledBitmap(1, 1, row.source);
    Blit(dest.get(), source.get(), 0, 0, nullptr, static_cast<float>(row.strength) / 256.0f, BlitHsvAdjust);
    EXPECT_EQ(Hex(dest->Row(0)[0]), Hex(row.expected)) << Hex(row.dest) << " by " << Hex(row.source);
  }
}

TEST(Blit, SourceAlphaCopyEdgeCases) {
  auto dest = FilledBitmap(1, 1, 0xFF204060);
  auto transparent = FilledBitmap(1, 1, 0x00FFFFFF);
  Blit(dest.get(), transparent.get(), 0, 0, nullptr, 1.0f, BlitCopy | BlitUseSourceAlpha);
  EXPECT_EQ(Hex(dest->Row(0)[0]), Hex(0xFF204060));

  auto opaque = FilledBitmap(1, 1, 0xFF123456);
  auto faint = FilledBitmap(1, 1, 0x10000000);
  Blit(faint.get(), opaque.get(), 0, 0, nullptr, 1.0f, BlitCopy | BlitUseSourceAlpha);
  EXPECT_EQ(Hex(faint->Row(0)[0]), Hex(0xFF123456));  // alpha included
}

TEST(Blit, HalfOpacityCopyHalvesBothWordsFirst) {
  auto dest = FilledBitmap(1, 1, 0x01010101);
  auto source = FilledBitmap(1, 1, 0x01010101);
  Blit(dest.get(), source.get(), 0, 0, nullptr, 0.5f, BlitCopy);
  EXPECT_EQ(dest->Row(0)[0], 0u);
}

TEST(Blit, ChannelCopyMovesOneByteOnly) {
  const struct {
    int from;
    int to;
    PackedPixel expected;
  } cases[] = {{2, 3, 0x33AABBCC}, {0, 0, 0xDDAABB11}, {3, 1, 0xDDAA44CC}, {1, 2, 0xDD22BBCC}};
  for (const auto& c : cases) {
    auto dest = FilledBitmap(2, 2, 0xDDAABBCC);
    auto source = FilledBitmap(2, 2, 0x44332211);
    Blit(dest.get(), source.get(), 0, 0, nullptr, 0.25f, BlitChannelCopyMode(c.from, c.to));
    EXPECT_EQ(Hex(dest->Row(1)[1]), Hex(c.expected)) << c.from << " -> " << c.to;
  }
}

TEST(Blit, OpacityOutsideZeroToOneIsLimited) {
  for (BlitMode mode : {BlitCopy, BlitAdd, BlitDodge, BlitMultiply, BlitOverlay, BlitHsvAdjust}) {
    auto full = FilledBitmap(1, 1, 0x80402010);
    auto over = FilledBitmap(1, 1, 0x80402010);
    auto negative = FilledBitmap(1, 1, 0x80402010);
    auto source = FilledBitmap(1, 1, 0xF0C0A0FF);
    Blit(full.get(), source.get(), 0, 0, nullptr, 1.0f, mode | BlitUseSourceAlpha);
    Blit(over.get(), source.get(), 0, 0, nullptr, 3.5f, mode | BlitUseSourceAlpha);
    Blit(negative.get(), source.get(), 0, 0, nullptr, -1.0f, mode);
    Blit(negative.get(), source.get(), 0, 0, nullptr, std::numeric_limits<float>::quiet_NaN(), mode);
    EXPECT_EQ(Hex(over->Row(0)[0]), Hex(full->Row(0)[0])) << "mode " << mode;
    EXPECT_EQ(Hex(negative->Row(0)[0]), Hex(0x80402010)) << "mode " << mode;
  }
}

TEST(Blit, DrawsNothingWithoutBitmapsPixelsOpacityOrAKnownMode) {
  auto dest = FilledBitmap(2, 2, 0x11111111);
  auto source = FilledBitmap(2, 2, 0xFFFFFFFF);
  MemBitmap empty;
  Blit(nullptr, source.get(), 0, 0, nullptr, 1.0f, BlitCopy);
  Blit(dest.get(), nullptr, 0, 0, nullptr, 1.0f, BlitCopy);
  Blit(dest.get(), &empty, 0, 0, nullptr, 1.0f, BlitCopy);
  Blit(&empty, source.get(), 0, 0, nullptr, 1.0f, BlitCopy);
  Blit(dest.get(), source.get(), 0, 0, nullptr, 0.0f, BlitCopy);
  Blit(dest.get(), source.get(), 0, 0, nullptr, 0.001f, BlitAdd);  // weight truncates to 0
  Blit(dest.get(), source.get(), 0, 0, nullptr, 1.0f, 6);
  Blit(dest.get(), source.get(), 0, 0, nullptr, 1.0f, 0x7F | BlitUseSourceAlpha);
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 2; ++x) EXPECT_EQ(dest->Row(y)[x], 0x11111111u);
  }
}

// Blits a 6 x 5 position-coded source into an 8 x 6 zeroed destination and
// returns, per destination pixel, the source position drawn there (or -1).
std::vector<int> Placement(int destX, int destY, const BlitRect* rect) {
  auto dest = FilledBitmap(8, 6, 0);
  auto source = PositionBitmap(6, 5);
  Blit(dest.get(), source.get(), destX, destY, rect, 1.0f, BlitCopy);
  std::vector<int> placed;
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 8; ++x) placed.push_back(static_cast<int>(dest->Row(y)[x] & 0xFF) - 1);
  }
  return placed;
}

int At(const std::vector<int>& placed, int x, int y) { return placed[static_cast<size_t>(y * 8 + x)]; }
int Source(int x, int y) { return x + 16 * y; }

TEST(Blit, ClipsAgainstBothBitmaps) {
  // destX = -5: the source's sixth column lands in column 0.
  auto placed = Placement(-5, 0, nullptr);
  EXPECT_EQ(At(placed, 0, 0), Source(5, 0));
  EXPECT_EQ(At(placed, 1, 0), -1);
  EXPECT_EQ(At(placed, 0, 4), Source(5, 4));
  EXPECT_EQ(At(placed, 0, 5), -1);

  // Past the destination's right and bottom edges.
  placed = Placement(5, 4, nullptr);
  EXPECT_EQ(At(placed, 5, 4), Source(0, 0));
  EXPECT_EQ(At(placed, 7, 5), Source(2, 1));
  EXPECT_EQ(At(placed, 4, 4), -1);

  // A source rectangle reaching past the source's edges is cut there.
  const BlitRect past{4, 3, 100, 100};
  placed = Placement(0, 0, &past);
  EXPECT_EQ(At(placed, 0, 0), Source(4, 3));
  EXPECT_EQ(At(placed, 1, 1), Source(5, 4));
  EXPECT_EQ(At(placed, 2, 0), -1);
  EXPECT_EQ(At(placed, 0, 2), -1);

  // A negative left/top moves the drawing right/down by the same amount.
  const BlitRect before{-2, -1, 2, 1};
  placed = Placement(1, 1, &before);
  EXPECT_EQ(At(placed, 3, 2), Source(0, 0));
  EXPECT_EQ(At(placed, 4, 2), Source(1, 0));
  EXPECT_EQ(At(placed, 2, 2), -1);
  EXPECT_EQ(At(placed, 3, 1), -1);
  EXPECT_EQ(At(placed, 5, 2), -1);
}

TEST(Blit, OutOfRangePositionsDrawNothing) {
  const BlitRect empty{3, 3, 3, 5};
  const BlitRect inverted{4, 0, 2, 5};
  const BlitRect beyond{6, 0, 9, 5};
  const BlitRect extreme{INT_MIN, INT_MIN, INT_MAX, INT_MAX};
  const std::vector<int> nothing(48, -1);
  EXPECT_EQ(Placement(8, 0, nullptr), nothing);
  EXPECT_EQ(Placement(0, 6, nullptr), nothing);
  EXPECT_EQ(Placement(-6, 0, nullptr), nothing);
  EXPECT_EQ(Placement(INT_MAX, INT_MAX, nullptr), nothing);
  EXPECT_EQ(Placement(INT_MIN, INT_MIN, nullptr), nothing);
  EXPECT_EQ(Placement(0, 0, &empty), nothing);
  EXPECT_EQ(Placement(0, 0, &inverted), nothing);
  EXPECT_EQ(Placement(0, 0, &beyond), nothing);
  EXPECT_EQ(Placement(0, 0, &extreme), nothing);  // drawn far off the destination
}

TEST(Blit, CopyOntoItselfMovesRowsLikeMemmove) {
  auto bitmap = PositionBitmap(6, 1);
  const BlitRect head{0, 0, 4, 1};
  Blit(bitmap.get(), bitmap.get(), 2, 0, &head, 1.0f, BlitCopy);
  const int expected[] = {0, 1, 0, 1, 2, 3};
  for (int x = 0; x < 6; ++x) EXPECT_EQ(bitmap->Row(0)[x], PositionPixel(expected[x], 0));
}

// A bitmap storing its rows last-first, to check row order and stride.
class BottomUpBitmap final : public Bitmap {
 public:
  BottomUpBitmap(int width, int height) { storage_.Resize(width, height); }
  PackedPixel* Pixels() const override { return storage_.Pixels(); }
  int Width() const override { return storage_.Width(); }
  int Height() const override { return storage_.Height(); }
  int RowSpan() const override { return storage_.RowSpan(); }
  bool IsBottomUp() const override { return true; }
  bool Resize(int width, int height) override { return storage_.Resize(width, height); }

 private:
  MemBitmap storage_;
};

TEST(Blit, BottomUpBitmapsAreWalkedFromTheirLastStoredRow) {
  BottomUpBitmap source(2, 3);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 2; ++x) source.Row(y)[x] = PositionPixel(x, y);
  }
  EXPECT_EQ(source.Pixels()[0], PositionPixel(0, 2));  // stored last-first

  BottomUpBitmap dest(2, 3);
  const BlitRect lower{0, 1, 2, 3};
  Blit(&dest, &source, 0, 0, &lower, 1.0f, BlitCopy);
  EXPECT_EQ(dest.Row(0)[1], PositionPixel(1, 1));
  EXPECT_EQ(dest.Row(1)[0], PositionPixel(0, 2));
}

}  // namespace
}  // namespace kestro
