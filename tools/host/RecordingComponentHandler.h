#pragma once

#include "pluginterfaces/vst/ivstcontextmenu.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"

#include <atomic>
#include <mutex>
#include <vector>

namespace kestro {

// A component handler that records what the plug-in tells the host,
// including the parameter context menus an editor asks for (a menu that
// records where it was popped up, with the parameter in id). Editors and
// audio threads may call it at the same time, so the log is locked.
// Reference counted like any host object the plug-in keeps: make it with
// new, hold it in an IPtr (owned), and it goes with its last reference.
class RecordingComponentHandler : public Steinberg::Vst::IComponentHandler,
                                  public Steinberg::Vst::IComponentHandler3 {
 public:
  enum class Kind { kBeginEdit, kPerformEdit, kEndEdit, kRestart, kContextMenu };

  struct Call {
    Kind kind;
    Steinberg::Vst::ParamID id;       // edits only
    Steinberg::Vst::ParamValue value;  // performEdit only
    Steinberg::int32 flags;            // restartComponent only
    Steinberg::int32 x = 0, y = 0;     // where a context menu popped up
  };

  RecordingComponentHandler() = default;
  virtual ~RecordingComponentHandler() = default;

  std::vector<Call> Calls() const;
  void Clear();

  Steinberg::tresult PLUGIN_API beginEdit(Steinberg::Vst::ParamID id) override;
  Steinberg::tresult PLUGIN_API performEdit(Steinberg::Vst::ParamID id,
                                            Steinberg::Vst::ParamValue valueNormalized) override;
  Steinberg::tresult PLUGIN_API endEdit(Steinberg::Vst::ParamID id) override;
  Steinberg::tresult PLUGIN_API restartComponent(Steinberg::int32 flags) override;
  Steinberg::Vst::IContextMenu* PLUGIN_API createContextMenu(Steinberg::IPlugView* view,
                                                             const Steinberg::Vst::ParamID* paramId) override;

  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
  Steinberg::uint32 PLUGIN_API addRef() override;
  Steinberg::uint32 PLUGIN_API release() override;

 private:
  class Menu;
  void Record(const Call& call);

  mutable std::mutex mutex_;
  std::vector<Call> calls_;
  std::atomic<Steinberg::uint32> refs_{1};
};

}  // namespace kestro
