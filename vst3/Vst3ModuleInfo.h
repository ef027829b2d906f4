#pragma once

#include <cstdint>

#include "pluginterfaces/base/funknown.h"

namespace kestro {

// What the module's factory announces and how it makes an instance. The
// plug-in provides it; the adapter knows nothing else about the plug-in.
struct Vst3ModuleInfo {
  const char* vendor;
  const char* url;
  const char* email;
  uint8_t classId[16];
  const char* category;
  const char* name;
  int32_t classFlags;
  const char* subCategories;
  const char* version;
  const char* sdkVersion;
  // Makes one instance with a reference count of 1 and returns its
  // IAudioProcessor interface.
  Steinberg::FUnknown* (*create)();
};

const Vst3ModuleInfo& PluginModuleInfo();

// The module's own handle (its dlopen handle or Windows module), recorded
// when the host loads it; the editor loads its resources from it.
void SetModuleHandle(void* handle);
void* ModuleHandle();
void SetCoreModuleHandle(void* handle);
void* CoreModuleHandle();

// Called before the module hands out its first object (the factory): keeps
// the module's code mapped for as long as the platform needs, so that a host
// that unloads the module while it still holds objects does not call into
// freed code when it releases them. Implemented by the platform's entry.
void KeepModuleLoaded();

}  // namespace kestro
