#pragma once

#include <cstdint>

#include "graphics/MouseModifiers.h"

namespace kestro {

// How X11 input reads in the editor's terms. Pure functions of the event
// fields, so that they can be checked without a display.

// The editor's KeyCode for a keysym (read unshifted), or -1 for keys the
// editor does not take.
int KeyCodeForKeysym(uint32_t keysym);

// Buttons, shift, control and alt as the event's state field has them; for a
// button event the state is the one before it, so the pressed button counts
// as down and the released one as up.
MouseModifiers ModifiersFromState(uint16_t state);
MouseModifiers ButtonPressModifiers(uint16_t state, uint8_t button);
MouseModifiers ButtonReleaseModifiers(uint16_t state, uint8_t button);

// Wheel notches of a button press: +1 away from the user (button 4), -1
// towards (button 5), 0 for every other button.
int WheelSteps(uint8_t button);

// The redraw timer's period for a frame rate, kept within 1..1000 ms.
int TimerPeriodMs(int frameRate);

}  // namespace kestro
