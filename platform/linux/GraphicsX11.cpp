#include "platform/linux/GraphicsX11.h"

#include <xcb/xcb_keysyms.h>

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/linux/X11Input.h"

namespace kestro {

namespace {

// xcb replies are malloc'ed; this frees them.
struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeDeleter>;

constexpr uint8_t kSentEventBit = 0x80;
constexpr uint16_t kArrowGlyph = 68;  // left_ptr in the standard cursor font
constexpr int kMaxTreeDepth = 64;

uint8_t ButtonBit(uint8_t button) { return static_cast<uint8_t>(1u << button); }
constexpr uint8_t kLeftOrRight = (1u << 1) | (1u << 3);
constexpr uint8_t kAnyButton = (1u << 1) | (1u << 2) | (1u << 3);

}  // namespace

GraphicsX11::~GraphicsX11() {
  // The plug-in is on its way out: close without calling back into it.
  Teardown(true, false);
}

bool GraphicsX11::SupportsWindowType(const char* type) const {
  return type != nullptr && std::strcmp(type, kWindowType) == 0;
}

void* GraphicsX11::WindowHandle() const {
  if (connection_ == nullptr || window_ == 0) return nullptr;
  return reinterpret_cast<void*>(static_cast<uintptr_t>(window_));
}

void* GraphicsX11::OpenEditorWindow(void* parent) {
  const auto parentId = static_cast<xcb_window_t>(reinterpret_cast<uintptr_t>(parent));
  HostRunLoop* loop = HostLoop();
  // Without a host loop nothing would ever read the connection or redraw.
  if (parentId == 0 || loop == nullptr) return nullptr;

  int x = 0;
  int y = 0;
  const int width = std::max(DeviceWidth(), 1);
  const int height = std::max(DeviceHeight(), 1);
  if (connection_ != nullptr) {
    // Opening again: the new window takes the old one's place in its parent
    // (wherever the new parent is on screen).
    Reply<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(connection_, xcb_get_geometry(connection_, window_), nullptr));
    if (geometry) {
      x = geometry->x;
      y = geometry->y;
    }
    CloseEditorWindow();
  }

  connection_ = xcb_connect(nullptr, nullptr);
  if (xcb_connection_has_error(connection_) != 0) {
    Teardown(false, false);
    return nullptr;
  }
  // The parent names its screen through its root; a bad id ends here.
  Reply<xcb_get_geometry_reply_t> parentGeometry(
      xcb_get_geometry_reply(connection_, xcb_get_geometry(connection_, parentId), nullptr));
  const xcb_setup_t* setup = xcb_get_setup(connection_);
  const xcb_screen_t* screen = nullptr;
  if (parentGeometry) {
    for (auto it = xcb_setup_roots_iterator(setup); it.rem > 0; xcb_screen_next(&it)) {
      if (it.data->root == parentGeometry->root) screen = it.data;
    }
  }
  if (screen == nullptr || !CheckPixelFormat(setup, screen)) {
    Teardown(false, false);
    return nullptr;
  }
  parent_ = parentId;
  root_ = screen->root;
  depth_ = screen->root_depth;
  maxRequestBytes_ = static_cast<size_t>(xcb_get_maximum_request_length(connection_)) * 4;

  arrowCursor_ = MakeArrowCursor();
  // No background: the server never erases what the editor draws.
  const uint32_t events = XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE |
                          XCB_EVENT_MASK_POINTER_MOTION | XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_KEY_RELEASE |
                          XCB_EVENT_MASK_LEAVE_WINDOW | XCB_EVENT_MASK_FOCUS_CHANGE |
                          XCB_EVENT_MASK_STRUCTURE_NOTIFY;
  uint32_t mask = XCB_CW_BACK_PIXMAP | XCB_CW_BORDER_PIXEL | XCB_CW_EVENT_MASK | XCB_CW_COLORMAP;
  uint32_t values[5] = {XCB_BACK_PIXMAP_NONE, 0, events, screen->default_colormap, arrowCursor_};
  if (arrowCursor_ != 0) mask |= XCB_CW_CURSOR;
  window_ = xcb_generate_id(connection_);
  xcb_generic_error_t* error = xcb_request_check(
      connection_, xcb_create_window_checked(connection_, depth_, window_, parentId, static_cast<int16_t>(x),
                                             static_cast<int16_t>(y), static_cast<uint16_t>(width),
                                             static_cast<uint16_t>(height), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                                             screen->root_visual, mask, values));
  if (error != nullptr) {
    std::free(error);
    window_ = 0;
    Teardown(false, false);
    return nullptr;
  }
  gc_ = xcb_generate_id(connection_);
  xcb_create_gc(connection_, gc_, window_, 0, nullptr);
  keySymbols_ = xcb_key_symbols_alloc(connection_);
  if (allowSharedMemory_) shared_.Attach(connection_, width, height);
  xcb_map_window(connection_, window_);

  loop_ = loop;
  if (!loop->WatchFile(xcb_get_file_descriptor(connection_), this) ||
      !loop->StartTimer(TimerPeriodMs(FrameRate()), this)) {
    Teardown(true, false);
    return nullptr;
  }
  // The keyboard focus stays with the host: a window that took it on opening
  // or on a click would swallow the host's shortcuts (the space bar's play
  // and stop) while the editor itself wants no keys. Keys reach the editor
  // when the host gives it the focus.
  xcb_flush(connection_);

  // The first tick draws the whole editor.
  for (int i = 0; i < ControlCount(); ++i) ControlAt(i)->MarkDirty(false);
  return WindowHandle();
}

bool GraphicsX11::CheckPixelFormat(const xcb_setup_t* setup, const xcb_screen_t* screen) {
  // The drawing bitmap goes to the server as it is: 32-bit pixels with red,
  // green and blue in the low three bytes, which is what depth-24 TrueColor
  // screens take. Only the byte order may differ.
  bool visualOk = false;
  for (auto d = xcb_screen_allowed_depths_iterator(screen); d.rem > 0; xcb_depth_next(&d)) {
    if (d.data->depth != screen->root_depth) continue;
    for (auto v = xcb_depth_visuals_iterator(d.data); v.rem > 0; xcb_visualtype_next(&v)) {
      if (v.data->visual_id != screen->root_visual) continue;
      visualOk = v.data->_class == XCB_VISUAL_CLASS_TRUE_COLOR && v.data->red_mask == 0xff0000 &&
                 v.data->green_mask == 0x00ff00 && v.data->blue_mask == 0x0000ff;
    }
  }
  bool formatOk = false;
  for (auto f = xcb_setup_pixmap_formats_iterator(setup); f.rem > 0; xcb_format_next(&f)) {
    if (f.data->depth == screen->root_depth) formatOk = f.data->bits_per_pixel == 32;
  }
  const bool serverBigEndian = setup->image_byte_order == XCB_IMAGE_ORDER_MSB_FIRST;
  swapBytes_ = serverBigEndian != (std::endian::native == std::endian::big);
  return visualOk && formatOk;
}

xcb_cursor_t GraphicsX11::MakeArrowCursor() {
  const xcb_font_t font = xcb_generate_id(connection_);
  static constexpr char kCursorFont[] = "cursor";
  if (xcb_generic_error_t* error = xcb_request_check(
          connection_, xcb_open_font_checked(connection_, font, sizeof kCursorFont - 1, kCursorFont))) {
    std::free(error);
    return 0;  // the window then shows its parent's cursor
  }
  const xcb_cursor_t cursor = xcb_generate_id(connection_);
  xcb_generic_error_t* error = xcb_request_check(
      connection_, xcb_create_glyph_cursor_checked(connection_, cursor, font, font, kArrowGlyph, kArrowGlyph + 1, 0,
                                                   0, 0, 0xffff, 0xffff, 0xffff));
  xcb_close_font(connection_, font);
  if (error != nullptr) {
    std::free(error);
    return 0;
  }
  return cursor;
}

xcb_cursor_t GraphicsX11::MakeBlankCursor() {
  // A one-pixel cursor whose mask shows nothing.
  const xcb_pixmap_t pixmap = xcb_generate_id(connection_);
  xcb_create_pixmap(connection_, 1, pixmap, window_, 1, 1);
  const xcb_gcontext_t gc = xcb_generate_id(connection_);
  const uint32_t zero = 0;
  xcb_create_gc(connection_, gc, pixmap, XCB_GC_FOREGROUND, &zero);
  const xcb_rectangle_t pixel = {0, 0, 1, 1};
  xcb_poly_fill_rectangle(connection_, pixmap, gc, 1, &pixel);
  const xcb_cursor_t cursor = xcb_generate_id(connection_);
  xcb_create_cursor(connection_, cursor, pixmap, pixmap, 0, 0, 0, 0, 0, 0, 0, 0);
  xcb_free_gc(connection_, gc);
  xcb_free_pixmap(connection_, pixmap);
  return cursor;
}

void GraphicsX11::CloseEditorWindow() { Teardown(true, true); }

void GraphicsX11::Teardown(bool destroyWindow, bool endPress) {
  if (connection_ == nullptr) return;
  // A window closed under a held button must not leave the host's edit
  // gesture open: the pressed control gets its release.
  if (endPress && (buttonsDown_ & kAnyButton) != 0 && window_ != 0) {
    buttonsDown_ = 0;
    MouseUp(lastX_, lastY_, MouseModifiers{});
  }
  // Nor a wheel run's: no timer will end it once the window is gone.
  if (endPress) EndWheelEdit();
  if (loop_ != nullptr) loop_->Forget(this);
  loop_ = nullptr;
  if (keySymbols_ != nullptr) xcb_key_symbols_free(keySymbols_);
  keySymbols_ = nullptr;
  shared_.Release(connection_);
  if (destroyWindow && window_ != 0 && xcb_connection_has_error(connection_) == 0) {
    // Waits for the server: the window is gone when this returns, whatever
    // the host does next with its own.
    xcb_destroy_window(connection_, window_);
    std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
  }
  // Everything else the connection made goes with it.
  xcb_disconnect(connection_);
  connection_ = nullptr;
  window_ = parent_ = root_ = 0;
  gc_ = arrowCursor_ = blankCursor_ = 0;
  exposed_ = {};
  exposePending_ = false;
  clicks_.Reset();
  buttonsDown_ = 0;
  hoverTracked_ = false;
  pointerHidden_ = false;
  rows_.clear();
  rows_.shrink_to_fit();
}

void GraphicsX11::OnFileReady(int) { ProcessEvents(); }

void GraphicsX11::OnTimer() { Tick(); }

void GraphicsX11::ProcessEvents() {
  while (connection_ != nullptr) {
    Reply<xcb_generic_event_t> event(xcb_poll_for_event(connection_));
    if (!event) break;
    HandleEvent(event.get());
  }
  if (connection_ == nullptr) return;
  // A broken connection stays readable forever; stop watching it.
  if (xcb_connection_has_error(connection_) != 0) {
    Teardown(false, true);
    return;
  }
  DrawExposed();
  xcb_flush(connection_);
}

void GraphicsX11::Tick() {
  TimerTick();
  // Events read off the socket while waiting for some reply sit in xcb's
  // queue, where the host's watch on the socket cannot see them.
  while (connection_ != nullptr) {
    Reply<xcb_generic_event_t> event(xcb_poll_for_queued_event(connection_));
    if (!event) break;
    HandleEvent(event.get());
  }
  if (connection_ == nullptr) return;
  DrawExposed();
  PixelRect dirty;
  if (CollectDirtyRect(dirty)) DrawRegion(dirty);
  if (connection_ == nullptr) return;
  xcb_flush(connection_);
  if (xcb_connection_has_error(connection_) != 0) Teardown(false, true);
}

void GraphicsX11::WaitForServer() {
  if (connection_ == nullptr) return;
  std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
}

void GraphicsX11::DrawExposed() {
  if (!exposePending_) return;
  // Exposures come in device pixels; the editor redraws every pixel of its
  // own that they touch.
  const PixelRect region = Intersection(Mapping().ToEditor(exposed_), PixelRect{0, 0, Width(), Height()});
  exposed_ = {};
  exposePending_ = false;
  if (!region.Empty()) DrawRegion(region);
}

void GraphicsX11::HandleEvent(const xcb_generic_event_t* event) {
  switch (event->response_type & ~kSentEventBit) {
    case XCB_EXPOSE: {
      const auto& e = *reinterpret_cast<const xcb_expose_event_t*>(event);
      if (e.window != window_) break;
      exposed_ = Union(exposed_, PixelRect{e.x, e.y, e.x + e.width, e.y + e.height});
      exposePending_ = true;
      break;
    }
    case XCB_BUTTON_PRESS:
      HandleButtonPress(*reinterpret_cast<const xcb_button_press_event_t*>(event));
      break;
    case XCB_BUTTON_RELEASE:
      HandleButtonRelease(*reinterpret_cast<const xcb_button_release_event_t*>(event));
      break;
    case XCB_MOTION_NOTIFY:
      HandleMotion(*reinterpret_cast<const xcb_motion_notify_event_t*>(event));
      break;
    case XCB_LEAVE_NOTIFY: {
      const auto& e = *reinterpret_cast<const xcb_leave_notify_event_t*>(event);
      // Moving onto a child window, or a grab starting, is no leaving.
      if (e.event == window_ && hoverTracked_ && e.mode == XCB_NOTIFY_MODE_NORMAL &&
          e.detail != XCB_NOTIFY_DETAIL_INFERIOR) {
        hoverTracked_ = false;
        MouseOut();
      }
      break;
    }
    case XCB_KEY_PRESS:
      HandleKey(*reinterpret_cast<const xcb_key_press_event_t*>(event), true);
      break;
    case XCB_KEY_RELEASE:
      HandleKey(*reinterpret_cast<const xcb_key_press_event_t*>(event), false);
      break;
    case XCB_DESTROY_NOTIFY: {
      // The host destroyed its window, and ours with it, before closing.
      const auto& e = *reinterpret_cast<const xcb_destroy_notify_event_t*>(event);
      if (e.window == window_) Teardown(false, true);
      break;
    }
    case XCB_MAPPING_NOTIFY:
      xcb_refresh_keyboard_mapping(keySymbols_,
                                   const_cast<xcb_mapping_notify_event_t*>(
                                       reinterpret_cast<const xcb_mapping_notify_event_t*>(event)));
      break;
    default:
      // Shared-memory completions; focus changes, errors of requests
      // nobody waits for.
      shared_.HandleEvent(event);
      break;
  }
}

void GraphicsX11::HandleButtonPress(const xcb_button_press_event_t& event) {
  if (event.event != window_) return;
  // In editor pixels from here on, the double-click distance too.
  const int x = Mapping().ToEditor(event.event_x);
  const int y = Mapping().ToEditor(event.event_y);
  if (const int steps = WheelSteps(event.detail)) {
    MouseWheel(x, y, ModifiersFromState(event.state), steps);
    return;
  }
  if (event.detail < 1 || event.detail > 3) return;
  buttonsDown_ |= ButtonBit(event.detail);
  lastX_ = x;
  lastY_ = y;
  const MouseModifiers mods = ButtonPressModifiers(event.state, event.detail);
  bool isDouble = false;
  if (event.detail == 1) {
    isDouble = clicks_.Press(event.detail, event.time, x, y);
  } else {
    clicks_.Reset();
  }
  if (isDouble) {
    MouseDoubleClick(x, y, mods);
  } else {
    MouseDown(x, y, mods);
  }
}

void GraphicsX11::HandleButtonRelease(const xcb_button_release_event_t& event) {
  if (event.event != window_ || event.detail < 1 || event.detail > 3) return;
  buttonsDown_ &= static_cast<uint8_t>(~ButtonBit(event.detail));
  lastX_ = Mapping().ToEditor(event.event_x);
  lastY_ = Mapping().ToEditor(event.event_y);
  // The middle button's release ends its press too, so that a gesture it
  // began on a control is closed.
  MouseUp(lastX_, lastY_, ButtonReleaseModifiers(event.state, event.detail));
}

void GraphicsX11::HandleMotion(const xcb_motion_notify_event_t& event) {
  if (event.event != window_) return;
  const int x = Mapping().ToEditor(event.event_x);
  const int y = Mapping().ToEditor(event.event_y);
  const MouseModifiers mods = ModifiersFromState(event.state);
  if (mods.left || mods.right) {
    // Only a press that began here drags; the implicit grab then brings the
    // motion even from outside the window.
    if ((buttonsDown_ & kLeftOrRight) != 0) {
      lastX_ = x;
      lastY_ = y;
      MouseDrag(x, y, mods);
    }
    return;
  }
  if (MouseOver(x, y, mods)) hoverTracked_ = true;
}

void GraphicsX11::HandleKey(const xcb_key_press_event_t& event, bool press) {
  if (event.event != window_) return;
  if (press && keySymbols_ != nullptr) {
    const int key = KeyCodeForKeysym(xcb_key_symbols_get_keysym(keySymbols_, event.detail, 0));
    if (key >= 0 && KeyDown(Mapping().ToEditor(event.event_x), Mapping().ToEditor(event.event_y), key)) return;
  }
  PassKeyOn(event);
}

void GraphicsX11::PassKeyOn(const xcb_key_press_event_t& event) {
  if (connection_ == nullptr) return;  // the control's key closed the window
  // The host's top-level window: the ancestor whose parent is the root.
  xcb_window_t top = 0;
  xcb_window_t at = parent_;
  for (int depth = 0; depth < kMaxTreeDepth && at != 0 && at != root_; ++depth) {
    Reply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(connection_, xcb_query_tree(connection_, at), nullptr));
    if (!tree) break;
    if (tree->parent == tree->root) {
      top = at;
      break;
    }
    at = tree->parent;
  }
  if (top == 0) return;
  xcb_key_press_event_t passed = event;
  passed.event = top;
  passed.child = XCB_NONE;
  const bool press = (event.response_type & ~kSentEventBit) == XCB_KEY_PRESS;
  char bytes[32] = {};
  static_assert(sizeof passed <= sizeof bytes);
  std::memcpy(bytes, &passed, sizeof passed);
  xcb_send_event(connection_, 0, top, press ? XCB_EVENT_MASK_KEY_PRESS : XCB_EVENT_MASK_KEY_RELEASE, bytes);
}

bool GraphicsX11::PresentRegion(const PixelRect& rect) {
  // Without a window (closed, or drawn by a tool) there is nothing to show.
  SystemBitmap* bitmap = DrawingBitmap();
  if (connection_ == nullptr || window_ == 0 || bitmap == nullptr) return true;
  const PixelRect region = Intersection(rect, PixelRect{0, 0, std::min(bitmap->Width(), DeviceWidth()),
                                                       std::min(bitmap->Height(), DeviceHeight())});
  if (region.Empty() || region.Width() <= 0 || region.Height() <= 0) return true;

  // A window grown since the segment was made needs a bigger one; if that
  // fails the pixels go through the socket.
  if (shared_.Attached() && (region.right > shared_.Width() || region.bottom > shared_.Height())) {
    shared_.Attach(connection_, std::max(shared_.Width(), DeviceWidth()), std::max(shared_.Height(), DeviceHeight()));
  }
  if (shared_.Attached() && region.right <= shared_.Width() && region.bottom <= shared_.Height()) {
    shared_.Put(connection_, window_, gc_, depth_, *bitmap, region, swapBytes_);
  } else if (!PutThroughSocket(*bitmap, region)) {
    return false;
  }
  xcb_flush(connection_);
  return true;
}

bool GraphicsX11::PutThroughSocket(const SystemBitmap& bitmap, const PixelRect& region) {
  // Bands of whole rows, each within the server's request size.
  constexpr size_t kRequestHeader = 24;
  const auto rowPixels = static_cast<size_t>(region.Width());
  const size_t rowBytes = rowPixels * sizeof(uint32_t);
  if (rowBytes + kRequestHeader > maxRequestBytes_) return false;
  const size_t bandRows = (maxRequestBytes_ - kRequestHeader) / rowBytes;
  for (int top = region.top; top < region.bottom;) {
    const int rows = static_cast<int>(std::min<size_t>(bandRows, static_cast<size_t>(region.bottom - top)));
    rows_.resize(rowPixels * static_cast<size_t>(rows));
    for (int i = 0; i < rows; ++i) {
      std::memcpy(&rows_[static_cast<size_t>(i) * rowPixels], bitmap.Row(top + i) + region.left, rowBytes);
    }
    if (swapBytes_) {
      for (uint32_t& pixel : rows_) pixel = __builtin_bswap32(pixel);
    }
    xcb_put_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, window_, gc_, static_cast<uint16_t>(rowPixels),
                  static_cast<uint16_t>(rows), static_cast<int16_t>(region.left), static_cast<int16_t>(top), 0,
                  depth_, static_cast<uint32_t>(rows_.size() * sizeof(uint32_t)),
                  reinterpret_cast<const uint8_t*>(rows_.data()));
    top += rows;
  }
  return true;
}

void GraphicsX11::WindowSizeChanged() {
  if (connection_ == nullptr || window_ == 0) return;
  const uint32_t size[2] = {static_cast<uint32_t>(std::max(DeviceWidth(), 1)),
                            static_cast<uint32_t>(std::max(DeviceHeight(), 1))};
  xcb_configure_window(connection_, window_, XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, size);
  xcb_flush(connection_);
  // Everything is drawn again, whether or not the server sends exposures.
  exposed_ = PixelRect{0, 0, DeviceWidth(), DeviceHeight()};
  exposePending_ = true;
}

void GraphicsX11::HidePointer() {
  if (pointerHidden_ || connection_ == nullptr || window_ == 0) return;
  Reply<xcb_query_pointer_reply_t> pointer(
      xcb_query_pointer_reply(connection_, xcb_query_pointer(connection_, window_), nullptr));
  hiddenRootX_ = pointer ? pointer->root_x : -1;
  hiddenRootY_ = pointer ? pointer->root_y : -1;
  if (blankCursor_ == 0) blankCursor_ = MakeBlankCursor();
  xcb_change_window_attributes(connection_, window_, XCB_CW_CURSOR, &blankCursor_);
  xcb_flush(connection_);
  pointerHidden_ = true;
}

void GraphicsX11::ShowPointer() {
  if (!pointerHidden_) return;
  pointerHidden_ = false;
  if (connection_ == nullptr || window_ == 0) return;
  if (hiddenRootX_ >= 0 && hiddenRootY_ >= 0) {
    xcb_warp_pointer(connection_, XCB_NONE, root_, 0, 0, 0, 0, static_cast<int16_t>(hiddenRootX_),
                     static_cast<int16_t>(hiddenRootY_));
  }
  const uint32_t cursor = arrowCursor_;
  xcb_change_window_attributes(connection_, window_, XCB_CW_CURSOR, &cursor);
  xcb_flush(connection_);
}

}  // namespace kestro
