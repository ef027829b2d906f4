#pragma once

#include <cstdint>

namespace kestro {

// The host's transport as of the last processed block.
struct TransportSnapshot {
  double tempo = 0.0;
  double samplePosition = 0.0;
  double musicalPosition = 0.0;
  double lastBarStart = 0.0;
  double cycleStart = 0.0;
  double cycleEnd = 0.0;
  int32_t numerator = 0;
  int32_t denominator = 0;
  bool transportRunning = false;
  bool cycleActive = false;
};

}  // namespace kestro
