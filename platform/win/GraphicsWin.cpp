#include "platform/win/GraphicsWin.h"

#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>
#include <wininet.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>

#include "core/IParamEntry.h"
#include "core/PluginCore.h"
#include "graphics/Control.h"

namespace kestro {

namespace {

// Module-wide: the class exists while any editor window of the module does.
int gOpenWindows = 0;
bool gClassRegistered = false;

HINSTANCE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCSTR>(&ThisModule), &module);
  return module;
}

// A window that outlived its removal (destroyed with its parent, or on
// another thread) keeps the class alive; it goes as soon as it can.
void UnregisterClassIfUnused(HINSTANCE instance) {
  if (gOpenWindows == 0 && gClassRegistered && UnregisterClassA(GraphicsWin::kWindowClass, instance)) {
    gClassRegistered = false;
  }
}

MouseModifiers Modifiers(WPARAM wParam) {
  MouseModifiers mods;
  mods.left = (wParam & MK_LBUTTON) != 0;
  mods.right = (wParam & MK_RBUTTON) != 0;
  mods.shift = (wParam & MK_SHIFT) != 0;
  mods.control = (wParam & MK_CONTROL) != 0;
  mods.alt = GetKeyState(VK_MENU) < 0;
  return mods;
}

int LowX(LPARAM lParam) { return static_cast<short>(LOWORD(lParam)); }
int HighY(LPARAM lParam) { return static_cast<short>(HIWORD(lParam)); }

// A DPI as a scale: 96 dots per inch is 1.
constexpr double kBaseDpi = 96.0;
// MDT_EFFECTIVE_DPI of GetDpiForMonitor, whose header older SDKs lack.
constexpr int kEffectiveDpi = 0;
// Sent to child windows once their top-level window has moved to a screen
// of another DPI (Windows 10 1703 on); older headers lack it.
constexpr UINT kDpiChangedAfterParent = 0x02E3;

int MapKey(WPARAM key) {
  switch (key) {
    case VK_SPACE: return 0;
    case VK_UP: return 1;
    case VK_DOWN: return 2;
    case VK_LEFT: return 3;
    case VK_RIGHT: return 4;
    default: break;
  }
  if (key >= '0' && key <= '9') return 5 + static_cast<int>(key - '0');
  if (key >= 'A' && key <= 'Z') return 15 + static_cast<int>(key - 'A');
  return -1;
}

// The folder part of a full file name, with its final backslash; empty when
// the name is missing, was cut short, or has no file part.
void FolderOf(HMODULE module, std::string& path) {
  path.clear();
  char name[256];
  const DWORD length = GetModuleFileNameA(module, name, sizeof name);
  if (length == 0 || length >= sizeof name) return;
  const char* slash = std::strrchr(name, '\\');
  if (slash == nullptr || slash[1] == '\0') return;
  path.assign(name, static_cast<size_t>(slash - name + 1));
}

// A leading decimal number ("-12.5", "+3", ".5"), 0 when the text does not
// start with one. No exponents, hex or infinities: a text box can only
// produce what it shows.
double LeadingNumber(const char* text) {
  const char* p = text;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  double value = 0.0;
  bool digits = false;
  for (; *p >= '0' && *p <= '9'; ++p, digits = true) value = value * 10.0 + (*p - '0');
  if (*p == '.') {
    double scale = 0.1;
    for (++p; *p >= '0' && *p <= '9'; ++p, digits = true, scale *= 0.1) value += (*p - '0') * scale;
  }
  if (!digits) return 0.0;
  return negative ? -value : value;
}

// Numbered menus as built: each menu model with the command numbers it
// reserved, in the order they were handed out.
struct NumberedMenu {
  PopupMenuModel* model;
  int first;
  int count;
};

bool CountNumbers(const PopupMenuModel& menu, int depth, int& total) {
  if (depth > GraphicsWin::kMaxMenuDepth) return false;
  total += static_cast<int>(std::min<size_t>(menu.items.size(), GraphicsWin::kMaxMenuNumbers + 1));
  if (total > GraphicsWin::kMaxMenuNumbers) return false;
  for (const auto& item : menu.items) {
    if ((item.flags & PopupMenuModel::kItemSeparator) == 0 && item.submenu != nullptr &&
        !CountNumbers(*item.submenu, depth + 1, total)) {
      return false;
    }
  }
  return true;
}

std::string ItemText(const PopupMenuModel& menu, size_t index) {
  const std::string& text = menu.items[index].text;
  std::string shown;
  if (menu.numbering >= 1 && menu.numbering <= 3) {
    static const char* const kFormats[] = {"%1d: ", "%02d: ", "%03d: "};
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, kFormats[menu.numbering - 1], static_cast<int>(index + 1));
    shown = prefix;
  }
  shown += text;
  if (shown.size() > GraphicsWin::kMaxMenuText) shown.resize(GraphicsWin::kMaxMenuText);
  return shown;
}

HMENU BuildMenu(PopupMenuModel& menu, int& next, std::vector<NumberedMenu>& numbered) {
  HMENU native = CreatePopupMenu();
  if (native == nullptr) return nullptr;
  const int first = next;
  next += static_cast<int>(menu.items.size());
  numbered.push_back({&menu, first, static_cast<int>(menu.items.size())});
  for (size_t k = 0; k < menu.items.size(); ++k) {
    const PopupMenuModel::Item& item = menu.items[k];
    if ((item.flags & PopupMenuModel::kItemSeparator) != 0) {
      AppendMenuA(native, MF_SEPARATOR, 0, nullptr);
      continue;
    }
    const std::string text = ItemText(menu, k);
    if (item.submenu != nullptr) {
      HMENU sub = BuildMenu(*item.submenu, next, numbered);
      if (sub != nullptr && !AppendMenuA(native, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(sub), text.c_str())) {
        DestroyMenu(sub);
      }
      continue;
    }
    UINT flags = MF_STRING;
    if ((item.flags & PopupMenuModel::kItemGreyed) != 0) flags |= MF_GRAYED;
    if ((item.flags & PopupMenuModel::kItemDisabled) != 0) flags |= MF_DISABLED;
    if ((item.flags & PopupMenuModel::kItemTicked) != 0) flags |= MF_CHECKED;
    AppendMenuA(native, flags, static_cast<UINT_PTR>(first + static_cast<int>(k)), text.c_str());
  }
  return native;
}

// The colour dialog's hook: puts the prompt into the title.
UINT_PTR CALLBACK ColourHook(HWND dialog, UINT msg, WPARAM, LPARAM lParam) {
  if (msg == WM_INITDIALOG) {
    const auto* choice = reinterpret_cast<const CHOOSECOLORA*>(lParam);
    if (choice != nullptr && choice->lCustData != 0) SetWindowTextA(dialog, reinterpret_cast<const char*>(choice->lCustData));
  }
  return 0;
}

}  // namespace

GraphicsWin::GraphicsWin(PluginCore* plugin, int width, int height, int frameRate)
    : GraphicsCore(plugin, width, height, frameRate), instance_(ThisModule()) {}

GraphicsWin::~GraphicsWin() {
  CloseEditorWindow();
  ShowPointer();
  UnregisterClassIfUnused(instance_);
}

int GraphicsWin::OpenWindowCount() { return gOpenWindows; }

GraphicsWin* GraphicsWin::FromWindow(HWND hwnd) {
  auto* self = reinterpret_cast<GraphicsWin*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  return self != nullptr && self->window_ == hwnd ? self : nullptr;
}

bool GraphicsWin::SupportsWindowType(const char* type) const {
  return type != nullptr && std::strcmp(type, "HWND") == 0;
}

// --- Window --------------------------------------------------------------------

void* GraphicsWin::OpenEditorWindow(void* parent) {
  HWND hostParent = static_cast<HWND>(parent);
  if (hostParent == nullptr || !IsWindow(hostParent)) return nullptr;
  int x = 0, y = 0;
  const int w = DeviceWidth(), h = DeviceHeight();
  hostParent_ = hostParent;

  if (window_ != nullptr) {
    // Reopening keeps the old window's place in its parent's client area
    // (wherever the new parent is on screen).
    RECT old = {};
    GetWindowRect(window_, &old);
    POINT place = {old.left, old.top};
    if (HWND oldParent = GetParent(window_)) ScreenToClient(oldParent, &place);
    x = place.x;
    y = place.y;
    CloseEditorWindow();
  }

  counted_ = true;
  if (gOpenWindows++ == 0 && !gClassRegistered) {
    WNDCLASSA wc = {};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance_;
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.lpszClassName = kWindowClass;
    WNDCLASSA existing = {};
    gClassRegistered = RegisterClassA(&wc) != 0 || GetClassInfoA(instance_, kWindowClass, &existing) != 0;
  }

  HWND window = nullptr;
  if (gClassRegistered) {
    window = CreateWindowExA(0, kWindowClass, "KESTRO", WS_CHILD | WS_VISIBLE, x, y, w, h, hostParent, nullptr,
                             instance_, this);
  }
  if (window == nullptr) {
    // A window that got as far as WM_CREATE has counted itself out in
    // WM_NCDESTROY already.
    if (counted_) {
      counted_ = false;
      --gOpenWindows;
    }
    window_ = nullptr;
    UnregisterClassIfUnused(instance_);
    return nullptr;
  }
  window_ = window;
  for (int i = 0; i < ControlCount(); ++i) ControlAt(i)->MarkDirty(false);
  return window_;
}

void GraphicsWin::CloseEditorWindow() {
  if (window_ == nullptr) {
    // Destroyed with the host's window: the class could not go then.
    UnregisterClassIfUnused(instance_);
    return;
  }
  HWND window = window_;
  DestroyWindow(window);  // WM_NCDESTROY counts it out
  if (window_ == window) {
    // Not destroyed (another thread's window): detach it from us at least,
    // so that nothing it receives reaches this object again.
    SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    WindowDestroyed();
  }
  UnregisterClassIfUnused(instance_);
}

void GraphicsWin::WindowDestroyed() {
  if (entry_ != nullptr) {
    // The box went with its parent.
    entry_ = nullptr;
    entryControl_ = nullptr;
    entryParam_ = -1;
    entryProc_ = nullptr;
    entryState_ = EntryState::Idle;
  }
  if (entryFont_ != nullptr) {
    DeleteObject(entryFont_);
    entryFont_ = nullptr;
  }
  ShowPointer();
  EndMouseCapture();
  window_ = nullptr;
  if (counted_) {
    counted_ = false;
    --gOpenWindows;
  }
}

LRESULT CALLBACK GraphicsWin::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_CREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    auto* self = static_cast<GraphicsWin*>(create->lpCreateParams);
    if (self == nullptr) return -1;
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->window_ = hwnd;
    const int rate = std::clamp(self->FrameRate(), 1, 1000);
    SetTimer(hwnd, kTimerId, static_cast<UINT>(1000 / rate), nullptr);
    SetFocus(hwnd);
    return 0;
  }
  GraphicsWin* self = FromWindow(hwnd);
  if (self == nullptr) return DefWindowProcA(hwnd, msg, wParam, lParam);
  if (msg == WM_NCDESTROY) {
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
    self->WindowDestroyed();
    return DefWindowProcA(hwnd, msg, wParam, lParam);
  }
  return self->HandleMessage(hwnd, msg, wParam, lParam);
}

LRESULT GraphicsWin::HandleMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_CTLCOLOREDIT) {
    if (entryControl_ == nullptr) return DefWindowProcA(hwnd, msg, wParam, lParam);
    HDC dc = reinterpret_cast<HDC>(wParam);
    const TextStyle& style = entryControl_->Style();
    SetBkColor(dc, RGB(style.entryBackground.red, style.entryBackground.green, style.entryBackground.blue));
    SetTextColor(dc, RGB(style.entryForeground.red, style.entryForeground.green, style.entryForeground.blue));
    SetBkMode(dc, OPAQUE);
    return reinterpret_cast<LRESULT>(GetStockObject(DC_BRUSH));
  }
  if (entry_ != nullptr && entryState_ == EntryState::Editing) {
    // The box has the keyboard: a click in the editor abandons it.
    if (msg == WM_LBUTTONDOWN || msg == WM_RBUTTONDOWN) {
      entryState_ = EntryState::Cancel;
      return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
  }

  // Where a mouse message happened, in editor pixels (the wheel and keys
  // map their screen positions below).
  const int x = Mapping().ToEditor(LowX(lParam));
  const int y = Mapping().ToEditor(HighY(lParam));
  switch (msg) {
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      return 0;
    case WM_PAINT: {
      RECT update;
      if (GetUpdateRect(hwnd, &update, FALSE)) {
        DrawRegion(Mapping().ToEditor(PixelRect{update.left, update.top, update.right, update.bottom}));
        // Nothing to draw (no controls) must not leave the region invalid,
        // or paint messages would never stop.
        ValidateRect(hwnd, nullptr);
      }
      return 0;
    }
    case WM_CLOSE:
      CloseEditorWindow();
      return 0;
    case WM_TIMER:
      if (wParam == kTimerId) {
        Tick();
        return 0;
      }
      break;
    case WM_KEYDOWN: {
      const int key = MapKey(wParam);
      if (key < 0) return PassKeyOn(hwnd, msg, wParam, lParam);
      POINT p;
      GetCursorPos(&p);
      ScreenToClient(hwnd, &p);
      if (KeyDown(Mapping().ToEditor(p.x), Mapping().ToEditor(p.y), key)) return 0;
      return PassKeyOn(hwnd, msg, wParam, lParam);
    }
    case WM_KEYUP:
      return PassKeyOn(hwnd, msg, wParam, lParam);
    case WM_MOUSEMOVE:
      if ((wParam & (MK_LBUTTON | MK_RBUTTON)) != 0) {
        if (GetCapture() == hwnd && entry_ == nullptr) MouseDrag(x, y, Modifiers(wParam));
      } else if (MouseOver(x, y, Modifiers(wParam))) {
        TRACKMOUSEEVENT track = {sizeof track, TME_LEAVE, hwnd, 0};
        TrackMouseEvent(&track);
      }
      return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      if (entry_ != nullptr) {
        entryState_ = EntryState::Commit;
        return 0;
      }
      SetFocus(hwnd);
      SetCapture(hwnd);
      MouseDown(x, y, Modifiers(wParam));
      return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
      // The middle button ends its gesture like the others: a press began
      // an edit and took the capture, and both must end.
      if (GetCapture() == hwnd) ReleaseCapture();
      MouseUp(x, y, Modifiers(wParam));
      return 0;
    case WM_LBUTTONDBLCLK:
      MouseDoubleClick(x, y, Modifiers(wParam));
      if (CapturedControl() >= 0) SetCapture(hwnd);
      return 0;
    case WM_MOUSEWHEEL: {
      if (entry_ != nullptr) {
        entryState_ = EntryState::Cancel;
        return 0;
      }
      // Wheel positions are screen coordinates.
      POINT p = {LowX(lParam), HighY(lParam)};
      ScreenToClient(hwnd, &p);
      const int steps = static_cast<short>(HIWORD(wParam)) / WHEEL_DELTA;
      MouseWheel(Mapping().ToEditor(p.x), Mapping().ToEditor(p.y), Modifiers(GET_KEYSTATE_WPARAM(wParam)), steps);
      return 0;
    }
    case WM_MOUSELEAVE:
      MouseOut();
      return 0;
    case kDpiChangedAfterParent:
      // Only while no factor came from the host: the host's word wins.
      if (FollowsSystemScale()) {
        const double scale = SystemScaleFor(GetParent(hwnd));
        if (scale > 0.0 && SetScale(scale) && Plugin() != nullptr) Plugin()->ResizeEditor(Width(), Height());
      }
      return 0;
    default:
      break;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

LRESULT GraphicsWin::PassKeyOn(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  HWND root = GetAncestor(hwnd, GA_ROOT);
  if (root != nullptr && root != hwnd) SendMessageA(root, msg, wParam, lParam);
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

void GraphicsWin::Tick() {
  TimerTick();
  if (entry_ != nullptr && entryState_ != EntryState::Idle) {
    TextEntryStep();
    return;
  }
  PixelRect dirty;
  if (!CollectDirtyRect(dirty)) return;
  dirty = Mapping().ToDevice(dirty);
  const RECT r = {dirty.left, dirty.top, dirty.right, dirty.bottom};
  InvalidateRect(window_, &r, FALSE);
  if (entry_ != nullptr) {
    // Draw around the box, never over it.
    RECT box;
    GetWindowRect(entry_, &box);
    MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&box), 2);
    ValidateRect(window_, &box);
    UpdateWindow(window_);
    entryState_ = EntryState::Redrawn;
  } else {
    UpdateWindow(window_);
  }
}

bool GraphicsWin::PresentRegion(const PixelRect& rect) {
  SystemBitmap* bitmap = DrawingBitmap();
  HDC source = bitmap != nullptr ? static_cast<HDC>(bitmap->SystemContext()) : nullptr;
  if (window_ == nullptr || source == nullptr) return false;
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window_, &paint);
  if (dc == nullptr) return false;
  BitBlt(dc, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, source, rect.left, rect.top,
         SRCCOPY);
  EndPaint(window_, &paint);
  return true;
}

void GraphicsWin::WindowSizeChanged() {
  if (window_ == nullptr) return;
  SetWindowPos(window_, nullptr, 0, 0, DeviceWidth(), DeviceHeight(), SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOZORDER);
  InvalidateRect(window_, nullptr, FALSE);
}

double GraphicsWin::SystemScaleFor(void* parent) const {
  HWND window = static_cast<HWND>(parent);
  if (window == nullptr || !IsWindow(window)) return 0.0;
  // The window's own DPI (Windows 10 1607 on), else its monitor's (8.1 on),
  // else the system's: looked up at run time so that the module still loads
  // where the newer calls are missing. A host that is not DPI-aware is told
  // 96 and has the system scale it.
  UINT dpi = 0;
  using DpiForWindow = UINT(WINAPI*)(HWND);
  if (HMODULE user = GetModuleHandleA("user32.dll")) {
    auto forWindow =
        reinterpret_cast<DpiForWindow>(reinterpret_cast<void*>(GetProcAddress(user, "GetDpiForWindow")));
    if (forWindow != nullptr) dpi = forWindow(window);
  }
  if (dpi == 0) {
    using DpiForMonitor = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
    if (HMODULE shcore = LoadLibraryA("shcore.dll")) {
      auto forMonitor =
          reinterpret_cast<DpiForMonitor>(reinterpret_cast<void*>(GetProcAddress(shcore, "GetDpiForMonitor")));
      UINT dx = 0, dy = 0;
      if (forMonitor != nullptr &&
          SUCCEEDED(forMonitor(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), kEffectiveDpi, &dx, &dy))) {
        dpi = dx;
      }
      FreeLibrary(shcore);
    }
  }
  if (dpi == 0) {
    if (HDC screen = GetDC(nullptr)) {
      dpi = static_cast<UINT>(std::max(GetDeviceCaps(screen, LOGPIXELSX), 0));
      ReleaseDC(nullptr, screen);
    }
  }
  return dpi > 0 ? dpi / kBaseDpi : 0.0;
}

// --- Pointer ---------------------------------------------------------------------

void GraphicsWin::HidePointer() {
  if (cursorHidden_) return;
  GetCursorPos(&cursorPosition_);
  ShowCursor(FALSE);
  cursorHidden_ = true;
}

void GraphicsWin::ShowPointer() {
  if (!cursorHidden_) return;
  SetCursorPos(cursorPosition_.x, cursorPosition_.y);
  ShowCursor(TRUE);
  cursorHidden_ = false;
}

// --- Text entry ----------------------------------------------------------------

void GraphicsWin::ShowTextEntry(Control* control, const TextStyle& style, const PixelRect& rect, const char* text,
                                int paramIndex) {
  if (control == nullptr || entry_ != nullptr || window_ == nullptr) return;
  DWORD align = ES_CENTER;
  if (style.align == TextAlign::Near) align = ES_LEFT;
  if (style.align == TextAlign::Far) align = ES_RIGHT;
  const int length = std::max(1, control->TextEntryLength());
  // The box shows at most what may be typed into it.
  std::string initial = text != nullptr ? text : "";
  if (initial.size() > static_cast<size_t>(length)) initial.resize(static_cast<size_t>(length));

  // The box is a window of its own, in device pixels like ours.
  const PixelRect at = Mapping().ToDevice(PixelRect{rect.left, rect.top, rect.right + 1, rect.bottom + 1});
  HWND box = CreateWindowExA(0, "EDIT", initial.c_str(), WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_AUTOHSCROLL | align,
                             at.left, at.top, at.Width(), at.Height(), window_,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(kEntryControlId)), instance_, nullptr);
  if (box == nullptr) return;
  entryFont_ = CreateFontA(Mapping().ToDevice(style.size), 0, 0, 0,
                           style.style == TextWeight::Bold ? FW_BOLD : FW_DONTCARE,
                           style.style == TextWeight::Italic ? TRUE : FALSE, FALSE, FALSE, 0, 0, 0, 0, 0,
                           style.face.c_str());
  if (entryFont_ != nullptr) SendMessageA(box, WM_SETFONT, reinterpret_cast<WPARAM>(entryFont_), FALSE);
  SendMessageA(box, EM_LIMITTEXT, static_cast<WPARAM>(length), 0);
  SendMessageA(box, EM_SETSEL, 0, -1);
  SetFocus(box);
  entry_ = box;
  entryControl_ = control;
  entryParam_ = paramIndex;
  entryProc_ = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(box, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&GraphicsWin::EntryProc)));
}

void GraphicsWin::CancelTextEntry() { entryState_ = EntryState::Cancel; }

LRESULT CALLBACK GraphicsWin::EntryProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  GraphicsWin* self = FromWindow(GetParent(hwnd));
  if (self == nullptr || self->entry_ != hwnd || self->entryProc_ == nullptr) {
    return DefWindowProcA(hwnd, msg, wParam, lParam);
  }
  return self->HandleEntryMessage(hwnd, msg, wParam, lParam);
}

LRESULT GraphicsWin::HandleEntryMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  const IParamEntry* param = entryParam_ >= 0 && Plugin() != nullptr ? Plugin()->ParamAt(entryParam_) : nullptr;
  switch (msg) {
    case WM_SETFOCUS:
      entryState_ = EntryState::Editing;
      break;
    case WM_KILLFOCUS:
      entryState_ = EntryState::Commit;
      break;
    case WM_KEYDOWN:
      if (wParam == VK_RETURN) {
        entryState_ = EntryState::Commit;
        return 0;
      }
      if (wParam == VK_ESCAPE) {
        entryState_ = EntryState::Cancel;
        return 0;
      }
      break;
    case WM_CHAR:
      if (param != nullptr && wParam != VK_BACK) {
        const bool sign = wParam == '+' || wParam == '-';
        const bool digit = wParam >= '0' && wParam <= '9';
        switch (param->Type()) {
          case ParamType::Boolean:
          case ParamType::Integer:
          case ParamType::Enumerated:
            if (!sign && !digit) return 0;
            break;
          case ParamType::Double:
            if (!sign && !digit && wParam != '.') return 0;
            break;
          default:
            break;
        }
      }
      break;
    case WM_GETDLGCODE: {
      LRESULT code = CallWindowProcA(entryProc_, hwnd, msg, wParam, lParam);
      const auto* query = reinterpret_cast<const MSG*>(lParam);
      if (param == nullptr && query != nullptr && query->message == WM_KEYDOWN && query->wParam == VK_RETURN) {
        code |= DLGC_WANTALLKEYS;
      }
      return code;
    }
    case WM_COMMAND:
      if (HIWORD(wParam) == 1) {
        entryState_ = EntryState::Commit;
        return 0;
      }
      break;
    default:
      break;
  }
  return CallWindowProcA(entryProc_, hwnd, msg, wParam, lParam);
}

void GraphicsWin::TextEntryStep() {
  switch (entryState_) {
    case EntryState::Redrawn:
      entryState_ = EntryState::Idle;
      return;
    case EntryState::Commit:
      CommitTextEntry();
      CloseTextEntry();
      return;
    case EntryState::Cancel:
      CloseTextEntry();
      return;
    default:
      return;
  }
}

void GraphicsWin::CommitTextEntry() {
  char text[32] = "";
  GetWindowTextA(entry_, text, sizeof text);
  text[sizeof text - 1] = '\0';
  if (entryControl_ == nullptr) return;
  const IParamEntry* param = entryParam_ >= 0 && Plugin() != nullptr ? Plugin()->ParamAt(entryParam_) : nullptr;
  if (entryParam_ >= 0 && param == nullptr) return;
  if (param == nullptr) {
    entryControl_->HandleTextEntry(text);
    return;
  }
  double value = 0.0;
  if (param->Type() == ParamType::Boolean || param->Type() == ParamType::Enumerated) {
    for (int i = 0; i < param->DisplayTextCount(); ++i) {
      if (std::strcmp(param->DisplayTextAt(i).text.c_str(), text) == 0) {
        value = param->DisplayTextAt(i).value;
        break;
      }
    }
  } else {
    value = LeadingNumber(text);
    if (param->NegateDisplay()) value = -value;
  }
  entryControl_->ApplyUserValue(param->ToNormalized(value));
}

void GraphicsWin::CloseTextEntry() {
  HWND box = entry_;
  if (box != nullptr) {
    const bool hadFocus = GetFocus() == box;
    if (entryProc_ != nullptr) SetWindowLongPtrA(box, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(entryProc_));
    entry_ = nullptr;
    DestroyWindow(box);
    if (hadFocus && window_ != nullptr) SetFocus(window_);
  }
  if (entryFont_ != nullptr) {
    DeleteObject(entryFont_);
    entryFont_ = nullptr;
  }
  entryControl_ = nullptr;
  entryParam_ = -1;
  entryProc_ = nullptr;
  entryState_ = EntryState::Idle;
}

// --- Menus -----------------------------------------------------------------------

PopupMenuModel* GraphicsWin::ShowPopupMenu(PopupMenuModel& menu, const PixelRect& area) {
  EndMouseCapture();
  if (window_ == nullptr) return nullptr;
  // Command ids are 16 bits, and a menu that contains itself never ends.
  int total = 0;
  if (!CountNumbers(menu, 0, total)) return nullptr;

  std::vector<NumberedMenu> numbered;
  int next = 0;
  HMENU native = BuildMenu(menu, next, numbered);
  if (native == nullptr) return nullptr;

  POINT corner = {Mapping().ToDevice(area.left), Mapping().ToDevice(area.bottom)};
  ClientToScreen(window_, &corner);
  // The choice arrives as a posted command. TrackPopupMenu's own result is
  // not consulted: where it reports the chosen command number, the first
  // item's is 0 and would read as a failure.
  TrackPopupMenu(native, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON, corner.x, corner.y, 0, window_, nullptr);
  MSG choice;
  const BOOL got = PeekMessageA(&choice, window_, WM_COMMAND, WM_COMMAND, PM_REMOVE);

  PopupMenuModel* result = nullptr;
  if (got && HIWORD(choice.wParam) == 0) {
    const int id = LOWORD(choice.wParam);
    for (const NumberedMenu& m : numbered) {
      if (id >= m.first && id < m.first + m.count) {
        const auto& item = m.model->items[static_cast<size_t>(id - m.first)];
        // Only items a user can pick: not separators or submenu entries.
        if ((item.flags & PopupMenuModel::kItemSeparator) == 0 && item.submenu == nullptr) {
          m.model->chosen = id - m.first;
          result = m.model;
        }
        break;
      }
    }
  }
  DestroyMenu(native);
  if (window_ != nullptr) {
    InvalidateRect(window_, nullptr, FALSE);
  }
  return result;
}

// --- Prompts ---------------------------------------------------------------------

HWND GraphicsWin::AlertOwner() const {
  // Looked up each time: the host may have given us another parent, or
  // destroyed the old one.
  if (hostParent_ == nullptr || !IsWindow(hostParent_)) return nullptr;
  HWND owner = hostParent_;
  for (HWND up = GetParent(owner); up != nullptr; up = GetParent(up)) owner = up;
  return owner;
}

int GraphicsWin::ShowAlert(const char* text, const char* caption, int type) {
  return MessageBoxA(AlertOwner(), text != nullptr ? text : "", caption != nullptr ? caption : "",
                     static_cast<UINT>(type));
}

void GraphicsWin::HostDirectory(std::string& path) { FolderOf(nullptr, path); }

void GraphicsWin::ModuleDirectory(std::string& path) { FolderOf(instance_, path); }

void GraphicsWin::DesktopDirectory(std::string& path) {
  char folder[MAX_PATH] = "";
  path = SHGetSpecialFolderPathA(nullptr, folder, CSIDL_DESKTOPDIRECTORY, FALSE) ? folder : "";
}

void GraphicsWin::AppDataDirectory(std::string& path, bool shared) {
  char folder[MAX_PATH] = "";
  const int which = shared ? CSIDL_COMMON_APPDATA : CSIDL_LOCAL_APPDATA;
  path = SUCCEEDED(SHGetFolderPathA(nullptr, which, nullptr, 0, folder)) ? folder : "";
}

std::string GraphicsWin::FileFilter(const char* extensions, std::string& defaultExtension) {
  // The dialog's buffers: 256 bytes for the filter, 16 for the default
  // extension (both with their NULs).
  constexpr size_t kFilterBytes = 256;
  constexpr size_t kDefaultBytes = 16;
  defaultExtension.clear();
  std::string pattern;
  bool first = true;
  const char* p = extensions != nullptr ? extensions : "";
  while (*p != '\0') {
    while (*p == ' ') ++p;
    const char* end = p;
    while (*end != '\0' && *end != ' ') ++end;
    if (end == p) break;
    const std::string ext(p, end);
    if (first && ext.size() < kDefaultBytes) defaultExtension = ext;
    first = false;
    std::string next = pattern.empty() ? "*." + ext : pattern + ";*." + ext;
    // Description and pattern, each with its NUL, and the final NUL.
    if (2 * (next.size() + 1) + 1 > kFilterBytes) break;
    pattern = std::move(next);
    p = end;
  }
  if (pattern.empty()) return {};
  std::string filter = pattern;
  filter += '\0';
  filter += pattern;
  filter += '\0';
  filter += '\0';
  return filter;
}

void GraphicsWin::ChooseFile(std::string& path, bool save, const char* directory, const char* extensions) {
  if (window_ == nullptr) {
    path.clear();
    return;
  }
  char file[256] = "";
  // A name that does not fit would be cut into another name: start empty.
  if (path.size() < sizeof file) std::memcpy(file, path.c_str(), path.size() + 1);
  std::string folder = directory != nullptr ? directory : "";
  if (folder.empty()) DesktopDirectory(folder);
  std::string defaultExtension;
  const std::string filter = FileFilter(extensions, defaultExtension);

  OPENFILENAMEA dialog = {};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = window_;
  dialog.lpstrFilter = filter.empty() ? nullptr : filter.c_str();
  dialog.lpstrFile = file;
  dialog.nMaxFile = sizeof file - 1;
  dialog.lpstrInitialDir = folder.c_str();
  dialog.lpstrDefExt = defaultExtension.empty() ? nullptr : defaultExtension.c_str();
  // The dialog would otherwise leave the host's process in the chosen
  // folder, and the host's relative paths with it.
  BOOL chosen;
  if (save) {
    dialog.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
    chosen = GetSaveFileNameA(&dialog);
  } else {
    dialog.Flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_NOCHANGEDIR;
    chosen = GetOpenFileNameA(&dialog);
  }
  if (chosen) {
    file[sizeof file - 1] = '\0';
    path = file;
  } else {
    path.clear();
  }
}

bool GraphicsWin::PickColour(ArgbColor& colour, const char* prompt) {
  if (window_ == nullptr) return false;
  if (customColours_.empty()) customColours_.assign(16, RGB(0, 0, 0));
  CHOOSECOLORA dialog = {};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = window_;
  dialog.rgbResult = RGB(colour.red, colour.green, colour.blue);
  dialog.lpCustColors = customColours_.data();
  dialog.Flags = CC_RGBINIT | CC_FULLOPEN | CC_ANYCOLOR | CC_SOLIDCOLOR | CC_ENABLEHOOK;
  dialog.lpfnHook = ColourHook;
  dialog.lCustData = reinterpret_cast<LPARAM>(prompt != nullptr ? prompt : "");
  if (!ChooseColorA(&dialog)) return false;
  colour.red = GetRValue(dialog.rgbResult);
  colour.green = GetGValue(dialog.rgbResult);
  colour.blue = GetBValue(dialog.rgbResult);
  return true;
}

bool GraphicsWin::OpenWebLink(const char* url, const char* caption, const char* confirm, const char* error) {
  if (url == nullptr) return false;
  const char* title = caption != nullptr ? caption : "";
  if (confirm != nullptr && MessageBoxA(window_, confirm, title, MB_YESNO) != IDYES) return false;
  DWORD state = 0;
  if (InternetGetConnectedState(&state, 0) &&
      reinterpret_cast<INT_PTR>(ShellExecuteA(window_, "open", url, nullptr, nullptr, SW_SHOWNORMAL)) > 32) {
    return true;
  }
  if (error != nullptr) MessageBoxA(window_, error, title, MB_OK);
  return false;
}

bool GraphicsWin::ClipboardText(std::string& text) {
  text.clear();
  if (!IsClipboardFormatAvailable(CF_UNICODETEXT) || !OpenClipboard(window_)) return false;
  bool ok = false;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* wide = static_cast<const wchar_t*>(GlobalLock(data))) {
      // Never trust the text to end inside its memory block.
      const size_t units = wcsnlen(wide, GlobalSize(data) / sizeof(wchar_t));
      if (units > 0 && units < 0x7FFFFFFF) {
        const int n = static_cast<int>(units);
        const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide, n, nullptr, 0, nullptr, nullptr);
        if (bytes > 0) {
          text.resize(static_cast<size_t>(bytes));
          WideCharToMultiByte(CP_UTF8, 0, wide, n, text.data(), bytes, nullptr, nullptr);
        }
      }
      ok = true;
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return ok;
}

}  // namespace kestro
