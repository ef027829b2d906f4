#pragma once

#include <cstdint>
#include <iomanip>
#include <memory>
#include <sstream>
#include <string>

#include "graphics/raster/MemBitmap.h"

namespace kestro {

// A heap bitmap filled with one pixel value.
inline std::unique_ptr<MemBitmap> FilledBitmap(int width, int height, PackedPixel value) {
  auto bitmap = std::make_unique<MemBitmap>();
  bitmap->Resize(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) bitmap->Row(y)[x] = value;
  }
  return bitmap;
}

// Pixel value x + 16 * y + 1 in every channel byte (x, y < 15), so a pixel
// tells where it came from.
inline PackedPixel PositionPixel(int x, int y) { return 0x01010101u * static_cast<uint32_t>(x + 16 * y + 1); }

inline std::unique_ptr<MemBitmap> PositionBitmap(int width, int height) {
  auto bitmap = std::make_unique<MemBitmap>();
  bitmap->Resize(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) bitmap->Row(y)[x] = PositionPixel(x, y);
  }
  return bitmap;
}

inline std::string Hex(PackedPixel pixel) {
  std::ostringstream out;
  out << "0x" << std::hex << std::uppercase << std::setw(8) << std::setfill('0') << pixel;
  return out.str();
}

}  // namespace kestro
