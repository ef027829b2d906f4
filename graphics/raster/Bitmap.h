#pragma once

#include <cstddef>
#include <cstdint>

#include "graphics/raster/PackedPixel.h"

namespace kestro {

// A 32-bit pixel surface. Row span is in pixels and at least the width.
// Pixels() is a handle to the surface memory, so it is available on const
// bitmaps too (a blit source is read through it).
class Bitmap {
 public:
  Bitmap() = default;
  Bitmap(const Bitmap&) = delete;
  Bitmap& operator=(const Bitmap&) = delete;
  virtual ~Bitmap() = default;

  virtual PackedPixel* Pixels() const = 0;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  virtual int RowSpan() const = 0;
  virtual bool IsBottomUp() const { return false; }
  // Changes the size; true if anything changed. Contents are undefined after.
  virtual bool Resize(int width, int height) = 0;
  // Platform drawing context bound to the pixels, if the bitmap has one.
  virtual void* SystemContext() const { return nullptr; }
  // Open-ended query; 0 means not supported.
  virtual intptr_t Extension(int /*id*/, void* /*data*/) { return 0; }

  // Start of logical row y (0 = top), honouring bottom-up storage. The caller
  // keeps y inside 0..Height()-1 and checks Pixels() first.
  PackedPixel* Row(int y) const {
    const ptrdiff_t span = RowSpan();
    const ptrdiff_t stored = IsBottomUp() ? Height() - 1 - static_cast<ptrdiff_t>(y) : y;
    return Pixels() + stored * span;
  }
  // Distance from one logical row to the next, in pixels (negative when bottom-up).
  ptrdiff_t RowStride() const { return IsBottomUp() ? -static_cast<ptrdiff_t>(RowSpan()) : RowSpan(); }
};

}  // namespace kestro
