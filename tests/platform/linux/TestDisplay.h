// A test's own connection to the X server: top-level windows to embed in,
// input faked through XTEST, and what is on screen read back. Tests that
// need a display skip without one, unless KESTRO_REQUIRE_DISPLAY is set
// (the test script sets it, next to the Xvfb it starts).
#pragma once

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
#include <xcb/xtest.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>

namespace kestro::test {

class TestDisplay {
 public:
  TestDisplay() {
    connection_ = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection_) != 0) return;
    screen_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
    symbols_ = xcb_key_symbols_alloc(connection_);
  }
  ~TestDisplay() {
    if (symbols_ != nullptr) xcb_key_symbols_free(symbols_);
    xcb_disconnect(connection_);
  }
  TestDisplay(const TestDisplay&) = delete;
  TestDisplay& operator=(const TestDisplay&) = delete;

  bool Ok() const { return screen_ != nullptr; }
  int Error() const { return xcb_connection_has_error(connection_); }
  static bool Required() { return std::getenv("KESTRO_REQUIRE_DISPLAY") != nullptr; }
  xcb_connection_t* Connection() const { return connection_; }
  xcb_window_t Root() const { return screen_->root; }

  // A mapped top-level window at (x, y) that also hears key presses sent to it.
  xcb_window_t TopLevel(int x, int y, int width, int height) {
    const xcb_window_t window = xcb_generate_id(connection_);
    const uint32_t values[] = {screen_->black_pixel, 1, XCB_EVENT_MASK_KEY_PRESS};
    xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window, screen_->root, static_cast<int16_t>(x),
                      static_cast<int16_t>(y), static_cast<uint16_t>(width), static_cast<uint16_t>(height), 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen_->root_visual,
                      XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
    xcb_map_window(connection_, window);
    Sync();
    return window;
  }

  // Waits for the server to have handled everything sent so far.
  void Sync() { std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr)); }

  std::vector<xcb_window_t> Children(xcb_window_t window) {
    std::vector<xcb_window_t> children;
    if (auto* tree = xcb_query_tree_reply(connection_, xcb_query_tree(connection_, window), nullptr)) {
      const xcb_window_t* ids = xcb_query_tree_children(tree);
      children.assign(ids, ids + xcb_query_tree_children_length(tree));
      std::free(tree);
    }
    return children;
  }

  // x, y, width, height; all -1 when the window does not exist.
  std::vector<int> Geometry(xcb_window_t window) {
    std::vector<int> g = {-1, -1, -1, -1};
    if (auto* r = xcb_get_geometry_reply(connection_, xcb_get_geometry(connection_, window), nullptr)) {
      g = {r->x, r->y, r->width, r->height};
      std::free(r);
    }
    return g;
  }

  // Moves a window inside its parent, as a host laying out its own window.
  void Move(xcb_window_t window, int x, int y) {
    const uint32_t place[] = {static_cast<uint32_t>(x), static_cast<uint32_t>(y)};
    xcb_configure_window(connection_, window, XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, place);
    Sync();
  }

  bool Viewable(xcb_window_t window) {
    auto* r = xcb_get_window_attributes_reply(connection_, xcb_get_window_attributes(connection_, window), nullptr);
    const bool viewable = r != nullptr && r->map_state == XCB_MAP_STATE_VIEWABLE;
    std::free(r);
    return viewable;
  }

  // The window's pixels in rect as 0x00RRGGBB, row by row.
  std::vector<uint32_t> Pixels(xcb_window_t window, int x, int y, int width, int height) {
    std::vector<uint32_t> pixels;
    auto* r = xcb_get_image_reply(connection_,
                                  xcb_get_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, window, static_cast<int16_t>(x),
                                                static_cast<int16_t>(y), static_cast<uint16_t>(width),
                                                static_cast<uint16_t>(height), ~0u),
                                  nullptr);
    if (r == nullptr) return pixels;
    const auto* data = reinterpret_cast<const uint32_t*>(xcb_get_image_data(r));
    for (int i = 0; i < width * height; ++i) pixels.push_back(data[i] & 0xffffff);
    std::free(r);
    return pixels;
  }

  // --- Faked input, in root coordinates; each waits until the server took it.
  void MoveTo(int x, int y) { Fake(XCB_MOTION_NOTIFY, 0, x, y); }
  void Button(uint8_t button, bool press) { Fake(press ? XCB_BUTTON_PRESS : XCB_BUTTON_RELEASE, button, 0, 0); }
  void Click(uint8_t button) {
    Button(button, true);
    Button(button, false);
  }
  void Key(uint32_t keysym) {
    xcb_keycode_t* codes = xcb_key_symbols_get_keycode(symbols_, keysym);
    ASSERT_NE(codes, nullptr);
    const xcb_keycode_t code = codes[0];
    std::free(codes);
    Fake(XCB_KEY_PRESS, code, 0, 0);
    Fake(XCB_KEY_RELEASE, code, 0, 0);
  }
  // Gives window the keyboard focus, as a host does when asked to.
  void Focus(xcb_window_t window) {
    xcb_set_input_focus(connection_, XCB_INPUT_FOCUS_PARENT, window, XCB_CURRENT_TIME);
    Sync();
  }
  xcb_window_t Focused() {
    auto* r = xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr);
    const xcb_window_t focus = r != nullptr ? r->focus : 0;
    std::free(r);
    return focus;
  }
  void PointerAt(int& x, int& y) {
    auto* r = xcb_query_pointer_reply(connection_, xcb_query_pointer(connection_, screen_->root), nullptr);
    x = r != nullptr ? r->root_x : -1;
    y = r != nullptr ? r->root_y : -1;
    std::free(r);
  }

  // Key presses sent (not typed) to window since the last call.
  int SentKeyPresses(xcb_window_t window) {
    int count = 0;
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
      const auto* key = reinterpret_cast<const xcb_key_press_event_t*>(event);
      if ((event->response_type & 0x7f) == XCB_KEY_PRESS && (event->response_type & 0x80) != 0 &&
          key->event == window) {
        ++count;
      }
      std::free(event);
    }
    return count;
  }

 private:
  void Fake(uint8_t type, uint8_t detail, int x, int y) {
    xcb_test_fake_input(connection_, type, detail, XCB_CURRENT_TIME, type == XCB_MOTION_NOTIFY ? screen_->root : 0,
                        static_cast<int16_t>(x), static_cast<int16_t>(y), 0);
    Sync();
  }

  xcb_connection_t* connection_ = nullptr;
  xcb_screen_t* screen_ = nullptr;
  xcb_key_symbols_t* symbols_ = nullptr;
};

// Calls step until done says so, a bounded number of times; the editor's
// events need a moment to travel through the server.
inline bool PumpUntil(const std::function<void()>& step, const std::function<bool()>& done, int tries = 200) {
  for (int i = 0; i < tries; ++i) {
    if (done()) return true;
    step();
  }
  return done();
}

}  // namespace kestro::test

// Skips (or, where a display is required, fails) a test without a display.
#define KESTRO_NEED_DISPLAY(display)                                              \
  do {                                                                            \
    if (!(display).Ok()) {                                                        \
      if (::kestro::test::TestDisplay::Required()) FAIL() << "no X display: " << (display).Error(); \
      GTEST_SKIP() << "no X display";                                             \
    }                                                                             \
  } while (0)
