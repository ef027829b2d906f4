#pragma once

#include <string>
#include <vector>

namespace kestro {

class PluginCore;
struct Lv2PluginInfo;

// The bundle's Turtle description of a plug-in, written from its core (the
// parameters' names, ranges, defaults and steps) and its Lv2PluginInfo, so
// that the description and the module can never disagree.
class Lv2Description {
 public:
  Lv2Description(const PluginCore& core, const Lv2PluginInfo& info);

  // manifest.ttl: the plug-in, its binary and where the rest is described.
  std::string Manifest(const char* pluginFile) const;
  // The plug-in's own file: metadata, features, extensions and ports.
  std::string Plugin() const;

  // Presets as the host's preset list shows them: a name and a plain value
  // per parameter, in parameter order.
  struct Preset {
    std::string name;
    std::vector<double> values;
  };
  // Their file, and the manifest's entries that point hosts at it.
  std::string Presets(const std::vector<Preset>& presets) const;
  std::string PresetManifest(const std::vector<Preset>& presets, const char* presetFile) const;
  // A preset's URI: the plug-in's with the name made a fragment.
  std::string PresetUri(const Preset& preset) const;

 private:
  const PluginCore& core_;
  const Lv2PluginInfo& info_;
};

}  // namespace kestro
