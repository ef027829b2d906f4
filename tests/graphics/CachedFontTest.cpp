#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "RasterTestUtil.h"
#include "StubTextPlatform.h"
#include "graphics/raster/CachedFont.h"
#include "graphics/raster/TextFlags.h"

namespace kestro {
namespace {

constexpr PackedPixel kBackdrop = 0x80402010;  // alpha 0x80, red 0x40, green 0x20, blue 0x10
constexpr PackedPixel kColour = 0xFFC08040;

// A font over the stub platform, owning its stub font. The stub's glyph for
// 'A' at pen (0, 0) inks x 1..8, y 2..9 (line height 12, advance 10).
std::unique_ptr<CachedFont> StubFont(StubTextPlatform& platform, uint32_t extraFlags = 0) {
  auto font = std::make_unique<CachedFont>(platform);
  font->SetFromPlatformFont(platform.MakeFont({}), FontOwnsPlatformFont | extraFlags);
  return font;
}

struct CoverageCase {
  const char* name;
  uint8_t coverage;
  PackedPixel colour;
  float opacity;
  BlitMode mode;
  uint32_t fontFlags;
  uint32_t textFlags;  // 0: DrawGlyph; otherwise RenderText with these flags
  PackedPixel expected;
};

// Expected values worked by hand from the blend rules, over kBackdrop.
const CoverageCase kCoverageCases[] = {
    {"full strength, full coverage: colour, alpha 255", 255, kColour, 1.0f, BlitCopy, 0, 0, 0xFFC08040},
    // (d - s) * 127 / 256 + s per colour byte; alpha 127 * -127 / 256 - 1 = -64.
    {"full strength, half coverage", 128, kColour, 1.0f, BlitCopy, 0, 0, 0xC0815129},
    // D = 128: g = 256 - 128 * 128 / 256 = 192.
    {"half strength, half coverage", 128, kColour, 0.5f, BlitCopy, 0, 0, 0xA060381C},
    // Colour alpha 128 scales the strength to trunc(128 / 255 * 256) = 128; g = 129.
    {"colour alpha 128 blends at 128/255", 255, 0x80C08040, 1.0f, BlitCopy, 0, TextUseColourAlpha, 0xC0805028},
    {"no antialiasing: any coverage is full", 128, kColour, 1.0f, BlitCopy, FontNoAntialias, 0, 0xFFC08040},
    // Add with strength k + 1 = 256 and the colour as an opaque source.
    {"add mode at full coverage", 255, kColour, 1.0f, BlitAdd, 0, 0, 0xFFFFA050},
};

TEST(CachedFont, GlyphCoverageBlendsByTheRules) {
  for (const CoverageCase& c : kCoverageCases) {
    SCOPED_TRACE(c.name);
    StubTextPlatform platform;
    platform.coverage = c.coverage;
    auto font = StubFont(platform, c.fontFlags);
    font->SetForegroundColor(c.colour);
    font->SetTextBlendMode(c.mode, c.opacity);
    auto bitmap = FilledBitmap(16, 16, kBackdrop);
    if (c.textFlags == 0) {
      EXPECT_TRUE(font->DrawGlyph(bitmap.get(), 'A', 0, 0, nullptr));
    } else {
      TextRect rect{0, 0, 16, 16};
      font->RenderText(bitmap.get(), "A", -1, &rect, c.textFlags);
    }
    EXPECT_EQ(Hex(bitmap->Row(2)[1]), Hex(c.expected));
    EXPECT_EQ(Hex(bitmap->Row(9)[8]), Hex(c.expected));
    // Zero coverage leaves pixels alone.
    EXPECT_EQ(Hex(bitmap->Row(1)[1]), Hex(kBackdrop));
    EXPECT_EQ(Hex(bitmap->Row(2)[0]), Hex(kBackdrop));
    EXPECT_EQ(Hex(bitmap->Row(2)[9]), Hex(kBackdrop));
  }
}

TEST(CachedFont, LineFeedBreaksLinesUnlessSingleLine) {
  StubTextPlatform platform;
  auto font = StubFont(platform);
  TextRect multi{5, 7, 5, 7};
  EXPECT_EQ(font->RenderText(nullptr, "AB\r\nC", -1, &multi, TextMeasure), 24);
  EXPECT_EQ(multi.right, 25);
  EXPECT_EQ(multi.bottom, 31);
  TextRect single{5, 7, 5, 7};
  EXPECT_EQ(font->RenderText(nullptr, "AB\r\nC", -1, &single, TextMeasure | TextSingleLine), 12);
  EXPECT_EQ(single.right, 45);  // the carriage return is skipped, the line feed is a space
  EXPECT_EQ(single.bottom, 19);

  auto bitmap = FilledBitmap(48, 32, kBackdrop);
  TextRect rect{0, 0, 48, 32};
  font->RenderText(bitmap.get(), "A\nB", -1, &rect, TextSingleLine);
  EXPECT_EQ(Hex(bitmap->Row(2)[11]), Hex(kBackdrop));  // the space
  EXPECT_EQ(Hex(bitmap->Row(2)[21]), "0xFF000000");
  EXPECT_EQ(Hex(bitmap->Row(14)[1]), Hex(kBackdrop));
  font->RenderText(bitmap.get(), "A\nB", -1, &rect, 0);
  EXPECT_EQ(Hex(bitmap->Row(14)[1]), "0xFF000000");
}

TEST(CachedFont, AlignmentMovesTheTextInsideItsRectangle) {
  struct Case {
    uint32_t flags;
    int inkX;  // first inked column of "AB" (width 20) in (10, 4, 50, 36)
    int inkY;
  } const cases[] = {
      {0, 11, 6}, {TextCentre, 21, 6}, {TextRight, 31, 6}, {TextVerticalCentre, 11, 16}, {TextBottom, 11, 26},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.flags);
    StubTextPlatform platform;
    auto font = StubFont(platform);
    auto bitmap = FilledBitmap(64, 40, kBackdrop);
    TextRect rect{10, 4, 50, 36};
    font->RenderText(bitmap.get(), "AB", -1, &rect, c.flags);
    EXPECT_EQ(Hex(bitmap->Row(c.inkY)[c.inkX]), "0xFF000000");
    EXPECT_EQ(Hex(bitmap->Row(c.inkY)[c.inkX - 1]), Hex(kBackdrop));
    EXPECT_EQ(Hex(bitmap->Row(c.inkY - 1)[c.inkX]), Hex(kBackdrop));
  }
}

TEST(CachedFont, MalformedUtf8NeverReadsPastTheText) {
  struct Case {
    std::string bytes;
    int characters;  // a bad byte counts as one character of its own
  } const cases[] = {
      {"\xC3\xA9", 1},          {"\xF0\x9F\x98\x80", 1},  {"\xC3", 1},     {"\xE2\x82", 2},
      {"\xF0\x9F\x98", 3},      {"\xC0\x80", 2},          {"\x80\xBF", 2}, {"\xED\xA0\x80", 3},
      {"\xF4\x90\x80\x80", 4},  {"a\xC3(b", 4},           {"\xFF\xFE", 2},
  };
  StubTextPlatform platform;
  auto font = StubFont(platform);
  auto bitmap = FilledBitmap(64, 16, kBackdrop);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.characters);
    // An exact-size heap copy without a terminator: reading past it is caught.
    std::vector<char> text(c.bytes.begin(), c.bytes.end());
    TextRect measured{};
    font->RenderText(nullptr, text.data(), static_cast<int>(text.size()), &measured, TextMeasure);
    EXPECT_EQ(measured.right, 10 * c.characters);
    TextRect rect{0, 0, 64, 16};
    font->RenderText(bitmap.get(), text.data(), static_cast<int>(text.size()), &rect, TextCentre);
  }
}

TEST(CachedFont, LongAndHostileTextsStayInsideTheBitmap) {
  StubTextPlatform platform;
  auto font = StubFont(platform);
  std::mt19937 random(7);
  std::vector<char> noise(100000);
  for (char& byte : noise) byte = static_cast<char>(random() & 0xFF);
  const std::string wide(100000, 'W');

  struct Case {
    TextRect rect;
    uint32_t flags;
  } const cases[] = {
      {{0, 0, 40, 20}, 0},
      {{-50, -50, 5, 5}, TextCentre | TextVerticalCentre},
      {{1000, 1000, 1010, 1010}, 0},
      {{-2000000000, 0, 2000000000, 20}, TextCentre | TextNoClip},
      {{30, 15, 10, 5}, TextRight | TextBottom},
  };
  for (const Case& c : cases) {
    auto bitmap = FilledBitmap(40, 20, kBackdrop);
    TextRect rect = c.rect;
    font->RenderText(bitmap.get(), noise.data(), static_cast<int>(noise.size()), &rect, c.flags);
    rect = c.rect;
    font->RenderText(bitmap.get(), wide.c_str(), -1, &rect, c.flags | TextSingleLine);
  }
  TextRect measured{};
  font->RenderText(nullptr, wide.c_str(), -1, &measured, TextMeasure);
  EXPECT_EQ(measured.right, 1000000);
}

TEST(CachedFont, DrawingIsClippedToTheRectangleUnlessToldOtherwise) {
  StubTextPlatform platform;
  auto font = StubFont(platform);
  auto bitmap = FilledBitmap(40, 20, kBackdrop);
  TextRect rect{-15, 0, 10, 20};
  font->RenderText(bitmap.get(), "AAAA", -1, &rect, 0);
  // The second 'A' sits at x = -5 and inks -4..3; the third inks 6..13 but is cut at 10.
  EXPECT_EQ(Hex(bitmap->Row(2)[0]), "0xFF000000");
  EXPECT_EQ(Hex(bitmap->Row(2)[9]), "0xFF000000");
  EXPECT_EQ(Hex(bitmap->Row(2)[10]), Hex(kBackdrop));
  rect = {-15, 0, 10, 20};
  font->RenderText(bitmap.get(), "AAAA", -1, &rect, TextNoClip);
  EXPECT_EQ(Hex(bitmap->Row(2)[10]), "0xFF000000");
}

TEST(CachedFont, HugeLineHeightsRefuseGlyphs) {
  StubTextPlatform platform;
  platform.lineHeight = CachedFont::kMaxGlyphLineHeight + 1;
  auto font = StubFont(platform);
  auto bitmap = FilledBitmap(40, 20, kBackdrop);
  TextRect rect{0, 0, 40, 20};
  font->RenderText(bitmap.get(), "AB", -1, &rect, TextCentre);
  EXPECT_EQ(platform.glyphsRendered, 0);
  EXPECT_EQ(Hex(bitmap->Row(2)[1]), Hex(kBackdrop));

  StubTextPlatform largest;
  largest.lineHeight = CachedFont::kMaxGlyphLineHeight;
  largest.advance = 3000;  // wider than the glyph raster: read only what it holds
  auto big = StubFont(largest);
  EXPECT_TRUE(big->DrawGlyph(bitmap.get(), 'A', 0, 0, nullptr));
  EXPECT_EQ(largest.glyphsRendered, 1);
}

TEST(CachedFont, GlyphsAreRenderedOnceAndForgottenWithANewPlatformFont) {
  StubTextPlatform platform;
  auto font = StubFont(platform);
  TextRect rect{};
  font->RenderText(nullptr, "ABBA \xC3\xA9\xC3\xA9", -1, &rect, TextMeasure);
  EXPECT_EQ(platform.glyphsRendered, 4);
  font->SetFromPlatformFont(platform.MakeFont({}), FontOwnsPlatformFont);
  EXPECT_EQ(platform.freed, 1);  // the owned font it replaced
  font->RenderText(nullptr, "AB", -1, &rect, TextMeasure);
  EXPECT_EQ(platform.glyphsRendered, 6);

  // With FontLowGlyphsOnly all of 0..127 are made at once and nothing above.
  StubTextPlatform low;
  auto lowFont = StubFont(low, FontLowGlyphsOnly);
  EXPECT_EQ(low.glyphsRendered, 128);
  rect = {};
  lowFont->RenderText(nullptr, "A\xC3\xA9", -1, &rect, TextMeasure);
  EXPECT_EQ(rect.right, 10);
  EXPECT_EQ(low.glyphsRendered, 128);
}

TEST(CachedFont, LastFontTakesTheScratchBitmapsWithIt) {
  const int before = CachedFont::LiveFonts();
  StubTextPlatform platform;
  {
    auto font = StubFont(platform);
    auto other = StubFont(platform);
    EXPECT_EQ(CachedFont::LiveFonts(), before + 2);
    EXPECT_TRUE(CachedFont::HasScratchBitmaps());
  }
  EXPECT_EQ(CachedFont::LiveFonts(), before);
  EXPECT_EQ(platform.freed, 2);
  if (before == 0) {
    EXPECT_FALSE(CachedFont::HasScratchBitmaps());
  }
}

TEST(CachedFont, PathChoice) {
  struct Case {
    const char* name;
    bool native;
    bool wine;
    uint32_t fontFlags;
    uint32_t textFlags;
    bool expectNative;
  } const cases[] = {
      {"native platform", true, false, FontAllowNativePath, 0, true},
      {"no native drawing", false, false, FontAllowNativePath, 0, false},
      {"under Wine", true, true, FontAllowNativePath, 0, false},
      {"font does not allow it", true, false, 0, 0, false},
      {"caller refuses it", true, false, FontAllowNativePath, TextNoNativePath, false},
      {"colour alpha", true, false, FontAllowNativePath, TextUseColourAlpha, false},
      {"font effects", true, false, FontAllowNativePath | 0x20, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StubTextPlatform platform;
    platform.native = c.native;
    platform.wine = c.wine;
    auto font = StubFont(platform, c.fontFlags);
    font->SetForegroundColor(0x80000000);
    auto bitmap = FilledBitmap(40, 12, kBackdrop);
    TextRect rect{0, 0, 40, 12};
    font->RenderText(bitmap.get(), "AB", -1, &rect, TextCentre | c.textFlags);
    EXPECT_EQ(platform.nativeCalls > 0, c.expectNative);
    EXPECT_EQ(platform.glyphsRendered > 0, !c.expectNative);
  }
}

TEST(CachedFont, NativeDrawingWithoutAContextGoesThroughScratch) {
  StubTextPlatform platform;
  platform.native = true;
  auto font = StubFont(platform, FontAllowNativePath);
  auto bitmap = FilledBitmap(40, 12, kBackdrop);
  TextRect rect{0, 0, 40, 12};
  EXPECT_EQ(font->RenderText(bitmap.get(), "AB", -1, &rect, TextCentre), 12);
  // Centred: 20 pixels wide from x = 10.
  EXPECT_EQ(Hex(bitmap->Row(5)[9]), Hex(kBackdrop));
  EXPECT_EQ(Hex(bitmap->Row(5)[10]), Hex(StubTextPlatform::kNativeInk));
  EXPECT_EQ(Hex(bitmap->Row(5)[29]), Hex(StubTextPlatform::kNativeInk));
  EXPECT_EQ(Hex(bitmap->Row(5)[30]), Hex(kBackdrop));

  // Half off the left edge: only the visible part is copied back.
  rect = {-15, 0, 5, 12};
  font->RenderText(bitmap.get(), "AB", -1, &rect, 0);
  EXPECT_EQ(Hex(bitmap->Row(5)[0]), Hex(StubTextPlatform::kNativeInk));
  EXPECT_EQ(Hex(bitmap->Row(5)[4]), Hex(StubTextPlatform::kNativeInk));
  EXPECT_EQ(Hex(bitmap->Row(5)[5]), Hex(kBackdrop));
}

}  // namespace
}  // namespace kestro
