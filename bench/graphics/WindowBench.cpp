// Cost of showing the editor in its X11 window: copying the whole drawing
// bitmap to the window (the first paint, an exposure) until the server has
// drawn it, through shared memory (argument 1) or the socket (0), and a
// redraw tick with nothing dirty. Needs an X display (run it under Xvfb or a
// desktop).
#include <xcb/xcb.h>

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>

#include "platform/linux/GraphicsX11.h"

namespace kestro {
namespace {

// A host loop that only takes registrations; the benchmark calls the editor.
class IdleLoop : public HostRunLoop {
 public:
  bool WatchFile(int, Client*) override { return true; }
  bool StartTimer(int, Client*) override { return true; }
  void Forget(Client*) override {}
};

// A top-level window to embed in, on a connection of the benchmark's own.
struct HostWindow {
  HostWindow() {
    connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection) != 0) return;
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    window = xcb_generate_id(connection);
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 1020, 151, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
    xcb_map_window(connection, window);
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
  }
  ~HostWindow() { xcb_disconnect(connection); }
  xcb_connection_t* connection = nullptr;
  xcb_window_t window = 0;
};

// A blank editor embedded in the host window; not open without a display.
struct EmbeddedEditor {
  explicit EmbeddedEditor(bool shared = true) {
    editor.PrepareDrawing();
    editor.SetHostRunLoop(&loop);
    editor.AllowSharedMemory(shared);
    open = host.window != 0 && editor.OpenEditorWindow(reinterpret_cast<void*>(uintptr_t{host.window})) != nullptr;
  }
  ~EmbeddedEditor() { editor.CloseEditorWindow(); }
  HostWindow host;
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
