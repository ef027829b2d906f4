#pragma once

// Per-channel formulas shared by Blit and FillRectangle. All arithmetic is on
// ints; '/' truncates toward zero exactly as the results require, so it must
// not be replaced by shifts where the operand can be negative.

#include <cstdint>

#include "graphics/raster/PackedPixel.h"

namespace kestro {

inline int Clamp255(int value) { return value < 0 ? 0 : (value > 255 ? 255 : value); }

// Source channels as ints (blue, green, red, alpha). A fill passes its
// strength as the alpha, which may be 256, so a byte would not do.
struct BlendSource {
  int channel[4];

  static BlendSource FromPixel(PackedPixel pixel) {
    return {{static_cast<int>(PixelByte(pixel, 0)), static_cast<int>(PixelByte(pixel, 1)),
             static_cast<int>(PixelByte(pixel, 2)), static_cast<int>(PixelByte(pixel, 3))}};
  }
};

// Applies op(destByte, sourceValue) to all four channels.
template <typename Op>
inline PackedPixel BlendAllChannels(PackedPixel dest, const BlendSource& source, Op op) {
  PackedPixel out = 0;
  for (int n = 0; n < 4; ++n) {
    const int d = static_cast<int>(PixelByte(dest, n));
    out |= static_cast<PackedPixel>(op(d, source.channel[n]) & 0xFF) << (8 * n);
  }
  return out;
}

inline int BlendCopyChannel(int d, int s, int w) { return s + (d - s) * (256 - w) / 256; }

inline int BlendAddChannel(int d, int s, int w) { return Clamp255(d + s * w / 256); }

inline int BlendDodgeChannel(int d, int s, int w) {
  const int k = s * w / 256;
  return k < 255 ? Clamp255(d * 256 / (256 - k)) : Clamp255(d * 256);
}

inline int BlendMultiplyChannel(int d, int s, int w) { return (d * (s * w + (256 - w) * 256)) >> 16; }

inline int BlendOverlayChannel(int d, int s, int w) {
  const int m = s * w + (256 - w) * 128;
  return Clamp255(((0x8000 - m) * d / 256 + m) * d >> 15);
}

// Shifts the destination's hue, saturation and value by amounts read from the
// source's red, green and blue, with strength k (0..256); the result's alpha
// is alphaOut.
PackedPixel BlendHsvAdjust(PackedPixel dest, int sourceRed, int sourceGreen, int sourceBlue,
                           int alphaOut, int k);

// Strength 0..256 from an opacity, truncated as trunc(opacity * 256.0) in
// double. Opacities outside 0..1 (and NaN) are limited to that range: the
// formulas leave the byte range or divide by zero beyond it.
inline int BlendWeight(float opacity) {
  const double scaled = static_cast<double>(opacity) * 256.0;
  if (!(scaled > 0.0)) return 0;
  if (scaled >= 256.0) return 256;
  return static_cast<int>(scaled);
}

}  // namespace kestro
