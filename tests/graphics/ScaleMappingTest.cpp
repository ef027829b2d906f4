// Editor and device pixels at the scales hosts send: sizes as hosts expect
// them, a device pixel always lands in the editor pixel drawn there, and
// rectangles map so that nothing a window exposes is left undrawn.
#include "graphics/ScaleMapping.h"

#include <gtest/gtest.h>

#include <limits>

namespace kestro {
namespace {

TEST(ScaleMapping, EditorSizesAtTheScalesHostsSend) {
  const struct {
    double scale;
    int width, height;
  } cases[] = {{1.0, 1020, 151},  {1.25, 1275, 189}, {1.5, 1530, 227}, {1.75, 1785, 264},
               {2.0, 2040, 302},  {2.5, 2550, 378},  {3.0, 3060, 453}};
  for (const auto& c : cases) {
    const ScaleMapping m(c.scale);
    EXPECT_EQ(m.ToDevice(1020), c.width) << c.scale;
    EXPECT_EQ(m.ToDevice(151), c.height) << c.scale;
  }
}

TEST(ScaleMapping, OutOfReachScalesTakeTheNearest) {
  const struct {
    double asked, taken;
  } cases[] = {{0.0, 1.0}, {-2.0, 1.0}, {0.5, 1.0}, {std::numeric_limits<double>::quiet_NaN(), 1.0},
               {3.5, 3.0}, {std::numeric_limits<double>::infinity(), 3.0}, {1.5, 1.5}};
  for (const auto& c : cases) EXPECT_EQ(ScaleMapping(c.asked).Scale(), c.taken) << c.asked;
}

// Every device pixel maps to the editor pixel whose device span holds it,
// for on-screen and off-screen (negative, beyond the edge) positions alike.
TEST(ScaleMapping, EveryDevicePixelFallsInTheEditorPixelDrawnThere) {
  for (double scale : {1.0, 1.25, 1.5, 1.75, 2.0, 2.5, 3.0}) {
    const ScaleMapping m(scale);
    for (int v = -300; v < 1300; ++v) {
      for (int d = m.ToDevice(v); d < m.ToDevice(v + 1); ++d) ASSERT_EQ(m.ToEditor(d), v) << scale << " " << d;
    }
  }
}

TEST(ScaleMapping, RectanglesTileAndExposuresMapOutwards) {
  const ScaleMapping m(1.5);
  EXPECT_EQ(m.ToDevice(PixelRect{0, 0, 3, 3}).right, m.ToDevice(PixelRect{3, 0, 5, 3}).left);
  EXPECT_EQ(m.ToDevice(PixelRect{1, 1, 3, 3}), (PixelRect{2, 2, 5, 5}));  // half rounds away from zero
  // A one-pixel exposure at device (4, 4) needs editor pixel 2 redrawn; a
  // device rectangle maps to every editor pixel it touches.
  EXPECT_EQ(m.ToEditor(PixelRect{4, 4, 5, 5}), (PixelRect{2, 2, 3, 3}));
  EXPECT_EQ(m.ToEditor(PixelRect{0, 0, 1530, 227}), (PixelRect{0, 0, 1020, 151}));
  EXPECT_EQ(m.ToEditor(PixelRect{}), PixelRect{});
  // Through both ways a rectangle comes back as it was.
  for (double scale : {1.25, 2.0, 3.0}) {
    const ScaleMapping s(scale);
    const PixelRect r{49, 29, 149, 49};
    EXPECT_EQ(s.ToEditor(s.ToDevice(r)), r) << scale;
  }
}

}  // namespace
}  // namespace kestro
