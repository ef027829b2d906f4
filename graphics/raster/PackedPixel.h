#pragma once

#include <bit>
#include <cstdint>

namespace kestro {

// One pixel as 0xAARRGGBB with straight (not premultiplied) alpha. In memory
// on our little-endian targets the bytes are blue, green, red, alpha.
using PackedPixel = uint32_t;

static_assert(std::endian::native == std::endian::little,
              "pixel byte order assumes a little-endian target");

constexpr PackedPixel MakePackedPixel(uint32_t alpha, uint32_t red, uint32_t green, uint32_t blue) {
  return (alpha & 0xFF) << 24 | (red & 0xFF) << 16 | (green & 0xFF) << 8 | (blue & 0xFF);
}

// Byte number n of a pixel: 0 blue, 1 green, 2 red, 3 alpha.
constexpr uint32_t PixelByte(PackedPixel pixel, int n) { return (pixel >> (8 * n)) & 0xFF; }

}  // namespace kestro
