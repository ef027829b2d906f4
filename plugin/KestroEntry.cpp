// What KESTRO's module announces to hosts, and how it makes an instance.
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "plugin/Kestro.h"
#include "vst3/Vst3ModuleInfo.h"

namespace kestro {

namespace {

Steinberg::FUnknown* CreateKestro() {
  auto* plugin = new Kestro();
  return static_cast<Steinberg::Vst::IAudioProcessor*>(plugin);
}

}  // namespace

const Vst3ModuleInfo& PluginModuleInfo() {
  static const Vst3ModuleInfo info{
      "PelmarAcoustics",
      "https://pelmaracoustics.example",
      "support@pelmaracoustics.example",
      // COM layout of 0xF2AEE70D, 0x00DE4F4E, 'Pelm', 'Kro1'.
      {0x0D, 0xE7, 0xAE, 0xF2, 0xDE, 0x00, 0x4E, 0x4F, 'P', 'e', 'l', 'm', 'K', 'r', 'o', '1'},
      "Audio Module Class",
      "KESTRO",
      Steinberg::Vst::kSimpleModeSupported,
      "Fx|Dynamics",
      "6.1.0",
      "VST 3.6.12",
      &CreateKestro,
  };
  return info;
}

}  // namespace kestro
