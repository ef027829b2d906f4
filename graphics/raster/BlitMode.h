#pragma once

#include <cstdint>

namespace kestro {

// Compositing mode word for Blit and FillRectangle: the low byte selects the
// operation, BlitUseSourceAlpha weights each pixel by the source alpha.
using BlitMode = int32_t;

inline constexpr BlitMode BlitCopy = 0;
inline constexpr BlitMode BlitAdd = 1;
inline constexpr BlitMode BlitDodge = 2;
inline constexpr BlitMode BlitMultiply = 3;
inline constexpr BlitMode BlitOverlay = 4;
inline constexpr BlitMode BlitHsvAdjust = 5;
// 0xF0..0xFF: copy source byte (mode & 3) into destination byte ((mode >> 2) & 3).
inline constexpr BlitMode BlitChannelCopy = 0xF0;
inline constexpr BlitMode BlitUseSourceAlpha = 0x10000;

// Channel copy from byte sourceByte into byte destByte (0 blue .. 3 alpha).
constexpr BlitMode BlitChannelCopyMode(int sourceByte, int destByte) {
  return BlitChannelCopy | (destByte & 3) << 2 | (sourceByte & 3);
}

}  // namespace kestro
