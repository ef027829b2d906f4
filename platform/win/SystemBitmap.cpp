// Windows half of SystemBitmap: a top-down 32-bit DIB section selected into a
// memory DC compatible with the screen, so the window can BitBlt from it.
#include "graphics/raster/SystemBitmap.h"

#include <windows.h>

#include <new>

namespace kestro {

struct SystemBitmap::Native {
  HDC memoryDc = nullptr;
  HBITMAP dib = nullptr;
  HGDIOBJ previous = nullptr;  // selected before ours, put back on removal
};

SystemBitmap::SystemBitmap(int width, int height) : native_(new (std::nothrow) Native) {
  if (native_ != nullptr) native_->memoryDc = CreateCompatibleDC(nullptr);
  Resize(width, height);
}

SystemBitmap::~SystemBitmap() {
  ReleaseSurface();
  if (native_ != nullptr && native_->memoryDc != nullptr) DeleteDC(native_->memoryDc);
  delete native_;
}

void* SystemBitmap::SystemContext() const {
  return native_ != nullptr ? static_cast<void*>(native_->memoryDc) : nullptr;
}

void SystemBitmap::ReleaseSurface() {
  if (native_ != nullptr && native_->dib != nullptr) {
    SelectObject(native_->memoryDc, native_->previous);
    DeleteObject(native_->dib);
    native_->dib = nullptr;
    native_->previous = nullptr;
  }
  pixels_ = nullptr;
}

bool SystemBitmap::CreateSurface() {
  const int64_t bytes = static_cast<int64_t>(allocatedSpan_) * allocatedHeight_ * 4;
  if (bytes <= 0 || bytes > kMaxBytes) return false;

  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = allocatedSpan_;
  // Negative height: rows top-down, matching IsBottomUp() == false.
  info.bmiHeader.biHeight = IsBottomUp() ? allocatedHeight_ : -allocatedHeight_;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;

  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(native_->memoryDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (dib == nullptr || bits == nullptr) {
    if (dib != nullptr) DeleteObject(dib);
    return false;
  }
  native_->dib = dib;
  native_->previous = SelectObject(native_->memoryDc, dib);
  pixels_ = static_cast<PackedPixel*>(bits);
  return true;
}

bool SystemBitmap::NativeReady() const { return native_ != nullptr && native_->memoryDc != nullptr; }

}  // namespace kestro
