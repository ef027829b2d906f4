#pragma once

namespace kestro {

// Keys as the window layer delivers them to the editor.
enum KeyCode : int {
  KeySpace = 0,
  KeyUp = 1,
  KeyDown = 2,
  KeyLeft = 3,
  KeyRight = 4,
  KeyDigit0 = 5,   // digits 0..9 are 5..14
  KeyLetterA = 15, // letters A..Z are 15..40
  KeyLetterZ = 40,
};

}  // namespace kestro
