// KESTRO's editor in its X11 window, timed until the server has drawn it:
// the first paint (opening the window and showing the whole editor) and one
// knob-drag step (the move, the redraw of the knob and its copy to the
// window), through shared memory (first argument 1) or the socket (0), at
// scale 1 or 2 (second argument, in percent). Needs an X display: run it
// under Xvfb or on a desktop.
#include <benchmark/benchmark.h>

#include "bench/graphics/BenchHostWindow.h"
#include "platform/linux/GraphicsX11.h"
#include "plugin/Kestro.h"

namespace kestro {
namespace {

struct WindowedKestro {
  explicit WindowedKestro(const benchmark::State& state) {
    kestro.LoadPreset(0);
    editor = dynamic_cast<GraphicsX11*>(kestro.Editor());
    if (editor == nullptr) return;
    editor->SetHostRunLoop(&loop);
    editor->AllowSharedMemory(state.range(0) != 0);
    editor->SetScale(static_cast<double>(state.range(1)) / 100.0);
  }
  bool Open() { return host.window != 0 && editor != nullptr && editor->OpenEditorWindow(host.Handle()) != nullptr; }
  BenchHostWindow host;
  IdleLoop loop;
  Kestro kestro;
  GraphicsX11* editor = nullptr;
};

void BM_WindowFirstPaint(benchmark::State& state) {
  WindowedKestro k(state);
  if (!k.Open()) {
    state.SkipWithError("no X display");
    return;
  }
  k.editor->Tick();  // fonts and images loaded once per module
  k.editor->CloseEditorWindow();
  for (auto _ : state) {
    k.Open();
    k.editor->Tick();
    k.editor->WaitForServer();
    state.PauseTiming();
    k.editor->CloseEditorWindow();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_WindowFirstPaint)->ArgsProduct({{1, 0}, {100, 200}})->Unit(benchmark::kMicrosecond);

void BM_WindowKnobDragStep(benchmark::State& state) {
  WindowedKestro k(state);
  if (!k.Open()) {
    state.SkipWithError("no X display");
    return;
  }
  k.editor->Tick();
  const MouseModifiers left{true, false, false, false, false};
  // The threshold knob, dragged up and down by one pixel per step.
  k.editor->MouseDown(661, 64, left);
  int y = 64, direction = -1;
  for (auto _ : state) {
    y += direction;
    if (y < 10 || y > 120) direction = -direction;
    k.editor->MouseDrag(661, y, left);
    k.editor->Tick();
    k.editor->WaitForServer();
  }
  k.editor->MouseUp(661, y, left);
}
BENCHMARK(BM_WindowKnobDragStep)->ArgsProduct({{1, 0}, {100, 200}})->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kestro
