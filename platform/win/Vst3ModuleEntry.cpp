// Entry points of the Windows module: the library entry records the
// module's handle and folder; InitDll hands the handle to the editor side.
#include <windows.h>

#include "pluginterfaces/base/fplatform.h"
#include "vst3/Vst3ModuleInfo.h"

namespace {
// The module's folder, ending with a backslash; nothing reads it yet.
wchar_t gModuleFolder[MAX_PATH] = L"";
}  // namespace

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
