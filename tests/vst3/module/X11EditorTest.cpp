// The editor as a Linux host shows it, through the module only: the view
// embeds its X11 window in the host's window on the host's run loop (offered
// by the frame), draws, turns a drag on a knob into the host's edit
// gesture, and leaves the window and the loop clean when it goes.
#include "ModuleTestSupport.h"

#include "graphics/PixelRect.h"
#include "graphics/raster/PngDecoder.h"
#include "pluginterfaces/gui/iplugview.h"
#include "tests/platform/linux/TestDisplay.h"
#include "tools/host/PollRunLoop.h"
#include "tools/host/RunLoopFrame.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace kestro::test {
namespace {

using namespace Steinberg;

constexpr int kParentX = 20, kParentY = 40;

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
  int exactMisses = 0, worstCaption = 0;
  for (int y = 0; y < 151; ++y) {
    for (int x = 0; x < 1020; ++x) {
      const uint32_t a = shown[static_cast<size_t>(y) * 1020 + static_cast<size_t>(x)];
      const uint32_t b = golden->Row(y)[x] & 0xffffff;
      if (!caption.Contains(x, y)) {
        exactMisses += a != b;
        continue;
      }
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

  EXPECT_EQ(view->removed(), kResultOk);
  display.Sync();
  EXPECT_TRUE(display.Children(parent).empty());
  EXPECT_EQ(loop.FileCount(), 0u);
  EXPECT_EQ(loop.TimerCount(), 0u);
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

}  // namespace
}  // namespace kestro::test
