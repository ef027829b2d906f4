#pragma once

#include <cstdint>

namespace kestro {

// One legal (inputs, outputs) channel configuration.
struct ChannelIOConfig {
  int32_t inputs = 0;
  int32_t outputs = 0;
};

}  // namespace kestro
