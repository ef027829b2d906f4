#include "graphics/ScaleMapping.h"

#include <algorithm>
#include <cmath>

namespace kestro {

ScaleMapping::ScaleMapping(double scale)
    : scale_(std::isnan(scale) ? kMinScale : std::clamp(scale, kMinScale, kMaxScale)) {}

int ScaleMapping::ToDevice(int v) const {
  if (IsIdentity()) return v;
  return static_cast<int>(std::lround(v * scale_));
}

PixelRect ScaleMapping::ToDevice(const PixelRect& rect) const {
  if (IsIdentity()) return rect;
  return {ToDevice(rect.left), ToDevice(rect.top), ToDevice(rect.right), ToDevice(rect.bottom)};
}

int ScaleMapping::ToEditor(int d) const {
  if (IsIdentity()) return d;
  // The quotient is within one of the answer; rounding decides the rest.
  int v = static_cast<int>(std::floor(d / scale_));
  while (ToDevice(v + 1) <= d) ++v;
  while (ToDevice(v) > d) --v;
  return v;
}

PixelRect ScaleMapping::ToEditor(const PixelRect& rect) const {
  if (IsIdentity() || rect.Empty()) return rect;
  // The right edge is exclusive: the last device pixel inside is right - 1.
  const int left = ToEditor(rect.left);
  const int top = ToEditor(rect.top);
  return {left, top, rect.right > rect.left ? ToEditor(rect.right - 1) + 1 : left,
          rect.bottom > rect.top ? ToEditor(rect.bottom - 1) + 1 : top};
}

}  // namespace kestro
