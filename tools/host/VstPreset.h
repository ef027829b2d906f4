#pragma once

#include <string>

#include "tools/host/ClassIdText.h"

namespace kestro {

class PluginInstance;

// .vstpreset files as hosts' preset browsers read and write them: the
// header with the class id, the component's state, the controller's state
// and an XML meta-info chunk naming the preset.
class VstPreset {
 public:
  // Writes the instance's current state to path under name, for hosts of
  // the platform layout names. False with the reason in error.
  static bool Save(PluginInstance& instance, const std::string& path, const std::string& name, ClassIdLayout layout,
                   std::string& error);
  // Restores the instance from path, component and controller; files the
  // same plug-in saved on the other platform (Windows or Linux) count as its
  // own. A file of another
  // plug-in (another class id) or a damaged file is refused, with the
  // reason in error.
  static bool Load(PluginInstance& instance, const std::string& path, std::string& error);
  // The preset's name from its meta-info chunk, empty when it has none.
  static std::string Name(const std::string& path);
};

}  // namespace kestro
