#include "lv2/Lv2Ui.h"

#include "graphics/GraphicsCore.h"
#include "lv2/Lv2Features.h"
#include "lv2/Lv2PluginInfo.h"
#include "lv2/atom/atom.h"

namespace kestro {

Lv2Ui::Lv2Ui(const Lv2PluginInfo& info, LV2UI_Write_Function write, LV2UI_Controller controller)
    : core_(info.create()), write_(write), controller_(controller) {
  plugin_ = dynamic_cast<Lv2Plugin*>(core_.get());
  if (plugin_) plugin_->LinkUi(info, this);
  editor_ = dynamic_cast<GraphicsCore*>(core_ ? core_->Editor() : nullptr);
}

Lv2Ui::~Lv2Ui() {
  if (!open_ || !editor_) return;
  editor_->EndWheelEdit();
  core_->EditorClosed();
  editor_->CloseEditorWindow();
  editor_->SetHostRunLoop(nullptr);
}

bool Lv2Ui::Open(const LV2_Feature* const* features, LV2UI_Widget* widget) {
  const Lv2Features host(features);
  void* parent = const_cast<void*>(host.Find(LV2_UI__parent));
  if (!plugin_ || !editor_ || !parent || !widget || !write_) return false;
  touch_ = static_cast<const LV2UI_Touch*>(host.Find(LV2_UI__touch));
  resize_ = static_cast<const LV2UI_Resize*>(host.Find(LV2_UI__resize));
  // A scale from the host (ui:scaleFactor); without one the editor keeps its own.
  if (const void* scale = host.Option(LV2_UI__scaleFactor, LV2_ATOM__Float, sizeof(float))) {
    if (*static_cast<const float*>(scale) > 0.0f) editor_->SetScale(*static_cast<const float*>(scale));
  }
  editor_->SetHostRunLoop(&loop_);
  void* window = editor_->OpenEditorWindow(parent);
  if (!window) {
    editor_->SetHostRunLoop(nullptr);
    return false;
  }
  open_ = true;
  *widget = window;
  core_->EditorOpened();
  Resized(editor_->Width(), editor_->Height());
  return true;
}

void Lv2Ui::PortEvent(uint32_t port, uint32_t size, uint32_t format, const void* buffer) {
  // Control ports only (format 0: one float).
  if (format != 0 || size != sizeof(float) || !buffer || !plugin_) return;
  plugin_->ShowPortValue(port, *static_cast<const float*>(buffer));
}

int Lv2Ui::Idle() {
  if (!open_) return 1;
  loop_.Idle();
  return editor_->IsWindowOpen() ? 0 : 1;
}

void Lv2Ui::Touch(uint32_t port, bool grabbed) {
  if (touch_ && touch_->touch) touch_->touch(touch_->handle, port, grabbed);
}

void Lv2Ui::Write(uint32_t port, float value) { write_(controller_, port, sizeof value, 0, &value); }

void Lv2Ui::Resized(int width, int height) {
  if (!resize_ || !resize_->ui_resize || !editor_) return;
  resize_->ui_resize(resize_->handle, editor_->Mapping().ToDevice(width), editor_->Mapping().ToDevice(height));
}

}  // namespace kestro
