#pragma once

#include <memory>

#include "graphics/HostRunLoop.h"
#include "pluginterfaces/gui/iplugviewcontentscalesupport.h"
#include "public.sdk/source/common/pluginview.h"

namespace kestro {

class GraphicsCore;
class Vst3Plugin;

// The editor as a VST3 view: opens and closes the plug-in's editor window in
// the host's parent window, reports the editor's size at its scale and
// relays the editor's own size changes to the host's frame. The scale is
// the host's content scale factor when it sends one, else what the system
// says of the parent window (Windows' DPI), else 1. Each view holds a
// reference to the plug-in, so the plug-in outlives its views.
class Vst3EditorView : public Steinberg::CPluginView, public Steinberg::IPlugViewContentScaleSupport {
 public:
  explicit Vst3EditorView(Vst3Plugin* plugin);
  ~Vst3EditorView() override;

  Steinberg::tresult PLUGIN_API isPlatformTypeSupported(Steinberg::FIDString type) override;
  Steinberg::tresult PLUGIN_API attached(void* parent, Steinberg::FIDString type) override;
  Steinberg::tresult PLUGIN_API removed() override;
  Steinberg::tresult PLUGIN_API getSize(Steinberg::ViewRect* size) override;
  Steinberg::tresult PLUGIN_API onSize(Steinberg::ViewRect* newSize) override;
  Steinberg::tresult PLUGIN_API setFrame(Steinberg::IPlugFrame* frame) override;
  Steinberg::tresult PLUGIN_API setContentScaleFactor(ScaleFactor factor) override;

  OBJ_METHODS(Vst3EditorView, CPluginView)
  DEFINE_INTERFACES
    DEF_INTERFACE(IPlugViewContentScaleSupport)
  END_DEFINE_INTERFACES(CPluginView)
  REFCOUNT_METHODS(CPluginView)

  Steinberg::IPlugFrame* Frame() const { return plugFrame; }
  bool IsAttached() const { return attached_; }
  // Asks the frame to make this view width x height editor pixels at the
  // editor's scale; the host's onSize completes it.
  void AskFrameForSize(int width, int height);

 private:
  GraphicsCore* Editor() const;
  // The editor's own size, at its scale.
  void AskFrameForEditorSize();
  void Detach();
  // The editor window has moved to another attachment: this view no longer
  // shows it and must not close it.
  void LetGo();

  Vst3Plugin* plugin_;
  // The frame's run loop while attached, for windows the host must drive.
  std::unique_ptr<HostRunLoop> runLoop_;
  bool expectingResize_ = false;
  bool attached_ = false;
  // The host's content scale factor, 0 until it sends one.
  double hostScale_ = 0.0;
};

}  // namespace kestro
