// The editor model: rectangle rules, hit order, capture and drag routing,
// knob gearing, wheel, double click, switch cycling, frame choice, dirty
// regions and the edit gestures the host sees.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <limits>

#include "EditorTestSupport.h"
#include "graphics/BitmapControl.h"
#include "graphics/FilmstripKnob.h"
#include "graphics/SwitchControl.h"
#include "graphics/TextControl.h"

namespace kestro::test {
namespace {

TEST(PixelRect, EmptinessIntersectionAndUnion) {
  const PixelRect a{0, 0, 10, 10}, touching{10, 0, 20, 10}, apart{11, 0, 20, 10}, point{5, 5, 5, 5};
  EXPECT_TRUE(PixelRect{}.Empty());
  EXPECT_FALSE(point.Empty());
  EXPECT_FALSE(point.Contains(5, 5));  // zero area holds no pixel
  EXPECT_TRUE(a.Contains(0, 0));
  EXPECT_FALSE(a.Contains(10, 5));
  // Touching counts as intersecting; the overlap is a zero-width strip.
  EXPECT_TRUE(Intersects(a, touching));
  EXPECT_EQ(Intersection(a, touching), (PixelRect{10, 0, 10, 10}));
  EXPECT_FALSE(Intersects(a, apart));
  EXPECT_EQ(Intersection(a, apart), PixelRect{});
  EXPECT_FALSE(Intersects(a, PixelRect{}));
  EXPECT_EQ(Union(PixelRect{}, a), a);
  EXPECT_EQ(Union(a, PixelRect{}), a);
  EXPECT_EQ(Union(a, apart), (PixelRect{0, 0, 20, 10}));
}

class Editor : public ::testing::Test {
 protected:
  Editor() : knobImage(NumberedStrip(50, 52, 61)), stepImage(NumberedStrip(50, 52, 6)), lampImage(NumberedStrip(20, 10, 2)) {
    graphics = std::make_unique<HeadlessGraphics>(&host, 200, 100, 25);
    level = graphics->AddControl(std::make_unique<FilmstripKnob>(&host, 10, 10, 0, BitmapStrip::FromBitmap(knobImage.get(), 61)));
    steps = graphics->AddControl(std::make_unique<FilmstripKnob>(&host, 100, 10, 1, BitmapStrip::FromBitmap(stepImage.get(), 6)));
    // Overlaps the first knob's lower right corner, added later: on top.
    lamp = graphics->AddControl(std::make_unique<SwitchControl>(&host, 50, 50, 2, BitmapStrip::FromBitmap(lampImage.get(), 2), 0));
    graphics->PrepareDrawing();
    for (int p = 0; p < 3; ++p) graphics->ParamChangedFromPlugin(p, host.ParamAt(p)->Value(), false);
    graphics->DrawRegion({0, 0, 200, 100});
  }
  Control& At(int i) { return *graphics->ControlAt(i); }
  uint32_t FrameAt(int x, int y) { return PixelByte(graphics->DrawingBitmap()->Row(y)[x], 0); }

  EditorHost host;
  std::unique_ptr<MemBitmap> knobImage, stepImage, lampImage;
  std::unique_ptr<HeadlessGraphics> graphics;
  int level = -1, steps = -1, lamp = -1;
  const MouseModifiers left{true, false, false, false, false};
  const MouseModifiers right{false, true, false, false, false};
  const MouseModifiers fine{true, false, true, false, false};
};

TEST_F(Editor, PressesGoToTheTopmostVisibleEnabledControl) {
  graphics->MouseDown(55, 55, left);  // under both the knob and the lamp
  EXPECT_EQ(graphics->CapturedControl(), lamp);
  graphics->MouseUp(55, 55, left);
  At(lamp).SetHidden(true);
  graphics->MouseDown(55, 55, left);
  EXPECT_EQ(graphics->CapturedControl(), level);
  graphics->MouseUp(55, 55, left);
  At(level).SetGrayed(true);
  graphics->MouseDown(55, 55, left);
  EXPECT_EQ(graphics->CapturedControl(), -1);
  graphics->MouseDown(5, 5, left);  // nothing there
  EXPECT_EQ(graphics->CapturedControl(), -1);
}

TEST_F(Editor, DragFeedsTheCapturedKnobOutsideItAndTheHostSeesOneGesture) {
  host.log.clear();
  graphics->MouseDown(30, 30, left);
  graphics->MouseDrag(30, 30, left);         // no movement: no step
  graphics->MouseDrag(150, -200, left);      // far outside the knob
  graphics->MouseUp(190, 90, left);          // released elsewhere
  ASSERT_EQ(host.log.size(), 3u);
  EXPECT_EQ(host.log[0], "begin 0");
  EXPECT_EQ(host.log[1], "perform 0 1.0000");  // 230 px up: clamped at the top
  EXPECT_EQ(host.log[2], "end 0");
  EXPECT_EQ(graphics->CapturedControl(), -1);
}

TEST_F(Editor, KnobTravelAndWheelSteps) {
  struct Case {
    const char* name;
    int dy;
    int wheel;
    MouseModifiers mods;
    double start;
    double expected;
  };
  const MouseModifiers ctrl{true, false, false, true, false};
  const Case cases[] = {
      {"104 px up is half the range", -104, 0, left, 0.0, 0.5},
      {"fine drag is ten times finer", -104, 0, fine, 0.0, 0.05},
      {"control also drags finely", -104, 0, ctrl, 0.5, 0.55},
      {"down lowers, clamped at 0", 300, 0, left, 0.3, 0.0},
      {"one notch", 0, 1, left, 0.3, 0.31},
      {"one fine notch", 0, -1, fine, 0.3, 0.299},
      {"the wheel stops at the top", 0, 5, left, 1.0, 1.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    At(level).SetValue(c.start);
    if (c.wheel != 0) {
      graphics->MouseWheel(30, 30, c.mods, c.wheel);
    } else {
      graphics->MouseDown(30, 60, c.mods);
      graphics->MouseDrag(30, 60 + c.dy, c.mods);
      graphics->MouseUp(30, 60 + c.dy, c.mods);
    }
    EXPECT_NEAR(At(level).Value(), c.expected, 1e-12);
  }
}

// Hosts record automation only inside begin/end: a wheel run on one knob is
// one gesture, ended by five quiet timer ticks, another gesture or closing.
// Script: w/W notch on the level/steps knob, s notch on the switch, t tick,
// p/P press on the level/steps knob, r release, d double click, c close.
TEST_F(Editor, WheelRunsAreWholeGestures) {
  const struct {
    const char* name;
    const char* script;
    const char* expected;
  } cases[] = {
      {"rests four ticks: still open", "wwwtttt", "begin 0, perform 0, perform 0, perform 0"},
      {"rests five ticks: ended", "wwttttt", "begin 0, perform 0, perform 0, end 0"},
      {"a notch restarts the rest", "wttttwtttt", "begin 0, perform 0, perform 0"},
      {"another knob ends the run", "wW", "begin 0, perform 0, end 0, begin 1, perform 1"},
      {"a press ends the run", "wPr", "begin 0, perform 0, end 0, begin 1, end 1"},
      {"a double click ends the run", "wd", "begin 0, perform 0, end 0, begin 0, perform 0, end 0"},
      {"closing ends the run", "wc", "begin 0, perform 0, end 0"},
      {"wheel while pressing is the press's", "pwrttttt", "begin 0, perform 0, end 0"},
      {"the switch takes no wheel", "sttttt", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    At(level).SetValue(0.5);
    At(steps).SetValue(0.4);
    graphics->Tick();
    host.log.clear();
    for (const char* a = c.script; *a != 0; ++a) {
      switch (*a) {
        case 'w': graphics->MouseWheel(30, 30, MouseModifiers{}, 1); break;
        case 'W': graphics->MouseWheel(120, 30, MouseModifiers{}, -1); break;
        case 's': graphics->MouseWheel(55, 55, MouseModifiers{}, 1); break;
        case 't': graphics->Tick(); break;
        case 'p': graphics->MouseDown(30, 30, left); break;
        case 'P': graphics->MouseDown(120, 30, left); break;
        case 'r': graphics->MouseUp(30, 30, left); break;
        case 'd': graphics->MouseDoubleClick(30, 30, left); break;
        case 'c': graphics->EndWheelEdit(); break;
      }
    }
    std::string shown;
    for (const std::string& entry : host.log) {
      // Values do not matter here, only the order of the calls.
      const std::string call = entry.rfind("perform", 0) == 0 ? entry.substr(0, entry.rfind(' ')) : entry;
      shown += (shown.empty() ? "" : ", ") + call;
    }
    EXPECT_EQ(shown, c.expected);
    graphics->EndWheelEdit();
  }
}

TEST_F(Editor, DoubleClickRestoresTheFirstValueFromThePlugin) {
  // A control that never heard from the plug-in has no default.
  auto loose = std::make_unique<FilmstripKnob>(&host, 0, 0, -1, BitmapStrip::FromBitmap(knobImage.get(), 61));
  loose->SetValue(0.7);
  loose->HandleDoubleClick(1, 1, left);
  EXPECT_EQ(loose->Value(), 0.7);
  // The editor's knob got 0.8 (-10 dB) first.
  At(level).SetValue(0.1);
  graphics->MouseDoubleClick(30, 30, left);
  EXPECT_NEAR(At(level).Value(), 0.8, 1e-12);
}

TEST_F(Editor, SwitchesCycleThroughTheirFrames) {
  auto three = NumberedStrip(10, 10, 3);
  SwitchControl threeWay(&host, 0, 0, -1, BitmapStrip::FromBitmap(three.get(), 3), 0);
  const double expected[] = {0.5, 1.0, 0.0, 0.5};
  for (double e : expected) {
    threeWay.HandleMouseDown(1, 1, left);
    EXPECT_NEAR(threeWay.Value(), e, 1e-12);
  }
  graphics->MouseDown(60, 55, left);
  EXPECT_EQ(At(lamp).Value(), 1.0);
  graphics->MouseUp(60, 55, left);
  graphics->MouseDoubleClick(60, 55, left);  // a further click
  EXPECT_EQ(At(lamp).Value(), 0.0);
}

TEST_F(Editor, FramesFollowTheValue) {
  struct Case {
    int frames;
    double value;
    int frame;
  };
  const Case cases[] = {{61, 0.0, 1},   {61, 0.5, 31},  {61, 1.0, 61},  {61, 0.99, 60}, {6, 0.2, 2},
                        {6, 0.5, 4},    {6, 0.09, 1},   {6, -3.0, 1},   {6, 7.0, 6},    {1, 0.7, 1},
                        {61, std::numeric_limits<double>::quiet_NaN(), 1},
                        {61, std::numeric_limits<double>::infinity(), 61}};
  for (const Case& c : cases) {
    auto image = NumberedStrip(4, 52, c.frames);
    EXPECT_EQ(FrameForValue(BitmapStrip::FromBitmap(image.get(), c.frames), c.value), c.frame)
        << c.frames << " frames at " << c.value;
  }
  // Drawn: the knob at 0.5 shows frame 31, taken from y = 30 * 52.
  At(level).SetValue(0.5);
  At(level).MarkDirty(false);
  graphics->Tick();
  EXPECT_EQ(FrameAt(30, 30), 31u);
  // Out-of-range and NaN values still draw a valid frame.
  At(steps).SetValue(std::numeric_limits<double>::quiet_NaN());
  At(steps).MarkDirty(false);
  graphics->Tick();
  EXPECT_EQ(FrameAt(120, 30), 1u);
}

// Scaled drawing: every device pixel of a control shows its chosen frame,
// never a neighbouring frame's row, at every scale hosts use; regions are
// presented in device pixels; editor rectangles tile without gaps.
TEST_F(Editor, ScaledDrawingShowsTheChosenFramesInDevicePixels) {
  At(level).SetValue(0.5);  // frame 31 of 61
  At(steps).SetValue(0.4);  // frame 3 of 6
  for (double scale : {1.25, 1.5, 1.75, 2.0, 2.5, 3.0}) {
    SCOPED_TRACE(scale);
    graphics->SetScale(scale);
    ASSERT_EQ(graphics->DrawingBitmap()->Width(), static_cast<int>(std::lround(200 * scale)));
    ASSERT_EQ(graphics->DrawingBitmap()->Height(), static_cast<int>(std::lround(100 * scale)));
    graphics->presented.clear();
    graphics->DrawRegion({0, 0, 200, 100});
    ASSERT_EQ(graphics->presented.size(), 1u);
    EXPECT_EQ(graphics->presented[0], graphics->Mapping().ToDevice({0, 0, 200, 100}));
    const ScaleMapping& m = graphics->Mapping();
    const PixelRect knob = m.ToDevice(At(level).Rect()), lampArea = m.ToDevice(At(lamp).Rect());
    const PixelRect stepKnob = m.ToDevice(At(steps).Rect());
    int wrong = 0;
    for (int y = 0; y < graphics->DrawingBitmap()->Height(); ++y) {
      for (int x = 0; x < graphics->DrawingBitmap()->Width(); ++x) {
        const uint32_t frame = FrameAt(x, y);
        if (lampArea.Contains(x, y)) continue;
        const uint32_t expected = knob.Contains(x, y) ? 31u : stepKnob.Contains(x, y) ? 3u : 0u;
        wrong += frame != expected;
      }
    }
    EXPECT_EQ(wrong, 0);
  }
  // Back at 1 the bitmap is the editor's size again.
  graphics->SetScale(1.0);
  EXPECT_EQ(graphics->DrawingBitmap()->Width(), 200);
}

TEST_F(Editor, DirtyRegionIsTheUnionOfDirtyControls) {
  PixelRect dirty;
  EXPECT_FALSE(graphics->CollectDirtyRect(dirty));
  At(level).MarkDirty(false);
  At(steps).MarkDirty(false);
  ASSERT_TRUE(graphics->CollectDirtyRect(dirty));
  EXPECT_EQ(dirty, (PixelRect{10, 10, 150, 62}));
  graphics->DrawRegion(dirty);
  EXPECT_FALSE(graphics->CollectDirtyRect(dirty));
  // A value arriving during a frame keeps the control dirty one frame more.
  At(level).ReceivePluginValue(0.25);
  graphics->DrawRegion({0, 0, 200, 100});
  EXPECT_TRUE(At(level).NeedsRedraw());
  graphics->Tick();
  EXPECT_FALSE(At(level).NeedsRedraw());
}

TEST_F(Editor, DrawingStaysInsideTheRegionAndTheBitmap) {
  Bitmap& bitmap = *graphics->DrawingBitmap();
  for (int y = 0; y < bitmap.Height(); ++y) {
    for (int x = 0; x < bitmap.Width(); ++x) bitmap.Row(y)[x] = 0;
  }
  At(level).SetValue(1.0);
  graphics->DrawRegion({30, 30, 40, 40});
  EXPECT_EQ(FrameAt(35, 35), 61u);
  EXPECT_EQ(FrameAt(29, 35), 0u);
  EXPECT_EQ(FrameAt(40, 35), 0u);
  // Regions partly or wholly outside the bitmap.
  graphics->DrawRegion({-500, -500, 5000, 5000});
  graphics->DrawRegion({300, 300, 400, 400});
  graphics->DrawRegion({-2147483647, 0, 2147483647, 100});
  EXPECT_EQ(FrameAt(12, 12), 61u);
}

TEST_F(Editor, RightClickOnABoundControlOpensTheHostMenuWithoutAnEdit) {
  host.log.clear();
  graphics->MouseDown(30, 30, right);
  graphics->MouseUp(30, 30, right);
  ASSERT_FALSE(host.log.empty());
  EXPECT_EQ(host.log[0], "menu 0 at 30,30");
  EXPECT_EQ(std::count_if(host.log.begin(), host.log.end(), [](const std::string& s) { return s.rfind("begin", 0) == 0; }), 0);
}

// Window layers deliver a release after every press, double clicks and
// right clicks included; the host must only ever see whole gestures.
TEST_F(Editor, ReleasesEndOnlyTheEditTheirPressBegan) {
  auto balanced = [&] {
    int open = 0;
    for (const std::string& s : host.log) {
      if (s.rfind("begin", 0) == 0) ++open;
      if (s.rfind("end", 0) == 0 && --open < 0) return false;
    }
    return open == 0;
  };
  host.log.clear();
  graphics->MouseDown(30, 30, right);  // host menu, no gesture
  graphics->MouseUp(30, 30, right);
  EXPECT_TRUE(balanced());
  EXPECT_EQ(std::count(host.log.begin(), host.log.end(), "end 0"), 0);

  At(level).SetValue(0.1);
  host.log.clear();
  graphics->MouseDown(30, 30, left);
  graphics->MouseUp(30, 30, left);
  graphics->MouseDoubleClick(30, 30, left);
  graphics->MouseUp(30, 30, left);
  EXPECT_TRUE(balanced());
  ASSERT_EQ(host.log.size(), 5u);
  EXPECT_EQ(host.log[2], "begin 0");
  EXPECT_EQ(host.log[3], "perform 0 0.8000");
  EXPECT_EQ(host.log[4], "end 0");

  host.log.clear();  // the lamp takes a double click as a press
  graphics->MouseDown(60, 55, left);
  graphics->MouseUp(60, 55, left);
  graphics->MouseDoubleClick(60, 55, left);
  graphics->MouseUp(60, 55, left);
  EXPECT_TRUE(balanced());
  EXPECT_EQ(std::count(host.log.begin(), host.log.end(), "begin 2"), 2);

  host.log.clear();  // a press whose release was lost ends before the next
  graphics->MouseDown(30, 30, left);
  graphics->EndMouseCapture();
  graphics->MouseDown(120, 30, left);
  graphics->MouseUp(120, 30, left);
  EXPECT_TRUE(balanced());
}

TEST_F(Editor, PushedValuesOutsideTheListAreIgnored) {
  const double before = At(steps).Value();
  graphics->PushControlValue(-1, 0.9);
  graphics->PushControlValue(graphics->ControlCount(), 0.9);
  EXPECT_EQ(At(steps).Value(), before);
  graphics->PushControlValue(steps, 0.6);
  EXPECT_EQ(At(steps).Value(), 0.6);
}

TEST_F(Editor, PromptsOfferEnumeratedValuesAsAMenuAndNumbersAsTextEntry) {
  graphics->menuChoice = 1;
  graphics->PromptParamInput(&At(lamp), 2, At(lamp).Rect());
  ASSERT_EQ(graphics->menusShown.size(), 1u);
  const PopupMenuModel& menu = graphics->menusShown[0];
  ASSERT_EQ(menu.items.size(), 3u);
  EXPECT_EQ(menu.items[0].text, "Soft");
  EXPECT_EQ(menu.items[0].flags, PopupMenuModel::kItemTicked);
  EXPECT_EQ(menu.items[2].text, "Clip");
  EXPECT_EQ(menu.items[2].flags, 0);
  EXPECT_EQ(At(lamp).Value(), 0.5);  // value 1 of 0..2

  At(level).SetPromptDisabled(false);
  At(level).PromptForValue();
  ASSERT_EQ(graphics->textEntries.size(), 1u);
  EXPECT_EQ(graphics->textEntries[0].text, "-10.00");
  EXPECT_EQ(graphics->textEntries[0].rect, (PixelRect{15, 28, 55, 44}));  // 40 x 16 around the centre
}

TEST_F(Editor, ValueAndNameDisplaysMirrorTheParameter) {
  TextStyle style;
  auto* value = new TextControl(&host, {0, 0, 50, 20}, style, "");
  auto* name = new TextControl(&host, {0, 20, 50, 40}, style, "");
  graphics->AddControl(std::unique_ptr<Control>(value));
  graphics->AddControl(std::unique_ptr<Control>(name));
  At(level).SetValueDisplay(value);
  At(level).SetNameDisplay(name);
  At(level).SetValue(1.0);
  At(level).MarkDirty(true);
  EXPECT_EQ(value->Text(), "0.00 dB");
  EXPECT_EQ(name->Text(), "Level");
  At(lamp).SetValueDisplay(value);
  At(lamp).SetValue(1.0);
  At(lamp).MarkDirty(true);
  EXPECT_EQ(value->Text(), "Clip");  // a named value has no unit
}

}  // namespace
}  // namespace kestro::test
