#pragma once

#include <memory>

#include "tools/host/PluginInstance.h"

namespace kestro::fuzz {

// The built module, loaded once per fuzzing process the way a host loads it
// (the first call loads it; failure aborts, since no input could run).
Steinberg::IPluginFactory& ModuleFactory();

// A fresh instance, created and initialised as a host does; aborts when the
// module cannot give one.
std::unique_ptr<PluginInstance> NewInstance();

// Stops the process with a message when a property of the plug-in does not
// hold: libFuzzer records the input that broke it.
void Require(bool holds, const char* what);

}  // namespace kestro::fuzz
