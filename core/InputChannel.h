#pragma once

#include <vector>

namespace kestro {

// One input channel of the core: where ProcessDoubles finds its samples.
// The pointer slot is this channel's entry in the core's input pointer array.
struct InputChannel {
  bool connected = false;
  double** slot = nullptr;
  std::vector<double> scratch;
};

}  // namespace kestro
