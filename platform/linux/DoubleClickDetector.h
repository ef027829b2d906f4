#pragma once

#include <cstdint>

namespace kestro {

// X11 reports only single presses; this tells a second left press from a
// new one as Windows does: the same button again within the double-click
// time and a few pixels of the first. A third press starts over.
class DoubleClickDetector {
 public:
  static constexpr uint32_t kMaxIntervalMs = 500;
  static constexpr int kMaxDistance = 4;

  // Records a press (time in the server's milliseconds, which wrap) and
  // says whether it completes a double click.
  bool Press(uint8_t button, uint32_t timeMs, int x, int y);
  void Reset() { armed_ = false; }

 private:
  bool armed_ = false;
  uint8_t button_ = 0;
  uint32_t time_ = 0;
  int x_ = 0;
  int y_ = 0;
};

}  // namespace kestro
