#include "graphics/FilmstripKnob.h"

#include "graphics/BitmapControl.h"

namespace kestro {

FilmstripKnob::FilmstripKnob(PluginCore* plugin, int x, int y, int paramIndex, const BitmapStrip& strip,
                             int direction, double gearing)
    : Control(plugin, FrameRect(x, y, strip), paramIndex, BlendSpec{0, 1.0f}),
      direction_(direction),
      gearing_(gearing),
      strip_(strip) {}

FilmstripKnob::~FilmstripKnob() = default;

void FilmstripKnob::HandleMouseDrag(int, int, int dx, int dy, const MouseModifiers& mods) {
  const double g = (mods.shift || mods.control) ? gearing_ * 10.0 : gearing_;
  const PixelRect& r = Rect();
  // Screen y grows downwards: moving up (dy < 0) over a negative extent
  // raises the value.
  if (direction_ == Vertical) {
    SetValue(Value() + dy / static_cast<double>(r.top - r.bottom) / g);
  } else {
    SetValue(Value() + dx / static_cast<double>(r.right - r.left) / g);
  }
  MarkDirty(true);
}

void FilmstripKnob::HandleWheel(int, int, const MouseModifiers& mods, int steps) {
  const double notch = (mods.shift || mods.control) ? 0.001 : 0.01;
  SetValue(Value() + steps * notch);
  MarkDirty(true);
}

bool FilmstripKnob::Draw(GraphicsCore& graphics) { return DrawStripFrame(graphics, strip_, Rect(), Value(), Blend()); }

}  // namespace kestro
