// KESTRO's editor window as a Windows host meets it: the view from the
// module, attached to a top-level window of ours as "HWND", driven with
// window messages. The edits that reach the host's component handler and
// the pixels on screen are what count. Then the hosts that get the order
// wrong: a second attach, removed without attached, the parent destroyed
// first, the module unloaded under a live view.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>

#include "WindowTestSupport.h"
#include "graphics/PixelRect.h"
#include "graphics/raster/PngDecoder.h"
#include "pluginterfaces/gui/iplugview.h"
#include "pluginterfaces/gui/iplugviewcontentscalesupport.h"
#include "tools/host/PluginInstance.h"
#include "tools/host/Vst3Module.h"

namespace kestro::test {
namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;
using Kind = RecordingComponentHandler::Kind;

constexpr int kWidth = 1020;
constexpr int kHeight = 151;
constexpr POINT kBypassLamp = {99, 64};   // (73,38)-(126,90), param 7
constexpr POINT kRatioKnob = {378, 64};   // (353,38)-(403,90), param 4
constexpr POINT kThresholdKnob = {661, 64};  // param 0
constexpr RECT kBypassRect = {73, 38, 126, 90};
constexpr RECT kRatioRect = {353, 38, 403, 90};
constexpr RECT kReadoutRect = {160, 6, 800, 26};

Vst3Module& Module() {
  static std::unique_ptr<Vst3Module> module = [] {
    std::string error;
    auto m = Vst3Module::Load(KESTRO_MODULE_PATH, error);
    if (m == nullptr) ADD_FAILURE() << error;
    return m;
  }();
  return *module;
}

std::string ModulePath() {
  std::string path = KESTRO_MODULE_PATH;
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

bool ClassRegistered() {
  WNDCLASSEXA info = {};
  info.cbSize = sizeof info;
  return GetClassInfoExA(GetModuleHandleA("KESTRO.vst3"), "KestroEditorWindow", &info) != 0;
}

// Client positions as window messages carry them (signed 16-bit each).
LPARAM Xy(int x, int y) { return MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)); }
LPARAM At(POINT p) { return Xy(p.x, p.y); }

// One instance, its view and a host window to put it in.
struct Session {
  Session() : host(kWidth, kHeight) {
    std::string error;
    instance = PluginInstance::CreateFirstEffect(Module().Factory(), error);
    EXPECT_NE(instance, nullptr) << error;
    if (instance != nullptr) view = instance->Controller()->createView(ViewType::kEditor);
  }
  ~Session() {
    if (view != nullptr) {
      view->removed();
      view->release();
    }
  }
  bool Attach() { return view != nullptr && view->attached(host.Handle(), kPlatformTypeHWND) == kResultOk; }
  std::vector<RecordingComponentHandler::Call> Calls() const { return instance->Handler().Calls(); }

  HostWindow host;
  std::unique_ptr<PluginInstance> instance;
  IPlugView* view = nullptr;
};

// The calls of one kind for one parameter.
int Count(const std::vector<RecordingComponentHandler::Call>& calls, Kind kind, ParamID id) {
  return static_cast<int>(std::count_if(calls.begin(), calls.end(), [&](const auto& c) { return c.kind == kind && c.id == id; }));
}

double LastPerform(const std::vector<RecordingComponentHandler::Call>& calls, ParamID id) {
  double value = -1.0;
  for (const auto& c : calls) {
    if (c.kind == Kind::kPerformEdit && c.id == id) value = c.value;
  }
  return value;
}

// Begin, at least one perform, end, in that order, for id alone.
bool OneGesture(const std::vector<RecordingComponentHandler::Call>& calls, ParamID id) {
  std::vector<Kind> kinds;
  for (const auto& c : calls) {
    if (c.id == id && c.kind != Kind::kRestart) kinds.push_back(c.kind);
  }
  return kinds.size() >= 3 && kinds.front() == Kind::kBeginEdit && kinds.back() == Kind::kEndEdit &&
         std::all_of(kinds.begin() + 1, kinds.end() - 1, [](Kind k) { return k == Kind::kPerformEdit; });
}

TEST(EditorWindow, OpensInTheHostWindowAndDrawsTheEditor) {
  Session s;
  ASSERT_NE(s.view, nullptr);
  EXPECT_EQ(s.view->isPlatformTypeSupported(kPlatformTypeHWND), kResultOk);
  EXPECT_EQ(s.view->isPlatformTypeSupported(kPlatformTypeX11EmbedWindowID), kResultFalse);
  ASSERT_TRUE(s.Attach());
  HWND editor = s.host.Editor();
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(GetParent(editor), s.host.Handle());
  RECT client;
  GetClientRect(editor, &client);
  EXPECT_EQ(client.right, kWidth);
  EXPECT_EQ(client.bottom, kHeight);
  EXPECT_TRUE(ClassRegistered());
  // The first ticks draw the whole editor: the lamp is not the host's grey.
  ASSERT_TRUE(PumpUntil([&] {
    const auto lamp = Grab(editor, kBypassRect);
    return std::any_of(lamp.begin(), lamp.end(), [&](uint32_t p) { return p != lamp.front(); });
  }));
  EXPECT_EQ(s.view->removed(), kResultOk);
  EXPECT_EQ(s.host.Editor(), nullptr);
  EXPECT_FALSE(ClassRegistered());
}

TEST(EditorWindow, MouseAndKeysReachTheHostAsWholeEditGestures) {
  Session s;
  ASSERT_TRUE(s.Attach());
  HWND editor = s.host.Editor();
  ASSERT_NE(editor, nullptr);
  Pump(200);
  const auto lampBefore = Grab(editor, kBypassRect);
  const auto readoutAtRest = Grab(editor, kReadoutRect);
  const auto ratioBefore = Grab(editor, kRatioRect);
  const double ratioStart = s.instance->Controller()->getParamNormalized(4);
  const double thresholdStart = s.instance->Controller()->getParamNormalized(0);
  const double bypassStart = s.instance->Controller()->getParamNormalized(7);
  s.instance->Handler().Clear();

  // A click on the bypass lamp switches it over; the lamp is redrawn.
  SendMessageA(editor, WM_LBUTTONDOWN, MK_LBUTTON, At(kBypassLamp));
  SendMessageA(editor, WM_LBUTTONUP, 0, At(kBypassLamp));
  auto calls = s.Calls();
  EXPECT_TRUE(OneGesture(calls, 7));
  EXPECT_EQ(LastPerform(calls, 7), 1.0 - bypassStart);
  EXPECT_TRUE(PumpUntil([&] { return Grab(editor, kBypassRect) != lampBefore; }));

  // 104 pixels up on the ratio knob: half its travel (208 px is the whole).
  s.instance->Handler().Clear();
  SendMessageA(editor, WM_LBUTTONDOWN, MK_LBUTTON, At(kRatioKnob));
  EXPECT_EQ(GetCapture(), editor);
  SendMessageA(editor, WM_MOUSEMOVE, MK_LBUTTON, Xy(kRatioKnob.x, kRatioKnob.y - 52));
  // Outside the window: the capture keeps the drag on the knob.
  SendMessageA(editor, WM_MOUSEMOVE, MK_LBUTTON, Xy(kRatioKnob.x, kRatioKnob.y - 104));
  SendMessageA(editor, WM_LBUTTONUP, 0, Xy(kRatioKnob.x, kRatioKnob.y - 104));
  EXPECT_NE(GetCapture(), editor);
  calls = s.Calls();
  EXPECT_TRUE(OneGesture(calls, 4));
  EXPECT_EQ(Count(calls, Kind::kPerformEdit, 4), 2);
  EXPECT_NEAR(LastPerform(calls, 4), std::min(1.0, ratioStart + 0.5), 1e-9);
  EXPECT_TRUE(PumpUntil([&] { return Grab(editor, kRatioRect) != ratioBefore; }));
  // Moves without a button are no drag.
  s.instance->Handler().Clear();
  SendMessageA(editor, WM_MOUSEMOVE, 0, Xy(kRatioKnob.x, 0));
  EXPECT_TRUE(s.Calls().empty());

  // Two wheel notches towards the user on the threshold knob (which starts
  // at the top): -2 %. Wheel positions are screen positions.
  s.instance->Handler().Clear();
  POINT screen = kThresholdKnob;
  ClientToScreen(editor, &screen);
  SendMessageA(editor, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-2 * WHEEL_DELTA)), Xy(screen.x, screen.y));
  EXPECT_NEAR(LastPerform(s.Calls(), 0), thresholdStart - 0.02, 1e-9);
  // A notch away from the user: +1 %; half a notch is no step.
  SendMessageA(editor, WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), Xy(screen.x, screen.y));
  EXPECT_NEAR(LastPerform(s.Calls(), 0), thresholdStart - 0.01, 1e-9);
  SendMessageA(editor, WM_MOUSEWHEEL, MAKEWPARAM(0, 60), Xy(screen.x, screen.y));
  EXPECT_NEAR(LastPerform(s.Calls(), 0), thresholdStart - 0.01, 1e-9);
  // The notches are one gesture, ended once the wheel has rested.
  EXPECT_EQ(Count(s.Calls(), Kind::kEndEdit, 0), 0);
  EXPECT_TRUE(PumpUntil([&] { return Count(s.Calls(), Kind::kEndEdit, 0) == 1; }));
  EXPECT_TRUE(OneGesture(s.Calls(), 0));

  // A double click puts the ratio back where the editor opened, as one
  // gesture; the second release ends nothing.
  s.instance->Handler().Clear();
  SendMessageA(editor, WM_LBUTTONDOWN, MK_LBUTTON, At(kRatioKnob));
  SendMessageA(editor, WM_LBUTTONUP, 0, At(kRatioKnob));
  SendMessageA(editor, WM_LBUTTONDBLCLK, MK_LBUTTON, At(kRatioKnob));
  SendMessageA(editor, WM_LBUTTONUP, 0, At(kRatioKnob));
  calls = s.Calls();
  EXPECT_NEAR(LastPerform(calls, 4), ratioStart, 1e-9);
  EXPECT_EQ(Count(calls, Kind::kBeginEdit, 4), 2);
  EXPECT_EQ(Count(calls, Kind::kEndEdit, 4), 2);

  // A right click asks the host for its parameter menu, and edits nothing.
  s.instance->Handler().Clear();
  SendMessageA(editor, WM_RBUTTONDOWN, MK_RBUTTON, At(kThresholdKnob));
  SendMessageA(editor, WM_RBUTTONUP, 0, At(kThresholdKnob));
  calls = s.Calls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].kind, Kind::kContextMenu);
  EXPECT_EQ(calls[0].id, 0u);

  // Keys no control takes go on to the host's window.
  HostWindow::KeysReceived().clear();
  SendMessageA(editor, WM_KEYDOWN, VK_F5, 0);
  SendMessageA(editor, WM_KEYDOWN, 'Q', 0);
  EXPECT_EQ(HostWindow::KeysReceived(), (std::vector<WPARAM>{VK_F5, 'Q'}));

  // Resting on a control shows the value read-out; a second after the
  // pointer goes to the bare panel it is gone again.
  SendMessageA(editor, WM_MOUSEMOVE, 0, At(kBypassLamp));
  EXPECT_TRUE(PumpUntil([&] { return Grab(editor, kReadoutRect) != readoutAtRest; }));
  SendMessageA(editor, WM_MOUSEMOVE, 0, Xy(5, 5));
  EXPECT_TRUE(PumpUntil([&] { return Grab(editor, kReadoutRect) == readoutAtRest; }));
}

// A host's frame that grants every size asked for and remembers it.
class GrantingFrame : public IPlugFrame {
 public:
  tresult PLUGIN_API resizeView(IPlugView* view, ViewRect* size) override {
    requests.push_back(*size);
    return view->onSize(size);
  }
  tresult PLUGIN_API queryInterface(const TUID, void** obj) override {
    *obj = nullptr;
    return kNoInterface;
  }
  uint32 PLUGIN_API addRef() override { return 1; }
  uint32 PLUGIN_API release() override { return 1; }
  std::vector<ViewRect> requests;
};

SIZE ClientSize(HWND window) {
  RECT r = {};
  GetClientRect(window, &r);
  return {r.right, r.bottom};
}

// Pixels of the editor window outside the caption's text that differ from
// the 2x reference picture (the text is the platform's own).
int MissesAgainstTheDenseReference(HWND editor) {
  auto golden = DecodePngFromFile(KESTRO_GOLDEN_DIR "/editor-default@2x.png");
  if (golden == nullptr || golden->Width() != 2 * kWidth || golden->Height() != 2 * kHeight) return -1;
  const auto shown = Grab(editor, RECT{0, 0, 2 * kWidth, 2 * kHeight});
  if (shown.size() != static_cast<size_t>(4 * kWidth * kHeight)) return -1;
  const PixelRect caption{98, 58, 298, 98};
  int misses = 0;
  for (int y = 0; y < 2 * kHeight; ++y) {
    for (int x = 0; x < 2 * kWidth; ++x) {
      if (caption.Contains(x, y)) continue;
      misses += shown[static_cast<size_t>(y * 2 * kWidth + x)] != (golden->Row(y)[x] & 0xffffff);
    }
  }
  return misses;
}

// A host that scales its interface sends its factor before attaching and
// again when the window moves to another screen: the window takes the
// scaled size, shows the dense artwork, and input in device pixels means
// what it meant at 1 (208 editor pixels of drag are the whole range).
TEST(EditorWindow, TheHostsContentScaleSizesAndRescalesTheWindow) {
  Session s;
  ASSERT_NE(s.view, nullptr);
  HostWindow host(2 * kWidth + 20, 2 * kHeight + 20);
  GrantingFrame frame;
  s.view->setFrame(&frame);
  FUnknownPtr<IPlugViewContentScaleSupport> scaling(s.view);
  ASSERT_TRUE(scaling);
  ASSERT_EQ(scaling->setContentScaleFactor(1.5f), kResultOk);
  ViewRect size;
  ASSERT_EQ(s.view->getSize(&size), kResultOk);
  EXPECT_EQ(size.getWidth(), 1530);
  EXPECT_EQ(size.getHeight(), 227);
  ASSERT_EQ(s.view->attached(host.Handle(), kPlatformTypeHWND), kResultOk);
  HWND editor = host.Editor();
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(ClientSize(editor).cx, 1530);
  EXPECT_EQ(ClientSize(editor).cy, 227);
  EXPECT_TRUE(frame.requests.empty());

  ASSERT_EQ(scaling->setContentScaleFactor(2.0f), kResultOk);
  ASSERT_EQ(frame.requests.size(), 1u);
  EXPECT_EQ(frame.requests[0].getWidth(), 2 * kWidth);
  EXPECT_EQ(frame.requests[0].getHeight(), 2 * kHeight);
  EXPECT_EQ(ClientSize(editor).cx, 2 * kWidth);
  EXPECT_EQ(ClientSize(editor).cy, 2 * kHeight);
  EXPECT_TRUE(PumpUntil([&] { return MissesAgainstTheDenseReference(editor) == 0; }))
      << MissesAgainstTheDenseReference(editor) << " pixels differ";

  // The ratio knob's centre is (378, 64) in editor pixels.
  const double ratioStart = s.instance->Controller()->getParamNormalized(4);
  s.instance->Handler().Clear();
  SendMessageA(editor, WM_LBUTTONDOWN, MK_LBUTTON, Xy(2 * 378 + 1, 2 * 64 + 1));
  SendMessageA(editor, WM_MOUSEMOVE, MK_LBUTTON, Xy(2 * 378 + 1, 2 * 64 + 1 - 208));
  SendMessageA(editor, WM_LBUTTONUP, 0, Xy(2 * 378 + 1, 2 * 64 + 1 - 208));
  EXPECT_TRUE(OneGesture(s.Calls(), 4));
  EXPECT_NEAR(LastPerform(s.Calls(), 4), std::min(1.0, ratioStart + 0.5), 1e-9);
  // The wheel at the threshold knob, in screen pixels.
  const double thresholdStart = s.instance->Controller()->getParamNormalized(0);
  POINT screen = {2 * kThresholdKnob.x, 2 * kThresholdKnob.y};
  ClientToScreen(editor, &screen);
  SendMessageA(editor, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)), Xy(screen.x, screen.y));
  EXPECT_NEAR(LastPerform(s.Calls(), 0), thresholdStart - 0.01, 1e-9);
  // A double click puts the ratio back.
  SendMessageA(editor, WM_LBUTTONDBLCLK, MK_LBUTTON, Xy(2 * 378, 2 * 64));
  SendMessageA(editor, WM_LBUTTONUP, 0, Xy(2 * 378, 2 * 64));
  EXPECT_NEAR(LastPerform(s.Calls(), 4), ratioStart, 1e-9);
  // Off the knob by a device pixel short of its edge (353 to 403): nothing.
  s.instance->Handler().Clear();
  SendMessageA(editor, WM_LBUTTONDOWN, MK_LBUTTON, Xy(2 * 353 - 1, 2 * 64));
  SendMessageA(editor, WM_LBUTTONUP, 0, Xy(2 * 353 - 1, 2 * 64));
  EXPECT_EQ(Count(s.Calls(), Kind::kBeginEdit, 4), 0);
  EXPECT_EQ(s.view->removed(), kResultOk);
}

// Without a factor from the host the editor takes the screen's DPI from the
// parent window; the test's own Wine session runs at 144 dots per inch when
// KESTRO_EXPECT_DPI says so (a separate run), and at 96 it stays at 1.
TEST(EditorWindow, WithoutTheHostsFactorTheParentsDpiCounts) {
  const char* expected = std::getenv("KESTRO_EXPECT_DPI");
  const int dpi = expected != nullptr ? std::atoi(expected) : 96;
  // As a per-monitor DPI-aware host would be.
  using Awareness = BOOL(WINAPI*)(HANDLE);
  auto aware = reinterpret_cast<Awareness>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "SetProcessDpiAwarenessContext")));
  if (aware != nullptr) aware(reinterpret_cast<HANDLE>(-4));  // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2
  Session s;
  ASSERT_NE(s.view, nullptr);
  HostWindow host(2 * kWidth, 2 * kHeight);
  GrantingFrame frame;
  s.view->setFrame(&frame);
  ASSERT_EQ(s.view->attached(host.Handle(), kPlatformTypeHWND), kResultOk);
  HWND editor = host.Editor();
  ASSERT_NE(editor, nullptr);
  const int width = static_cast<int>(std::lround(kWidth * dpi / 96.0));
  EXPECT_EQ(ClientSize(editor).cx, width);
  if (dpi != 96) {
    ASSERT_EQ(frame.requests.size(), 1u) << "the host sized its window for 1";
    EXPECT_EQ(frame.requests[0].getWidth(), width);
  } else {
    EXPECT_TRUE(frame.requests.empty());
  }
  // A factor from the host wins over the screen's.
  FUnknownPtr<IPlugViewContentScaleSupport> scaling(s.view);
  ASSERT_EQ(scaling->setContentScaleFactor(1.25f), kResultOk);
  EXPECT_EQ(ClientSize(editor).cx, 1275);
  EXPECT_EQ(s.view->removed(), kResultOk);
  ASSERT_EQ(s.view->attached(host.Handle(), kPlatformTypeHWND), kResultOk);
  EXPECT_EQ(ClientSize(host.Editor()).cx, 1275);
  EXPECT_EQ(s.view->removed(), kResultOk);
}

TEST(EditorWindow, TwoEditorsShareOneClassThatGoesWithTheLast) {
  Session a, b;
  ASSERT_TRUE(a.Attach());
  ASSERT_TRUE(b.Attach());
  EXPECT_TRUE(ClassRegistered());
  EXPECT_EQ(a.view->removed(), kResultOk);
  EXPECT_TRUE(ClassRegistered()) << "the other editor still uses it";
  // The remaining editor still works.
  HWND editor = b.host.Editor();
  ASSERT_NE(editor, nullptr);
  b.instance->Handler().Clear();
  SendMessageA(editor, WM_LBUTTONDOWN, MK_LBUTTON, At(kBypassLamp));
  SendMessageA(editor, WM_LBUTTONUP, 0, At(kBypassLamp));
  EXPECT_TRUE(OneGesture(b.Calls(), 7));
  EXPECT_EQ(b.view->removed(), kResultOk);
  EXPECT_FALSE(ClassRegistered());
  // Open again after all closed: registered anew.
  ASSERT_TRUE(a.Attach());
  EXPECT_TRUE(ClassRegistered());
}

TEST(EditorWindow, HostsThatGetTheOrderWrong) {
  Session s;
  ASSERT_NE(s.view, nullptr);
  EXPECT_EQ(s.view->removed(), kResultOk) << "removed without attached";
  EXPECT_NE(s.view->attached(nullptr, kPlatformTypeHWND), kResultOk);
  EXPECT_NE(s.view->attached(reinterpret_cast<void*>(0x1234), kPlatformTypeHWND), kResultOk)
      << "no such window: creation fails";
  EXPECT_FALSE(ClassRegistered()) << "a failed open leaves no class behind";

  ASSERT_TRUE(s.Attach());
  // The host destroys its window with the editor inside, then removes.
  s.host.Destroy();
  Pump(100);
  EXPECT_EQ(s.view->removed(), kResultOk);
  EXPECT_FALSE(ClassRegistered());
  // The view opens again in a new parent.
  HostWindow again(kWidth, kHeight);
  ASSERT_EQ(s.view->attached(again.Handle(), kPlatformTypeHWND), kResultOk);
  EXPECT_NE(again.Editor(), nullptr);
  Pump(100);
  EXPECT_EQ(s.view->removed(), kResultOk);
}

// Hosts move the view to another parent, or attach a second view, without
// removing the first: the one window follows, keeping its place and size.
TEST(EditorWindow, AttachingElsewhereMovesTheOpenWindow) {
  Session s;
  ASSERT_TRUE(s.Attach());
  // Whether the editor sits at (7, 9) in parent's client area, at its size.
  auto placedIn = [](HWND parent) {
    HWND editor = FindWindowExA(parent, nullptr, "KestroEditorWindow", nullptr);
    RECT r = {};
    if (editor == nullptr) return false;
    GetWindowRect(editor, &r);
    MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
    const RECT placed = {7, 9, 7 + kWidth, 9 + kHeight};
    return EqualRect(&r, &placed) != FALSE;
  };
  SetWindowPos(s.host.Editor(), nullptr, 7, 9, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  ASSERT_TRUE(placedIn(s.host.Handle()));

  // The same parent again: still one window, where it was.
  EXPECT_EQ(s.view->attached(s.host.Handle(), kPlatformTypeHWND), kResultOk);
  EXPECT_EQ(FindWindowExA(s.host.Handle(), s.host.Editor(), "KestroEditorWindow", nullptr), nullptr);
  EXPECT_TRUE(placedIn(s.host.Handle()));

  // A second view in another window takes it over; the first view's
  // removal then leaves it alone.
  IPlugView* second = s.instance->Controller()->createView(ViewType::kEditor);
  ASSERT_NE(second, nullptr);
  HostWindow other(kWidth + 40, kHeight + 40);
  EXPECT_EQ(second->attached(other.Handle(), kPlatformTypeHWND), kResultOk);
  EXPECT_EQ(s.host.Editor(), nullptr);
  ASSERT_NE(other.Editor(), nullptr);
  EXPECT_TRUE(placedIn(other.Handle()));
  ASSERT_TRUE(PumpUntil([&] {
    const auto pixels = Grab(other.Editor(), kBypassRect);
    return std::any_of(pixels.begin(), pixels.end(), [&](uint32_t p) { return p != pixels.front(); });
  })) << "the moved window draws";
  EXPECT_EQ(s.view->removed(), kResultOk);
  EXPECT_NE(other.Editor(), nullptr);
  EXPECT_EQ(second->removed(), kResultOk);
  EXPECT_EQ(other.Editor(), nullptr);
  EXPECT_FALSE(ClassRegistered());
  second->release();
}

TEST(EditorWindow, ModuleUnloadedUnderAnOpenViewDoesNotCrash) {
  HMODULE module = LoadLibraryA(ModulePath().c_str());
  ASSERT_NE(module, nullptr);
  using BoolProc = bool (*)();
  using FactoryProc = IPluginFactory* (*)();
  auto symbol = [&](const char* name) { return reinterpret_cast<void*>(GetProcAddress(module, name)); };
  auto init = reinterpret_cast<BoolProc>(symbol("InitDll"));
  auto exit = reinterpret_cast<BoolProc>(symbol("ExitDll"));
  auto factoryProc = reinterpret_cast<FactoryProc>(symbol("GetPluginFactory"));
  ASSERT_TRUE(init && exit && factoryProc);
  ASSERT_TRUE(init());
  IPluginFactory* factory = factoryProc();
  std::string error;
  auto instance = PluginInstance::CreateFirstEffect(factory, error);
  ASSERT_NE(instance, nullptr) << error;
  IPlugView* view = instance->Controller()->createView(ViewType::kEditor);
  ASSERT_NE(view, nullptr);
  HostWindow host(kWidth, kHeight);
  ASSERT_EQ(view->attached(host.Handle(), kPlatformTypeHWND), kResultOk);

  EXPECT_TRUE(exit());
  FreeLibrary(module);
  // Timer ticks and input still run the module's code.
  HWND editor = host.Editor();
  ASSERT_NE(editor, nullptr);
  SendMessageA(editor, WM_LBUTTONDOWN, MK_LBUTTON, At(kBypassLamp));
  SendMessageA(editor, WM_LBUTTONUP, 0, At(kBypassLamp));
  Pump(200);
  EXPECT_EQ(view->removed(), kResultOk);
  view->release();
  instance.reset();
  factory->release();
}

}  // namespace
}  // namespace kestro::test
