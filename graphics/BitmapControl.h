#pragma once

#include "graphics/Control.h"
#include "graphics/raster/BitmapStrip.h"

namespace kestro {

// An image strip showing the frame that matches the value: the background,
// switches and the gain-reduction meter.
class BitmapControl : public Control {
 public:
  BitmapControl(PluginCore* plugin, int x, int y, int paramIndex, const BitmapStrip& strip, int blendMethod);
  ~BitmapControl() override;

  bool Draw(GraphicsCore& graphics) override;

  const BitmapStrip& Strip() const { return strip_; }

 private:
  BitmapStrip strip_;
};

// The rectangle an N-frame strip's frame occupies at (x, y).
PixelRect FrameRect(int x, int y, const BitmapStrip& strip);

// Draws the frame of strip that shows value into rect: frame k (1-based) =
// trunc((N - 1) * value + 0.5) + 1, so each frame covers an equal share of
// the range and the first and last half a share.
bool DrawStripFrame(GraphicsCore& graphics, const BitmapStrip& strip, const PixelRect& rect, double value,
                    const BlendSpec& blend);

// The 1-based frame DrawStripFrame picks; any value, NaN included, gives a
// frame in 1..N.
int FrameForValue(const BitmapStrip& strip, double value);

}  // namespace kestro
