// The editor's X11 window on a real server (the test script's Xvfb): it is
// embedded in the host's window and driven by the host's loop, shows the
// drawing bitmap, turns pointer and key input into the editor's entries,
// and leaves nothing behind however it is closed.
#include <poll.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestDisplay.h"
#include "graphics/BitmapControl.h"
#include "graphics/raster/MemBitmap.h"
#include "platform/linux/GraphicsX11.h"
#include "tests/graphics/EditorTestSupport.h"

namespace kestro::test {
namespace {

// A host loop the test steps by hand.
class StepLoop : public HostRunLoop {
 public:
  bool WatchFile(int fd, Client* client) override {
    files.push_back({fd, client});
    return true;
  }
  bool StartTimer(int periodMs, Client* client) override {
    timers.push_back({periodMs, client});
    return !refuseTimers;
  }
  void Forget(Client* client) override {
    std::erase_if(files, [&](const auto& f) { return f.second == client; });
    std::erase_if(timers, [&](const auto& t) { return t.second == client; });
  }
  // Waits a little for the connection and hands its events over.
  void Dispatch() {
    std::vector<pollfd> fds;
    for (const auto& f : files) fds.push_back({f.first, POLLIN, 0});
    if (poll(fds.data(), fds.size(), 20) <= 0) return;
    auto ready = files;
    for (const auto& f : ready) f.second->OnFileReady(f.first);
  }
  void Tick() {
    auto ticking = timers;
    for (const auto& t : ticking) t.second->OnTimer();
  }
  std::vector<std::pair<int, Client*>> files;
  std::vector<std::pair<int, Client*>> timers;
  bool refuseTimers = false;
};

// Logs the input it gets and draws nothing.
class InputLog : public Control {
 public:
  InputLog(PluginCore* plugin, PixelRect rect, int param, std::vector<std::string>& log)
      : Control(plugin, rect, param), log_(log) {}
  void HandleMouseDown(int x, int y, const MouseModifiers& m) override { Log("down", x, y, m); }
  void HandleMouseUp(int x, int y, const MouseModifiers& m) override { Log("up", x, y, m); }
  void HandleMouseDrag(int x, int y, int, int, const MouseModifiers& m) override { Log("drag", x, y, m); }
  void HandleDoubleClick(int x, int y, const MouseModifiers& m) override { Log("double", x, y, m); }
  void HandleWheel(int x, int y, const MouseModifiers&, int steps) override {
    log_.push_back("wheel " + std::to_string(steps) + " at " + Where(x, y));
  }
  bool HandleKeyDown(int x, int y, int key) override {
    log_.push_back("key " + std::to_string(key) + " at " + Where(x, y));
    return true;
  }
  bool Draw(GraphicsCore&) override { return true; }

 private:
  static std::string Where(int x, int y) { return std::to_string(x) + "," + std::to_string(y); }
  void Log(const char* what, int x, int y, const MouseModifiers& m) {
    log_.push_back(std::string(what) + " " + Where(x, y) + (m.left ? " L" : "") + (m.right ? " R" : ""));
  }
  std::vector<std::string>& log_;
};

constexpr int kWidth = 300, kHeight = 120;
constexpr int kParentX = 40, kParentY = 30;
const PixelRect kLogRect{100, 40, 160, 100};

class X11Window : public ::testing::Test {
 protected:
  void SetUp() override {
    KESTRO_NEED_DISPLAY(display);
    parent = display.TopLevel(kParentX, kParentY, 400, 200);
    // A background with a different colour in every pixel, under the logger.
    picture = std::make_unique<MemBitmap>();
    picture->Resize(kWidth, kHeight);
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) picture->Row(y)[x] = MakePackedPixel(255, x & 0xff, y * 2, (x >> 8) * 64 + 7);
    }
    editor = std::make_unique<GraphicsX11>(&host, kWidth, kHeight, 25);
    editor->AddControl(std::make_unique<BitmapControl>(&host, 0, 0, -1, BitmapStrip::FromBitmap(picture.get(), 1), 1));
    editor->AddControl(std::make_unique<InputLog>(&host, kLogRect, 0, log));
    editor->PrepareDrawing();
    editor->SetHostRunLoop(&loop);
  }

  xcb_window_t Open() {
    void* handle = editor->OpenEditorWindow(reinterpret_cast<void*>(static_cast<uintptr_t>(parent)));
    const auto window = static_cast<xcb_window_t>(reinterpret_cast<uintptr_t>(handle));
    EXPECT_TRUE(PumpUntil([&] { loop.Dispatch(); }, [&] { return display.Viewable(window); }));
    return window;
  }
  // Lets the editor read what the server sent it, until the log has n lines.
  bool Logged(size_t n) {
    return PumpUntil([&] { loop.Dispatch(); }, [&] { return log.size() >= n; });
  }
  // Root position of an editor pixel.
  void Point(int x, int y) { display.MoveTo(kParentX + x, kParentY + y); }

  TestDisplay display;
  xcb_window_t parent = 0;
  EditorHost host;
  std::unique_ptr<MemBitmap> picture;
  std::vector<std::string> log;
  StepLoop loop;
  std::unique_ptr<GraphicsX11> editor;
};

TEST_F(X11Window, IsAChildOfTheHostWindowDrivenByTheHostLoopUntilClosed) {
  for (const char* type : {"HWND", "X11EmbedWindowId", "", "NSView"}) EXPECT_FALSE(editor->SupportsWindowType(type));
  EXPECT_FALSE(editor->SupportsWindowType(nullptr));
  EXPECT_TRUE(editor->SupportsWindowType("X11EmbedWindowID"));

  const xcb_window_t window = Open();
  ASSERT_NE(window, 0u);
  EXPECT_TRUE(editor->IsWindowOpen());
  EXPECT_EQ(display.Children(parent), std::vector<xcb_window_t>{window});
  EXPECT_EQ(display.Geometry(window), (std::vector<int>{0, 0, kWidth, kHeight}));
  ASSERT_EQ(loop.files.size(), 1u);
  ASSERT_EQ(loop.timers.size(), 1u);
  EXPECT_EQ(loop.timers[0].first, 40) << "25 frames per second";

  editor->CloseEditorWindow();
  display.Sync();
  EXPECT_TRUE(display.Children(parent).empty());
  EXPECT_TRUE(loop.files.empty() && loop.timers.empty());
  EXPECT_EQ(editor->WindowHandle(), nullptr);
  editor->CloseEditorWindow();  // twice is harmless

  // The editor lives on and opens again.
  EXPECT_NE(Open(), 0u);
  EXPECT_EQ(display.Children(parent).size(), 1u);
}

TEST_F(X11Window, RefusesToOpenWithoutAParentOrAHostLoop) {
  const struct {
    const char* what;
    uintptr_t parent;
    bool loop;
    bool timerRefused;
  } cases[] = {
      {"no host loop", parent, false, false},
      {"no parent", 0, true, false},
      {"a parent that does not exist", 0x7ffffff0, true, false},
      {"the host refuses the timer", parent, true, true},
  };
  for (const auto& c : cases) {
    loop.refuseTimers = c.timerRefused;
    editor->SetHostRunLoop(c.loop ? &loop : nullptr);
    EXPECT_EQ(editor->OpenEditorWindow(reinterpret_cast<void*>(c.parent)), nullptr) << c.what;
    EXPECT_EQ(editor->WindowHandle(), nullptr) << c.what;
    EXPECT_TRUE(loop.files.empty() && loop.timers.empty()) << c.what;
    display.Sync();
    EXPECT_TRUE(display.Children(parent).empty()) << c.what;
  }
}

TEST_F(X11Window, OpeningAgainKeepsOneWindowAtTheOldPlace) {
  const xcb_window_t first = Open();
  const uint32_t place[] = {7, 9};
  xcb_configure_window(display.Connection(), first, XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, place);
  display.Sync();
  const xcb_window_t second = Open();
  ASSERT_NE(second, 0u);
  EXPECT_EQ(display.Children(parent), std::vector<xcb_window_t>{second});
  EXPECT_EQ(display.Geometry(second), (std::vector<int>{7, 9, kWidth, kHeight}));
  EXPECT_EQ(loop.files.size(), 1u);
  EXPECT_EQ(loop.timers.size(), 1u);
}

// Window pixels in rect that differ from the drawing bitmap.
int PixelsUnlike(TestDisplay& display, xcb_window_t window, const Bitmap& bitmap, const PixelRect& rect) {
  const std::vector<uint32_t> shown = display.Pixels(window, rect.left, rect.top, rect.Width(), rect.Height());
  if (shown.size() != static_cast<size_t>(rect.Width() * rect.Height())) return -1;
  int wrong = 0;
  for (int y = rect.top; y < rect.bottom; ++y) {
    for (int x = rect.left; x < rect.right; ++x) {
      wrong += shown[static_cast<size_t>((y - rect.top) * rect.Width() + x - rect.left)] != (bitmap.Row(y)[x] & 0xffffff);
    }
  }
  return wrong;
}

// Shared memory (Xvfb offers it) and the socket must show the same pixels,
// for the whole editor, a part of it drawn at an offset, and a grown window.
TEST_F(X11Window, TheTimerShowsTheDrawingBitmapThroughSharedMemoryOrTheSocket) {
  for (const bool shared : {true, false}) {
    SCOPED_TRACE(shared ? "shared memory" : "socket");
    editor->AllowSharedMemory(shared);
    const xcb_window_t window = Open();
    EXPECT_EQ(editor->UsesSharedMemory(), shared);
    loop.Tick();
    display.Sync();
    PixelRect dirty;
    EXPECT_FALSE(editor->CollectDirtyRect(dirty)) << "the tick drew everything";
    const Bitmap& drawn = *editor->DrawingBitmap();
    EXPECT_EQ(PixelsUnlike(display, window, drawn, {0, 0, kWidth, kHeight}), 0);
    EXPECT_EQ(display.Pixels(window, 260, 5, 1, 1)[0], picture->Row(5)[260] & 0xffffff);

    // A new picture drawn only inside a region: the rest keeps the old one.
    const std::vector<uint32_t> before = display.Pixels(window, 0, 0, kWidth, kHeight);
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) picture->Row(y)[x] = MakePackedPixel(255, y, x & 0xff, 200);
    }
    const PixelRect part{37, 11, 201, 90};
    editor->DrawRegion(part);
    display.Sync();
    EXPECT_EQ(PixelsUnlike(display, window, drawn, part), 0);
    const std::vector<uint32_t> after = display.Pixels(window, 0, 0, kWidth, kHeight);
    int changedOutside = 0;
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        const size_t i = static_cast<size_t>(y * kWidth + x);
        changedOutside += !part.Contains(x, y) && after[i] != before[i];
      }
    }
    EXPECT_EQ(changedOutside, 0);

    // A window that grew (losing its controls) paints its new part as well.
    editor->Resize(kWidth + 40, kHeight + 30);
    MemBitmap grown;
    grown.Resize(kWidth + 40, kHeight + 30);
    for (int y = 0; y < grown.Height(); ++y) {
      for (int x = 0; x < grown.Width(); ++x) grown.Row(y)[x] = MakePackedPixel(255, x & 0xff, 99, y);
    }
    editor->AddControl(std::make_unique<BitmapControl>(&host, 0, 0, -1, BitmapStrip::FromBitmap(&grown, 1), 1));
    editor->DrawRegion({0, 0, kWidth + 40, kHeight + 30});
    display.Sync();
    EXPECT_EQ(display.Geometry(window), (std::vector<int>{0, 0, kWidth + 40, kHeight + 30}));
    EXPECT_EQ(PixelsUnlike(display, window, *editor->DrawingBitmap(), {0, 0, kWidth + 40, kHeight + 30}), 0);
    EXPECT_EQ(editor->UsesSharedMemory(), shared);
    editor->CloseEditorWindow();
    // Resizing dropped the controls; the next round starts as SetUp left it.
    SetUp();
  }
}

TEST_F(X11Window, PointerInputReachesTheControlAndDragsOutsideTheWindow) {
  Open();
  Point(110, 50);
  display.Button(1, true);
  Point(120, 60);
  Point(130, kHeight + 40);  // below the window: the press still holds the pointer
  display.Button(1, false);
  ASSERT_TRUE(Logged(4));
  EXPECT_EQ(log, (std::vector<std::string>{"down 110,50 L", "drag 120,60 L", "drag 130,160 L", "up 130,160"}));
  EXPECT_EQ(host.log, (std::vector<std::string>{"begin 0", "end 0"}));

  log.clear();
  Point(150, 90);
  display.Click(4);
  display.Click(5);
  display.Click(2);  // the middle button's release ends its press too
  ASSERT_TRUE(Logged(4));
  EXPECT_EQ(log, (std::vector<std::string>{"wheel 1 at 150,90", "wheel -1 at 150,90", "down 150,90", "up 150,90"}));

  log.clear();
  display.Click(1);
  display.Click(1);
  ASSERT_TRUE(Logged(4));
  EXPECT_EQ(log, (std::vector<std::string>{"down 150,90 L", "up 150,90", "double 150,90 L", "up 150,90"}));

  log.clear();
  Point(20, 20);  // the background takes no input
  display.Click(1);
  display.Click(4);
  for (int i = 0; i < 5; ++i) loop.Dispatch();
  EXPECT_TRUE(log.empty());
}

// At every scale the window is the editor's device size and input arrives
// in editor pixels: the last device pixel of an editor pixel still counts
// as that pixel, a drag moves by editor pixels, and two presses a few
// editor pixels apart (many device pixels at 3) are a double click.
TEST_F(X11Window, InputIsMappedToEditorPixelsAtEveryScale) {
  constexpr int kBigX = 10, kBigY = 10;
  const xcb_window_t big = display.TopLevel(kBigX, kBigY, 960, 380);
  for (double scale : {1.0, 1.5, 2.0, 3.0}) {
    SCOPED_TRACE(scale);
    editor->SetScale(scale);
    const ScaleMapping& m = editor->Mapping();
    void* handle = editor->OpenEditorWindow(reinterpret_cast<void*>(static_cast<uintptr_t>(big)));
    const auto window = static_cast<xcb_window_t>(reinterpret_cast<uintptr_t>(handle));
    ASSERT_TRUE(PumpUntil([&] { loop.Dispatch(); }, [&] { return display.Viewable(window); }));
    EXPECT_EQ(display.Geometry(window), (std::vector<int>{0, 0, m.ToDevice(kWidth), m.ToDevice(kHeight)}));
    // The last device pixel of editor pixel (x, y), in root coordinates.
    auto at = [&](int x, int y) { display.MoveTo(kBigX + m.ToDevice(x + 1) - 1, kBigY + m.ToDevice(y + 1) - 1); };
    log.clear();
    at(110, 50);
    display.Button(1, true);
    at(110, 100);
    display.Button(1, false);
    at(150, 90);
    display.Click(4);
    display.Click(1);
    display.MoveTo(kBigX + m.ToDevice(153), kBigY + m.ToDevice(92));  // 3 editor pixels off
    display.Click(1);
    ASSERT_TRUE(Logged(8));
    EXPECT_EQ(log, (std::vector<std::string>{"down 110,50 L", "drag 110,100 L", "up 110,100", "wheel 1 at 150,90",
                                             "down 150,90 L", "up 150,90", "double 153,92 L", "up 153,92"}));
    // An exposure redraws the editor pixels it touches, shown in device pixels.
    display.Sync();
    editor->DrawRegion({0, 0, kWidth, kHeight});
    display.Sync();
    EXPECT_EQ(PixelsUnlike(display, window, *editor->DrawingBitmap(), {0, 0, m.ToDevice(kWidth), m.ToDevice(kHeight)}),
              0);
    editor->CloseEditorWindow();
    host.log.clear();
  }
}

// Rescaled while open, the window takes the new size and shows the whole
// editor again at the new density without being asked to.
TEST_F(X11Window, AnOpenWindowRescaledRedrawsAtTheNewSize) {
  const xcb_window_t big = display.TopLevel(10, 10, 960, 380);
  void* handle = editor->OpenEditorWindow(reinterpret_cast<void*>(static_cast<uintptr_t>(big)));
  const auto window = static_cast<xcb_window_t>(reinterpret_cast<uintptr_t>(handle));
  ASSERT_TRUE(PumpUntil([&] { loop.Dispatch(); }, [&] { return display.Viewable(window); }));
  loop.Tick();
  editor->SetScale(2.0);
  display.Sync();
  EXPECT_EQ(display.Geometry(window), (std::vector<int>{0, 0, 2 * kWidth, 2 * kHeight}));
  for (int i = 0; i < 5; ++i) loop.Dispatch();
  loop.Tick();
  editor->WaitForServer();
  EXPECT_EQ(PixelsUnlike(display, window, *editor->DrawingBitmap(), {0, 0, 2 * kWidth, 2 * kHeight}), 0);
  // Device pixel (2x, 2y) shows about editor pixel (x, y) of the picture
  // (smoothly scaled up: it has no twice-as-dense twin).
  for (const auto& [x, y] : {std::pair{257, 33}, std::pair{20, 110}}) {
    const auto shown = display.Pixels(window, 2 * x, 2 * y, 1, 1);
    ASSERT_EQ(shown.size(), 1u);
    const uint32_t want = picture->Row(y)[x];
    for (int shift : {0, 8, 16}) {
      EXPECT_NEAR(static_cast<int>((shown[0] >> shift) & 0xff), static_cast<int>((want >> shift) & 0xff), 3) << x;
    }
  }
  editor->CloseEditorWindow();
}

TEST_F(X11Window, KeysGoToTheControlUnderThePointerOrOnToTheHostWindow) {
  // Opening and clicking leave the keyboard with the host, so its shortcuts
  // keep working.
  display.Focus(parent);
  const xcb_window_t window = Open();
  Point(20, 20);
  display.Click(1);
  for (int i = 0; i < 3; ++i) loop.Dispatch();
  EXPECT_EQ(display.Focused(), parent);

  // Given the focus, the editor takes keys.
  display.Focus(window);
  Point(120, 70);
  display.Key('q');
  display.Key(0xff52);  // Up
  ASSERT_TRUE(Logged(2));
  EXPECT_EQ(log, (std::vector<std::string>{"key 31 at 120,70", "key 1 at 120,70"}));

  // A key the editor does not take, or one over no control, goes to the
  // host's top-level window: press and release each.
  display.SentKeyPresses(parent);
  display.Key(0xffbe);  // F1
  Point(10, 10);
  display.Key('q');
  for (int i = 0; i < 5; ++i) loop.Dispatch();
  display.Sync();
  EXPECT_EQ(display.SentKeyPresses(parent), 2);
  EXPECT_EQ(log.size(), 2u);
}

TEST_F(X11Window, ClosingUnderAHeldButtonEndsTheEdit) {
  Open();
  Point(110, 50);
  display.Button(1, true);
  ASSERT_TRUE(Logged(1));
  editor->CloseEditorWindow();
  display.Button(1, false);
  EXPECT_EQ(log, (std::vector<std::string>{"down 110,50 L", "up 110,50"}));
  EXPECT_EQ(host.log, (std::vector<std::string>{"begin 0", "end 0"}));
}

TEST_F(X11Window, TheHostDestroyingItsWindowFirstLeavesNothingBehind) {
  Open();
  Point(110, 50);
  display.Button(1, true);
  ASSERT_TRUE(Logged(1));
  xcb_destroy_window(display.Connection(), parent);
  display.Sync();
  EXPECT_TRUE(PumpUntil([&] { loop.Dispatch(); }, [&] { return editor->WindowHandle() == nullptr; }));
  EXPECT_TRUE(loop.files.empty() && loop.timers.empty());
  EXPECT_EQ(host.log, (std::vector<std::string>{"begin 0", "end 0"}));
  editor->CloseEditorWindow();
  loop.Tick();
  display.Button(1, false);
}

TEST_F(X11Window, AHiddenPointerComesBackWhereItWas) {
  Open();
  Point(110, 50);
  editor->HidePointer();
  editor->HidePointer();
  display.MoveTo(5, 5);
  editor->ShowPointer();
  int x = 0, y = 0;
  // The editor's warp travels on its own connection.
  PumpUntil([&] { loop.Dispatch(); }, [&] {
    display.PointerAt(x, y);
    return x != 5;
  });
  EXPECT_EQ(x, kParentX + 110);
  EXPECT_EQ(y, kParentY + 50);
  editor->ShowPointer();  // not hidden: stays put
  display.MoveTo(5, 5);
  display.PointerAt(x, y);
  EXPECT_EQ(x, 5);
}

}  // namespace
}  // namespace kestro::test
