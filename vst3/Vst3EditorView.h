#pragma once

#include <memory>

#include "public.sdk/source/common/pluginview.h"
#include "graphics/HostRunLoop.h"

namespace kestro {

class GraphicsCore;
class Vst3Plugin;

// The editor as a VST3 view: opens and closes the plug-in's editor window in
// the host's parent window, reports the editor's fixed size and relays the
// editor's own size changes to the host's frame. Each view holds a reference
// to the plug-in, so the plug-in outlives its views.
class Vst3EditorView : public Steinberg::CPluginView {
 public:
  explicit Vst3EditorView(Vst3Plugin* plugin);
  ~Vst3EditorView() override;

  Steinberg::tresult PLUGIN_API isPlatformTypeSupported(Steinberg::FIDString type) override;
  Steinberg::tresult PLUGIN_API attached(void* parent, Steinberg::FIDString type) override;
  Steinberg::tresult PLUGIN_API removed() override;
  Steinberg::tresult PLUGIN_API getSize(Steinberg::ViewRect* size) override;
  Steinberg::tresult PLUGIN_API onSize(Steinberg::ViewRect* newSize) override;
  Steinberg::tresult PLUGIN_API setFrame(Steinberg::IPlugFrame* frame) override;

  Steinberg::IPlugFrame* Frame() const { return plugFrame; }
  bool IsAttached() const { return attached_; }
  // The plug-in asked the host to resize this view; onSize completes it.
  void ExpectResize() { expectingResize_ = true; }

 private:
  GraphicsCore* Editor() const;
  void Detach();
  // The editor window has moved to another attachment: this view no longer
  // shows it and must not close it.
  void LetGo();

  Vst3Plugin* plugin_;
  // The frame's run loop while attached, for windows the host must drive.
  std::unique_ptr<HostRunLoop> runLoop_;
  bool expectingResize_ = false;
  bool attached_ = false;
};

}  // namespace kestro
