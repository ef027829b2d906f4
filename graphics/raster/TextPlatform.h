#pragma once

#include <cstdint>

#include "graphics/raster/Bitmap.h"
#include "graphics/raster/PackedPixel.h"
#include "graphics/raster/TextRect.h"

namespace kestro {

// What a font asks of the platform: making fonts, rasterising single
// characters, and (where there is one) the platform's own text drawing. Each
// platform implements it in its own file; tests substitute their own.
class TextPlatform {
 public:
  struct FontRequest {
    int size = 0;         // character cell height in pixels
    int orientation = 0;  // degrees counter-clockwise
    bool bold = false;
    bool italic = false;
    int quality = 0;  // 0 default, 1 no antialiasing, 2 antialiased, 3 ClearType
    const char* face = "";
  };

  // Native drawing state handed over with every call.
  struct Colours {
    PackedPixel text = 0;
    int backgroundMode = 1;  // 1 transparent, 2 opaque
    PackedPixel background = 0xFFFFFFFF;
  };

  virtual ~TextPlatform() = default;

  // The platform's implementation, alive for the whole module.
  static TextPlatform& Native();

  // A platform font, or null when none can be made.
  virtual void* MakeFont(const FontRequest& request) = 0;
  virtual void FreeFont(void* font) = 0;
  // Character height from the font's metrics. raster is the shared glyph
  // raster bitmap, for platforms that need a drawing context to ask.
  virtual int LineHeight(void* font, Bitmap* raster) = 0;
  // Rasterises one character white on black into raster: the region
  // (advance + 2 * margin) x height from the top-left corner, pen at
  // x = margin, coverage in the red byte. Sets advance and height; false
  // when the character cannot be rendered.
  virtual bool RenderGlyph(void* font, uint32_t code, Bitmap* raster, int margin, int* advance,
                           int* height) = 0;

  // Whether DrawNative exists at all.
  virtual bool HasNativeDrawing() = 0;
  // Whether the module runs under the Wine compatibility layer; asked once.
  virtual bool RunningUnderWine() = 0;
  // The platform's own text drawing into target (flags as Font::RenderText);
  // returns the text height. With TextMeasure the computed rectangle is
  // written back to rect.
  virtual int DrawNative(void* font, Bitmap* target, const char* text, int length, TextRect* rect,
                         uint32_t flags, const Colours& colours) = 0;
};

}  // namespace kestro
