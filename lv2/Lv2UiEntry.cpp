// The LV2 editor module's one exported symbol: the X11 UI of the plug-in
// the module was built with, forwarding to its Lv2Ui.
#include <cstring>
#include <new>

#include "lv2/Lv2PluginInfo.h"
#include "lv2/Lv2Ui.h"

namespace kestro {
namespace {

Lv2Ui* Of(LV2UI_Handle handle) { return static_cast<Lv2Ui*>(handle); }

LV2UI_Handle Instantiate(const LV2UI_Descriptor*, const char* pluginUri, const char*, LV2UI_Write_Function write,
                         LV2UI_Controller controller, LV2UI_Widget* widget, const LV2_Feature* const* features) {
  const Lv2PluginInfo& info = PluginLv2Info();
  if (!pluginUri || std::strcmp(pluginUri, info.uri) != 0) return nullptr;
  Lv2Ui* ui = new (std::nothrow) Lv2Ui(info, write, controller);
  if (ui && !ui->Open(features, widget)) {
    delete ui;
    return nullptr;
  }
  return ui;
}

void Cleanup(LV2UI_Handle handle) { delete Of(handle); }

void PortEvent(LV2UI_Handle handle, uint32_t port, uint32_t size, uint32_t format, const void* buffer) {
  Of(handle)->PortEvent(port, size, format, buffer);
}

int Idle(LV2UI_Handle handle) { return Of(handle)->Idle(); }

const void* ExtensionData(const char* uri) {
  static const LV2UI_Idle_Interface idle{&Idle};
  if (uri && std::strcmp(uri, LV2_UI__idleInterface) == 0) return &idle;
  return nullptr;
}

}  // namespace
}  // namespace kestro

extern "C" __attribute__((visibility("default"))) const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index) {
  static const LV2UI_Descriptor descriptor{kestro::PluginLv2Info().uiUri, &kestro::Instantiate, &kestro::Cleanup,
                                           &kestro::PortEvent, &kestro::ExtensionData};
  return index == 0 ? &descriptor : nullptr;
}
