#include "vst3/Vst3EditorView.h"

#include <cmath>

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
  // A factor from the host wins; without one the system may know the
  // screen's (a DPI-aware Windows host), else the editor keeps its scale.
  double scale = hostScale_;
  if (scale <= 0.0) scale = editor->SystemScaleFor(parent);
  const bool rescaled = scale > 0.0 && editor->SetScale(scale);
  editor->SetFollowsSystemScale(hostScale_ <= 0.0);
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
  // The host sized its window from getSize at the old scale.
  if (rescaled) AskFrameForEditorSize();
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
  // A view not showing the editor yet answers for the factor it was sent,
  // which it will take on attaching.
  const ScaleMapping mapping = attached_ || hostScale_ <= 0.0 ? editor->Mapping() : ScaleMapping(hostScale_);
  *size = ViewRect(0, 0, mapping.ToDevice(editor->Width()), mapping.ToDevice(editor->Height()));
  return kResultOk;
}

tresult PLUGIN_API Vst3EditorView::setContentScaleFactor(ScaleFactor factor) {
  if (!(factor > 0.0f) || !std::isfinite(factor)) return kInvalidArgument;
  GraphicsCore* editor = Editor();
  if (editor == nullptr) return kResultFalse;
  hostScale_ = ScaleMapping(factor).Scale();
  // The editor is shared by every view of the plug-in: only the one showing
  // it, or any while none does, sets its scale.
  if (attached_ || plugin_->AttachedView() == nullptr) {
    editor->SetFollowsSystemScale(false);
    if (editor->SetScale(hostScale_) && attached_) AskFrameForEditorSize();
  }
  return kResultOk;
}

void Vst3EditorView::AskFrameForSize(int width, int height) {
  GraphicsCore* editor = Editor();
  if (editor == nullptr || plugFrame == nullptr) return;
  expectingResize_ = true;
  ViewRect size(0, 0, editor->Mapping().ToDevice(width), editor->Mapping().ToDevice(height));
  plugFrame->resizeView(this, &size);
}

void Vst3EditorView::AskFrameForEditorSize() {
  if (GraphicsCore* editor = Editor()) AskFrameForSize(editor->Width(), editor->Height());
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
