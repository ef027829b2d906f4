#include "platform/linux/DoubleClickDetector.h"

#include <cstdlib>

namespace kestro {

bool DoubleClickDetector::Press(uint8_t button, uint32_t timeMs, int x, int y) {
  // Unsigned difference: correct across the 49-day wrap of server time.
  const bool isDouble = armed_ && button == button_ && timeMs - time_ <= kMaxIntervalMs &&
                        std::abs(x - x_) <= kMaxDistance && std::abs(y - y_) <= kMaxDistance;
  armed_ = !isDouble;
  button_ = button;
  time_ = timeMs;
  x_ = x;
  y_ = y;
  return isDouble;
}

}  // namespace kestro
