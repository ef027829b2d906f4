// KESTRO's editor as built at construction: its layout, the meter driven by
// the signal path, and the controls operating the compressor.
#include <gtest/gtest.h>

#include <cmath>

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
  enum Kind { Bitmap, Switch, Knob, Text };
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
      {Text, {49, 29, 149, 49}, -1, 0},
  };
  ASSERT_EQ(editor.ControlCount(), 13);
  EXPECT_EQ(k.MeterControl(), 11);
  EXPECT_EQ(editor.Width(), 1020);
  EXPECT_EQ(editor.Height(), 151);
  EXPECT_EQ(editor.FrameRate(), 25);
  for (int i = 0; i < 13; ++i) {
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

#ifndef KESTRO_CAPTION_TOLERANCE
#define KESTRO_CAPTION_TOLERANCE 48
#endif

// The default editor against its reference picture. The caption's glyphs
// may differ by a little per pixel with the font rasteriser's version; all
// the rest must match exactly.
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
  int exactMisses = 0, worstCaption = 0;
  for (int y = 0; y < drawn.Height(); ++y) {
    for (int x = 0; x < drawn.Width(); ++x) {
      const PackedPixel a = drawn.Row(y)[x], b = golden->Row(y)[x];
      if (caption.Contains(x, y)) {
        for (int n = 0; n < 4; ++n) {
          worstCaption = std::max(worstCaption, std::abs(static_cast<int>(PixelByte(a, n)) - static_cast<int>(PixelByte(b, n))));
        }
      } else if (a != b) {
        ++exactMisses;
      }
    }
  }
  EXPECT_EQ(exactMisses, 0);
  EXPECT_LE(worstCaption, KESTRO_CAPTION_TOLERANCE);
}

}  // namespace
}  // namespace kestro
