// The audio thread pushes the meter level every block while the editor
// thread draws, drags knobs and reads values: no data race, and no waiting
// of the audio thread on the editor (the meter push takes no lock).
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "graphics/GraphicsCore.h"
#include "KestroHarness.h"

namespace kestro {
namespace {

TEST(EditorConcurrency, AudioPushesMeterWhileTheEditorDrawsAndDrags) {
  KestroHarness k(48000.0);
  auto* editor = dynamic_cast<GraphicsCore*>(k.Editor());
  ASSERT_NE(editor, nullptr);
  std::atomic<bool> done{false};
  std::thread audio([&] {
    const auto left = Noise(256 * 200, 0.9, 5), right = Noise(256 * 200, 0.9, 6);
    k.Set(ParamThreshold, 0.3);
    k.Run(left, right);
    done = true;
  });
  const MouseModifiers left{true, false, false, false, false};
  double seen = 0.0;
  int frames = 0;
  while (!done || frames < 3) {
    PixelRect dirty;
    if (editor->CollectDirtyRect(dirty)) editor->DrawRegion(dirty);
    editor->MouseDown(661, 80, left);
    editor->MouseDrag(661, 70 - frames % 20, left);
    editor->MouseUp(661, 70, left);
    seen += editor->ControlAt(k.MeterControl())->Value();
    ++frames;
  }
  audio.join();
  EXPECT_GT(seen, 0.0);
}

}  // namespace
}  // namespace kestro
