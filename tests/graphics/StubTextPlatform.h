#pragma once

#include <algorithm>
#include <cstdint>

#include "graphics/raster/TextFlags.h"
#include "graphics/raster/TextPlatform.h"

namespace kestro {

// A text platform with box glyphs: every character but the space advances
// by `advance` and inks the columns 1..advance-2 and rows 2..lineHeight-3 of
// its cell at `coverage`. Native drawing, when switched on, fills the text's
// rectangle with kNativeInk and measures advance pixels per byte.
class StubTextPlatform final : public TextPlatform {
 public:
  static constexpr PackedPixel kNativeInk = 0xFF00FF00;

  struct StubFont {
    int lineHeight;
    int advance;
    uint8_t coverage;
  };

  int lineHeight = 12;
  int advance = 10;
  uint8_t coverage = 255;
  int failuresLeft = 0;
  bool native = false;
  bool wine = false;

  int made = 0;
  int freed = 0;
  int glyphsRendered = 0;
  int nativeCalls = 0;

  void* MakeFont(const FontRequest& /*request*/) override {
    if (failuresLeft > 0) {
      --failuresLeft;
      return nullptr;
    }
    ++made;
    return new StubFont{lineHeight, advance, coverage};
  }

  void FreeFont(void* font) override {
    ++freed;
    delete static_cast<StubFont*>(font);
  }

  int LineHeight(void* font, Bitmap* /*raster*/) override { return static_cast<StubFont*>(font)->lineHeight; }

  bool RenderGlyph(void* font, uint32_t code, Bitmap* raster, int margin, int* advanceOut,
                   int* heightOut) override {
    ++glyphsRendered;
    const auto* stub = static_cast<StubFont*>(font);
    *advanceOut = stub->advance;
    *heightOut = stub->lineHeight;
    const int width = std::min(stub->advance + 2 * margin, raster->Width());
    const int height = std::min(stub->lineHeight, raster->Height());
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        const bool ink = code != ' ' && x >= margin + 1 && x <= margin + stub->advance - 2 && y >= 2 &&
                         y <= stub->lineHeight - 3;
        raster->Row(y)[x] = 0xFF000000u | (ink ? stub->coverage * 0x010101u : 0);
      }
    }
    return true;
  }

  bool HasNativeDrawing() override { return native; }
  bool RunningUnderWine() override { return wine; }

  int DrawNative(void* font, Bitmap* target, const char* text, int length, TextRect* rect, uint32_t flags,
                 const Colours& /*colours*/) override {
    ++nativeCalls;
    const auto* stub = static_cast<StubFont*>(font);
    const int bytes = length < 0 ? static_cast<int>(std::char_traits<char>::length(text)) : length;
    if ((flags & TextMeasure) != 0) {
      rect->right = rect->left + bytes * stub->advance;
      rect->bottom = rect->top + stub->lineHeight;
      return stub->lineHeight;
    }
    for (int y = std::max(rect->top, 0); y < std::min(rect->bottom, target->Height()); ++y) {
      for (int x = std::max(rect->left, 0); x < std::min(rect->right, target->Width()); ++x) {
        target->Row(y)[x] = kNativeInk;
      }
    }
    return stub->lineHeight;
  }
};

}  // namespace kestro
