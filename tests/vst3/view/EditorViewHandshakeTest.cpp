// The view's handshakes with a host, in process: attach and remove, the
// resize request and its completion, content scale factors, the host's
// parameter menu, and views released in any order.
#include <gtest/gtest.h>

#include <limits>
#include <utility>

#include "graphics/HeadlessGraphics.h"
#include "pluginterfaces/gui/iplugview.h"
#include "pluginterfaces/gui/iplugviewcontentscalesupport.h"
#include "tools/host/RecordingComponentHandler.h"
#include "vst3/Vst3Plugin.h"

namespace kestro {
namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;

class ViewedPlugin : public Vst3Plugin {
 public:
  ViewedPlugin() : Vst3Plugin(1, "2-2", 1, "Viewed", "", "Maker", 0x010000, 1, 2) {
    ParamAt(0)->DefineDouble("Level", 0.0, -10.0, 10.0, 0.01, "dB");
    auto editor = std::make_unique<HeadlessGraphics>(this, 300, 200, 25);
    editor->acceptedWindowType = "TestWindow";
    graphics = editor.get();
    AttachEditor(std::move(editor));
  }
  void EditorOpened() override { ++opened; }
  void EditorClosed() override { ++closed; }
  void EditorResized() override { ++resized; }
  HeadlessGraphics* graphics = nullptr;
  int opened = 0, closed = 0, resized = 0;
};

class RecordingFrame : public IPlugFrame {
 public:
  tresult PLUGIN_API resizeView(IPlugView* view, ViewRect* size) override {
    requests.push_back(*size);
    if (answerAtOnce) view->onSize(size);
    return kResultOk;
  }
  tresult PLUGIN_API queryInterface(const TUID, void** obj) override {
    *obj = nullptr;
    return kNoInterface;
  }
  uint32 PLUGIN_API addRef() override { return 1; }
  uint32 PLUGIN_API release() override { return 1; }
  std::vector<ViewRect> requests;
  bool answerAtOnce = false;
};

struct ViewHandshake : ::testing::Test {
  ViewHandshake() : plugin(new ViewedPlugin) {}
  ~ViewHandshake() override { plugin->release(); }
  ViewedPlugin* plugin;
  RecordingFrame frame;
  int parent = 0;
};

TEST_F(ViewHandshake, AttachOpensTheWindowOnceAndRemovedClosesIt) {
  IPlugView* view = plugin->createView(ViewType::kEditor);
  ASSERT_NE(view, nullptr);
  view->setFrame(&frame);
  EXPECT_EQ(view->isPlatformTypeSupported("TestWindow"), kResultOk);
  EXPECT_EQ(view->isPlatformTypeSupported("HWND"), kResultFalse);
  EXPECT_EQ(view->attached(&parent, "HWND"), kResultFalse) << "no window of another type";
  EXPECT_EQ(plugin->opened, 0);
  EXPECT_EQ(view->attached(&parent, "TestWindow"), kResultOk);
  EXPECT_EQ(plugin->graphics->lastParent, &parent);
  EXPECT_EQ(plugin->opened, 1);
  // A second view attached while the first shows the editor takes the one
  // window over; the first lets it go without closing it.
  IPlugView* second = plugin->createView(ViewType::kEditor);
  int otherParent = 0;
  EXPECT_EQ(second->attached(&otherParent, "TestWindow"), kResultOk);
  EXPECT_EQ(plugin->graphics->lastParent, &otherParent);
  EXPECT_EQ(plugin->opened, 2);
  EXPECT_EQ(plugin->closed, 1);
  EXPECT_EQ(view->removed(), kResultOk);
  EXPECT_TRUE(plugin->graphics->IsWindowOpen()) << "no longer the first view's to close";
  EXPECT_EQ(plugin->closed, 1);
  // Releasing the second view while attached closes the window.
  second->release();
  EXPECT_FALSE(plugin->graphics->IsWindowOpen());
  EXPECT_EQ(plugin->closed, 2);
  EXPECT_EQ(plugin->ViewCount(), 1) << "only the released view leaves the list";
  view->release();
  EXPECT_EQ(plugin->ViewCount(), 0);
}

TEST_F(ViewHandshake, AFailedWindowIsNotReportedAsAttached) {
  IPlugView* view = plugin->createView(ViewType::kEditor);
  plugin->graphics->failWindowCreation = true;
  EXPECT_EQ(view->attached(&parent, "TestWindow"), kResultFalse);
  EXPECT_EQ(plugin->opened, 0);
  EXPECT_EQ(view->removed(), kResultOk);
  EXPECT_EQ(plugin->closed, 0);
  view->release();
}

TEST_F(ViewHandshake, ResizeRequestsCompleteWithTheHostsOnSize) {
  IPlugView* view = plugin->createView(ViewType::kEditor);
  ViewRect size(0, 0, 400, 300);
  view->onSize(&size);
  EXPECT_EQ(plugin->resized, 0) << "onSize alone is the host's business";
  plugin->ResizeEditor(640, 480);  // no frame yet: nothing to ask
  EXPECT_TRUE(frame.requests.empty());
  view->setFrame(&frame);
  ASSERT_EQ(view->attached(&parent, "TestWindow"), kResultOk);
  plugin->ResizeEditor(640, 480);
  ASSERT_EQ(frame.requests.size(), 1u);
  EXPECT_EQ(frame.requests[0].right, 640);
  EXPECT_EQ(frame.requests[0].bottom, 480);
  view->onSize(&frame.requests[0]);
  view->onSize(&frame.requests[0]);
  EXPECT_EQ(plugin->resized, 1);
  frame.answerAtOnce = true;  // some hosts answer inside resizeView
  plugin->ResizeEditor(320, 240);
  EXPECT_EQ(plugin->resized, 2);
  view->removed();
  view->release();
}

// The editor is 300 x 200 here. Hosts send the factor before attaching (to
// size their window from getSize) or while the editor is open (the window
// moved to another screen): either way getSize answers the scaled size and
// an open editor asks the frame for it and shows itself at the new scale.
TEST_F(ViewHandshake, ContentScaleSizesTheViewBeforeAndAfterAttaching) {
  IPlugView* view = plugin->createView(ViewType::kEditor);
  FUnknownPtr<IPlugViewContentScaleSupport> scaling(view);
  ASSERT_TRUE(scaling);
  view->setFrame(&frame);
  ViewRect size;
  ASSERT_EQ(scaling->setContentScaleFactor(1.5f), kResultOk);
  ASSERT_EQ(view->getSize(&size), kResultOk);
  EXPECT_EQ(size.getWidth(), 450);
  EXPECT_EQ(size.getHeight(), 300);
  ASSERT_EQ(view->attached(&parent, "TestWindow"), kResultOk);
  EXPECT_EQ(plugin->graphics->Scale(), 1.5);
  EXPECT_TRUE(frame.requests.empty()) << "the host already made its window that size";

  ASSERT_EQ(scaling->setContentScaleFactor(2.0f), kResultOk);
  ASSERT_EQ(frame.requests.size(), 1u);
  EXPECT_EQ(frame.requests[0].getWidth(), 600);
  EXPECT_EQ(frame.requests[0].getHeight(), 400);
  EXPECT_EQ(plugin->graphics->windowSizes.back(), std::make_pair(600, 400));
  EXPECT_EQ(plugin->graphics->DrawingBitmap()->Width(), 600);
  view->onSize(&frame.requests[0]);
  EXPECT_EQ(plugin->resized, 1);
  ASSERT_EQ(view->getSize(&size), kResultOk);
  EXPECT_EQ(size.getWidth(), 600);
  // The same factor again asks for nothing.
  EXPECT_EQ(scaling->setContentScaleFactor(2.0f), kResultOk);
  EXPECT_EQ(frame.requests.size(), 1u);
  // Factors beyond reach are taken as the nearest; nonsense is refused.
  EXPECT_EQ(scaling->setContentScaleFactor(4.0f), kResultOk);
  EXPECT_EQ(plugin->graphics->Scale(), 3.0);
  for (float bad : {0.0f, -1.0f, std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()}) {
    EXPECT_EQ(scaling->setContentScaleFactor(bad), kInvalidArgument) << bad;
  }
  EXPECT_EQ(plugin->graphics->Scale(), 3.0);
  view->removed();
  view->release();
}

// Without a factor from the host the system's word on the parent window
// counts (Windows' DPI); a factor from the host wins over it.
TEST_F(ViewHandshake, TheSystemScaleCountsOnlyWithoutTheHostsFactor) {
  plugin->graphics->systemScale = 1.75;
  IPlugView* view = plugin->createView(ViewType::kEditor);
  view->setFrame(&frame);
  ASSERT_EQ(view->attached(&parent, "TestWindow"), kResultOk);
  EXPECT_EQ(plugin->graphics->Scale(), 1.75);
  ASSERT_EQ(frame.requests.size(), 1u) << "the host sized its window for scale 1";
  EXPECT_EQ(frame.requests[0].getWidth(), 525);
  EXPECT_EQ(frame.requests[0].getHeight(), 350);
  view->removed();

  FUnknownPtr<IPlugViewContentScaleSupport> scaling(view);
  ASSERT_EQ(scaling->setContentScaleFactor(1.25f), kResultOk);
  ASSERT_EQ(view->attached(&parent, "TestWindow"), kResultOk);
  EXPECT_EQ(plugin->graphics->Scale(), 1.25);
  view->removed();
  view->release();
}

TEST_F(ViewHandshake, RightClickAsksTheHostForItsParameterMenu) {
  IPtr<RecordingComponentHandler> handler(new RecordingComponentHandler, false);
  plugin->setComponentHandler(handler);
  plugin->ShowHostParamMenu(0, 10, 20);  // no view: nothing reaches the host
  EXPECT_TRUE(handler->Calls().empty());
  IPlugView* view = plugin->createView(ViewType::kEditor);
  plugin->graphics->MouseDown(5, 5, MouseModifiers{false, true, false, false, false});
  EXPECT_TRUE(handler->Calls().empty()) << "no control under the pointer";
  plugin->ShowHostParamMenu(0, 10, 20);
  const auto calls = handler->Calls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].kind, RecordingComponentHandler::Kind::kContextMenu);
  EXPECT_EQ(calls[0].id, 0u);
  EXPECT_EQ(calls[0].x, 10);
  EXPECT_EQ(calls[0].y, 20);
  view->release();
  plugin->setComponentHandler(nullptr);
}

}  // namespace
}  // namespace kestro
