#pragma once

#include <string>
#include <vector>

#include "core/PluginCore.h"

namespace kestro {

// A plug-in core with integer and double parameters that records the calls
// the core makes into the plug-in and the host side.
class TestCore : public PluginCore {
 public:
  explicit TestCore(const char* channels = "2-2 4-2", int params = 3, int presets = 1, int latency = 0)
      : PluginCore(params, channels, presets, "Test", "", "Maker", 0x010000, 0x54657374, 0x4D616B72, latency) {
    for (int i = 0; i < params; ++i) {
      if (i % 2 == 0) {
        ParamAt(i)->DefineInteger("Steps", 1, 0, 5);
      } else {
        ParamAt(i)->DefineDouble("Level", -10.0, -50.0, 0.0, 0.01, "dB");
      }
    }
  }

  void ParamChanged(int index) override {
    std::lock_guard lock(ParamsLock());
    log.push_back("changed " + std::to_string(index) + " " + std::to_string(ParamAt(index)->Value()));
  }
  void PerformParamEdit(int index, double normalized) override {
    log.push_back("perform " + std::to_string(index) + " " + std::to_string(normalized) + " value " +
                  std::to_string(ParamAt(index)->Value()));
  }
  void PresetRestored() override { log.push_back("restored"); }

  using PluginCore::CreateLatencyDelay;
  using PluginCore::InputChannelAt;
  using PluginCore::InputPointers;
  using PluginCore::OutputChannelAt;
  using PluginCore::OutputPointers;

  std::vector<std::string> log;
};

}  // namespace kestro
