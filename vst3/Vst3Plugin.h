#pragma once

#include <algorithm>
#include <vector>

#include "core/PluginCore.h"
#include "vst3/Vst3EditorView.h"
#include "pluginterfaces/vst/ivstprocesscontext.h"
#include "public.sdk/source/vst/vstsinglecomponenteffect.h"

namespace kestro {

// The plug-in core presented to a VST3 host as one object that is both the
// audio component and the edit controller.
class Vst3Plugin : public PluginCore, public Steinberg::Vst::SingleComponentEffect {
 public:
  using tresult = Steinberg::tresult;
  using ParamID = Steinberg::Vst::ParamID;
  using ParamValue = Steinberg::Vst::ParamValue;

  static constexpr ParamID kPresetParamId = 0x70727374;  // 'prst'
  static constexpr ParamID kBypassParamId = 0x62706173;  // 'bpas'

  Vst3Plugin(int paramCount, const char* channelIOString, int presetCount, const char* effectName,
             const char* productName, const char* makerName, int32_t version, int32_t uniqueId, int32_t makerId,
             int latency = 0);
  ~Vst3Plugin() override;

  // --- IPluginBase ---
  tresult PLUGIN_API initialize(Steinberg::FUnknown* context) override;

  // --- IComponent ---
  tresult PLUGIN_API getControllerClassId(Steinberg::TUID classId) override;
  tresult PLUGIN_API setIoMode(Steinberg::Vst::IoMode mode) override;
  tresult PLUGIN_API getRoutingInfo(Steinberg::Vst::RoutingInfo& in, Steinberg::Vst::RoutingInfo& out) override;
  tresult PLUGIN_API setActive(Steinberg::TBool state) override;
  // One override answers both IComponent's and IEditController's state calls.
  tresult PLUGIN_API setState(Steinberg::IBStream* state) override;
  tresult PLUGIN_API getState(Steinberg::IBStream* state) override;

  // --- IAudioProcessor ---
  tresult PLUGIN_API setBusArrangements(Steinberg::Vst::SpeakerArrangement* inputs, Steinberg::int32 numIns,
                                        Steinberg::Vst::SpeakerArrangement* outputs,
                                        Steinberg::int32 numOuts) override;
  tresult PLUGIN_API canProcessSampleSize(Steinberg::int32 symbolicSampleSize) override;
  Steinberg::uint32 PLUGIN_API getLatencySamples() override;
  tresult PLUGIN_API setupProcessing(Steinberg::Vst::ProcessSetup& setup) override;
  tresult PLUGIN_API setProcessing(Steinberg::TBool state) override;
  tresult PLUGIN_API process(Steinberg::Vst::ProcessData& data) override;
  Steinberg::uint32 PLUGIN_API getTailSamples() override;

  // --- IEditController ---
  tresult PLUGIN_API setComponentState(Steinberg::IBStream* state) override;
  tresult PLUGIN_API getParameterInfo(Steinberg::int32 paramIndex, Steinberg::Vst::ParameterInfo& info) override;
  tresult PLUGIN_API getParamStringByValue(ParamID id, ParamValue normalized,
                                           Steinberg::Vst::String128 text) override;
  ParamValue PLUGIN_API plainParamToNormalized(ParamID id, ParamValue plain) override;
  ParamValue PLUGIN_API getParamNormalized(ParamID id) override;
  tresult PLUGIN_API setParamNormalized(ParamID id, ParamValue normalized) override;
  Steinberg::IPlugView* PLUGIN_API createView(Steinberg::FIDString name) override;

  // --- IUnitInfo ---
  Steinberg::int32 PLUGIN_API getUnitCount() override;
  tresult PLUGIN_API getUnitInfo(Steinberg::int32 unitIndex, Steinberg::Vst::UnitInfo& info) override;
  Steinberg::int32 PLUGIN_API getProgramListCount() override;
  tresult PLUGIN_API getProgramListInfo(Steinberg::int32 listIndex, Steinberg::Vst::ProgramListInfo& info) override;
  tresult PLUGIN_API getProgramName(Steinberg::Vst::ProgramListID listId, Steinberg::int32 programIndex,
                                    Steinberg::Vst::String128 name) override;
  tresult PLUGIN_API getProgramInfo(Steinberg::Vst::ProgramListID listId, Steinberg::int32 programIndex,
                                    Steinberg::Vst::CString attributeId, Steinberg::Vst::String128 value) override;
  tresult PLUGIN_API hasProgramPitchNames(Steinberg::Vst::ProgramListID listId,
                                          Steinberg::int32 programIndex) override;
  tresult PLUGIN_API getProgramPitchName(Steinberg::Vst::ProgramListID listId, Steinberg::int32 programIndex,
                                         Steinberg::int16 midiPitch, Steinberg::Vst::String128 name) override;
  Steinberg::Vst::UnitID PLUGIN_API getSelectedUnit() override;
  tresult PLUGIN_API selectUnit(Steinberg::Vst::UnitID unitId) override;
  tresult PLUGIN_API getUnitByBus(Steinberg::Vst::MediaType type, Steinberg::Vst::BusDirection dir,
                                  Steinberg::int32 busIndex, Steinberg::int32 channel,
                                  Steinberg::Vst::UnitID& unitId) override;
  tresult PLUGIN_API setUnitProgramData(Steinberg::int32 listOrUnitId, Steinberg::int32 programIndex,
                                        Steinberg::IBStream* data) override;

  // --- Reference counting: FObject's release reads the count again after
  // another thread may already have deleted the object. ---
  Steinberg::uint32 PLUGIN_API addRef() override;
  Steinberg::uint32 PLUGIN_API release() override;

  // --- Core operations that reach the host ---
  void BeginParamEdit(int index) override;
  void PerformParamEdit(int index, double normalized) override;
  void EndParamEdit(int index) override;
  void ShowHostParamMenu(int index, int x, int y) override;
  void ResizeEditor(int width, int height) override;

  // --- Editor views ---
  int ViewCount() const { return static_cast<int>(views_.size()); }
  // Called by a view that is going away.
  void ForgetView(Vst3EditorView* view);
  // The view the editor window is shown in, or null.
  Vst3EditorView* AttachedView() const;
  // The attached view, else the first one the host holds, or null.
  Vst3EditorView* ActiveView() const;
  void ChangeLatency(int samples) override;
  bool SendMidiMessage(const MidiMessage& message) override;
  bool IsRenderingOffline() override;
  int SamplePosition() override;
  double Tempo() override;
  void TimeSignature(int& numerator, int& denominator) override;
  void TimeInfo(TransportSnapshot& info) override;

  OBJ_METHODS(Vst3Plugin, SingleComponentEffect)

 protected:
  int SidechainChannels() const { return sidechainChannels_; }

 private:
  void ApplyParameterChanges(Steinberg::Vst::IParameterChanges* changes);
  void HandleEvents(Steinberg::Vst::IEventList* events);
  // Processes frames samples of the host's buffers, starting at offset, in
  // pieces no larger than the scratch arrays.
  void ProcessAudio(Steinberg::Vst::ProcessData& data, int frames);
  // Zeroes every output array the host gave, in the block's own precision.
  static void SilenceOutputs(Steinberg::Vst::ProcessData& data, int frames);
  void ConnectInputs(Steinberg::Vst::ProcessData& data, bool doubles);
  void ConnectOutputs(Steinberg::Vst::ProcessData& data, bool doubles);
  bool IsPluginParam(ParamID id) const { return id < static_cast<ParamID>(ParamCount()); }

  // Channels at the end of the core's inputs that come from the sidechain bus.
  int sidechainChannels_ = 2;
  bool sidechainConnected_ = false;
  Steinberg::Vst::ProcessContext lastContext_{};
  // Group names of the parameters, in the order initialisation met them;
  // unit k + 1 is group k. The texts belong to the parameter entries.
  std::vector<const char*> groups_;
  // Per input and output channel: the host array feeding it this block (float
  // or double by the processing setup), or null for silence / discard.
  std::vector<const void*> inputSources_;
  std::vector<void*> outputDestinations_;
  // The views the host holds (not owned: each is the host's).
  std::vector<Vst3EditorView*> views_;
};

}  // namespace kestro
