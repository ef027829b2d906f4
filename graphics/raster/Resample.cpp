#include "graphics/raster/Resample.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "graphics/raster/Bitmap.h"

namespace kestro {

namespace {

struct Tap {
  int index;  // source position
  float weight;
};

// For each of n destination positions, the source positions it draws from
// (count source positions starting at first) and their weights, summing
// to 1.
std::vector<std::vector<Tap>> AxisTaps(int first, int count, int n) {
  std::vector<std::vector<Tap>> taps(static_cast<size_t>(n));
  const double ratio = static_cast<double>(count) / n;  // source per destination
  for (int d = 0; d < n; ++d) {
    auto& list = taps[static_cast<size_t>(d)];
    if (ratio >= 1.0) {
      // Shrinking: the destination pixel covers [d, d + 1) * ratio.
      const double begin = d * ratio, end = (d + 1) * ratio;
      for (int s = static_cast<int>(begin); s < count && s < end; ++s) {
        const double covered = std::min<double>(s + 1, end) - std::max<double>(s, begin);
        if (covered > 0.0) list.push_back({first + s, static_cast<float>(covered / ratio)});
      }
    } else {
      // Growing: between the two nearest source centres.
      const double u = std::clamp((d + 0.5) * ratio - 0.5, 0.0, count - 1.0);
      const int s = static_cast<int>(u);
      const double f = u - s;
      list.push_back({first + s, static_cast<float>(1.0 - f)});
      if (f > 0.0 && s + 1 < count) list.push_back({first + s + 1, static_cast<float>(f)});
    }
  }
  return taps;
}

}  // namespace

void ResampleRect(const Bitmap& source, const BlitRect& from, Bitmap& destination, const BlitRect& to) {
  const int sw = from.right - from.left, sh = from.bottom - from.top;
  const int dw = to.right - to.left, dh = to.bottom - to.top;
  if (sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0 || source.Pixels() == nullptr || destination.Pixels() == nullptr) {
    return;
  }
  const auto columns = AxisTaps(from.left, sw, dw);
  const auto rows = AxisTaps(from.top, sh, dh);
  for (int dy = 0; dy < dh; ++dy) {
    PackedPixel* out = destination.Row(to.top + dy) + to.left;
    for (int dx = 0; dx < dw; ++dx) {
      // Premultiplied sums: alpha, red, green, blue.
      float a = 0.0f, r = 0.0f, g = 0.0f, b = 0.0f;
      for (const Tap& row : rows[static_cast<size_t>(dy)]) {
        const PackedPixel* in = source.Row(row.index);
        for (const Tap& column : columns[static_cast<size_t>(dx)]) {
          const PackedPixel p = in[column.index];
          const float w = row.weight * column.weight;
          const float alpha = w * static_cast<float>(PixelByte(p, 3));
          a += alpha;
          r += alpha * static_cast<float>(PixelByte(p, 2));
          g += alpha * static_cast<float>(PixelByte(p, 1));
          b += alpha * static_cast<float>(PixelByte(p, 0));
        }
      }
      auto byte = [](float v) { return static_cast<uint32_t>(std::clamp(std::lround(v), 0L, 255L)); };
      if (a <= 0.0f) {
        out[dx] = 0;
      } else {
        out[dx] = MakePackedPixel(byte(a), byte(r / a), byte(g / a), byte(b / a));
      }
    }
  }
}

}  // namespace kestro
