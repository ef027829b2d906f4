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
  // Hosts move a view to another parent, or attach a second view, without
  // removing the first. The one editor window moves there, keeping its
  // place and size (OpenEditorWindow closes the open one first), and the
  // view that showed it lets it go.
  Vst3EditorView* previous = plugin_->AttachedView();
  // An X11 window has no system event loop to live on: the host lends its
  // own through the frame. Windows that need none ignore it.
  std::unique_ptr<HostRunLoop> loop = FrameRunLoop(plugFrame);
  if (editor->IsWindowOpen()) editor->EndWheelEdit();
  editor->SetHostRunLoop(loop.get());
  void* window = editor->OpenEditorWindow(parent);
  if (previous != nullptr && (window != nullptr || !editor->IsWindowOpen())) previous->LetGo();
  if (window == nullptr) {
    // A parent refused before the old window closed leaves that window
    // where it was, on its own loop.
    editor->SetHostRunLoop(previous != nullptr && previous->attached_ ? previous->runLoop_.get() : nullptr);
    return kResultFalse;
  }
  runLoop_ = std::move(loop);
  attached_ = true;
  plugin_->EditorOpened();
  return kResultOk;
}

void Vst3EditorView::LetGo() {
  if (!attached_) return;
  attached_ = false;
  plugin_->EditorClosed();
  runLoop_.reset();
}

void Vst3EditorView::Detach() {
  if (!attached_) return;
  attached_ = false;
  if (GraphicsCore* editor = Editor()) {
    plugin_->EditorClosed();
    editor->EndWheelEdit();
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
