#pragma once

#include <vector>

namespace kestro {

// One output channel of the core: where ProcessDoubles writes, and for
// single-precision hosts the float array the results go to afterwards.
struct OutputChannel {
  bool connected = false;
  double** slot = nullptr;
  float* floatDestination = nullptr;
  std::vector<double> scratch;
};

}  // namespace kestro
