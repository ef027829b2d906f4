#pragma once

#include <cstdint>

#include "graphics/raster/BlitMode.h"

namespace kestro {

// How a control's image is composited: method 0 normal (alpha-weighted copy),
// 1 opaque copy, 2 add, 3 dodge; weight is the opacity.
struct BlendSpec {
  int32_t method = 0;
  float weight = 1.0f;

  BlitMode Mode() const {
    switch (method) {
      case 1: return BlitCopy;
      case 2: return BlitAdd | BlitUseSourceAlpha;
      case 3: return BlitDodge | BlitUseSourceAlpha;
      default: return BlitCopy | BlitUseSourceAlpha;
    }
  }
};

}  // namespace kestro
