// KESTRO's editor as built at construction: its layout, the meter driven by
// the signal path, and the controls operating the compressor.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "graphics/BitmapControl.h"
#include "graphics/FilmstripKnob.h"
#include "graphics/GraphicsCore.h"
#include "graphics/SwitchControl.h"
#include "graphics/TextControl.h"
#include "graphics/raster/PngDecoder.h"
#include "KestroHarness.h"

namespace kestro {
namespace {

GraphicsCore& EditorOf(Kestro& k) {
  auto* editor = dynamic_cast<GraphicsCore*>(k.Editor());
  EXPECT_NE(editor, nullptr);
  return *editor;
}

const MouseModifiers kLeft{true, false, false, false, false};

TEST(KestroEditor, LayoutInAttachOrder) {
  KestroHarness k;
  GraphicsCore& editor = EditorOf(k);
  enum Kind { Bitmap, Switch, Knob, Text, Readout };
  const struct {
    Kind kind;
    PixelRect rect;
    int param;
    int frames;
  } expected[] = {
      {Bitmap, {0, 0, 1020, 151}, -1, 1},        {Switch, {73, 38, 126, 90}, 7, 2},
      {Switch, {0, 124, 150, 149}, 8, 2},        {Knob, {636, 38, 686, 90}, 0, 61},
      {Knob, {728, 38, 778, 90}, 1, 61},         {Knob, {538, 38, 591, 90}, 2, 6},
      {Knob, {447, 38, 500, 90}, 3, 6},          {Knob, {353, 38, 403, 90}, 4, 6},
      {Knob, {167, 38, 218, 90}, 5, 61},         {Knob, {261, 38, 311, 90}, 6, 61},
      {Switch, {920, 122, 1020, 152}, 9, 2},     {Bitmap, {816, 9, 939, 79}, -1, 61},
      {Text, {49, 29, 149, 49}, -1, 0},          {Readout, {160, 6, 800, 26}, -1, 0},
  };
  ASSERT_EQ(editor.ControlCount(), 14);
  EXPECT_EQ(k.MeterControl(), 11);
  EXPECT_EQ(editor.Width(), 1020);
  EXPECT_EQ(editor.Height(), 151);
  EXPECT_EQ(editor.FrameRate(), 25);
  for (int i = 0; i < 14; ++i) {
    SCOPED_TRACE(i);
    Control* c = editor.ControlAt(i);
    EXPECT_EQ(c->Rect(), expected[i].rect);
    EXPECT_EQ(c->ParamIndex(), expected[i].param);
    switch (expected[i].kind) {
      case Switch:
        ASSERT_NE(dynamic_cast<SwitchControl*>(c), nullptr);
        EXPECT_EQ(dynamic_cast<SwitchControl*>(c)->Strip().Frames(), expected[i].frames);
        break;
      case Bitmap:
        ASSERT_NE(dynamic_cast<BitmapControl*>(c), nullptr);
        EXPECT_EQ(dynamic_cast<BitmapControl*>(c)->Strip().Frames(), expected[i].frames);
        EXPECT_EQ(dynamic_cast<SwitchControl*>(c), nullptr);
        break;
      case Knob:
        EXPECT_NE(dynamic_cast<FilmstripKnob*>(c), nullptr);
        break;
      case Text:
        ASSERT_NE(dynamic_cast<TextControl*>(c), nullptr);
        EXPECT_EQ(dynamic_cast<TextControl*>(c)->Text(), "Version 6.1.0");
        EXPECT_EQ(c->Style().size, 14);
        EXPECT_TRUE(c->Style().face == "Verdana");
        break;
      case Readout:
        ASSERT_NE(dynamic_cast<TextControl*>(c), nullptr);
        EXPECT_EQ(dynamic_cast<TextControl*>(c)->Text(), "") << "empty at rest";
        EXPECT_EQ(c->Style().align, TextAlign::Near);
        EXPECT_EQ(c->Style().size, 14);
        break;
    }
  }
  EXPECT_EQ(editor.ControlAt(0)->Blend().method, 1);  // the background is copied opaque
}

TEST(KestroEditor, MeterFollowsTheGainReduction) {
  KestroHarness k(48000.0);
  GraphicsCore& editor = EditorOf(k);
  auto& meter = dynamic_cast<BitmapControl&>(*editor.ControlAt(k.MeterControl()));
  // Loud noise far over the threshold: the signal path pushes its meter
  // level into the control, block after block.
  k.Set(ParamThreshold, 0.2);
  k.Set(ParamRatio, 1.0);
  k.Run(Noise(48000, 0.9, 1), Noise(48000, 0.9, 2));
  EXPECT_EQ(meter.Value(), std::clamp(k.MeterLevel(), 0.0, 1.0));
  EXPECT_GT(FrameForValue(meter.Strip(), meter.Value()), 1);
  // Silence: no reduction, the needle rests on frame 1.
  k.Set(ParamThreshold, 1.0);
  k.Run(std::vector<double>(96000, 0.0), std::vector<double>(96000, 0.0));
  EXPECT_EQ(FrameForValue(meter.Strip(), meter.Value()), 1);
  // A gain of 0.5 (6 dB) is the middle of the dial.
  editor.PushControlValue(k.MeterControl(), std::fabs(1.0 - 0.5));
  EXPECT_EQ(FrameForValue(meter.Strip(), meter.Value()), 31);
  EXPECT_TRUE(meter.NeedsRedraw());
}

TEST(KestroEditor, BypassLampSwitchesTheEffectOffAndOn) {
  KestroHarness k;
  GraphicsCore& editor = EditorOf(k);
  k.Set(ParamThreshold, 0.2);
  k.Set(ParamOutput, 0.8);
  const auto in = Noise(4096, 0.5, 3);
  std::vector<double> outL, outR;
  editor.MouseDown(99, 64, kLeft);
  editor.MouseUp(99, 64, kLeft);
  EXPECT_EQ(k.ParamAt(ParamBypass)->Value(), 0.0);
  k.Process(in, in, outL, outR);
  EXPECT_EQ(outL, in);
  editor.MouseDown(99, 64, kLeft);
  editor.MouseUp(99, 64, kLeft);
  EXPECT_EQ(k.ParamAt(ParamBypass)->Value(), 1.0);
  k.Process(in, in, outL, outR);
  EXPECT_NE(outL, in);
}

TEST(KestroEditor, DraggingTheRatioKnobUpHalfItsTravelSelectsPosition3) {
  KestroHarness k;
  GraphicsCore& editor = EditorOf(k);
  k.Set(ParamRatio, 0.0);
  k.RefreshParamControls();
  editor.MouseDown(378, 80, kLeft);
  editor.MouseDrag(378, 80 - 104, kLeft);
  editor.MouseUp(378, 80 - 104, kLeft);
  EXPECT_DOUBLE_EQ(editor.ControlAt(7)->Value(), 0.5);
  EXPECT_EQ(k.ParamAt(ParamRatio)->Value(), 3.0);  // 2.5 rounds up
  EXPECT_EQ(k.Internal().ratio, 4.0);
}

// The default editor against its reference picture. Glyph antialiasing in
// the caption differs a little between font rasterisers (FreeType here, GDI
// on Windows): there single pixels may differ, but on average the caption
// must look the same; everything else must match exactly.
// The read-out names what the pointer rests on, follows a drag and a wheel
// run, lingers a second (25 ticks) and then gives back the resting picture.
TEST(KestroEditor, ReadoutFollowsThePointerAndGesturesThenLeavesNoTrace) {
  KestroHarness k;
  GraphicsCore& editor = EditorOf(k);
  auto* readout = dynamic_cast<TextControl*>(editor.ControlAt(13));
  ASSERT_NE(readout, nullptr);
  const PixelRect area = readout->Rect();
  auto pixels = [&] {
    std::vector<PackedPixel> p;
    for (int y = area.top; y < area.bottom; ++y) p.insert(p.end(), editor.DrawingBitmap()->Row(y) + area.left,
                                                          editor.DrawingBitmap()->Row(y) + area.right);
    return p;
  };
  auto tick = [&] {
    editor.TimerTick();
    PixelRect dirty;
    if (editor.CollectDirtyRect(dirty)) editor.DrawRegion(dirty);
  };
  editor.DrawRegion({0, 0, 1020, 151});
  const auto resting = pixels();

  const struct {
    int x, y;
    const char* text;
  } hovers[] = {
      {99, 64, "Compressor in"},       {75, 136, "Oversampling 4x"},   {661, 64, "Threshold 0.00 dB"},
      {753, 64, "Make-up +0.00 dB"},   {564, 64, "Attack 0.05 ms"},    {473, 64, "Release 0.15 s"},
      {378, 64, "Ratio 1.5:1"},        {192, 64, "Side 0.30"},         {286, 64, "Mix 100 %"},
      {970, 136, "Detector: main input"},
  };
  for (const auto& h : hovers) {
    editor.MouseOver(h.x, h.y, MouseModifiers{});
    tick();
    EXPECT_EQ(readout->Text(), h.text) << "at " << h.x << "," << h.y;
  }
  EXPECT_NE(pixels(), resting) << "the text is drawn";

  // A drag speaks of its knob even outside it; the value follows.
  editor.MouseDown(661, 64, kLeft);
  editor.MouseDrag(661, 168, kLeft);  // half the travel down
  editor.MouseOver(10, 10, MouseModifiers{});
  tick();
  EXPECT_EQ(readout->Text(), "Threshold -25.00 dB");
  editor.MouseUp(661, 168, kLeft);
  editor.MouseOut();
  for (int i = 0; i < 24; ++i) tick();
  EXPECT_EQ(readout->Text(), "Threshold -25.00 dB") << "lingers";
  tick();
  EXPECT_EQ(readout->Text(), "");
  EXPECT_EQ(pixels(), resting) << "gone without a trace";

  // A wheel run away from the pointer's control still shows its knob.
  editor.MouseWheel(378, 64, MouseModifiers{}, 1);
  editor.MouseOut();
  tick();
  EXPECT_EQ(readout->Text(), "Ratio 1.5:1");
  // Neither the meter nor the background has anything to say.
  for (int i = 0; i < 30; ++i) tick();
  editor.MouseOver(870, 40, MouseModifiers{});
  tick();
  EXPECT_EQ(readout->Text(), "");
  EXPECT_EQ(pixels(), resting);
}

// At twice the density: the panel outside every control is bg@2x.png pixel
// for pixel, and the whole editor matches its reference exactly outside the
// caption, whose glyphs depend on the fonts installed.
TEST(KestroEditor, DoubleDensityEditorUsesTheTwinImagesAndMatchesItsReference) {
  auto golden = DecodePngFromFile(KESTRO_GOLDEN_DIR "/editor-default@2x.png");
  auto panel = DecodePngFromFile(KESTRO_SOURCE_DIR "/resources/img/bg@2x.png");
  ASSERT_TRUE(golden && panel);
  KestroHarness k;
  GraphicsCore& editor = EditorOf(k);
  editor.SetScale(2.0);
  editor.DrawRegion({0, 0, 1020, 151});
  const Bitmap& drawn = *editor.DrawingBitmap();
  ASSERT_EQ(drawn.Width(), 2040);
  ASSERT_EQ(drawn.Height(), 302);
  ASSERT_EQ(golden->Width(), 2040);
  ASSERT_EQ(golden->Height(), 302);
  const PixelRect caption = editor.Mapping().ToDevice({49, 29, 149, 49});
  int panelMisses = 0, exactMisses = 0;
  double captionDifference = 0.0;
  for (int y = 0; y < drawn.Height(); ++y) {
    for (int x = 0; x < drawn.Width(); ++x) {
      const PackedPixel a = drawn.Row(y)[x];
      bool onControl = false;
      for (int i = 1; i < editor.ControlCount(); ++i) onControl |= editor.Mapping().ToDevice(editor.ControlAt(i)->Rect()).Contains(x, y);
      if (!onControl) panelMisses += a != panel->Row(y)[x];
      if (caption.Contains(x, y)) {
        for (int n = 0; n < 3; ++n) {
          captionDifference += std::abs(static_cast<int>(PixelByte(a, n)) - static_cast<int>(PixelByte(golden->Row(y)[x], n)));
        }
      } else {
        exactMisses += a != golden->Row(y)[x];
      }
    }
  }
  EXPECT_EQ(panelMisses, 0);
  EXPECT_EQ(exactMisses, 0);
  EXPECT_LE(captionDifference / (3.0 * caption.Width() * caption.Height()), 6.0);
}

TEST(KestroEditor, DefaultEditorMatchesTheReferencePicture) {
  auto golden = DecodePngFromFile(KESTRO_GOLDEN_DIR "/editor-default.png");
  ASSERT_NE(golden, nullptr);
  KestroHarness k;
  GraphicsCore& editor = EditorOf(k);
  editor.DrawRegion({0, 0, 1020, 151});
  const Bitmap& drawn = *editor.DrawingBitmap();
  ASSERT_EQ(golden->Width(), drawn.Width());
  ASSERT_EQ(golden->Height(), drawn.Height());
  const PixelRect caption{49, 29, 149, 49};
  int exactMisses = 0;
  double captionDifference = 0.0;
  for (int y = 0; y < drawn.Height(); ++y) {
    for (int x = 0; x < drawn.Width(); ++x) {
      const PackedPixel a = drawn.Row(y)[x], b = golden->Row(y)[x];
      if (caption.Contains(x, y)) {
        for (int n = 0; n < 3; ++n) {
          captionDifference += std::abs(static_cast<int>(PixelByte(a, n)) - static_cast<int>(PixelByte(b, n)));
        }
      } else if (a != b) {
        ++exactMisses;
      }
    }
  }
  EXPECT_EQ(exactMisses, 0);
  // Mean difference per colour byte; a misplaced or missing caption gives
  // several times this.
  EXPECT_LE(captionDifference / (3.0 * caption.Width() * caption.Height()), 6.0);
}

}  // namespace
}  // namespace kestro
