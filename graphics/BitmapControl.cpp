#include "graphics/BitmapControl.h"

#include <cmath>

#include "graphics/GraphicsCore.h"

namespace kestro {

PixelRect FrameRect(int x, int y, const BitmapStrip& strip) {
  return {x, y, x + strip.FrameWidth(), y + strip.FrameHeight()};
}

int FrameForValue(const BitmapStrip& strip, double value) {
  const int n = strip.Frames();
  if (n <= 1) return 1;
  const double position = (n - 1) * value + 0.5;
  // Compare in double before truncating: NaN and values far outside 0..1
  // must not reach an integer conversion.
  if (!(position >= 1.0)) return 1;
  if (position >= n - 1) return n;
  return static_cast<int>(position) + 1;
}

bool DrawStripFrame(GraphicsCore& graphics, const BitmapStrip& strip, const PixelRect& rect, double value,
                    const BlendSpec& blend) {
  const int n = strip.Frames();
  const int k = FrameForValue(strip, value);
  int offset = 0;
  if (n > 1 && k > 1) {
    const double extent = strip.framesHorizontal ? strip.width : strip.height;
    offset = static_cast<int>(extent * (k - 1) / n + 0.5);
  }
  const int sx = strip.framesHorizontal ? offset : 0;
  const int sy = strip.framesHorizontal ? 0 : offset;
  return graphics.DrawStripRegion(strip, rect, sx, sy, blend);
}

BitmapControl::BitmapControl(PluginCore* plugin, int x, int y, int paramIndex, const BitmapStrip& strip,
                             int blendMethod)
    : Control(plugin, FrameRect(x, y, strip), paramIndex, BlendSpec{blendMethod, 1.0f}), strip_(strip) {}

BitmapControl::~BitmapControl() = default;

bool BitmapControl::Draw(GraphicsCore& graphics) { return DrawStripFrame(graphics, strip_, Rect(), Value(), Blend()); }

}  // namespace kestro
