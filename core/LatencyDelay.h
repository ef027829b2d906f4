#pragma once

#include <vector>

namespace kestro {

// Multi-channel circular delay that keeps bypassed audio aligned with the
// plug-in's reported latency. Channel k occupies buffer[k * delay ...].
struct LatencyDelay {
  std::vector<double> buffer;
  int writePosition = 0;
  int inputChannels = 0;
  int outputChannels = 0;
  int delay = 0;
};

}  // namespace kestro
