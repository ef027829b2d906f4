#include "graphics/SwitchControl.h"

namespace kestro {

void SwitchControl::HandleMouseDown(int, int, const MouseModifiers&) {
  const int n = Strip().Frames();
  const double step = n > 1 ? 1.0 / (n - 1) : 1.0;
  double v = Value() + step;
  // The tolerance absorbs the rounding of repeated 1/(N-1) steps.
  if (v > 1.001) v = 0.0;
  SetValue(v);
  MarkDirty(true);
}

void SwitchControl::HandleDoubleClick(int x, int y, const MouseModifiers& mods) { HandleMouseDown(x, y, mods); }

}  // namespace kestro
