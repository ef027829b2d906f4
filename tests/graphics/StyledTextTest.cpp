#include <gtest/gtest.h>

#include <algorithm>

#include "RasterTestUtil.h"
#include "StubTextPlatform.h"
#include "graphics/StyledText.h"
#include "graphics/raster/FontCache.h"

namespace kestro {
namespace {

constexpr PackedPixel kLightGrey = 0xFFD0D0D0;

TextStyle Style(const char* face, int size, TextAlign align = TextAlign::Centre) {
  TextStyle style;
  style.face.Set(face);
  style.size = size;
  style.align = align;
  return style;
}

TEST(StyledText, StylesThatAgreeShareOneFont) {
  FontCache cache;
  auto bitmap = FilledBitmap(64, 32, kLightGrey);
  TextStyle first = Style("Verdana", 14);
  TextStyle second = Style("Verdana", 14);
  TextStyle smaller = Style("Verdana", 12);
  TextStyle bold = Style("Verdana", 14);
  bold.style = TextWeight::Bold;
  for (TextStyle* style : {&first, &second, &smaller, &bold}) {
    PixelRect rect{0, 0, 64, 32};
    ASSERT_TRUE(RenderStyledText(bitmap.get(), *style, "Ag", rect, false, cache));
    ASSERT_NE(style->cachedFont, nullptr);
  }
  EXPECT_EQ(first.cachedFont, second.cachedFont);
  EXPECT_NE(first.cachedFont, smaller.cachedFont);
  EXPECT_NE(first.cachedFont, bold.cachedFont);
  EXPECT_EQ(cache.Count(), 3);
}

TEST(StyledText, MeasuringPlacesTheTextInTheRectangle) {
  // Stub glyphs advance 10 pixels; the line height is 12.
  struct Case {
    TextAlign align;
    const char* text;
    PixelRect rect;
    PixelRect expected;
  } const cases[] = {
      {TextAlign::Centre, "ABCD", {100, 10, 200, 30}, {130, 10, 170, 22}},
      {TextAlign::Near, "ABCD", {100, 10, 200, 30}, {100, 10, 140, 22}},
      {TextAlign::Far, "ABCD", {100, 10, 200, 30}, {160, 10, 200, 22}},
      {TextAlign::Centre, "ABC", {100, 10, 201, 30}, {135, 10, 165, 22}},   // trunc(150.5) - trunc(15)
      {TextAlign::Centre, "ABC", {-101, 0, 0, 0}, {-65, 0, -35, 12}},       // both truncate toward zero
  };
  for (const Case& c : cases) {
    StubTextPlatform platform;
    FontCache cache(platform);
    TextStyle style = Style("Verdana", 14, c.align);
    PixelRect rect = c.rect;
    EXPECT_TRUE(RenderStyledText(nullptr, style, c.text, rect, true, cache));
    EXPECT_EQ(rect, c.expected) << rect.left << ' ' << rect.top << ' ' << rect.right << ' ' << rect.bottom;
  }
}

TEST(StyledText, ColourAlphaBlendsAtItsShareOfFullStrength) {
  StubTextPlatform platform;
  FontCache cache(platform);
  TextStyle style = Style("Verdana", 14, TextAlign::Near);
  style.colour = {128, 0xC0, 0x80, 0x40};
  auto bitmap = FilledBitmap(32, 16, 0x80402010);
  PixelRect rect{0, 0, 32, 16};
  ASSERT_TRUE(RenderStyledText(bitmap.get(), style, "A", rect, false, cache));
  EXPECT_EQ(Hex(bitmap->Row(2)[1]), "0xC0805028");
}

TEST(StyledText, EmptyTextSucceedsWithoutAFont) {
  StubTextPlatform platform;
  platform.failuresLeft = 100;
  FontCache cache(platform);
  TextStyle style = Style("Verdana", 14);
  PixelRect rect{1, 2, 3, 4};
  EXPECT_TRUE(RenderStyledText(nullptr, style, "", rect, true, cache));
  EXPECT_TRUE(RenderStyledText(nullptr, style, nullptr, rect, false, cache));
  EXPECT_EQ(rect, (PixelRect{1, 2, 3, 4}));
  EXPECT_EQ(style.cachedFont, nullptr);
}

TEST(StyledText, AFontThatCannotBeMadeIsTriedAgainNextTime) {
  StubTextPlatform platform;
  platform.failuresLeft = 1;
  FontCache cache(platform);
  TextStyle style = Style("Verdana", 14);
  auto bitmap = FilledBitmap(32, 16, kLightGrey);
  PixelRect rect{0, 0, 32, 16};
  EXPECT_FALSE(RenderStyledText(bitmap.get(), style, "A", rect, false, cache));
  EXPECT_EQ(style.cachedFont, nullptr);
  EXPECT_EQ(cache.Count(), 0);
  EXPECT_EQ(Hex(bitmap->Row(6)[15]), Hex(kLightGrey));

  EXPECT_TRUE(RenderStyledText(bitmap.get(), style, "A", rect, false, cache));
  EXPECT_NE(style.cachedFont, nullptr);
  EXPECT_EQ(cache.Count(), 1);
  EXPECT_EQ(Hex(bitmap->Row(6)[15]), "0xFF000000");
}

TEST(StyledText, ImpossibleSizesFail) {
  FontCache cache;
  auto bitmap = FilledBitmap(64, 32, kLightGrey);
  TextStyle absurd = Style("Verdana", 10000000);
  PixelRect rect{0, 0, 64, 32};
  EXPECT_FALSE(RenderStyledText(bitmap.get(), absurd, "A", rect, false, cache));
  EXPECT_EQ(cache.Count(), 0);
  EXPECT_EQ(absurd.cachedFont, nullptr);
}

// The real platform font: the caption is drawn, legible in size, and centred.
TEST(StyledText, CaptionIsCentredInItsRectangle) {
  FontCache cache;
  TextStyle style = Style("Verdana", 14);
  auto bitmap = FilledBitmap(200, 80, kLightGrey);
  PixelRect measured{49, 29, 149, 49};
  ASSERT_TRUE(RenderStyledText(bitmap.get(), style, "Version 6.1.0", measured, true, cache));
  EXPECT_EQ(measured.bottom - measured.top, 14);
  EXPECT_GT(measured.right - measured.left, 60);
  EXPECT_LT(measured.right - measured.left, 100);

  PixelRect rect{49, 29, 149, 49};
  ASSERT_TRUE(RenderStyledText(bitmap.get(), style, "Version 6.1.0", rect, false, cache));
  int left = 200, right = -1, top = 80, bottom = -1;
  for (int y = 0; y < 80; ++y) {
    for (int x = 0; x < 200; ++x) {
      if (bitmap->Row(y)[x] == kLightGrey) continue;
      left = std::min(left, x), right = std::max(right, x);
      top = std::min(top, y), bottom = std::max(bottom, y);
    }
  }
  ASSERT_GE(right, left);
  EXPECT_GE(left, measured.left - 1);
  EXPECT_LE(right, measured.right);
  EXPECT_NEAR((left + right + 1) / 2.0, 99.0, 2.0);
  EXPECT_GE(top, 29);
  EXPECT_LE(bottom, 29 + 14);
}

}  // namespace
}  // namespace kestro
