// GDI text under Wine. Wine's DrawText is not trusted for the editor, so
// text goes through the glyph path there; this test forces GDI's own path
// as on Windows and checks that the caption lands in the same place.
#include <gtest/gtest.h>

#include <algorithm>

#include "graphics/StyledText.h"
#include "graphics/raster/FontCache.h"
#include "graphics/raster/SystemBitmap.h"
#include "graphics/raster/TextPlatform.h"

namespace kestro {
namespace {

constexpr PackedPixel kGrey = 0xFFD0D0D0;

// The real platform, claiming not to run under Wine.
class NotWine final : public TextPlatform {
 public:
  void* MakeFont(const FontRequest& r) override { return Native().MakeFont(r); }
  void FreeFont(void* f) override { Native().FreeFont(f); }
  int LineHeight(void* f, Bitmap* b) override { return Native().LineHeight(f, b); }
  bool RenderGlyph(void* f, uint32_t c, Bitmap* b, int m, int* a, int* h) override {
    return Native().RenderGlyph(f, c, b, m, a, h);
  }
  bool HasNativeDrawing() override { return true; }
  bool RunningUnderWine() override { return false; }
  int DrawNative(void* f, Bitmap* t, const char* s, int n, TextRect* r, uint32_t fl, const Colours& c) override {
    ++nativeCalls;
    return Native().DrawNative(f, t, s, n, r, fl, c);
  }
  int nativeCalls = 0;
};

struct Ink {
  int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
};

// The caption as the editor draws it, and where its ink is.
Ink DrawCaption(FontCache& cache, PixelRect& measured) {
  SystemBitmap bitmap(200, 80);
  for (int y = 0; y < 80; ++y) std::fill(bitmap.Row(y), bitmap.Row(y) + 200, kGrey);
  TextStyle style;
  style.face.Set("Verdana");
  style.size = 14;
  measured = {49, 29, 149, 49};
  EXPECT_TRUE(RenderStyledText(&bitmap, style, "Version 6.1.0", measured, true, cache));
  PixelRect rect{49, 29, 149, 49};
  EXPECT_TRUE(RenderStyledText(&bitmap, style, "Version 6.1.0", rect, false, cache));
  Ink ink;
  for (int y = 0; y < 80; ++y) {
    for (int x = 0; x < 200; ++x) {
      if ((bitmap.Row(y)[x] & 0xFFFFFF) == (kGrey & 0xFFFFFF)) continue;
      ink.left = std::min(ink.left, x), ink.right = std::max(ink.right, x);
      ink.top = std::min(ink.top, y), ink.bottom = std::max(ink.bottom, y);
    }
  }
  return ink;
}

TEST(NativeText, GdiAndGlyphPathsPlaceTheCaptionAlike) {
  ASSERT_TRUE(TextPlatform::Native().RunningUnderWine()) << "these tests run under Wine";
  NotWine forced;
  PixelRect glyphMeasure, gdiMeasure;
  Ink glyph, gdi;
  {
    FontCache glyphCache;
    glyph = DrawCaption(glyphCache, glyphMeasure);
  }
  {
    FontCache gdiCache(forced);
    gdi = DrawCaption(gdiCache, gdiMeasure);
  }
  EXPECT_GT(forced.nativeCalls, 0) << "GDI drew the text";
  ASSERT_GE(glyph.right, glyph.left);
  ASSERT_GE(gdi.right, gdi.left);
  EXPECT_EQ(gdiMeasure.bottom - gdiMeasure.top, 14);
  EXPECT_EQ(glyphMeasure.bottom - glyphMeasure.top, 14);
  EXPECT_NEAR(gdiMeasure.right - gdiMeasure.left, glyphMeasure.right - glyphMeasure.left, 2);
  // Ink within a pixel or two of each other, centred on the caption's box.
  EXPECT_NEAR(gdi.left, glyph.left, 2);
  EXPECT_NEAR(gdi.right, glyph.right, 2);
  EXPECT_NEAR(gdi.top, glyph.top, 1);
  EXPECT_NEAR(gdi.bottom, glyph.bottom, 1);
  EXPECT_NEAR((gdi.left + gdi.right + 1) / 2.0, 99.0, 2.0);
}

}  // namespace
}  // namespace kestro
