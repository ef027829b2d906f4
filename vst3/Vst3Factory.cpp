// The module's factory: one class, made under a process-wide creation lock.
// Compiled into the module itself so that GetPluginFactory is exported.
#include <cstring>
#include <mutex>

#include "pluginterfaces/base/ipluginbase.h"
#include "public.sdk/source/main/pluginfactory.h"
#include "vst3/Vst3ModuleInfo.h"

using namespace Steinberg;

namespace kestro {
namespace {

std::mutex& CreationLock() {
  static std::mutex lock;  // made on first use, gone when the module unloads
  return lock;
}

FUnknown* CreateInstance(void*) {
  std::lock_guard lock(CreationLock());
  return PluginModuleInfo().create();
}

template <size_t N>
void CopyText(char (&field)[N], const char* text) {
  std::memset(field, 0, N);
  if (text) std::strncpy(field, text, N - 1);
}

const PFactoryInfo& FactoryInfo() {
  static const PFactoryInfo info = [] {
    PFactoryInfo i{};
    const Vst3ModuleInfo& m = PluginModuleInfo();
    CopyText(i.vendor, m.vendor);
    CopyText(i.url, m.url);
    CopyText(i.email, m.email);
    i.flags = PFactoryInfo::kUnicode;
    return i;
  }();
  return info;
}

const PClassInfo2& ClassInfo() {
  static const PClassInfo2 info = [] {
    PClassInfo2 c{};
    const Vst3ModuleInfo& m = PluginModuleInfo();
    std::memcpy(c.cid, m.classId, sizeof c.cid);
    c.cardinality = PClassInfo::kManyInstances;
    CopyText(c.category, m.category);
    CopyText(c.name, m.name);
    c.classFlags = static_cast<uint32>(m.classFlags);
    CopyText(c.subCategories, m.subCategories);
    CopyText(c.vendor, "");
    CopyText(c.version, m.version);
    CopyText(c.sdkVersion, m.sdkVersion);
    return c;
  }();
  return info;
}

}  // namespace
}  // namespace kestro

extern "C" SMTG_EXPORT_SYMBOL IPluginFactory* PLUGIN_API GetPluginFactory() {
  // Hosts normally ask from one thread at load time; scanners that load
  // several plug-ins in parallel must still get one factory.
  static std::mutex factoryLock;
  std::lock_guard lock(factoryLock);
  if (gPluginFactory) {
    gPluginFactory->addRef();
    return gPluginFactory;
  }
  kestro::KeepModuleLoaded();
  auto* factory = new CPluginFactory(kestro::FactoryInfo());
  factory->registerClass(&kestro::ClassInfo(), kestro::CreateInstance, nullptr);
  gPluginFactory = factory;
  return factory;
}
