// Linux half of SystemBitmap: a 64-byte aligned heap surface, zero-filled
// like a fresh DIB section. There is no drawing context; the window layer
// presents Pixels() itself.
#include "graphics/raster/SystemBitmap.h"

#include <cstring>
#include <new>

namespace kestro {

struct SystemBitmap::Native {
  void* block = nullptr;
};

namespace {

constexpr std::align_val_t kAlignment{64};

}  // namespace

SystemBitmap::SystemBitmap(int width, int height) : native_(new (std::nothrow) Native) {
  Resize(width, height);
}

SystemBitmap::~SystemBitmap() {
  ReleaseSurface();
  delete native_;
}

void* SystemBitmap::SystemContext() const { return nullptr; }

void SystemBitmap::ReleaseSurface() {
  if (native_ != nullptr && native_->block != nullptr) {
    ::operator delete(native_->block, kAlignment);
    native_->block = nullptr;
  }
  pixels_ = nullptr;
}

bool SystemBitmap::CreateSurface() {
  const int64_t bytes = static_cast<int64_t>(allocatedSpan_) * allocatedHeight_ * 4;
  if (native_ == nullptr || bytes <= 0 || bytes > kMaxBytes) return false;
  void* block = ::operator new(static_cast<size_t>(bytes), kAlignment, std::nothrow);
  if (block == nullptr) return false;
  std::memset(block, 0, static_cast<size_t>(bytes));
  native_->block = block;
  pixels_ = static_cast<PackedPixel*>(block);
  return true;
}

bool SystemBitmap::NativeReady() const { return native_ != nullptr; }

}  // namespace kestro
