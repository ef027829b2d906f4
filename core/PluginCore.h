#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/ChannelIOConfig.h"
#include "core/FixedText.h"
#include "core/HostId.h"
#include "core/IEditor.h"
#include "core/IParamEntry.h"
#include "core/InputChannel.h"
#include "core/LatencyDelay.h"
#include "core/MidiMessage.h"
#include "core/OutputChannel.h"
#include "core/PresetSlot.h"
#include "core/StateChunk.h"
#include "core/TransportSnapshot.h"

namespace kestro {

enum class PluginApi : int32_t {
  Vst3 = 1,
};

// The host-neutral core of a plug-in: identity, channel configurations,
// parameters, presets, the parameter lock, the editor and the buffer
// plumbing between host buffers and double-precision processing.
//
// The plug-in overrides the three processing hooks; a host adapter derives
// from it and implements the operations that talk to the host.
class PluginCore {
 public:
  using NameText = FixedText<128>;

  PluginCore(int paramCount, const char* channelIOString, int presetCount, const char* effectName,
             const char* productName, const char* makerName, int32_t version, int32_t uniqueId, int32_t makerId,
             int latency = 0);
  virtual ~PluginCore();
  PluginCore(const PluginCore&) = delete;
  PluginCore& operator=(const PluginCore&) = delete;

  // --- Hooks for the plug-in ---
  virtual void ResetProcessing();
  virtual void ParamChanged(int index);
  // Default: output i copies input i (for i below both channel counts); the
  // other outputs are zeroed.
  virtual void ProcessDoubles(double** inputs, double** outputs, int frames);
  virtual void EditorOpened() {}
  virtual void EditorClosed() {}
  virtual void ActivationChanged(bool active);
  virtual void HandleMidiMessage(const MidiMessage& message);
  virtual bool WriteState(StateChunk& chunk);
  virtual int ReadState(const StateChunk& chunk, int start);
  // True when every current value matches stored double number start + i
  // of bytes to single precision (within 0.00001).
  virtual bool StateMatches(const StateChunk& bytes, int start);
  virtual void EditorResized() {}
  virtual void HostDetected() {}

  // --- Host-facing operations; the adapter provides them ---
  // (x, y) in the editor window's device pixels, as hosts place menus.
  virtual void ShowHostParamMenu(int index, int x, int y);
  virtual void SetParamFromEditor(int index, double normalized);
  virtual void BeginParamEdit(int index);
  virtual void PerformParamEdit(int index, double normalized);
  virtual void EndParamEdit(int index);
  virtual bool IsRenderingOffline();
  virtual int SamplePosition();
  virtual double Tempo();
  virtual void TimeSignature(int& numerator, int& denominator);
  virtual void TimeInfo(TransportSnapshot& info);
  virtual HostId HostKind() const { return host_; }
  virtual PluginApi ApiKind() const { return apiKind_; }
  virtual void ResizeEditor(int width, int height);
  virtual void AttachEditor(std::unique_ptr<IEditor> editor);
  virtual void ChangeLatency(int samples);
  virtual bool SendMidiMessage(const MidiMessage& message);
  virtual void RefreshParamControls();
  virtual void PresetRestored() {}
  virtual void ChangeBlockSize(int samples);

  // --- Parameters ---
  IParamEntry* ParamAt(int index);
  const IParamEntry* ParamAt(int index) const;
  int ParamCount() const { return static_cast<int>(params_.size()); }

  // --- Channels ---
  int InputChannelCount() const { return static_cast<int>(inputs_.size()); }
  int OutputChannelCount() const { return static_cast<int>(outputs_.size()); }
  const std::vector<ChannelIOConfig>& ChannelConfigs() const { return channelConfigs_; }
  bool LegalIO(int inputs, int outputs) const;

  // --- State and presets ---
  // The parameter state holds one double for each parameter.
  static constexpr int kStateValueBytes = static_cast<int>(sizeof(double));
  bool SerializeParams(StateChunk& chunk);
  int UnserializeParams(const StateChunk& chunk, int start);
  // Restores the parameters from the first size bytes of a saved state,
  // taking only the values those bytes hold whole (a state cut short must
  // not splice its bytes onto a value); the rest keep theirs. Returns the
  // bytes the parameters' state takes.
  int RestoreWholeValues(const uint8_t* bytes, int size);
  void StoreDefaultPreset(const char* name);
  bool LoadPreset(int index);
  int PresetCount() const { return static_cast<int>(presets_.size()); }
  const char* PresetName(int index) const;
  int CurrentPreset() const { return currentPreset_; }

  // --- Buffer plumbing ---
  void PassThroughBlock(int frames);
  void ConvertInputFloats(int first, int count, float* const* sources, int frames);
  void ClearScratchBuffers();

  std::recursive_mutex& ParamsLock() const { return paramsLock_; }

  // --- Identity and run-time fields ---
  const char* EffectName() const { return effectName_.c_str(); }
  const char* ProductName() const { return productName_.c_str(); }
  const char* MakerName() const { return makerName_.c_str(); }
  int32_t UniqueId() const { return uniqueId_; }
  int32_t MakerId() const { return makerId_; }
  int32_t Version() const { return version_; }
  int32_t HostVersion() const { return hostVersion_; }
  bool IsInstrument() const { return isInstrument_; }
  bool HandlesMidi() const { return handlesMidi_; }
  bool IsBypassed() const { return bypassed_; }
  double SampleRate() const { return sampleRate_; }
  int BlockSize() const { return blockSize_; }
  int Latency() const { return latency_; }
  int Tail() const { return tail_; }
  IEditor* Editor() const { return editor_.get(); }

 protected:
  // Hands a normalised parameter value to every editor control bound to it
  // (and to the first matching auxiliary binding of each control).
  void SendValueToControls(int index, double normalized);
  void SetHost(HostId host, int32_t version) {
    host_ = host;
    hostVersion_ = version;
  }
  void SetBypassed(bool bypassed) { bypassed_ = bypassed; }
  void SetSampleRate(double sampleRate) { sampleRate_ = sampleRate; }
  void CreateLatencyDelay();
  InputChannel& InputChannelAt(int i) { return inputs_[static_cast<size_t>(i)]; }
  OutputChannel& OutputChannelAt(int i) { return outputs_[static_cast<size_t>(i)]; }
  double** InputPointers() { return inputPointers_.data(); }
  double** OutputPointers() { return outputPointers_.data(); }
  std::vector<std::string>& InputBusNames() { return inputBusNames_; }
  std::vector<std::string>& OutputBusNames() { return outputBusNames_; }

 private:
  void ParseChannelConfigs(const char* text);

  // Declared first so that it is destroyed last.
  mutable std::recursive_mutex paramsLock_;

  NameText effectName_;
  NameText productName_;
  NameText makerName_;
  int32_t uniqueId_;
  int32_t makerId_;
  int32_t version_;
  PluginApi apiKind_ = PluginApi::Vst3;
  HostId host_ = HostId::Uninitialised;
  int32_t hostVersion_ = 0;
  bool isInstrument_ = false;
  bool handlesMidi_ = false;
  bool bypassed_ = false;
  int currentPreset_ = 0;
  double sampleRate_ = 44100.0;
  int blockSize_ = 0;
  int latency_ = 0;
  int tail_ = 0;

  std::unique_ptr<LatencyDelay> latencyDelay_;
  std::vector<std::string> inputBusNames_;
  std::vector<std::string> outputBusNames_;
  std::vector<ChannelIOConfig> channelConfigs_;
  std::vector<double*> inputPointers_;
  std::vector<double*> outputPointers_;
  std::vector<InputChannel> inputs_;
  std::vector<OutputChannel> outputs_;
  std::vector<std::unique_ptr<PresetSlot>> presets_;
  std::vector<std::unique_ptr<IParamEntry>> params_;
  // Declared last so that it is destroyed first, while everything it may
  // reach is still alive.
  std::unique_ptr<IEditor> editor_;
};

}  // namespace kestro
