// Entry points a Linux VST3 host calls after loading and before unloading
// the module.
#include "pluginterfaces/base/fplatform.h"
#include "vst3/Vst3ModuleInfo.h"

extern "C" {

SMTG_EXPORT_SYMBOL bool ModuleEntry(void* sharedLibraryHandle) {
  kestro::SetModuleHandle(sharedLibraryHandle);
  kestro::SetCoreModuleHandle(sharedLibraryHandle);
  return true;
}

SMTG_EXPORT_SYMBOL bool ModuleExit() { return true; }

}  // extern "C"
