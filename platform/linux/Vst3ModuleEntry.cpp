// Entry points a Linux VST3 host calls after loading and before unloading
// the module.
#include "pluginterfaces/base/fplatform.h"
#include "vst3/Vst3ModuleInfo.h"

// Linux hosts call ModuleExit and dlclose only after releasing the module's
// objects, and the sanitizer builds unload and reload the module on purpose
// to check its exit; nothing is pinned here.
void kestro::KeepModuleLoaded() {}

extern "C" {

SMTG_EXPORT_SYMBOL bool ModuleEntry(void* sharedLibraryHandle) {
  kestro::SetModuleHandle(sharedLibraryHandle);
  kestro::SetCoreModuleHandle(sharedLibraryHandle);
  return true;
}

SMTG_EXPORT_SYMBOL bool ModuleExit() { return true; }

}  // extern "C"
