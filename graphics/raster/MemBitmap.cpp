#include "graphics/raster/MemBitmap.h"

#include <cstdlib>

namespace kestro {

namespace {

// Pixel bytes for w x h with the row span rounded up to 4 pixels, or -1 when
// the size is not positive or exceeds MemBitmap::kMaxBytes.
int64_t PixelBytes(int width, int height) {
  if (width <= 0 || height <= 0) return -1;
  const int64_t span = (static_cast<int64_t>(width) + 3) & ~int64_t{3};
  const int64_t rowBytes = span * 4;
  if (rowBytes > MemBitmap::kMaxBytes / height) return -1;
  return rowBytes * height;
}

}  // namespace

MemBitmap::~MemBitmap() { Release(); }

void MemBitmap::Release() {
  std::free(buffer_);
  buffer_ = nullptr;
  allocated_ = 0;
}

PackedPixel* MemBitmap::Pixels() const {
  if (buffer_ == nullptr) return nullptr;
  const auto address = reinterpret_cast<uintptr_t>(buffer_);
  const uintptr_t aligned = (address + kAlignSlack) & ~static_cast<uintptr_t>(kAlignSlack);
  return static_cast<PackedPixel*>(static_cast<void*>(static_cast<char*>(buffer_) + (aligned - address)));
}

bool MemBitmap::Resize(int width, int height) {
  if (width == width_ && height == height_) return false;
  width_ = width;
  height_ = height;

  const int64_t needed64 = PixelBytes(width, height);
  if (needed64 > 0) {
    const auto needed = static_cast<size_t>(needed64);
    if (buffer_ == nullptr) {
      buffer_ = std::malloc(needed + kAlignSlack);
      allocated_ = buffer_ != nullptr ? needed : 0;
    } else if (allocated_ < needed) {
      const size_t grown = needed / 4 * 5;
      void* moved = std::realloc(buffer_, grown + kAlignSlack);
      if (moved != nullptr) {
        buffer_ = moved;
        allocated_ = grown;
      } else {
        // The headroom did not fit: settle for the exact size.
        std::free(buffer_);
        buffer_ = std::malloc(needed + kAlignSlack);
        allocated_ = buffer_ != nullptr ? needed : 0;
      }
    }
  } else {
    Release();
  }

  if (buffer_ == nullptr) {
    width_ = 0;
    height_ = 0;
    allocated_ = 0;
  }
  return true;
}

}  // namespace kestro
