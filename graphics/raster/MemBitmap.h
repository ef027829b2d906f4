#pragma once

#include <cstddef>
#include <cstdint>

#include "graphics/raster/Bitmap.h"

namespace kestro {

// A bitmap in heap memory: pixels 64-byte aligned, row span the width rounded
// up to a multiple of 4 pixels. The block only ever grows (with 25 % headroom)
// so that repeated resizes rarely reallocate.
class MemBitmap final : public Bitmap {
 public:
  // Largest pixel byte count we accept. Callers compute row offsets as
  // y * RowSpan() * 4 in int, so the whole surface must stay inside an int.
  static constexpr int64_t kMaxBytes = INT32_MAX - 63;

  MemBitmap() = default;
  ~MemBitmap() override;

  PackedPixel* Pixels() const override;
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  int RowSpan() const override { return (width_ + kRowAlignMask) & ~kRowAlignMask; }
  // Non-positive sizes, sizes beyond kMaxBytes and allocation failure leave
  // the bitmap empty (0 x 0, no pixels).
  bool Resize(int width, int height) override;

  // Bytes reserved for pixels, not counting the alignment slack.
  size_t AllocatedSize() const { return allocated_; }

 private:
  static constexpr int kRowAlignMask = 3;
  static constexpr size_t kAlignSlack = 63;

  void Release();

  void* buffer_ = nullptr;
  int width_ = 0;
  int height_ = 0;
  size_t allocated_ = 0;
};

}  // namespace kestro
