#include "graphics/raster/SystemBitmap.h"

#include <cstdint>

namespace kestro {

// The sizing policy is the same on every platform; only making and freeing
// the surface (CreateSurface, ReleaseSurface) belongs to the platform halves.
bool SystemBitmap::Resize(int width, int height) {
  if (!NativeReady()) {
    width_ = height_ = 0;
    pixels_ = nullptr;
    return false;
  }
  if (width == width_ && height == height_) return false;

  width_ = width;
  height_ = height;
  if (width > 0 && height > 0 && allocatedSpan_ >= width && allocatedHeight_ >= height &&
      pixels_ != nullptr) {
    return true;
  }

  ReleaseSurface();
  allocatedHeight_ = height > 0 ? height : 0;
  allocatedSpan_ = width > 0 && width <= INT32_MAX - 3 ? (width + 3) & ~3 : 0;
  if (allocatedSpan_ < 1 || allocatedHeight_ < 1) {
    // Never report a size without pixels.
    width_ = height_ = 0;
    allocatedSpan_ = allocatedHeight_ = 0;
    return false;
  }
  if (!CreateSurface()) {
    width_ = height_ = 0;
    allocatedSpan_ = allocatedHeight_ = 0;
  }
  return true;
}

}  // namespace kestro
