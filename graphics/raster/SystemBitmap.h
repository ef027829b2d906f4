#pragma once

#include <cstdint>

#include "graphics/raster/Bitmap.h"

namespace kestro {

// The editor's drawing surface: a top-down 32-bit bitmap whose row span is
// the width rounded up to a multiple of 4 pixels. On Windows the pixels are a
// DIB section selected into a memory DC (SystemContext) so the window can
// BitBlt it; elsewhere they are plain heap memory and there is no context.
// The storage is replaced only when a resize needs more room.
class SystemBitmap final : public Bitmap {
 public:
  // Same bound as MemBitmap: row offsets must fit an int.
  static constexpr int64_t kMaxBytes = INT32_MAX - 63;

  SystemBitmap(int width, int height);
  ~SystemBitmap() override;

  PackedPixel* Pixels() const override { return pixels_; }
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  int RowSpan() const override { return allocatedSpan_; }
  bool Resize(int width, int height) override;
  void* SystemContext() const override;

 private:
  struct Native;  // the platform half's handles

  bool NativeReady() const;
  void ReleaseSurface();
  bool CreateSurface();

  int width_ = 0;
  int height_ = 0;
  Native* native_ = nullptr;
  PackedPixel* pixels_ = nullptr;
  int allocatedSpan_ = 0;
  int allocatedHeight_ = 0;
};

}  // namespace kestro
