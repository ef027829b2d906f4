// Cost of showing the editor in its X11 window: copying the whole drawing
// bitmap to the window (the first paint, an exposure) until the server has
// drawn it, through shared memory (argument 1) or the socket (0), and a
// redraw tick with nothing dirty. Needs an X display (run it under Xvfb or a
// desktop).
#include <benchmark/benchmark.h>

#include "bench/graphics/BenchHostWindow.h"
#include "platform/linux/GraphicsX11.h"

namespace kestro {
namespace {

// A blank editor embedded in the host window; not open without a display.
struct EmbeddedEditor {
  explicit EmbeddedEditor(bool shared = true) {
    editor.PrepareDrawing();
    editor.SetHostRunLoop(&loop);
    editor.AllowSharedMemory(shared);
    open = host.window != 0 && editor.OpenEditorWindow(host.Handle()) != nullptr;
  }
  ~EmbeddedEditor() { editor.CloseEditorWindow(); }
  BenchHostWindow host;
  IdleLoop loop;
  GraphicsX11 editor{nullptr, 1020, 151, 25};
  bool open = false;
};

void BM_PresentWholeEditor(benchmark::State& state) {
  EmbeddedEditor embedded(state.range(0) != 0);
  if (!embedded.open) {
    state.SkipWithError("no X display");
    return;
  }
  // 616 KB of pixels either way; the events read are the server's word
  // that a shared-memory put is done.
  for (auto _ : state) {
    benchmark::DoNotOptimize(embedded.editor.PresentRegion({0, 0, 1020, 151}));
    embedded.editor.WaitForServer();
    embedded.editor.ProcessEvents();
  }
}
BENCHMARK(BM_PresentWholeEditor)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

void BM_IdleTick(benchmark::State& state) {
  EmbeddedEditor embedded;
  if (!embedded.open) {
    state.SkipWithError("no X display");
    return;
  }
  embedded.editor.Tick();
  for (auto _ : state) embedded.editor.Tick();
}
BENCHMARK(BM_IdleTick)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kestro
