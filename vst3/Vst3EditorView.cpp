#include "vst3/Vst3EditorView.h"

#include "graphics/GraphicsCore.h"
#include "vst3/FrameRunLoop.h"
#include "vst3/Vst3Plugin.h"

namespace kestro {

using namespace Steinberg;

Vst3EditorView::Vst3EditorView(Vst3Plugin* plugin) : CPluginView(nullptr), plugin_(plugin) { plugin_->addRef(); }

Vst3EditorView::~Vst3EditorView() {
  // A host that releases an attached view without removed() must not leave
  // a window behind that points into a plug-in about to go.
  Detach();
  plugin_->ForgetView(this);
  plugin_->release();
}

GraphicsCore* Vst3EditorView::Editor() const { return dynamic_cast<GraphicsCore*>(plugin_->Editor()); }

tresult PLUGIN_API Vst3EditorView::isPlatformTypeSupported(FIDString type) {
  GraphicsCore* editor = Editor();
  if (editor == nullptr || type == nullptr) return kResultFalse;
  return editor->SupportsWindowType(type) ? kResultOk : kResultFalse;
}

tresult PLUGIN_API Vst3EditorView::attached(void* parent, FIDString type) {
  GraphicsCore* editor = Editor();
  if (editor == nullptr || type == nullptr || !editor->SupportsWindowType(type)) return kResultFalse;
  // One editor, one window: a second view cannot show it at the same time.
  if (attached_ || editor->IsWindowOpen()) return kResultFalse;
  // An X11 window has no system event loop to live on: the host lends its
  // own through the frame. Windows that need none ignore it.
  runLoop_ = FrameRunLoop(plugFrame);
  editor->SetHostRunLoop(runLoop_.get());
  if (editor->OpenEditorWindow(parent) == nullptr) {
    editor->SetHostRunLoop(nullptr);
    runLoop_.reset();
    return kResultFalse;
  }
  attached_ = true;
  plugin_->EditorOpened();
  return kResultOk;
}

void Vst3EditorView::Detach() {
  if (!attached_) return;
  attached_ = false;
  if (GraphicsCore* editor = Editor()) {
    plugin_->EditorClosed();
    editor->CloseEditorWindow();
    editor->SetHostRunLoop(nullptr);
  }
  runLoop_.reset();
}

tresult PLUGIN_API Vst3EditorView::removed() {
  Detach();
  systemWindow = nullptr;
  removedFromParent();
  return kResultOk;
}

tresult PLUGIN_API Vst3EditorView::getSize(ViewRect* size) {
  GraphicsCore* editor = Editor();
  if (editor == nullptr || size == nullptr) return kResultFalse;
  *size = ViewRect(0, 0, editor->Width(), editor->Height());
  return kResultOk;
}

tresult PLUGIN_API Vst3EditorView::onSize(ViewRect* newSize) {
  if (newSize == nullptr) return kResultOk;
  rect = *newSize;
  if (expectingResize_) {
    expectingResize_ = false;
    plugin_->EditorResized();
  }
  return kResultOk;
}

tresult PLUGIN_API Vst3EditorView::setFrame(IPlugFrame* frame) {
  plugFrame = frame;
  return kResultOk;
}

}  // namespace kestro
