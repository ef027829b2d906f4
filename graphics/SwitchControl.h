#pragma once

#include "graphics/BitmapControl.h"

namespace kestro {

// A bitmap control that steps to its next frame on every click, wrapping
// from the last to the first.
class SwitchControl : public BitmapControl {
 public:
  using BitmapControl::BitmapControl;

  void HandleMouseDown(int x, int y, const MouseModifiers& mods) override;
  // A double click is one more click.
  void HandleDoubleClick(int x, int y, const MouseModifiers& mods) override;
};

}  // namespace kestro
