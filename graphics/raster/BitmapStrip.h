#pragma once

#include <cstdint>

#include "graphics/raster/Bitmap.h"

namespace kestro {

// A decoded image holding frameCount frames, stacked top to bottom unless
// framesHorizontal. A plain value: the bitmap belongs to the image cache.
struct BitmapStrip {
  Bitmap* bitmap = nullptr;
  int width = 0;
  int height = 0;
  int frameCount = 1;
  bool framesHorizontal = false;

  // Vertical strip over bitmap, its size read now.
  static BitmapStrip FromBitmap(Bitmap* bitmap, int frameCount) {
    BitmapStrip strip;
    strip.bitmap = bitmap;
    strip.width = bitmap != nullptr ? bitmap->Width() : 0;
    strip.height = bitmap != nullptr ? bitmap->Height() : 0;
    strip.frameCount = frameCount;
    return strip;
  }

  // A count below 1 would divide by zero; such a strip is one frame.
  int Frames() const { return frameCount > 0 ? frameCount : 1; }
  int FrameWidth() const { return framesHorizontal ? width / Frames() : width; }
  int FrameHeight() const { return framesHorizontal ? height : height / Frames(); }
  // First row (vertical) or column (horizontal) of frame n, counting from 0:
  // n * extent / frames, so rounding never accumulates across frames.
  int FrameOffset(int n) const {
    const int64_t extent = framesHorizontal ? width : height;
    return static_cast<int>(static_cast<int64_t>(n) * extent / Frames());
  }
};

}  // namespace kestro
