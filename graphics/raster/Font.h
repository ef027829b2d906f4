#pragma once

#include <cstdint>

#include "graphics/raster/Bitmap.h"
#include "graphics/raster/BlitMode.h"
#include "graphics/raster/PackedPixel.h"
#include "graphics/raster/TextRect.h"

namespace kestro {

// A font that draws UTF-8 text into bitmaps. Colours are 0xAARRGGBB; the
// platform font is an opaque handle of the native text platform.
class Font {
 public:
  Font() = default;
  Font(const Font&) = delete;
  Font& operator=(const Font&) = delete;
  virtual ~Font() = default;

  // Takes a platform font (flags: see TextFlags.h) and forgets every glyph.
  virtual void SetFromPlatformFont(void* font, uint32_t flags) = 0;
  // Each setter returns the previous value.
  virtual PackedPixel SetForegroundColor(PackedPixel colour) = 0;
  virtual PackedPixel SetBackgroundColor(PackedPixel colour) = 0;
  virtual PackedPixel SetEffectsColour(PackedPixel colour) = 0;
  // 1 transparent, 2 opaque.
  virtual int SetBackgroundMode(int mode) = 0;
  virtual void SetTextBlendMode(BlitMode mode, float opacity) = 0;
  // Draws length bytes of text (-1: up to the terminator) into rect, or with
  // TextMeasure sets rect to the text's extent. Returns the height covered.
  virtual int RenderText(Bitmap* bitmap, const char* text, int length, TextRect* rect, uint32_t flags) = 0;
  virtual PackedPixel TextColor() const = 0;
  virtual void* PlatformFont() const = 0;
  virtual int LineHeight() const = 0;
  // Blends the glyph of one character with its pen position at (x, y),
  // limited to clip (the whole bitmap when null). False when nothing could
  // be drawn.
  virtual bool DrawGlyph(Bitmap* bitmap, uint32_t code, int x, int y, const TextRect* clip) = 0;
};

}  // namespace kestro
