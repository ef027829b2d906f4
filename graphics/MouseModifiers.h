#pragma once

namespace kestro {

// Buttons and keys held during a mouse event.
struct MouseModifiers {
  bool left = false;
  bool right = false;
  bool shift = false;
  bool control = false;
  bool alt = false;
};

}  // namespace kestro
