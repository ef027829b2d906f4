// The editor view as a host meets it through the module: which names give a
// view, its size, what it refuses, and that views never outlive or leak the
// plug-in, whatever order the host releases things in.
#include "ModuleTestSupport.h"

#include "pluginterfaces/gui/iplugview.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"

#include <gtest/gtest.h>

namespace kestro::test {
namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;

// The controller's current reference count, read by a balanced add/release.
uint32 RefCount(FUnknown* object) {
  const uint32 count = object->addRef();
  object->release();
  return count - 1;
}

TEST(EditorView, OnlyTheEditorNameGivesAView) {
  auto instance = NewInstance();
  ASSERT_NE(instance, nullptr);
  IEditController* controller = instance->Controller();
  for (const char* name : {"Editor", "editor2", "", "EDITOR"}) {
    EXPECT_EQ(controller->createView(name), nullptr) << name;
  }
  EXPECT_EQ(controller->createView(nullptr), nullptr);

  const uint32 before = RefCount(controller);
  IPlugView* view = controller->createView(ViewType::kEditor);
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(RefCount(controller), before + 1) << "a view holds the plug-in";
  ViewRect size;
  EXPECT_EQ(view->getSize(&size), kResultOk);
  EXPECT_EQ(size.left, 0);
  EXPECT_EQ(size.top, 0);
  EXPECT_EQ(size.right, 1020);
  EXPECT_EQ(size.bottom, 151);
  EXPECT_NE(view->getSize(nullptr), kResultOk);
  EXPECT_EQ(view->canResize(), kResultFalse);
  EXPECT_EQ(view->checkSizeConstraint(&size), kResultFalse);
  EXPECT_EQ(view->onSize(nullptr), kResultOk);
  EXPECT_EQ(view->onSize(&size), kResultOk);
  // Unknown platform types are refused and nothing is attached to them.
  EXPECT_EQ(view->isPlatformTypeSupported("Cocoa"), kResultFalse);
  EXPECT_EQ(view->isPlatformTypeSupported(nullptr), kResultFalse);
  EXPECT_EQ(view->attached(nullptr, "Cocoa"), kResultFalse);
  EXPECT_EQ(view->removed(), kResultOk);  // removed without attached
  EXPECT_EQ(view->release(), 0u);
  EXPECT_EQ(RefCount(controller), before);
}

TEST(EditorView, AViewKeepsThePluginAliveAfterTheHostLetGo) {
  for (int views = 1; views <= 3; ++views) {
    auto instance = NewInstance();
    ASSERT_NE(instance, nullptr);
    std::vector<IPlugView*> held;
    for (int i = 0; i < views; ++i) held.push_back(instance->Controller()->createView(ViewType::kEditor));
    // The host tears the instance down first; the views still answer.
    instance.reset();
    for (IPlugView* view : held) {
      ViewRect size;
      EXPECT_EQ(view->getSize(&size), kResultOk);
      EXPECT_EQ(size.right, 1020);
    }
    for (IPlugView* view : held) view->release();
  }
}

}  // namespace
}  // namespace kestro::test
