#pragma once

#include <cstdint>
#include <vector>

#include "core/PluginCore.h"
#include "lv2/Lv2Ports.h"
#include "lv2/core/lv2.h"
#include "lv2/state/state.h"
#include "lv2/urid/urid.h"

namespace kestro {

struct Lv2PluginInfo;

// The plug-in core presented to an LV2 host: ports connected by the host,
// control inputs applied when they change, 32-bit audio converted to the
// core's double precision and back, and the state extension carrying the
// same bytes as the VST3 module's state.
class Lv2Plugin : public PluginCore {
 public:
  Lv2Plugin(int paramCount, const char* channelIOString, int presetCount, const char* effectName,
            const char* productName, const char* makerName, int32_t version, int32_t uniqueId, int32_t makerId,
            int latency = 0);
  ~Lv2Plugin() override;

  // Called once after construction, with the host's sample rate and
  // features. False when the host lacks what the plug-in needs.
  bool Instantiate(const Lv2PluginInfo& info, double sampleRate, const LV2_Feature* const* features);
  void ConnectPort(uint32_t port, void* data);
  void Activate();
  void Run(uint32_t frames);
  void Deactivate();

  LV2_State_Status SaveState(LV2_State_Store_Function store, LV2_State_Handle handle);
  LV2_State_Status RestoreState(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle);

  const Lv2Ports& Ports() const { return ports_; }

  // The editor's side. Its instance holds the values the editor shows and
  // sends the editor's edits to the host's plug-in as port writes.
  class UiLink {
   public:
    virtual void Touch(uint32_t port, bool grabbed) = 0;
    virtual void Write(uint32_t port, float value) = 0;
    // The window's size in device pixels changed.
    virtual void Resized(int width, int height) = 0;

   protected:
    ~UiLink() = default;
  };
  // Makes this the editor's instance (it processes no audio).
  void LinkUi(const Lv2PluginInfo& info, UiLink* link);
  // A value the host's port holds now: shown, never sent back.
  void ShowPortValue(uint32_t port, float value);

  void BeginParamEdit(int index) override;
  void PerformParamEdit(int index, double normalized) override;
  void EndParamEdit(int index) override;
  void ResizeEditor(int width, int height) override;

  // The key and type the state is stored under.
  static constexpr const char* kStateKey = "https://pelmaracoustics.example/lv2/state#chunk";

 private:
  void ApplyControls();
  // The bytes the VST3 module's getState writes: the parameters, then the
  // host bypass as a 32-bit integer.
  void StateBytes(std::vector<uint8_t>& bytes);

  const Lv2PluginInfo* info_ = nullptr;
  Lv2Ports ports_;
  std::vector<float*> audio_;           // inputs, then outputs
  std::vector<const float*> controls_;  // one per parameter
  std::vector<float> lastControls_;     // what the ports said when last applied
  const float* enabled_ = nullptr;
  float* latencyOut_ = nullptr;
  float* meterOut_ = nullptr;
  LV2_URID_Map* map_ = nullptr;
  LV2_URID stateKey_ = 0;
  LV2_URID chunkType_ = 0;
  UiLink* uiLink_ = nullptr;
};

}  // namespace kestro
