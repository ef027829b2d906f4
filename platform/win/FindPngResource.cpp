// Windows half of FindPngResource: module resources of type "PNG" in the
// module that holds this code (the plug-in DLL, not the host executable).
#include "graphics/raster/PngResource.h"

#include <windows.h>

namespace kestro {

namespace {

// Any address inside this module identifies it.
const char kModuleAnchor = 0;

HMODULE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     &kModuleAnchor, &module);
  return module;
}

}  // namespace

std::span<const uint8_t> FindPngResource(int id) {
  if (id < 1 || id > 0xFFFF) return {};
  HMODULE module = ThisModule();
  if (module == nullptr) return {};
  HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(id), "PNG");
  if (resource == nullptr) return {};
  const DWORD size = SizeofResource(module, resource);
  HGLOBAL loaded = LoadResource(module, resource);
  if (loaded == nullptr || size == 0) return {};
  // Resource memory stays mapped while the module is loaded.
  const void* bytes = LockResource(loaded);
  if (bytes == nullptr) return {};
  return {static_cast<const uint8_t*>(bytes), static_cast<size_t>(size)};
}

}  // namespace kestro
