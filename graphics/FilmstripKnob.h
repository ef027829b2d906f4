#pragma once

#include "graphics/Control.h"
#include "graphics/raster/BitmapStrip.h"

namespace kestro {

// A knob drawn from a film strip, turned by dragging or the wheel. A full
// sweep takes gearing times the control's extent in pixels; Shift or Ctrl
// makes it ten times finer.
class FilmstripKnob : public Control {
 public:
  enum Direction : int { Vertical = 0, Horizontal = 1 };

  FilmstripKnob(PluginCore* plugin, int x, int y, int paramIndex, const BitmapStrip& strip,
                int direction = Vertical, double gearing = 4.0);
  ~FilmstripKnob() override;

  void HandleMouseDrag(int x, int y, int dx, int dy, const MouseModifiers& mods) override;
  void HandleWheel(int x, int y, const MouseModifiers& mods, int steps) override;
  bool EditsOnWheel() const override { return true; }
  bool Draw(GraphicsCore& graphics) override;

 private:
  int direction_;
  double gearing_;
  BitmapStrip strip_;
};

}  // namespace kestro
