#include "lv2/Lv2Ports.h"

#include <algorithm>

#include "core/PluginCore.h"

namespace kestro {

namespace {
// A plug-in with more inputs than outputs takes the rest as its sidechain.
uint32_t SidechainOf(const PluginCore& core) {
  return static_cast<uint32_t>(std::max(core.InputChannelCount() - core.OutputChannelCount(), 0));
}
}  // namespace

Lv2Ports::Lv2Ports(const PluginCore& core)
    : audioInputs(static_cast<uint32_t>(core.InputChannelCount())),
      sidechainInputs(SidechainOf(core)),
      audioOutputs(static_cast<uint32_t>(core.OutputChannelCount())),
      firstParam(audioInputs + audioOutputs),
      params(static_cast<uint32_t>(core.ParamCount())),
      enabled(firstParam + params),
      latency(enabled + 1),
      meter(enabled + 2),
      count(enabled + 3) {}

}  // namespace kestro
