// What the window tests share: a top-level host window, message pumping
// with a deadline, reading a window's pixels back, and actions run from a
// timer while a modal loop (menu, message box, dialog) holds the thread.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <vector>

namespace kestro::test {

// A host's top-level window with a client area of the given size. Key
// messages that reach it are recorded (editors pass unhandled keys here).
class HostWindow {
 public:
  HostWindow(int width, int height);
  ~HostWindow();
  HostWindow(const HostWindow&) = delete;
  HostWindow& operator=(const HostWindow&) = delete;

  HWND Handle() const { return hwnd_; }
  // Destroys the window now (a host closing its window before the view).
  void Destroy();
  // The editor window inside it, or null.
  HWND Editor() const;

  static std::vector<WPARAM>& KeysReceived();

 private:
  HWND hwnd_ = nullptr;
};

// Dispatches this thread's messages for about ms milliseconds.
void Pump(int ms);
// Dispatches messages until done() holds; false if it did not within
// limitMs (a generous bound: a failure, never a measurement).
bool PumpUntil(const std::function<bool()>& done, int limitMs = 10000);

// The window's client pixels in rect (0x00RRGGBB), read back from the screen.
std::vector<uint32_t> Grab(HWND window, const RECT& rect);

// Calls action every 50 ms from a thread timer until it returns true. After
// 20 s it gives up and ends any menu or dialog of the thread, so a modal
// loop never hangs the test run.
class TimerAction {
 public:
  explicit TimerAction(std::function<bool()> action);
  ~TimerAction();
  bool Done() const;

 private:
  UINT_PTR timer_ = 0;
};

// A window of this thread with that class (and title, when given), or null.
HWND ThreadWindow(const char* className, const char* title = nullptr);

}  // namespace kestro::test
