#pragma once

#include <cstdint>

#include "graphics/raster/PackedPixel.h"

namespace kestro {

// A colour as four 0..255 components with straight alpha.
struct ArgbColor {
  int32_t alpha = 255;
  int32_t red = 0;
  int32_t green = 0;
  int32_t blue = 0;

  PackedPixel Packed() const {
    return static_cast<PackedPixel>(alpha) << 24 | static_cast<PackedPixel>(red) << 16 |
           static_cast<PackedPixel>(green) << 8 | static_cast<PackedPixel>(blue);
  }
  friend bool operator==(const ArgbColor&, const ArgbColor&) = default;
};

inline constexpr ArgbColor kOpaqueBlack{255, 0, 0, 0};
inline constexpr ArgbColor kOpaqueWhite{255, 255, 255, 255};

}  // namespace kestro
