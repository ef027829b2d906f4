#include "WindowTestSupport.h"

#include <cstring>
#include <string>

namespace kestro::test {

namespace {

constexpr const char* kHostClass = "KestroTestHostWindow";

LRESULT CALLBACK HostProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_KEYDOWN) HostWindow::KeysReceived().push_back(wParam);
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

struct Pending {
  std::function<bool()> action;
  bool done = false;
  int ticks = 0;
};
Pending gPending;

void CALLBACK TimerProc(HWND, UINT, UINT_PTR id, DWORD) {
  if (gPending.done) return;
  if (++gPending.ticks > 400) {
    // Something never appeared or never closed: end the modal loop.
    gPending.done = true;
    KillTimer(nullptr, id);
    EndMenu();
    if (HWND dialog = ThreadWindow("#32770")) PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    return;
  }
  if (gPending.action && gPending.action()) {
    gPending.done = true;
    KillTimer(nullptr, id);
  }
}

}  // namespace

std::vector<WPARAM>& HostWindow::KeysReceived() {
  static std::vector<WPARAM> keys;
  return keys;
}

HostWindow::HostWindow(int width, int height) {
  static const bool registered = [] {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = HostProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
    wc.lpszClassName = kHostClass;
    return RegisterClassA(&wc) != 0;
  }();
  (void)registered;
  RECT frame = {0, 0, width, height};
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_VISIBLE | WS_CLIPCHILDREN;
  AdjustWindowRect(&frame, style, FALSE);
  hwnd_ = CreateWindowExA(0, kHostClass, "KESTRO test host", style, 0, 0, frame.right - frame.left,
                          frame.bottom - frame.top, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  Pump(50);
}

HostWindow::~HostWindow() { Destroy(); }

void HostWindow::Destroy() {
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);
  hwnd_ = nullptr;
}

HWND HostWindow::Editor() const {
  return hwnd_ != nullptr ? FindWindowExA(hwnd_, nullptr, "KestroEditorWindow", nullptr) : nullptr;
}

void Pump(int ms) {
  const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(ms);
  do {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    Sleep(5);
  } while (GetTickCount64() < end);
}

bool PumpUntil(const std::function<bool()>& done, int limitMs) {
  const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(limitMs);
  while (!done()) {
    if (GetTickCount64() > end) return false;
    Pump(10);
  }
  return true;
}

std::vector<uint32_t> Grab(HWND window, const RECT& rect) {
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  std::vector<uint32_t> pixels;
  HDC dc = GetDC(window);
  HDC memory = CreateCompatibleDC(dc);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (dib != nullptr && bits != nullptr) {
    HGDIOBJ old = SelectObject(memory, dib);
    BitBlt(memory, 0, 0, width, height, dc, rect.left, rect.top, SRCCOPY);
    GdiFlush();
    const auto* p = static_cast<const uint32_t*>(bits);
    pixels.assign(p, p + static_cast<size_t>(width) * height);
    for (uint32_t& v : pixels) v &= 0xFFFFFF;
    SelectObject(memory, old);
    DeleteObject(dib);
  }
  DeleteDC(memory);
  ReleaseDC(window, dc);
  return pixels;
}

TimerAction::TimerAction(std::function<bool()> action) {
  gPending.action = std::move(action);
  gPending.done = false;
  gPending.ticks = 0;
  timer_ = SetTimer(nullptr, 0, 50, TimerProc);
}

TimerAction::~TimerAction() {
  KillTimer(nullptr, timer_);
  gPending.action = nullptr;
}

bool TimerAction::Done() const { return gPending.done; }

HWND ThreadWindow(const char* className, const char* title) {
  struct Search {
    const char* className;
    const char* title;
    HWND found;
  } search = {className, title, nullptr};
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND hwnd, LPARAM param) -> BOOL {
        auto* s = reinterpret_cast<Search*>(param);
        char name[64] = "";
        GetClassNameA(hwnd, name, sizeof name);
        if (std::strcmp(name, s->className) != 0) return TRUE;
        if (s->title != nullptr) {
          char text[256] = "";
          GetWindowTextA(hwnd, text, sizeof text);
          if (std::strcmp(text, s->title) != 0) return TRUE;
        }
        s->found = hwnd;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

}  // namespace kestro::test
