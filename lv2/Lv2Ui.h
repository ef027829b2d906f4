#pragma once

#include <cstdint>
#include <memory>

#include "lv2/Lv2IdleRunLoop.h"
#include "lv2/Lv2Plugin.h"
#include "lv2/ui/ui.h"

namespace kestro {

class GraphicsCore;
struct Lv2PluginInfo;

// The plug-in's editor as an LV2 X11 UI: an instance of the plug-in of its
// own holds the values the editor shows, its window lives in the host's
// ui:parent, the host's idle calls drive it, edits go out through the
// host's write function inside ui:touch gestures, and the ports' values
// (the meter's among them) come in through port events.
class Lv2Ui final : private Lv2Plugin::UiLink {
 public:
  Lv2Ui(const Lv2PluginInfo& info, LV2UI_Write_Function write, LV2UI_Controller controller);
  ~Lv2Ui();
  Lv2Ui(const Lv2Ui&) = delete;
  Lv2Ui& operator=(const Lv2Ui&) = delete;

  // Opens the window in the host's parent; false without one, or when the
  // window cannot open.
  bool Open(const LV2_Feature* const* features, LV2UI_Widget* widget);
  void PortEvent(uint32_t port, uint32_t size, uint32_t format, const void* buffer);
  // One turn of the window's loop; non-zero once the window has gone.
  int Idle();

 private:
  void Touch(uint32_t port, bool grabbed) override;
  void Write(uint32_t port, float value) override;
  void Resized(int width, int height) override;

  std::unique_ptr<PluginCore> core_;
  Lv2Plugin* plugin_ = nullptr;
  GraphicsCore* editor_ = nullptr;
  Lv2IdleRunLoop loop_;
  LV2UI_Write_Function write_;
  LV2UI_Controller controller_;
  const LV2UI_Touch* touch_ = nullptr;
  const LV2UI_Resize* resize_ = nullptr;
  bool open_ = false;
};

}  // namespace kestro
