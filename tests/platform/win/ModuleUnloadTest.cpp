// The Windows module against hosts that get the module protocol wrong or
// stretch it: unloading while objects are still referenced, and nested
// InitDll/ExitDll pairs from two loads of the same module.
#include "tools/host/PluginInstance.h"

#include <windows.h>

#include "pluginterfaces/base/ipluginbase.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace kestro::test {
namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;

using BoolProc = bool (*)();
using FactoryProc = IPluginFactory* (*)();

std::wstring ModulePath() {
  std::wstring path;
  for (const char* c = KESTRO_MODULE_PATH; *c != '\0'; ++c) path += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
  return path;
}

// What a host keeps of one LoadLibrary.
struct Loaded {
  HMODULE module = nullptr;
  BoolProc init = nullptr;
  BoolProc exit = nullptr;
  FactoryProc factory = nullptr;
};

Loaded Load() {
  Loaded l;
  l.module = LoadLibraryW(ModulePath().c_str());
  if (l.module != nullptr) {
    l.init = reinterpret_cast<BoolProc>(GetProcAddress(l.module, "InitDll"));
    l.exit = reinterpret_cast<BoolProc>(GetProcAddress(l.module, "ExitDll"));
    l.factory = reinterpret_cast<FactoryProc>(GetProcAddress(l.module, "GetPluginFactory"));
  }
  return l;
}

bool ModuleMapped() {
  const std::wstring path = ModulePath();
  return GetModuleHandleW(path.substr(path.find_last_of(L'\\') + 1).c_str()) != nullptr;
}

// One 32-bit block of a 1 kHz sine through a started instance; true when the
// output is finite and not silent.
bool ProcessesAudio(PluginInstance& instance) {
  constexpr int kFrames = 256;
  std::vector<float> left(kFrames), right(kFrames), outLeft(kFrames), outRight(kFrames);
  for (int i = 0; i < kFrames; ++i) {
    left[static_cast<size_t>(i)] = right[static_cast<size_t>(i)] =
        static_cast<float>(0.5 * std::sin(2.0 * 3.14159265358979 * 1000.0 * i / 44100.0));
  }
  float* in[] = {left.data(), right.data()};
  float* out[] = {outLeft.data(), outRight.data()};
  if (instance.Process(kFrames, in, nullptr, out) != kResultOk) return false;
  float energy = 0.0f;
  for (int i = 0; i < kFrames; ++i) {
    if (!std::isfinite(outLeft[static_cast<size_t>(i)]) || !std::isfinite(outRight[static_cast<size_t>(i)])) return false;
    energy += std::fabs(outLeft[static_cast<size_t>(i)]);
  }
  return energy > 0.0f;
}

std::unique_ptr<PluginInstance> StartedInstance(IPluginFactory* factory) {
  std::string error;
  auto instance = PluginInstance::CreateFirstEffect(factory, error);
  EXPECT_NE(instance, nullptr) << error;
  if (instance == nullptr) return nullptr;
  PluginInstance::Setup setup;
  setup.maxBlock = 256;
  EXPECT_TRUE(instance->Start(setup, error)) << error;
  return instance;
}

TEST(ModuleUnload, ObjectsHeldPastExitDllAndFreeLibraryStillWorkAndReleaseCleanly) {
  Loaded l = Load();
  ASSERT_NE(l.module, nullptr);
  ASSERT_TRUE(l.init && l.exit && l.factory);
  ASSERT_TRUE(l.init());
  IPluginFactory* factory = l.factory();
  ASSERT_NE(factory, nullptr);
  auto instance = StartedInstance(factory);
  ASSERT_NE(instance, nullptr);

  // The host drops the module first, its objects later.
  EXPECT_TRUE(l.exit());
  EXPECT_TRUE(FreeLibrary(l.module));
  EXPECT_TRUE(ModuleMapped()) << "the module was unmapped under live objects";

  EXPECT_TRUE(ProcessesAudio(*instance));
  PClassInfo info{};
  EXPECT_EQ(factory->getClassInfo(0, &info), kResultOk);
  EXPECT_STREQ(info.name, "KESTRO");
  instance.reset();
  EXPECT_EQ(factory->release(), 0u);
}

TEST(ModuleUnload, AModuleWhoseFactoryWasNeverAskedForUnloads) {
  Loaded l = Load();
  ASSERT_NE(l.module, nullptr);
  ASSERT_TRUE(l.init && l.exit);
  EXPECT_TRUE(l.init());
  EXPECT_TRUE(l.exit());
  EXPECT_TRUE(FreeLibrary(l.module));
  EXPECT_FALSE(ModuleMapped());
}

TEST(ModuleUnload, TwoLoadsWithNestedInitAndExitStayBalanced) {
  Loaded first = Load();
  Loaded second = Load();
  ASSERT_NE(first.module, nullptr);
  ASSERT_EQ(first.module, second.module) << "one module, two references";
  ASSERT_TRUE(first.init());
  ASSERT_TRUE(second.init());

  auto instance = StartedInstance(IPtr<IPluginFactory>(owned(first.factory())));
  ASSERT_NE(instance, nullptr);
  // The first user leaves; the second one's module must be whole.
  EXPECT_TRUE(first.exit());
  EXPECT_TRUE(FreeLibrary(first.module));
  EXPECT_TRUE(ProcessesAudio(*instance));
  {
    IPtr<IPluginFactory> factory = owned(second.factory());
    ASSERT_NE(factory, nullptr);
    auto another = StartedInstance(factory);
    ASSERT_NE(another, nullptr);
    EXPECT_TRUE(ProcessesAudio(*another));
  }
  instance.reset();
  EXPECT_TRUE(second.exit());
  EXPECT_TRUE(FreeLibrary(second.module));
}

}  // namespace
}  // namespace kestro::test
