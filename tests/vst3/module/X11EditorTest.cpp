// The editor as a Linux host shows it, through the module only: the view
// embeds its X11 window in the host's window on the host's run loop (offered
// by the frame), draws, turns a drag on a knob into the host's edit
// gesture, and leaves the window and the loop clean when it goes.
#include "ModuleTestSupport.h"

#include "graphics/GraphicsCore.h"
#include "graphics/PixelRect.h"
#include "graphics/raster/PngDecoder.h"
#include "plugin/Kestro.h"
#include "pluginterfaces/gui/iplugview.h"
#include "pluginterfaces/gui/iplugviewcontentscalesupport.h"
#include "tests/platform/linux/ProcessResources.h"
#include "tests/platform/linux/TestDisplay.h"
#include "tools/host/PollRunLoop.h"
#include "tools/host/RunLoopFrame.h"

#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <string>

namespace kestro::test {
namespace {

using namespace Steinberg;

constexpr int kParentX = 20, kParentY = 40;
constexpr int kEditorWidth = 1020, kEditorHeight = 151;

// The editor as the plug-in itself draws it without a window, every
// parameter at the module's value: what the window must show.
std::vector<uint32_t> HeadlessPicture(Vst::IEditController& controller, double scale = 1.0) {
  Kestro kestro;
  for (int i = 0; i < kestro.ParamCount(); ++i) {
    kestro.SetParamFromEditor(i, controller.getParamNormalized(static_cast<Vst::ParamID>(i)));
  }
  kestro.RefreshParamControls();
  auto* editor = dynamic_cast<GraphicsCore*>(kestro.Editor());
  std::vector<uint32_t> pixels;
  if (editor == nullptr) return pixels;
  editor->SetScale(scale);
  editor->DrawRegion({0, 0, kEditorWidth, kEditorHeight});
  for (int y = 0; y < editor->DeviceHeight(); ++y) {
    for (int x = 0; x < editor->DeviceWidth(); ++x) pixels.push_back(editor->DrawingBitmap()->Row(y)[x] & 0xffffff);
  }
  return pixels;
}

// "" when two editor pictures (rows of width pixels) agree, else how many
// pixels differ and where.
std::string Differences(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b, int width = kEditorWidth) {
  if (a.size() != b.size()) return "sizes " + std::to_string(a.size()) + " and " + std::to_string(b.size());
  int count = 0;
  PixelRect where;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i] == b[i]) continue;
    ++count;
    const int x = static_cast<int>(i % static_cast<size_t>(width)), y = static_cast<int>(i / static_cast<size_t>(width));
    where = Union(where, PixelRect{x, y, x + 1, y + 1});
  }
  if (count == 0) return "";
  return std::to_string(count) + " pixels differ in (" + std::to_string(where.left) + "," + std::to_string(where.top) +
         ")-(" + std::to_string(where.right) + "," + std::to_string(where.bottom) + ")";
}

// Pixels of a window's picture (rows as wide as golden) outside rect that
// differ from the reference picture.
int MissesOutside(const std::vector<uint32_t>& shown, const Bitmap& golden, const PixelRect& rect) {
  int misses = 0;
  for (int y = 0; y < golden.Height(); ++y) {
    for (int x = 0; x < golden.Width(); ++x) {
      const size_t i = static_cast<size_t>(y) * static_cast<size_t>(golden.Width()) + static_cast<size_t>(x);
      if (!rect.Contains(x, y)) misses += shown[i] != (golden.Row(y)[x] & 0xffffff);
    }
  }
  return misses;
}


struct X11Editor : ::testing::Test {
  void SetUp() override {
    KESTRO_NEED_DISPLAY(display);
    instance = NewInstance();
    ASSERT_NE(instance, nullptr);
    view = instance->Controller()->createView(Vst::ViewType::kEditor);
    ASSERT_NE(view, nullptr);
    parent = display.TopLevel(kParentX, kParentY, 1100, 200);
  }
  void TearDown() override {
    if (view != nullptr) view->release();
  }
  void* ParentHandle() const { return reinterpret_cast<void*>(static_cast<uintptr_t>(parent)); }
  bool Until(const std::function<bool()>& done) { return PumpUntil([&] { loop.DispatchFiles(20); }, done); }
  // The pointer leaves every editor and a second and more of ticks pass:
  // the value read-out is gone, the editors show their resting pictures.
  void LeaveAndSettle() {
    display.MoveTo(0, 0);
    for (int i = 0; i < 5; ++i) loop.DispatchFiles(20);
    for (int tick = 0; tick < 30; ++tick) loop.FireTimers();
    display.Sync();
  }

  TestDisplay display;
  std::unique_ptr<PluginInstance> instance;
  IPlugView* view = nullptr;
  xcb_window_t parent = 0;
  PollRunLoop loop;
};

TEST_F(X11Editor, ShowsItselfInTheHostWindowAndADragEditsTheParameter) {
  RunLoopFrame frame(&loop);
  ASSERT_EQ(view->setFrame(&frame), kResultOk);
  EXPECT_EQ(view->isPlatformTypeSupported(kPlatformTypeX11EmbedWindowID), kResultOk);
  EXPECT_EQ(view->isPlatformTypeSupported(kPlatformTypeHWND), kResultFalse);
  ASSERT_EQ(view->attached(ParentHandle(), kPlatformTypeX11EmbedWindowID), kResultOk);
  ASSERT_EQ(display.Children(parent).size(), 1u);
  const xcb_window_t window = display.Children(parent)[0];
  EXPECT_EQ(display.Geometry(window), (std::vector<int>{0, 0, 1020, 151}));
  EXPECT_EQ(loop.FileCount(), 1u);
  EXPECT_EQ(loop.FirstTimerPeriod(), 40u);
  ASSERT_TRUE(Until([&] { return display.Viewable(window); }));

  // The first tick shows the whole editor as the reference picture has it
  // (the caption's glyphs may differ a little with the fonts installed).
  loop.FireTimers();
  display.Sync();
  const std::vector<uint32_t> shown = display.Pixels(window, 0, 0, 1020, 151);
  auto golden = DecodePngFromFile(KESTRO_GOLDEN_DIR "/editor-default.png");
  ASSERT_NE(golden, nullptr);
  ASSERT_EQ(shown.size(), 1020u * 151u);
  const PixelRect caption{49, 29, 149, 49};
  const int exactMisses = MissesOutside(shown, *golden, caption);
  int worstCaption = 0;
  for (int y = caption.top; y < caption.bottom; ++y) {
    for (int x = caption.left; x < caption.right; ++x) {
      const uint32_t a = shown[static_cast<size_t>(y) * 1020 + static_cast<size_t>(x)];
      const uint32_t b = golden->Row(y)[x] & 0xffffff;
      for (int n = 0; n < 3; ++n) {
        worstCaption = std::max(worstCaption, std::abs(static_cast<int>(PixelByte(a, n)) -
                                                       static_cast<int>(PixelByte(b, n))));
      }
    }
  }
  EXPECT_EQ(exactMisses, 0);
  EXPECT_LE(worstCaption, 48);

  // Drag the threshold knob down from its default at the top.
  instance->Handler().Clear();
  display.MoveTo(kParentX + 660, kParentY + 60);
  display.Button(1, true);
  display.MoveTo(kParentX + 660, kParentY + 80);
  display.Button(1, false);
  ASSERT_TRUE(Until([&] {
    const auto calls = instance->Handler().Calls();
    return !calls.empty() && calls.back().kind == RecordingComponentHandler::Kind::kEndEdit;
  }));
  const auto calls = instance->Handler().Calls();
  ASSERT_GE(calls.size(), 3u);
  EXPECT_EQ(calls.front().kind, RecordingComponentHandler::Kind::kBeginEdit);
  EXPECT_EQ(calls.front().id, kThreshold);
  EXPECT_EQ(calls[1].kind, RecordingComponentHandler::Kind::kPerformEdit);
  EXPECT_LT(calls[1].value, PluginParam(kThreshold).defaultNormalized);

  // Wheel notches are one gesture too, ended once the wheel has rested.
  instance->Handler().Clear();
  display.Click(4);
  display.Click(4);
  using Kind = RecordingComponentHandler::Kind;
  auto kinds = [&] {
    std::vector<Kind> seen;
    for (const auto& call : instance->Handler().Calls()) seen.push_back(call.kind);
    return seen;
  };
  ASSERT_TRUE(Until([&] { return kinds().size() == 3; }));
  EXPECT_EQ(kinds(), (std::vector<Kind>{Kind::kBeginEdit, Kind::kPerformEdit, Kind::kPerformEdit}));
  for (int tick = 0; tick < 5; ++tick) loop.FireTimers();
  EXPECT_EQ(kinds(), (std::vector<Kind>{Kind::kBeginEdit, Kind::kPerformEdit, Kind::kPerformEdit, Kind::kEndEdit}));

  // The window now shows what the plug-in draws headless in the same state.
  LeaveAndSettle();
  EXPECT_EQ(Differences(display.Pixels(window, 0, 0, kEditorWidth, kEditorHeight), HeadlessPicture(*instance->Controller())), "");

  // Resting on a knob shows the value read-out; leaving, it goes again.
  auto readout = [&] { return display.Pixels(window, 160, 6, 640, 20); };
  const auto readoutAtRest = readout();
  display.MoveTo(kParentX + 378, kParentY + 64);
  EXPECT_TRUE(Until([&] {
    loop.FireTimers();
    display.Sync();
    return readout() != readoutAtRest;
  }));
  LeaveAndSettle();
  EXPECT_EQ(readout(), readoutAtRest);

  EXPECT_EQ(view->removed(), kResultOk);
  display.Sync();
  EXPECT_TRUE(display.Children(parent).empty());
  EXPECT_EQ(loop.FileCount(), 0u);
  EXPECT_EQ(loop.TimerCount(), 0u);
}

// A host that scales its user interface sends its factor before attaching
// and again when the window moves to another screen. The view answers the
// scaled size, the window shows the dense artwork (the 2x reference picture,
// exactly outside the caption's text) and input means what it meant at 1:
// 104 editor pixels of drag are half the range, whatever the device pixels.
TEST_F(X11Editor, TheHostsContentScaleSizesTheViewAndRescalesTheOpenWindow) {
  RunLoopFrame frame(&loop);
  view->setFrame(&frame);
  FUnknownPtr<IPlugViewContentScaleSupport> scaling(view);
  ASSERT_TRUE(scaling);
  ASSERT_EQ(scaling->setContentScaleFactor(1.5f), kResultOk);
  ViewRect size;
  ASSERT_EQ(view->getSize(&size), kResultOk);
  EXPECT_EQ(size.getWidth(), 1530);
  EXPECT_EQ(size.getHeight(), 227);
  const xcb_window_t host = display.TopLevel(kParentX, kParentY, 2100, 320);
  ASSERT_EQ(view->attached(reinterpret_cast<void*>(uintptr_t{host}), kPlatformTypeX11EmbedWindowID), kResultOk);
  ASSERT_EQ(display.Children(host).size(), 1u);
  const xcb_window_t window = display.Children(host)[0];
  EXPECT_EQ(display.Geometry(window), (std::vector<int>{0, 0, 1530, 227}));
  ASSERT_TRUE(Until([&] { return display.Viewable(window); }));
  loop.FireTimers();
  display.Sync();
  EXPECT_EQ(Differences(display.Pixels(window, 0, 0, 1530, 227), HeadlessPicture(*instance->Controller(), 1.5), 1530),
            "");

  // Moved to a screen at 2: the frame is asked for the new size and the
  // window redraws at it.
  ASSERT_EQ(scaling->setContentScaleFactor(2.0f), kResultOk);
  ASSERT_EQ(view->getSize(&size), kResultOk);
  EXPECT_EQ(size.getWidth(), 2040);
  EXPECT_EQ(size.getHeight(), 302);
  display.Sync();
  EXPECT_EQ(display.Geometry(window), (std::vector<int>{0, 0, 2040, 302}));
  for (int i = 0; i < 3; ++i) loop.DispatchFiles(20);
  loop.FireTimers();
  display.Sync();
  const std::vector<uint32_t> shown = display.Pixels(window, 0, 0, 2040, 302);
  auto golden = DecodePngFromFile(KESTRO_GOLDEN_DIR "/editor-default@2x.png");
  ASSERT_NE(golden, nullptr);
  ASSERT_EQ(shown.size(), 2040u * 302u);
  EXPECT_EQ(MissesOutside(shown, *golden, PixelRect{98, 58, 298, 98}), 0) << "outside the caption";

  // Drag the threshold knob down 208 device pixels from its default, then
  // double-click it back.
  instance->Handler().Clear();
  const double start = PluginParam(kThreshold).defaultNormalized;
  display.MoveTo(kParentX + 2 * 660, kParentY + 2 * 60);
  display.Button(1, true);
  display.MoveTo(kParentX + 2 * 660, kParentY + 2 * 60 + 208);
  display.Button(1, false);
  using Kind = RecordingComponentHandler::Kind;
  auto last = [&](Kind kind) {
    const auto calls = instance->Handler().Calls();
    return !calls.empty() && calls.back().kind == kind;
  };
  ASSERT_TRUE(Until([&] { return last(Kind::kEndEdit); }));
  auto lastPerform = [&] {
    double value = -1.0;
    for (const auto& call : instance->Handler().Calls()) {
      if (call.kind == Kind::kPerformEdit && call.id == kThreshold) value = call.value;
    }
    return value;
  };
  EXPECT_NEAR(lastPerform(), std::max(start - 0.5, 0.0), 1e-9);
  instance->Handler().Clear();
  display.MoveTo(kParentX + 2 * 660, kParentY + 2 * 60);
  display.Click(1);
  display.MoveTo(kParentX + 2 * 660 + 5, kParentY + 2 * 60 + 5);  // a few device pixels off
  display.Click(1);
  ASSERT_TRUE(Until([&] { return lastPerform() == start; }));

  EXPECT_EQ(view->removed(), kResultOk);
}

TEST_F(X11Editor, AttachIsRefusedWithoutTheHostsRunLoop) {
  RunLoopFrame noLoop(nullptr);
  for (IPlugFrame* frame : {static_cast<IPlugFrame*>(nullptr), static_cast<IPlugFrame*>(&noLoop)}) {
    view->setFrame(frame);
    EXPECT_EQ(view->attached(ParentHandle(), kPlatformTypeX11EmbedWindowID), kResultFalse);
    display.Sync();
    EXPECT_TRUE(display.Children(parent).empty());
  }
  // With the loop it works, and releasing the attached view cleans up too.
  RunLoopFrame frame(&loop);
  view->setFrame(&frame);
  EXPECT_EQ(view->attached(ParentHandle(), kPlatformTypeX11EmbedWindowID), kResultOk);
  EXPECT_EQ(view->release(), 0u);
  view = nullptr;
  display.Sync();
  EXPECT_TRUE(display.Children(parent).empty());
  EXPECT_EQ(loop.FileCount() + loop.TimerCount(), 0u);
}

// Hosts move the view to another parent, or attach a second view, without
// removing the first: the one window follows, keeping its place and size,
// and stays on one run-loop registration.
TEST_F(X11Editor, AttachingElsewhereMovesTheOpenWindow) {
  RunLoopFrame frame(&loop);
  view->setFrame(&frame);
  ASSERT_EQ(view->attached(ParentHandle(), kPlatformTypeX11EmbedWindowID), kResultOk);
  ASSERT_EQ(display.Children(parent).size(), 1u);
  display.Move(display.Children(parent)[0], 7, 9);
  const std::vector<int> placed = {7, 9, kEditorWidth, kEditorHeight};

  // The same parent again: still one window, where it was.
  ASSERT_EQ(view->attached(ParentHandle(), kPlatformTypeX11EmbedWindowID), kResultOk);
  display.Sync();
  ASSERT_EQ(display.Children(parent).size(), 1u);
  EXPECT_EQ(display.Geometry(display.Children(parent)[0]), placed);
  EXPECT_EQ(loop.FileCount(), 1u);
  EXPECT_EQ(loop.TimerCount(), 1u);

  // A second view, on a frame of its own, in another window.
  IPlugView* second = instance->Controller()->createView(Vst::ViewType::kEditor);
  ASSERT_NE(second, nullptr);
  RunLoopFrame secondFrame(&loop);
  second->setFrame(&secondFrame);
  const xcb_window_t otherParent = display.TopLevel(kParentX, 220, 1040, 170);
  ASSERT_EQ(second->attached(reinterpret_cast<void*>(uintptr_t{otherParent}), kPlatformTypeX11EmbedWindowID),
            kResultOk);
  display.Sync();
  EXPECT_TRUE(display.Children(parent).empty());
  ASSERT_EQ(display.Children(otherParent).size(), 1u);
  const xcb_window_t moved = display.Children(otherParent)[0];
  EXPECT_EQ(display.Geometry(moved), placed);
  EXPECT_EQ(loop.FileCount(), 1u);
  EXPECT_EQ(loop.TimerCount(), 1u);
  ASSERT_TRUE(Until([&] { return display.Viewable(moved); }));
  loop.FireTimers();
  display.Sync();
  EXPECT_EQ(Differences(display.Pixels(moved, 0, 0, kEditorWidth, kEditorHeight),
                        HeadlessPicture(*instance->Controller())),
            "");

  // The first view's removal leaves the window to the second.
  EXPECT_EQ(view->removed(), kResultOk);
  display.Sync();
  EXPECT_EQ(display.Children(otherParent).size(), 1u);
  EXPECT_EQ(loop.FileCount() + loop.TimerCount(), 2u);
  EXPECT_EQ(second->removed(), kResultOk);
  display.Sync();
  EXPECT_TRUE(display.Children(otherParent).empty());
  EXPECT_EQ(loop.FileCount() + loop.TimerCount(), 0u);
  EXPECT_EQ(second->release(), 0u);
}

// A host opening and closing the editor all session long: every window, X
// connection and shared-memory segment goes with the view's removal.
TEST_F(X11Editor, AttachingAndRemovingAHundredTimesLeavesNothingBehind) {
  RunLoopFrame frame(&loop);
  ASSERT_EQ(view->setFrame(&frame), kResultOk);
  // One round first: the fonts and images the module loads once stay.
  ASSERT_EQ(view->attached(ParentHandle(), kPlatformTypeX11EmbedWindowID), kResultOk);
  loop.FireTimers();
  ASSERT_EQ(view->removed(), kResultOk);
  const size_t files = OpenFileCount();
  const int segments = SharedSegmentCount();
  for (int round = 0; round < 100; ++round) {
    ASSERT_EQ(view->attached(ParentHandle(), kPlatformTypeX11EmbedWindowID), kResultOk) << round;
    // Xvfb offers shared memory, and the window paints through it.
    if (round == 0) {
      EXPECT_EQ(SharedSegmentCount(), segments + 1);
    }
    loop.FireTimers();
    loop.DispatchFiles(0);
    ASSERT_EQ(view->removed(), kResultOk) << round;
    display.Sync();
    ASSERT_TRUE(display.Children(parent).empty()) << round;
  }
  EXPECT_EQ(OpenFileCount(), files);
  EXPECT_EQ(SharedSegmentCount(), segments);
  EXPECT_EQ(loop.FileCount() + loop.TimerCount(), 0u);
  EXPECT_EQ(display.Error(), 0);
}

// Two instances, two editors, one host loop: each window shows and edits
// its own instance, and one closing leaves the other working.
TEST_F(X11Editor, TwoInstancesShowTheirEditorsSideBySide) {
  auto other = NewInstance();
  ASSERT_NE(other, nullptr);
  IPlugView* otherView = other->Controller()->createView(Vst::ViewType::kEditor);
  ASSERT_NE(otherView, nullptr);
  constexpr int kOtherY = 220;
  const xcb_window_t otherParent = display.TopLevel(kParentX, kOtherY, 1040, 160);
  RunLoopFrame frame(&loop), otherFrame(&loop);
  view->setFrame(&frame);
  otherView->setFrame(&otherFrame);
  ASSERT_EQ(view->attached(ParentHandle(), kPlatformTypeX11EmbedWindowID), kResultOk);
  ASSERT_EQ(otherView->attached(reinterpret_cast<void*>(uintptr_t{otherParent}), kPlatformTypeX11EmbedWindowID),
            kResultOk);
  EXPECT_EQ(loop.FileCount(), 2u);
  EXPECT_EQ(loop.TimerCount(), 2u);
  ASSERT_EQ(display.Children(parent).size(), 1u);
  ASSERT_EQ(display.Children(otherParent).size(), 1u);
  const xcb_window_t window = display.Children(parent)[0];
  const xcb_window_t otherWindow = display.Children(otherParent)[0];
  ASSERT_TRUE(Until([&] { return display.Viewable(window) && display.Viewable(otherWindow); }));
  loop.FireTimers();
  display.Sync();
  const auto picture = display.Pixels(window, 0, 0, kEditorWidth, kEditorHeight);
  EXPECT_EQ(Differences(display.Pixels(otherWindow, 0, 0, kEditorWidth, kEditorHeight), picture), "");

  // A drag in the first window edits the first instance only.
  instance->Handler().Clear();
  other->Handler().Clear();
  auto drag = [&](int parentY, RecordingComponentHandler& handler) {
    display.MoveTo(kParentX + 660, parentY + 60);
    display.Button(1, true);
    display.MoveTo(kParentX + 660, parentY + 90);
    display.Button(1, false);
    return Until([&] {
      const auto calls = handler.Calls();
      return !calls.empty() && calls.back().kind == RecordingComponentHandler::Kind::kEndEdit;
    });
  };
  ASSERT_TRUE(drag(kParentY, instance->Handler()));
  loop.DispatchFiles(20);
  EXPECT_TRUE(other->Handler().Calls().empty());
  LeaveAndSettle();
  EXPECT_NE(Differences(display.Pixels(window, 0, 0, kEditorWidth, kEditorHeight), picture), "");
  EXPECT_EQ(Differences(display.Pixels(otherWindow, 0, 0, kEditorWidth, kEditorHeight), picture), "");

  // With the first editor gone the second still answers.
  EXPECT_EQ(view->removed(), kResultOk);
  EXPECT_EQ(loop.FileCount() + loop.TimerCount(), 2u);
  instance->Handler().Clear();
  ASSERT_TRUE(drag(kOtherY, other->Handler()));
  EXPECT_TRUE(instance->Handler().Calls().empty());
  LeaveAndSettle();
  EXPECT_EQ(Differences(display.Pixels(otherWindow, 0, 0, kEditorWidth, kEditorHeight), HeadlessPicture(*other->Controller())),
            "");
  EXPECT_EQ(otherView->removed(), kResultOk);
  EXPECT_EQ(otherView->release(), 0u);
  display.Sync();
  EXPECT_TRUE(display.Children(otherParent).empty());
  EXPECT_EQ(loop.FileCount() + loop.TimerCount(), 0u);
}

}  // namespace
}  // namespace kestro::test
