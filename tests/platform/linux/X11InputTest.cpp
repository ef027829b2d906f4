// How X11 input reads in the editor's terms, without a display: keys,
// buttons and modifiers, wheel notches, the timer period and double clicks.
#include <gtest/gtest.h>

#include "graphics/KeyCode.h"
#include "platform/linux/DoubleClickDetector.h"
#include "platform/linux/X11Input.h"

namespace kestro {
namespace {

TEST(X11Input, KeysymsBecomeTheEditorsKeyCodes) {
  const struct {
    uint32_t keysym;
    int key;
  } cases[] = {
      {0x20, KeySpace}, {0xff52, KeyUp},   {0xff54, KeyDown}, {0xff51, KeyLeft}, {0xff53, KeyRight},
      {0xff97, KeyUp},  {0xff96, KeyLeft}, {'0', 5},          {'9', 14},         {'a', 15},
      {'q', 31},        {'Q', 31},         {'z', 40},         {'Z', 40},
      // Not taken: function keys, Return, keypad digits, punctuation, Latin-1 letters.
      {0xffbe, -1},     {0xff0d, -1},      {0xffb0, -1},      {'/', -1},         {'@', -1},
      {'[', -1},        {'`', -1},         {'{', -1},         {0xe9, -1},
  };
  for (const auto& c : cases) EXPECT_EQ(KeyCodeForKeysym(c.keysym), c.key) << std::hex << c.keysym;
}

TEST(X11Input, ButtonEventsCountThePressedButtonAndNotTheReleasedOne) {
  constexpr uint16_t shift = 1, control = 4, alt = 8, left = 1 << 8, middle = 1 << 9, right = 1 << 10;
  const MouseModifiers all = ModifiersFromState(shift | control | alt | left | right);
  EXPECT_TRUE(all.left && all.right && all.shift && all.control && all.alt);
  const MouseModifiers none = ModifiersFromState(middle | (1 << 1) /* caps lock */);
  EXPECT_FALSE(none.left || none.right || none.shift || none.control || none.alt);

  // The state of a button event is the one before it.
  MouseModifiers press = ButtonPressModifiers(shift, 1);
  EXPECT_TRUE(press.left && press.shift && !press.right);
  press = ButtonPressModifiers(left, 3);
  EXPECT_TRUE(press.left && press.right);
  press = ButtonPressModifiers(0, 2);
  EXPECT_FALSE(press.left || press.right);
  MouseModifiers release = ButtonReleaseModifiers(left | right, 1);
  EXPECT_TRUE(!release.left && release.right);
  release = ButtonReleaseModifiers(right | control, 3);
  EXPECT_TRUE(!release.right && release.control);
}

TEST(X11Input, WheelButtonsAndTimerPeriods) {
  const int steps[] = {0, 0, 0, 0, 1, -1, 0, 0, 0};
  for (uint8_t button = 0; button < 9; ++button) EXPECT_EQ(WheelSteps(button), steps[button]) << int(button);

  const struct {
    int rate, period;
  } periods[] = {{25, 40}, {30, 33}, {60, 16}, {1, 1000}, {0, 1000}, {-5, 1000}, {1000, 1}, {5000, 1}};
  for (const auto& p : periods) EXPECT_EQ(TimerPeriodMs(p.rate), p.period) << p.rate;
}

TEST(DoubleClickDetector, SecondNearbyPressInTimeIsADoubleAndAThirdStartsOver) {
  const uint32_t late = DoubleClickDetector::kMaxIntervalMs + 1;
  const struct {
    const char* what;
    uint8_t button;
    uint32_t time;
    int x, y;
    bool isDouble;
  } presses[] = {
      {"first", 1, 1000, 10, 10, false},
      {"second, close by", 1, 1200, 12, 9, true},
      {"third starts over", 1, 1300, 12, 9, false},
      {"fourth pairs with it", 1, 1400, 12, 9, true},
      {"too late", 1, 1400 + 2000, 12, 9, false},
      {"too far", 1, 3500, 20, 9, false},
      {"other button", 3, 3550, 20, 9, false},
      {"left after right", 1, 3600, 20, 9, false},
      {"just in time", 1, 3600 + DoubleClickDetector::kMaxIntervalMs, 20, 9, true},
      {"armed across the wrap", 1, 0xffffff00u, 0, 0, false},
      {"server time wrapped", 1, 0x00000010u, 0, 0, true},
      {"armed", 1, 5000, 0, 0, false},
      {"one past the limit", 1, 5000 + late, 0, 0, false},
  };
  DoubleClickDetector clicks;
  for (const auto& p : presses) EXPECT_EQ(clicks.Press(p.button, p.time, p.x, p.y), p.isDouble) << p.what;
  clicks.Reset();
  EXPECT_FALSE(clicks.Press(1, 6000, 0, 0)) << "after a reset";
}

}  // namespace
}  // namespace kestro
