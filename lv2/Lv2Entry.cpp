// The LV2 module's one exported symbol: the descriptor of the plug-in the
// module was built with (PluginLv2Info), forwarding to its Lv2Plugin.
#include <new>
#include <string_view>

#include "lv2/Lv2Plugin.h"
#include "lv2/Lv2PluginInfo.h"

namespace kestro {
namespace {

Lv2Plugin* Of(LV2_Handle handle) { return static_cast<Lv2Plugin*>(handle); }

LV2_Handle Instantiate(const LV2_Descriptor*, double sampleRate, const char*, const LV2_Feature* const* features) {
  const Lv2PluginInfo& info = PluginLv2Info();
  PluginCore* core = nullptr;
  try {
    core = info.create();
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  auto* plugin = dynamic_cast<Lv2Plugin*>(core);
  if (!plugin || !plugin->Instantiate(info, sampleRate, features)) {
    delete core;
    return nullptr;
  }
  return plugin;
}

void ConnectPort(LV2_Handle handle, uint32_t port, void* data) { Of(handle)->ConnectPort(port, data); }
void Activate(LV2_Handle handle) { Of(handle)->Activate(); }
void Run(LV2_Handle handle, uint32_t frames) { Of(handle)->Run(frames); }
void Deactivate(LV2_Handle handle) { Of(handle)->Deactivate(); }
void Cleanup(LV2_Handle handle) { delete Of(handle); }

LV2_State_Status Save(LV2_Handle handle, LV2_State_Store_Function store, LV2_State_Handle state, uint32_t,
                      const LV2_Feature* const*) {
  return Of(handle)->SaveState(store, state);
}

LV2_State_Status Restore(LV2_Handle handle, LV2_State_Retrieve_Function retrieve, LV2_State_Handle state, uint32_t,
                         const LV2_Feature* const*) {
  return Of(handle)->RestoreState(retrieve, state);
}

const void* ExtensionData(const char* uri) {
  static const LV2_State_Interface state{&Save, &Restore};
  if (uri && std::string_view(uri) == LV2_STATE__interface) return &state;
  return nullptr;
}

}  // namespace
}  // namespace kestro

extern "C" __attribute__((visibility("default"))) const LV2_Descriptor* lv2_descriptor(uint32_t index) {
  static const LV2_Descriptor descriptor{kestro::PluginLv2Info().uri,
                                         &kestro::Instantiate,
                                         &kestro::ConnectPort,
                                         &kestro::Activate,
                                         &kestro::Run,
                                         &kestro::Deactivate,
                                         &kestro::Cleanup,
                                         &kestro::ExtensionData};
  return index == 0 ? &descriptor : nullptr;
}
