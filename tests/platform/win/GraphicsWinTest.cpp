// The Windows editor's prompts, in process: the text box over a control
// (typing, filtering, Enter, Escape, clicks), popup menus (numbering,
// submenus, the parameter menu), message boxes, the file and colour
// dialogs, the clipboard and the folders. Modal loops are ended by timer
// actions, so nothing waits for a user.
#include "platform/win/GraphicsWin.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "../../graphics/EditorTestSupport.h"
#include "WindowTestSupport.h"
#include "graphics/FilmstripKnob.h"

namespace kestro::test {
namespace {

class Prompts : public ::testing::Test {
 protected:
  Prompts() : host(300, 120), image(NumberedStrip(50, 52, 61)) {
    graphics = std::make_unique<GraphicsWin>(&plugin, 300, 120, 25);
    for (int p = 0; p < 3; ++p) {
      auto knob = std::make_unique<FilmstripKnob>(&plugin, 10 + 90 * p, 10, p, BitmapStrip::FromBitmap(image.get(), 61));
      knob->SetPromptDisabled(false);
      knobs[p] = knob.get();
      graphics->AddControl(std::move(knob));
    }
    graphics->PrepareDrawing();
    for (int p = 0; p < 3; ++p) graphics->ParamChangedFromPlugin(p, plugin.ParamAt(p)->Value(), false);
    window = static_cast<HWND>(graphics->OpenEditorWindow(host.Handle()));
    Pump(100);
    plugin.log.clear();
  }

  // Opens the text box for parameter p, types text into it key by key
  // (through the box's own character handling) and ends with key.
  std::string Type(int p, const char* text, WPARAM key) {
    graphics->PromptParamInput(knobs[p], p, {40, 40, 80, 56});
    HWND box = graphics->EntryWindow();
    if (box == nullptr) return "<no box>";
    for (const char* c = text; *c != '\0'; ++c) SendMessageA(box, WM_CHAR, static_cast<WPARAM>(*c), 0);
    char shown[64] = "";
    GetWindowTextA(box, shown, sizeof shown);
    if (key != 0) SendMessageA(box, WM_KEYDOWN, key, 0);
    return shown;
  }
  bool EntryCloses() {
    return PumpUntil([&] { return graphics->EntryWindow() == nullptr; });
  }

  EditorHost plugin;  // 0 Double -50..0 dB, 1 Integer 0..5, 2 Enumerated Soft/Hard/Clip
  HostWindow host;
  std::unique_ptr<MemBitmap> image;
  std::unique_ptr<GraphicsWin> graphics;
  FilmstripKnob* knobs[3] = {};
  HWND window = nullptr;
};

TEST_F(Prompts, TypedValuesCommitOnEnterAndCancelOnEscape) {
  ASSERT_NE(window, nullptr);
  EXPECT_STREQ(graphics->PlatformApiName(), "Windows GDI");
  // The box starts with the value, all selected, so typing replaces it.
  EXPECT_EQ(Type(0, "-12.5", VK_RETURN), "-12.5");
  ASSERT_TRUE(EntryCloses());
  EXPECT_NEAR(knobs[0]->Value(), 0.75, 1e-12);
  ASSERT_EQ(plugin.log.size(), 1u);
  EXPECT_EQ(plugin.log[0], "perform 0 0.7500");

  // Integers: no full stop, no letters; a sign may be typed.
  plugin.log.clear();
  EXPECT_EQ(Type(1, "4.x", VK_RETURN), "4");
  ASSERT_TRUE(EntryCloses());
  EXPECT_NEAR(knobs[1]->Value(), 0.8, 1e-12);
  EXPECT_EQ(Type(1, "-5", VK_ESCAPE), "-5");
  ASSERT_TRUE(EntryCloses());
  EXPECT_NEAR(knobs[1]->Value(), 0.8, 1e-12) << "Escape applies nothing";
  EXPECT_EQ(plugin.log.size(), 1u);

  // Text that is no number (pasted, not typed) commits 0, within range;
  // far more text than the box allows is read only as far as it is safe.
  plugin.log.clear();
  Type(0, "", 0);
  SetWindowTextA(graphics->EntryWindow(), "volume");
  SendMessageA(graphics->EntryWindow(), WM_KEYDOWN, VK_RETURN, 0);
  ASSERT_TRUE(EntryCloses());
  EXPECT_EQ(knobs[0]->Value(), 1.0);
  Type(0, "", 0);
  SetWindowTextA(graphics->EntryWindow(), std::string(5000, '9').c_str());
  SendMessageA(graphics->EntryWindow(), WM_KEYDOWN, VK_RETURN, 0);
  ASSERT_TRUE(EntryCloses());
  EXPECT_EQ(knobs[0]->Value(), 1.0);

  // A click in the editor commits what was typed.
  EXPECT_EQ(Type(0, "-20", 0), "-20");
  HWND first = graphics->EntryWindow();
  graphics->PromptParamInput(knobs[1], 1, {100, 40, 140, 56});
  EXPECT_EQ(graphics->EntryWindow(), first) << "one box at a time";
  SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(250, 100));
  SendMessageA(window, WM_LBUTTONUP, 0, MAKELPARAM(250, 100));
  ASSERT_TRUE(EntryCloses());
  EXPECT_NEAR(knobs[0]->Value(), 0.6, 1e-12);
}

TEST_F(Prompts, TheBoxLimitsItsLengthAndClosesWithTheWindow) {
  // The control's 7 characters (Wine's multi-line box keeps one for itself).
  const std::string shown = Type(0, "-1.2345678", 0);
  EXPECT_GE(shown.size(), 6u);
  EXPECT_LE(shown.size(), 7u);
  EXPECT_EQ(std::string("-1.2345678").rfind(shown, 0), 0u);
  graphics->CloseEditorWindow();
  EXPECT_EQ(graphics->EntryWindow(), nullptr);
  EXPECT_EQ(GraphicsWin::OpenWindowCount(), 0);
  // A new window starts without a box and takes a new one.
  window = static_cast<HWND>(graphics->OpenEditorWindow(host.Handle()));
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(Type(0, "-3", VK_RETURN), "-3");
  EXPECT_TRUE(EntryCloses());
}

// The window at 1, 1.5, 2 and 3: its client area is the editor's device
// size, and a press, a drag, a wheel notch and a double click given in
// device pixels edit exactly as at 1 (the last device pixel of an editor
// pixel still counts as that pixel). The text box sits over the control in
// device pixels too.
TEST_F(Prompts, InputIsMappedToEditorPixelsAtEveryScale) {
  ASSERT_NE(window, nullptr);
  std::vector<std::string> atOne;
  for (double scale : {1.0, 1.5, 2.0, 3.0}) {
    SCOPED_TRACE(scale);
    graphics->SetScale(scale);
    const ScaleMapping& m = graphics->Mapping();
    RECT client = {};
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, m.ToDevice(300));
    EXPECT_EQ(client.bottom, m.ToDevice(120));
    auto at = [&](int x, int y) {
      return MAKELPARAM(static_cast<WORD>(m.ToDevice(x + 1) - 1), static_cast<WORD>(m.ToDevice(y + 1) - 1));
    };
    knobs[0]->SetValue(0.5);
    plugin.log.clear();
    SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, at(35, 36));
    SendMessageA(window, WM_MOUSEMOVE, MK_LBUTTON, at(35, 10));
    SendMessageA(window, WM_LBUTTONUP, 0, at(35, 10));
    POINT screen = {m.ToDevice(35), m.ToDevice(36)};
    ClientToScreen(window, &screen);
    SendMessageA(window, WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), MAKELPARAM(screen.x, screen.y));
    SendMessageA(window, WM_LBUTTONDBLCLK, MK_LBUTTON, at(35, 36));
    SendMessageA(window, WM_LBUTTONUP, 0, at(35, 36));
    // Just left of the first knob (editor x 9): nothing.
    SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, at(9, 36));
    SendMessageA(window, WM_LBUTTONUP, 0, at(9, 36));
    if (scale == 1.0) {
      atOne = plugin.log;
      EXPECT_GE(atOne.size(), 6u);
    } else {
      EXPECT_EQ(plugin.log, atOne);
    }
    graphics->PromptParamInput(knobs[0], 0, {40, 40, 80, 56});
    HWND box = graphics->EntryWindow();
    ASSERT_NE(box, nullptr);
    RECT r = {};
    GetWindowRect(box, &r);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, m.ToDevice(40));
    EXPECT_EQ(r.bottom, m.ToDevice(57));
    graphics->CancelTextEntry();
    ASSERT_TRUE(EntryCloses());
  }
}

// A window moved to a screen of another DPI hears so after its parent: it
// takes the screen's scale (this session's DPI) while it follows the
// system, and keeps a scale the host gave it.
TEST_F(Prompts, ADpiChangeRescalesOnlyAWindowThatFollowsTheSystem) {
  ASSERT_NE(window, nullptr);
  const double screen = graphics->SystemScaleFor(host.Handle());
  ASSERT_GE(screen, 1.0);
  const double other = screen == 2.0 ? 1.5 : 2.0;
  constexpr UINT kDpiChangedAfterParent = 0x02E3;
  graphics->SetScale(other);
  graphics->SetFollowsSystemScale(false);
  SendMessageA(window, kDpiChangedAfterParent, 0, 0);
  EXPECT_EQ(graphics->Scale(), other) << "the host's scale stays";
  graphics->SetFollowsSystemScale(true);
  SendMessageA(window, kDpiChangedAfterParent, 0, 0);
  EXPECT_EQ(graphics->Scale(), screen);
  RECT client = {};
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, graphics->Mapping().ToDevice(300));
}

// The menu window of this thread, its native menu and the item texts.
std::vector<std::string> OpenMenuTexts(HMENU* menu) {
  std::vector<std::string> texts;
  HWND popup = ThreadWindow("#32768");
  if (popup == nullptr) return texts;
  *menu = reinterpret_cast<HMENU>(SendMessageA(popup, MN_GETHMENU, 0, 0));
  for (int i = 0; i < GetMenuItemCount(*menu); ++i) {
    char text[300] = "";
    GetMenuStringA(*menu, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
    texts.emplace_back(text);
  }
  return texts;
}

TEST_F(Prompts, MenusNumberTheirItemsDepthFirstAndReturnTheChosenOne) {
  PopupMenuModel menu;
  menu.numbering = 2;
  menu.AddItem("Soft");
  menu.AddSeparator();
  menu.AddItem(std::string(1000, 'x'));  // cut, not refused
  std::vector<std::string> seen;
  {
    TimerAction pick([&] {
      HMENU native = nullptr;
      seen = OpenMenuTexts(&native);
      if (seen.empty()) return false;
      EndMenu();
      PostMessageA(window, WM_COMMAND, 2, 0);
      return true;
    });
    EXPECT_EQ(graphics->ShowPopupMenu(menu, {10, 10, 60, 30}), &menu);
  }
  EXPECT_EQ(menu.chosen, 2);
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0], "01: Soft");
  EXPECT_EQ(seen[2].substr(0, 6), "03: xx");
  EXPECT_EQ(seen[2].size(), GraphicsWin::kMaxMenuText);

  // Three items, the second opening two more: those are numbers 3 and 4.
  PopupMenuModel outer;
  outer.AddItem("a");
  PopupMenuModel& inner = outer.AddSubmenu("more");
  inner.AddItem("b1");
  inner.AddItem("b2");
  outer.AddItem("c");
  {
    TimerAction pick([&] {
      if (ThreadWindow("#32768") == nullptr) return false;
      EndMenu();
      PostMessageA(window, WM_COMMAND, 4, 0);
      return true;
    });
    EXPECT_EQ(graphics->ShowPopupMenu(outer, {10, 10, 60, 30}), &inner);
  }
  EXPECT_EQ(inner.chosen, 1);
  // Dismissed: nothing.
  {
    TimerAction dismiss([&] {
      if (ThreadWindow("#32768") == nullptr) return false;
      EndMenu();
      return true;
    });
    EXPECT_EQ(graphics->ShowPopupMenu(outer, {10, 10, 60, 30}), nullptr);
  }
  // A menu inside itself is refused instead of recursing without end.
  auto looped = std::make_shared<PopupMenuModel>();
  looped->items.push_back({"self", 0, looped});
  EXPECT_EQ(graphics->ShowPopupMenu(*looped, {10, 10, 60, 30}), nullptr);
  looped->items.clear();
}

TEST_F(Prompts, EnumeratedParametersArePickedFromTheirMenuWithTheKeyboard) {
  {
    // Down three times selects the third item, Return picks it.
    TimerAction keys([&] {
      if (ThreadWindow("#32768") == nullptr) return false;
      for (WPARAM key : {VK_DOWN, VK_DOWN, VK_DOWN, VK_RETURN}) PostMessageA(window, WM_KEYDOWN, key, 0);
      return true;
    });
    graphics->PromptParamInput(knobs[2], 2, knobs[2]->Rect());
  }
  EXPECT_EQ(knobs[2]->Value(), 1.0);
  ASSERT_FALSE(plugin.log.empty());
  EXPECT_EQ(plugin.log.back(), "perform 2 1.0000");
}

TEST_F(Prompts, MessageBoxesAndDialogsAnswerAndClose) {
  HWND owner = nullptr;
  {
    TimerAction answer([&] {
      HWND box = ThreadWindow("#32770", "Caption");
      if (box == nullptr) return false;
      owner = GetWindow(box, GW_OWNER);
      PostMessageA(box, WM_COMMAND, IDNO, 0);
      return true;
    });
    EXPECT_EQ(graphics->ShowAlert("Reset all?", "Caption", MB_YESNO), IDNO);
  }
  EXPECT_EQ(owner, host.Handle()) << "owned by the host's top-level window";

  {
    TimerAction refuse([&] {
      HWND box = ThreadWindow("#32770", "Link");
      if (box == nullptr) return false;
      PostMessageA(box, WM_COMMAND, IDNO, 0);
      return true;
    });
    EXPECT_FALSE(graphics->OpenWebLink("http://kestro.invalid/", "Link", "Open the manual?", nullptr));
  }

  // A file that exists, chosen with OK; then the dialog cancelled.
  char folder[MAX_PATH] = "";
  GetTempPathA(sizeof folder, folder);
  const std::string file = std::string(folder) + "kestro-choose.txt";
  HANDLE created = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(created, INVALID_HANDLE_VALUE);
  CloseHandle(created);
  std::string path = file;
  {
    TimerAction ok([&] {
      HWND dialog = ThreadWindow("#32770");
      if (dialog == nullptr) return false;
      PostMessageA(dialog, WM_COMMAND, IDOK, 0);
      return true;
    });
    graphics->ChooseFile(path, false, folder, "txt wav");
  }
  EXPECT_EQ(_stricmp(path.c_str(), file.c_str()), 0) << path;
  char current[MAX_PATH] = "";
  GetCurrentDirectoryA(sizeof current, current);
  EXPECT_NE(_strnicmp(current, folder, std::strlen(current)), 0) << "the process stays where it was";
  {
    TimerAction cancel([&] {
      HWND dialog = ThreadWindow("#32770");
      if (dialog == nullptr) return false;
      PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
      return true;
    });
    graphics->ChooseFile(path, true, folder, "txt");
  }
  EXPECT_EQ(path, "");
  DeleteFileA(file.c_str());

  // The colour chooser shows the prompt; OK keeps the starting colour.
  ArgbColor colour{255, 10, 200, 30};
  std::string title;
  {
    TimerAction ok([&] {
      HWND dialog = ThreadWindow("#32770");
      if (dialog == nullptr) return false;
      char text[128] = "";
      GetWindowTextA(dialog, text, sizeof text);
      title = text;
      PostMessageA(dialog, WM_COMMAND, IDOK, 0);
      return true;
    });
    EXPECT_TRUE(graphics->PickColour(colour, "Lamp colour"));
  }
  EXPECT_EQ(title, "Lamp colour");
  EXPECT_EQ(colour.red, 10);
  EXPECT_EQ(colour.green, 200);
  EXPECT_EQ(colour.blue, 30);
  {
    TimerAction cancel([&] {
      HWND dialog = ThreadWindow("#32770");
      if (dialog == nullptr) return false;
      PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
      return true;
    });
    EXPECT_FALSE(graphics->PickColour(colour, "Lamp colour"));
  }
  // Without a window there is nothing to own a dialog.
  graphics->CloseEditorWindow();
  EXPECT_FALSE(graphics->PickColour(colour, "x"));
  path = "keep";
  graphics->ChooseFile(path, false, "", "txt");
  EXPECT_EQ(path, "");
}

TEST(FileFilter, PatternsDefaultExtensionAndBufferLimits) {
  std::string ext;
  EXPECT_EQ(GraphicsWin::FileFilter("png", ext), std::string("*.png\0*.png\0\0", 13));
  EXPECT_EQ(ext, "png");
  EXPECT_EQ(GraphicsWin::FileFilter("png bmp", ext), std::string("*.png;*.bmp\0*.png;*.bmp\0\0", 25));
  EXPECT_EQ(GraphicsWin::FileFilter("", ext), "");
  EXPECT_EQ(ext, "");
  // A first extension too long for the 16-byte default is no default.
  GraphicsWin::FileFilter("averyveryverylongext txt", ext);
  EXPECT_EQ(ext, "");
  // Patterns that do not fit 256 bytes are left out whole.
  std::string many;
  for (int i = 0; i < 40; ++i) many += "ext" + std::to_string(i) + " ";
  const std::string filter = GraphicsWin::FileFilter(many.c_str(), ext);
  EXPECT_LE(filter.size(), 256u);
  const std::string pattern = filter.substr(0, filter.find('\0'));
  EXPECT_EQ(pattern.rfind("*.ext", 0), 0u);
  EXPECT_EQ(pattern.back() >= '0' && pattern.back() <= '9', true) << "no pattern cut in the middle";
  EXPECT_EQ(pattern.find("ext39"), std::string::npos);
}

TEST_F(Prompts, ClipboardAndFolders) {
  const wchar_t text[] = L"Gain 3 dB \u00fc";
  ASSERT_TRUE(OpenClipboard(window));
  EmptyClipboard();
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, sizeof text);
  std::memcpy(GlobalLock(memory), text, sizeof text);
  GlobalUnlock(memory);
  SetClipboardData(CF_UNICODETEXT, memory);
  CloseClipboard();
  std::string read;
  EXPECT_TRUE(graphics->ClipboardText(read));
  EXPECT_EQ(read, "Gain 3 dB \xc3\xbc");

  char exe[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, exe, sizeof exe);
  std::string folder;
  graphics->HostDirectory(folder);
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), '\\');
  EXPECT_EQ(std::string(exe).rfind(folder, 0), 0u);
  std::string module;
  graphics->ModuleDirectory(module);
  EXPECT_EQ(module, folder) << "GraphicsWin lives in the test program here";
  std::string desktop, local;
  graphics->DesktopDirectory(desktop);
  graphics->UserAppDataDirectory(local);
  EXPECT_FALSE(desktop.empty());
  EXPECT_FALSE(local.empty());
}

}  // namespace
}  // namespace kestro::test
