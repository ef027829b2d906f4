#pragma once

#include <algorithm>
#include <cstdint>

namespace kestro {

// A rectangle of editor pixels; right and bottom are exclusive. All four
// zero means empty: (5, 5, 5, 5) is a zero-area rectangle but not "empty",
// and rectangles that merely touch count as intersecting. The redraw logic
// depends on both rules.
struct PixelRect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;

  bool Empty() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
  int32_t Width() const { return right - left; }
  int32_t Height() const { return bottom - top; }
  bool Contains(int x, int y) const { return !Empty() && left <= x && x < right && top <= y && y < bottom; }

  friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

inline bool Intersects(const PixelRect& a, const PixelRect& b) {
  return !a.Empty() && !b.Empty() && a.right >= b.left && a.left < b.right && a.bottom >= b.top &&
         a.top < b.bottom;
}

inline PixelRect Intersection(const PixelRect& a, const PixelRect& b) {
  if (!Intersects(a, b)) return {};
  return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
          std::min(a.bottom, b.bottom)};
}

inline PixelRect Union(const PixelRect& a, const PixelRect& b) {
  if (a.Empty()) return b;
  if (b.Empty()) return a;
  return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
          std::max(a.bottom, b.bottom)};
}

}  // namespace kestro
