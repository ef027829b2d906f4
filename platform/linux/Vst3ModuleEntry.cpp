// Entry points a Linux VST3 host calls after loading and before unloading
// the module.
#include "pluginterfaces/base/fplatform.h"
#include "vst3/Vst3ModuleInfo.h"

// Not pinned on Linux: the sanitizer builds unload and reload the module on
// purpose to check its exit. A Linux host that calls dlclose while it holds
// the module's objects is not guarded against.
void kestro::KeepModuleLoaded() {}

extern "C" {

SMTG_EXPORT_SYMBOL bool ModuleEntry(void* sharedLibraryHandle) {
  kestro::SetModuleHandle(sharedLibraryHandle);
  kestro::SetCoreModuleHandle(sharedLibraryHandle);
  return true;
}

SMTG_EXPORT_SYMBOL bool ModuleExit() { return true; }

}  // extern "C"
