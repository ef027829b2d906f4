#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "graphics/raster/FillRectangle.h"
#include "graphics/raster/MemBitmap.h"
#include "tests/graphics/RasterTestUtil.h"

namespace kestro {
namespace {

constexpr PackedPixel kColour = 0xC0804020;
constexpr PackedPixel kDests[3] = {0xFF204060, 0x10FFFF00, 0x00000000};

struct FillRow {
  BlitMode mode;
  float opacity;
  PackedPixel expected[3];
};

// Worked out from the fill formulas: copy at 1.0, 0.75, 0.5 and 0.25 takes
// the exact word-wide shortcuts, other strengths the per-channel formula
// (alpha moving toward the strength, not the colour's alpha). With
// BlitUseSourceAlpha the colour's alpha (0xC0) scales the opacity first.
constexpr FillRow kFillRows[] = {
    {BlitCopy, 1.0f, {0xC0804020, 0xC0804020, 0xC0804020}},
    {BlitCopy, 0.75f, {0xCF684030, 0x949F6F18, 0x90603018}},
    {BlitCopy, 0.5f, {0xDF504040, 0x68BF9F10, 0x60402010}},
    {BlitCopy, 0.25f, {0xEE384050, 0x3CDECE08, 0x30201008}},
    {BlitCopy, 0.3f, {0xC93D404D, 0x22D9C60A, 0x1726130A}},
    {BlitAdd, 1.0f, {0xFFA08080, 0xFFFFFF20, 0xFF804020}},
    {BlitAdd, 0.3f, {0xFF465369, 0x26FFFF09, 0x16261309}},
    {BlitDodge, 1.0f, {0xFF40556D, 0xFFFFFF00, 0x00000000}},
    {BlitDodge, 0.3f, {0xFF254563, 0x11FFFF00, 0x00000000}},
    {BlitMultiply, 1.0f, {0xFF10100C, 0x107F3F00, 0x00000000}},
    {BlitMultiply, 0.3f, {0xC91B3147, 0x0CD9C600, 0x00000000}},
    {BlitOverlay, 1.0f, {0xFF202833, 0x1FFFFE00, 0x00000000}},
    {BlitOverlay, 0.3f, {0xFE203852, 0x0EFFFE00, 0x00000000}},
    {BlitHsvAdjust, 1.0f, {0xFF000000, 0xFF3F3E1F, 0xFF000000}},
    {BlitHsvAdjust, 0.3f, {0x4C121C27, 0x4CC6C31E, 0x4C000000}},
    {BlitCopy | BlitUseSourceAlpha, 1.0f, {0xCF684030, 0x949F6F18, 0x90603018}},
    {BlitCopy | BlitUseSourceAlpha, 0.5f, {0xC3444048, 0x2ECFB70C, 0x2430180C}},
    {BlitAdd | BlitUseSourceAlpha, 1.0f, {0xFF807078, 0xA0FFFF18, 0x90603018}},
    {BlitAdd | BlitUseSourceAlpha, 0.5f, {0xFF50586C, 0x34FFFF0C, 0x2430180C}},
    {BlitMultiply | BlitUseSourceAlpha, 1.0f, {0xCF141C21, 0x0D9F6F00, 0x00000000}},
    {BlitMultiply | BlitUseSourceAlpha, 0.5f, {0xC31A2E40, 0x0CCFB700, 0x00000000}},
};

TEST(FillRectangle, EveryModeAndOpacityFollowsTheFormulas) {
  for (const FillRow& row : kFillRows) {
    for (int d = 0; d < 3; ++d) {
      auto dest = FilledBitmap(3, 2, kDests[d]);
      FillRectangle(dest.get(), 0, 0, 3, 2, kColour, row.opacity, row.mode);
      for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) {
          ASSERT_EQ(Hex(dest->Row(y)[x]), Hex(row.expected[d]))
              << "mode " << std::hex << row.mode << " opacity " << row.opacity << " dest " << d;
        }
      }
    }
  }
}

TEST(FillRectangle, HsvAdjustAtFullStrengthKeepsAnOpaqueAlpha) {
  // The strength (256 at full opacity) stands for the source alpha; as a
  // byte it would wrap to 0 and make the pixel transparent.
  auto dest = FilledBitmap(1, 1, 0xFF336699);
  FillRectangle(dest.get(), 0, 0, 1, 1, 0xFF808080, 1.0f, BlitHsvAdjust);
  EXPECT_EQ(dest->Row(0)[0] >> 24, 0xFFu);
}

// Fills a 6 x 4 bitmap of zeros with 1s and returns the mask row by row.
std::string Mask(int x, int y, int width, int height) {
  auto dest = FilledBitmap(6, 4, 0);
  FillRectangle(dest.get(), x, y, width, height, 1, 1.0f, BlitCopy);
  std::string mask;
  for (int row = 0; row < 4; ++row) {
    for (int column = 0; column < 6; ++column) mask += dest->Row(row)[column] != 0 ? '#' : '.';
    mask += '/';
  }
  return mask;
}

TEST(FillRectangle, ClipsToTheBitmap) {
  EXPECT_EQ(Mask(1, 1, 2, 2), "....../.##.../.##.../....../");
  EXPECT_EQ(Mask(-2, -1, 4, 3), "##..../##..../....../....../");  // negative corner shortens
  EXPECT_EQ(Mask(4, 2, 10, 10), "....../....../....##/....##/");
  EXPECT_EQ(Mask(-3, 0, 3, 4), "....../....../....../....../");  // shortened to nothing
  EXPECT_EQ(Mask(6, 0, 1, 1), "....../....../....../....../");
  EXPECT_EQ(Mask(0, 4, 1, 1), "....../....../....../....../");
  EXPECT_EQ(Mask(0, 0, 0, 4), "....../....../....../....../");
  EXPECT_EQ(Mask(INT_MIN, INT_MIN, INT_MAX, INT_MAX), "....../....../....../....../");
  EXPECT_EQ(Mask(INT_MAX, 0, INT_MAX, 1), "....../....../....../....../");
  EXPECT_EQ(Mask(1, 3, INT_MAX, INT_MAX), "....../....../....../.#####/");
}

TEST(FillRectangle, DrawsNothingWithoutPixelsOpacityOrAFillMode) {
  auto dest = FilledBitmap(2, 2, 0x11111111);
  MemBitmap empty;
  FillRectangle(nullptr, 0, 0, 2, 2, 0xFFFFFFFF, 1.0f, BlitCopy);
  FillRectangle(&empty, 0, 0, 2, 2, 0xFFFFFFFF, 1.0f, BlitCopy);
  FillRectangle(dest.get(), 0, 0, 2, 2, 0xFFFFFFFF, 0.0f, BlitCopy);
  FillRectangle(dest.get(), 0, 0, 2, 2, 0x00FFFFFF, 1.0f, BlitCopy | BlitUseSourceAlpha);
  FillRectangle(dest.get(), 0, 0, 2, 2, 0xFFFFFFFF, 1.0f, BlitChannelCopyMode(0, 3));
  FillRectangle(dest.get(), 0, 0, 2, 2, 0xFFFFFFFF, 1.0f, 6);
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 2; ++x) EXPECT_EQ(dest->Row(y)[x], 0x11111111u);
  }
}

}  // namespace
}  // namespace kestro
