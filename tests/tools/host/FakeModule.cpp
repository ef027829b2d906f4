// Stand-ins for broken and minimal VST3 modules, built three ways (see
// CMakeLists.txt), to check how the host library loads and refuses them:
//   FAKE_EXPORTS_FACTORY  exports GetPluginFactory (answering no factory)
//   FAKE_EXPORTS_ENTRY    exports ModuleEntry and ModuleExit
//   FAKE_ENTRY_RESULT     what ModuleEntry reports
#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {
int* gEntryCalls = nullptr;
int* gExitCalls = nullptr;
void** gEntryHandle = nullptr;
}  // namespace

// Lets the test see the calls: it hands in counters it owns, which outlive
// the library.
FAKE_EXPORT void FakeWatch(int* entryCalls, int* exitCalls, void** entryHandle) {
  gEntryCalls = entryCalls;
  gExitCalls = exitCalls;
  gEntryHandle = entryHandle;
}

#if FAKE_EXPORTS_FACTORY
FAKE_EXPORT void* GetPluginFactory() { return nullptr; }
#endif

#if FAKE_EXPORTS_ENTRY
FAKE_EXPORT bool ModuleEntry(void* handle) {
  if (gEntryCalls != nullptr) ++*gEntryCalls;
  if (gEntryHandle != nullptr) *gEntryHandle = handle;
  return FAKE_ENTRY_RESULT;
}

FAKE_EXPORT bool ModuleExit() {
  if (gExitCalls != nullptr) ++*gExitCalls;
  return true;
}
#endif
