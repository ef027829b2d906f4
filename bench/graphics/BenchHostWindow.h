// What the window benchmarks play host with: a top-level X11 window to embed
// in, on a connection of the benchmark's own, and a host loop that only
// takes registrations (the benchmarks call the editor themselves).
#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <cstdlib>

#include "graphics/HostRunLoop.h"

namespace kestro {

class IdleLoop : public HostRunLoop {
 public:
  bool WatchFile(int, Client*) override { return true; }
  bool StartTimer(int, Client*) override { return true; }
  void Forget(Client*) override {}
};

// window is 0 when there is no display.
struct BenchHostWindow {
  BenchHostWindow() {
    connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection) != 0) return;
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    window = xcb_generate_id(connection);
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 2040, 302, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
    xcb_map_window(connection, window);
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
  }
  ~BenchHostWindow() { xcb_disconnect(connection); }
  BenchHostWindow(const BenchHostWindow&) = delete;
  BenchHostWindow& operator=(const BenchHostWindow&) = delete;
  void* Handle() const { return reinterpret_cast<void*>(uintptr_t{window}); }

  xcb_connection_t* connection = nullptr;
  xcb_window_t window = 0;
};

}  // namespace kestro
