#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <vector>

#include "graphics/GraphicsCore.h"
#include "graphics/HostRunLoop.h"
#include "platform/linux/DoubleClickDetector.h"
#include "platform/linux/X11SharedImage.h"

struct _XCBKeySymbols;

namespace kestro {

// The editor in an X11 child window of the host's window (VST3 platform type
// "X11EmbedWindowID"). Each open window has its own connection to the X
// server; the host's run loop watches the connection and runs the redraw
// timer, so everything happens on the host's user-interface thread.
//
// The timer collects the dirty controls and draws them; exposures redraw
// what the server lost; presenting copies the drawing bitmap to the window.
// A button press grabs the pointer implicitly (X's own capture), so a drag
// keeps reaching the pressed control outside the window.
class GraphicsX11 : public GraphicsCore, private HostRunLoop::Client {
 public:
  static constexpr const char* kWindowType = "X11EmbedWindowID";

  using GraphicsCore::GraphicsCore;
  ~GraphicsX11() override;

  bool PresentRegion(const PixelRect& rect) override;
  void WindowSizeChanged() override;
  const char* PlatformApiName() const override { return "X11"; }
  bool SupportsWindowType(const char* type) const override;
  // parent is the host window's X id; needs the host's run loop.
  void* OpenEditorWindow(void* parent) override;
  void CloseEditorWindow() override;
  // The window's X id, or null while closed.
  void* WindowHandle() const override;
  void HidePointer() override;
  void ShowPointer() override;

  // Whether windows opened from now on may paint through shared memory
  // (on by default; off sends every pixel through the socket).
  void AllowSharedMemory(bool allow) { allowSharedMemory_ = allow; }
  // Whether the open window paints through shared memory.
  bool UsesSharedMemory() const { return shared_.Attached(); }

  // Handles every event waiting on the connection, then redraws what was
  // exposed. What the run loop does when the connection has data.
  void ProcessEvents();
  // One tick of the redraw timer: draws whatever is dirty.
  void Tick();
  // Returns once the server has carried out everything sent so far, so what
  // was presented is on screen (for screenshots and timing).
  void WaitForServer();

 private:
  void OnFileReady(int fd) override;
  void OnTimer() override;

  // Stops the host's callbacks and drops the connection, which frees what
  // it made on the server. destroyWindow when the window still exists;
  // endPress to release a control still held down.
  void Teardown(bool destroyWindow, bool endPress);
  void HandleEvent(const xcb_generic_event_t* event);
  void HandleButtonPress(const xcb_button_press_event_t& event);
  void HandleButtonRelease(const xcb_button_release_event_t& event);
  void HandleMotion(const xcb_motion_notify_event_t& event);
  void HandleKey(const xcb_key_press_event_t& event, bool press);
  // Sends a key the editor did not take to the host's top-level window.
  void PassKeyOn(const xcb_key_press_event_t& event);
  void DrawExposed();
  // Sends region's pixels through the socket, in bands the server accepts.
  bool PutThroughSocket(const SystemBitmap& bitmap, const PixelRect& region);
  bool CheckPixelFormat(const xcb_setup_t* setup, const xcb_screen_t* screen);
  xcb_cursor_t MakeArrowCursor();
  xcb_cursor_t MakeBlankCursor();

  xcb_connection_t* connection_ = nullptr;
  xcb_window_t window_ = 0;
  xcb_window_t parent_ = 0;
  xcb_window_t root_ = 0;
  xcb_gcontext_t gc_ = 0;
  xcb_cursor_t arrowCursor_ = 0;
  xcb_cursor_t blankCursor_ = 0;
  _XCBKeySymbols* keySymbols_ = nullptr;
  HostRunLoop* loop_ = nullptr;  // the loop our callbacks are registered with
  uint8_t depth_ = 0;
  bool swapBytes_ = false;       // the server wants big-endian pixels
  size_t maxRequestBytes_ = 0;
  std::vector<uint32_t> rows_;   // one band of pixels on its way to the server
  X11SharedImage shared_;        // attached while the server takes shared memory
  bool allowSharedMemory_ = true;

  PixelRect exposed_;
  bool exposePending_ = false;
  DoubleClickDetector clicks_;
  uint8_t buttonsDown_ = 0;      // bit per button 1..3 pressed in the window
  int lastX_ = 0;
  int lastY_ = 0;
  bool hoverTracked_ = false;    // MouseOver asked to hear when the pointer leaves
  bool pointerHidden_ = false;
  int hiddenRootX_ = -1;
  int hiddenRootY_ = -1;
};

}  // namespace kestro
