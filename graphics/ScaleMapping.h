#pragma once

#include "graphics/PixelRect.h"

namespace kestro {

// Between the editor's own pixels, in which controls, dirty rectangles and
// input live, and a window's device pixels at one scale (1 to 3; anything
// else is taken as the nearest of those, NaN as 1). Drawing, presenting,
// window sizes and every pointer position go through one of these, so the
// two never drift apart.
class ScaleMapping {
 public:
  static constexpr double kMinScale = 1.0;
  static constexpr double kMaxScale = 3.0;

  explicit ScaleMapping(double scale = kMinScale);

  double Scale() const { return scale_; }
  bool IsIdentity() const { return scale_ == 1.0; }

  // Where editor coordinate v starts in device pixels (rounded half away
  // from zero, so a 1020-pixel editor at 1.25 is 1275 wide).
  int ToDevice(int v) const;
  // Neighbouring rectangles stay neighbours: edges map one by one.
  PixelRect ToDevice(const PixelRect& rect) const;
  // The editor pixel device pixel d lies in: the last v whose device start
  // is at or before d. Exact inverse of ToDevice on those starts; works for
  // positions left of or above the window (a drag outside it) too.
  int ToEditor(int d) const;
  // The editor pixels a device rectangle touches, edges rounded outwards.
  PixelRect ToEditor(const PixelRect& rect) const;

  friend bool operator==(const ScaleMapping&, const ScaleMapping&) = default;

 private:
  double scale_;
};

}  // namespace kestro
