// KESTRO's editor redrawn as its window would: a full redraw (the first
// paint), and one knob-drag step (the move, the dirty-region collection and
// the redraw of that region), in microseconds per operation; the argument is
// the scale in percent (100: editor-sized, 200: twice the density).
#include <benchmark/benchmark.h>

#include <mutex>

#include "graphics/GraphicsCore.h"
#include "plugin/Kestro.h"

namespace kestro {
namespace {

class BenchKestro : public Kestro {
 public:
  BenchKestro() { LoadPreset(0); }
  GraphicsCore& Editor() { return *dynamic_cast<GraphicsCore*>(PluginCore::Editor()); }
};

void BM_EditorFullRedraw(benchmark::State& state) {
  BenchKestro k;
  GraphicsCore& editor = k.Editor();
  editor.SetScale(static_cast<double>(state.range(0)) / 100.0);
  const PixelRect all{0, 0, editor.Width(), editor.Height()};
  editor.DrawRegion(all);  // glyphs and images warm
  for (auto _ : state) {
    editor.DrawRegion(all);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_EditorFullRedraw)->Arg(100)->Arg(150)->Arg(200)->Unit(benchmark::kMicrosecond);

void BM_EditorKnobDragStep(benchmark::State& state) {
  BenchKestro k;
  GraphicsCore& editor = k.Editor();
  editor.SetScale(static_cast<double>(state.range(0)) / 100.0);
  editor.DrawRegion({0, 0, editor.Width(), editor.Height()});
  const MouseModifiers left{true, false, false, false, false};
  // The threshold knob, dragged up and down by one pixel per step.
  editor.MouseDown(661, 64, left);
  int y = 64, direction = -1;
  for (auto _ : state) {
    y += direction;
    if (y < 10 || y > 120) direction = -direction;
    editor.MouseDrag(661, y, left);
    PixelRect dirty;
    if (editor.CollectDirtyRect(dirty)) editor.DrawRegion(dirty);
    benchmark::ClobberMemory();
  }
  editor.MouseUp(661, y, left);
}
BENCHMARK(BM_EditorKnobDragStep)->Arg(100)->Arg(150)->Arg(200)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kestro

BENCHMARK_MAIN();
