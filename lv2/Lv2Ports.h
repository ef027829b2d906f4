#pragma once

#include <cstdint>

namespace kestro {

class PluginCore;

// The LV2 module's port layout, the same for the description and the
// instance: the audio inputs (main, then sidechain), the audio outputs, one
// control input per parameter, then the host's bypass (lv2:enabled), the
// latency and the meter level as control outputs.
struct Lv2Ports {
  explicit Lv2Ports(const PluginCore& core);

  uint32_t audioInputs;
  uint32_t sidechainInputs;  // the last of the audio inputs
  uint32_t audioOutputs;
  uint32_t firstParam;
  uint32_t params;
  uint32_t enabled;
  uint32_t latency;
  uint32_t meter;
  uint32_t count;
};

}  // namespace kestro
