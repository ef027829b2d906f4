// Entry points of the Windows module: the library entry records the
// module's handle and folder; InitDll hands the handle to the editor side.
#include <windows.h>

#include "pluginterfaces/base/fplatform.h"
#include "vst3/Vst3ModuleInfo.h"

namespace {
// The module's folder, ending with a backslash; nothing reads it yet.
wchar_t gModuleFolder[MAX_PATH] = L"";
}  // namespace

// Windows hosts are known to call ExitDll and FreeLibrary while a plug-in
// object or the factory is still referenced (at shutdown, or after a scan);
// the later Release would then run unmapped code. Once an object has been
// handed out the module stays mapped until the process ends. A reference
// count per object cannot do this: the last FreeLibrary would have to run in
// code that it unmaps.
void kestro::KeepModuleLoaded() {
  static const bool pinned = [] {
    HMODULE self = nullptr;
    return GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                              reinterpret_cast<LPCWSTR>(&gModuleFolder), &self) != 0;
  }();
  (void)pinned;
}

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    kestro::SetModuleHandle(instance);
    const DWORD length = GetModuleFileNameW(instance, gModuleFolder, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
      if (wchar_t* slash = wcsrchr(gModuleFolder, L'\\')) slash[1] = L'\0';
    }
  }
  return TRUE;
}

SMTG_EXPORT_SYMBOL bool InitDll() {
  kestro::SetCoreModuleHandle(kestro::ModuleHandle());
  return true;
}

SMTG_EXPORT_SYMBOL bool ExitDll() { return true; }

}  // extern "C"
