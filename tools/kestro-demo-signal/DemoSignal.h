#pragma once

#include <vector>

namespace kestro {

struct DemoSignal {
  double rate = 44100.0;
  std::vector<double> left, right;
};

// The demo loop, seconds long, peaking at -1 dBFS.
DemoSignal MakeDemoSignal(double seconds);

}  // namespace kestro
