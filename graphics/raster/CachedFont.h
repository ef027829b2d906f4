#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "graphics/raster/Font.h"
#include "graphics/raster/TextPlatform.h"

namespace kestro {

// A font that draws either through the platform's own text drawing or by
// rasterising each character once into an 8-bit coverage mask and blending
// the masks itself. All fonts share two scratch bitmaps (the glyph raster and
// a small one for destinations without a drawing context); they live while
// any font does. Fonts are used on the user-interface thread only.
class CachedFont final : public Font {
 public:
  explicit CachedFont(TextPlatform& platform = TextPlatform::Native());
  ~CachedFont() override;

  void SetFromPlatformFont(void* font, uint32_t flags) override;
  PackedPixel SetForegroundColor(PackedPixel colour) override;
  PackedPixel SetBackgroundColor(PackedPixel colour) override;
  PackedPixel SetEffectsColour(PackedPixel colour) override;
  int SetBackgroundMode(int mode) override;
  void SetTextBlendMode(BlitMode mode, float opacity) override;
  int RenderText(Bitmap* bitmap, const char* text, int length, TextRect* rect, uint32_t flags) override;
  PackedPixel TextColor() const override { return textColour_; }
  void* PlatformFont() const override { return platformFont_; }
  int LineHeight() const override { return lineHeight_; }
  bool DrawGlyph(Bitmap* bitmap, uint32_t code, int x, int y, const TextRect* clip) override;

  void SetExtraLineSpacing(int pixels) { extraLineSpacing_ = pixels; }
  uint32_t FontFlags() const { return fontFlags_; }

  // Line heights above this refuse glyph rendering (the raster would be huge).
  static constexpr int kMaxGlyphLineHeight = 1023;
  // Masks beyond this many bytes are not cached: such glyphs stay undrawn
  // rather than letting hostile text grow the store without bound.
  static constexpr size_t kMaxMaskBytes = size_t{64} << 20;

  // Module-wide state, for tests.
  static int LiveFonts();
  static bool HasScratchBitmaps();

 private:
  struct GlyphRecord {
    int32_t location = 0;  // mask offset + 1; 0 not rendered yet, -1 no visible pixels
    int32_t width = 0;
    int32_t height = 0;
    int32_t advance = 0;
    uint32_t code = 0;
    int32_t offset = 0;  // mask's left edge relative to the pen
  };
  struct Extent {
    int64_t width = 0;
    int64_t height = 0;
  };

  void ForgetGlyphs();
  const GlyphRecord* FindGlyph(uint32_t code);
  GlyphRecord RenderGlyph(uint32_t code);
  Extent WalkText(Bitmap* bitmap, const unsigned char* text, size_t length, int64_t x, int64_t y,
                  uint32_t flags, const TextRect& clip, float opacity);
  void BlendGlyph(Bitmap* bitmap, const GlyphRecord& glyph, int64_t x, int64_t y, const TextRect& clip,
                  float opacity);
  int RenderNative(Bitmap* bitmap, const char* text, int length, TextRect* rect, uint32_t flags);

  PackedPixel textColour_ = 0;
  PackedPixel backgroundColour_ = 0xFFFFFFFF;
  PackedPixel effectsColour_ = 0xFFFFFFFF;
  int backgroundMode_ = 1;
  BlitMode combineMode_ = BlitCopy;
  float opacity_ = 1.0f;
  uint32_t fontFlags_ = 0;
  int lineHeight_ = 0;
  int extraLineSpacing_ = 0;
  GlyphRecord lowGlyphs_[128] = {};
  std::vector<GlyphRecord> highGlyphs_;  // codes 128 and above, sorted by code
  std::vector<uint8_t> masks_;
  void* platformFont_ = nullptr;
  TextPlatform* platform_;
};

}  // namespace kestro
