#include "platform/linux/X11Input.h"

#include <algorithm>

#include "graphics/KeyCode.h"

namespace kestro {

namespace {

// X11 protocol constants (keysymdef.h and the core protocol's masks).
constexpr uint32_t kKeysymSpace = 0x0020;
constexpr uint32_t kKeysymLeft = 0xff51, kKeysymUp = 0xff52, kKeysymRight = 0xff53, kKeysymDown = 0xff54;
constexpr uint32_t kKeysymPadLeft = 0xff96, kKeysymPadUp = 0xff97, kKeysymPadRight = 0xff98,
                   kKeysymPadDown = 0xff99;
constexpr uint16_t kShiftMask = 1 << 0, kControlMask = 1 << 2, kMod1Mask = 1 << 3;
constexpr uint16_t kButton1Mask = 1 << 8, kButton3Mask = 1 << 10;

void SetButton(MouseModifiers& mods, uint8_t button, bool down) {
  if (button == 1) mods.left = down;
  if (button == 3) mods.right = down;
}

}  // namespace

int KeyCodeForKeysym(uint32_t keysym) {
  switch (keysym) {
    case kKeysymSpace: return KeySpace;
    case kKeysymUp: case kKeysymPadUp: return KeyUp;
    case kKeysymDown: case kKeysymPadDown: return KeyDown;
    case kKeysymLeft: case kKeysymPadLeft: return KeyLeft;
    case kKeysymRight: case kKeysymPadRight: return KeyRight;
    default: break;
  }
  if (keysym >= '0' && keysym <= '9') return KeyDigit0 + static_cast<int>(keysym - '0');
  if (keysym >= 'a' && keysym <= 'z') return KeyLetterA + static_cast<int>(keysym - 'a');
  if (keysym >= 'A' && keysym <= 'Z') return KeyLetterA + static_cast<int>(keysym - 'A');
  return -1;
}

MouseModifiers ModifiersFromState(uint16_t state) {
  MouseModifiers mods;
  mods.left = (state & kButton1Mask) != 0;
  mods.right = (state & kButton3Mask) != 0;
  mods.shift = (state & kShiftMask) != 0;
  mods.control = (state & kControlMask) != 0;
  mods.alt = (state & kMod1Mask) != 0;
  return mods;
}

MouseModifiers ButtonPressModifiers(uint16_t state, uint8_t button) {
  MouseModifiers mods = ModifiersFromState(state);
  SetButton(mods, button, true);
  return mods;
}

MouseModifiers ButtonReleaseModifiers(uint16_t state, uint8_t button) {
  MouseModifiers mods = ModifiersFromState(state);
  SetButton(mods, button, false);
  return mods;
}

int WheelSteps(uint8_t button) {
  if (button == 4) return 1;
  if (button == 5) return -1;
  return 0;
}

int TimerPeriodMs(int frameRate) {
  // A zero or negative rate must not divide by zero or stop the timer.
  return std::clamp(1000 / std::max(frameRate, 1), 1, 1000);
}

}  // namespace kestro
