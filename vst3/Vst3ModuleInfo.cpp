#include "vst3/Vst3ModuleInfo.h"

#include <atomic>

namespace kestro {

namespace {
std::atomic<void*> gModuleHandle{nullptr};
std::atomic<void*> gCoreModuleHandle{nullptr};
}  // namespace

void SetModuleHandle(void* handle) { gModuleHandle = handle; }
void* ModuleHandle() { return gModuleHandle; }
void SetCoreModuleHandle(void* handle) { gCoreModuleHandle = handle; }
void* CoreModuleHandle() { return gCoreModuleHandle; }

}  // namespace kestro
