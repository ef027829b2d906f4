#include "fuzz/ModuleUnderFuzz.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tools/host/Vst3Module.h"

namespace kestro::fuzz {

Steinberg::IPluginFactory& ModuleFactory() {
  // Kept until exit: unloading between inputs would lose the coverage the
  // module's counters registered at load.
  static std::unique_ptr<Vst3Module> module = [] {
    std::string error;
    auto loaded = Vst3Module::Load(KESTRO_BUNDLE_PATH, error);
    if (loaded == nullptr || loaded->Factory() == nullptr) {
      std::fprintf(stderr, "cannot load %s: %s\n", KESTRO_BUNDLE_PATH, error.c_str());
      std::abort();
    }
    return loaded;
  }();
  return *module->Factory();
}

std::unique_ptr<PluginInstance> NewInstance() {
  std::string error;
  auto instance = PluginInstance::CreateFirstEffect(&ModuleFactory(), error);
  if (instance == nullptr) {
    std::fprintf(stderr, "no instance: %s\n", error.c_str());
    std::abort();
  }
  return instance;
}

void Require(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "property broken: %s\n", what);
  std::abort();
}

}  // namespace kestro::fuzz

// Every module fuzzer loads the module before the first input, so that its
// coverage counters are registered while libFuzzer sets up.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  kestro::fuzz::ModuleFactory();
  return 0;
}
