#include "graphics/raster/PixelBlend.h"

#include <array>

namespace kestro {

namespace {

// R[0] = 0, R[i] = floor(65536 / i) - 1: a 16-bit reciprocal so the hue and
// saturation divisions become multiplies.
constexpr std::array<int, 256> MakeReciprocals() {
  std::array<int, 256> table{};
  for (int i = 1; i < 256; ++i) table[i] = 65536 / i - 1;
  return table;
}

constexpr std::array<int, 256> kReciprocal = MakeReciprocals();

// Hue runs over 384 steps: six sectors of 64.
constexpr int kHueSteps = 384;

int Ramp(int val, int sat, int offset) { return (val * (16384 + sat * offset) / 16384) & 0xFF; }

}  // namespace

PackedPixel BlendHsvAdjust(PackedPixel dest, int sourceRed, int sourceGreen, int sourceBlue,
                           int alphaOut, int k) {
  const int r = static_cast<int>(PixelByte(dest, 2));
  const int g = static_cast<int>(PixelByte(dest, 1));
  const int b = static_cast<int>(PixelByte(dest, 0));

  int max = 0;
  int min = 0;
  int base = 0;
  int numerator = 0;
  if (r >= g && r > b) {
    max = r;
    min = g < b ? g : b;
    base = g < b ? 383 : 0;
    numerator = g - b;
  } else if (g > r && g > b) {
    max = g;
    min = r < b ? r : b;
    base = 128;
    numerator = b - r;
  } else {
    max = b;
    min = r < g ? r : g;
    base = 256;
    numerator = r - g;
  }
  const int span = max - min;

  int hue = base + numerator * (kReciprocal[span] + 1) / 1024 +
            k * (sourceRed / 2 + sourceRed - 192) / 256;
  if (hue < 0) {
    hue += kHueSteps;
  } else if (hue >= kHueSteps) {
    hue -= kHueSteps;
  }
  const int sat = Clamp255(span * kReciprocal[max] / 256 + k * (sourceGreen - 128) / 128);
  const int val = Clamp255(max + k * (sourceBlue - 128) / 128);
  const int low = (256 - sat) * val / 256;

  int red = 0;
  int green = 0;
  int blue = 0;
  // With k limited to 0..256 one wrap always lands in 0..383; the last
  // sector also takes anything beyond, so no input can index out of range.
  switch (hue < 0 ? 0 : hue / 64) {
    case 0:
      red = val;
      green = Ramp(val, sat, hue - 64);
      blue = low;
      break;
    case 1:
      red = Ramp(val, -sat, hue - 64);
      green = val;
      blue = low;
      break;
    case 2:
      red = low;
      green = val;
      blue = Ramp(val, sat, hue - 192);
      break;
    case 3:
      red = low;
      green = Ramp(val, -sat, hue - 192);
      blue = val;
      break;
    case 4:
      red = Ramp(val, sat, hue - 320);
      green = low;
      blue = val;
      break;
    default:
      red = val;
      green = low;
      blue = Ramp(val, -sat, hue - 320);
      break;
  }
  return MakePackedPixel(static_cast<uint32_t>(Clamp255(alphaOut)), static_cast<uint32_t>(red & 0xFF),
                         static_cast<uint32_t>(green & 0xFF), static_cast<uint32_t>(blue & 0xFF));
}

}  // namespace kestro
