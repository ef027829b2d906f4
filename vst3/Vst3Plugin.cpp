#include "vst3/Vst3Plugin.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "base/source/fstring.h"
#include "pluginterfaces/base/ibstream.h"
#include "pluginterfaces/base/ustring.h"
#include "pluginterfaces/gui/iplugview.h"
#include "pluginterfaces/vst/ivstcontextmenu.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"
#include "pluginterfaces/vst/ivstevents.h"
#include "pluginterfaces/vst/ivsthostapplication.h"
#include "pluginterfaces/vst/ivstparameterchanges.h"
#include "public.sdk/source/vst/vstparameters.h"
#include "vst3/HostText.h"
#include "vst3/Vst3Parameter.h"

namespace kestro {

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

// The speaker arrangement used for a bus of n channels.
SpeakerArrangement ArrangementFor(int channels) {
  switch (channels) {
    case 1:
      return SpeakerArr::kMono;
    case 2:
      return SpeakerArr::kStereo;
    case 3:
      return SpeakerArr::k30Music;
    case 4:
      return SpeakerArr::k40Music;
    case 5:
      return SpeakerArr::k50;
    case 6:
      return SpeakerArr::k51;
    default:
      return SpeakerArr::kEmpty;
  }
}

int ChannelCount(SpeakerArrangement arrangement) { return std::popcount(static_cast<uint64>(arrangement)); }

// Hosts may hand us block sizes and sample rates no real session uses; the
// scratch arrays are sized from the block size, so absurd ones are refused.
constexpr int32 kMaxBlockSize = 1 << 20;

AudioBus* AudioBusAt(BusList& list, int index) {
  if (index < 0 || index >= static_cast<int>(list.size())) return nullptr;
  return FCast<AudioBus>(list.at(static_cast<size_t>(index)).get());
}

// Adds a bus named from an 8-bit label.
void AddAudioBus(BusList& list, const char* label, SpeakerArrangement arrangement, BusType type, int32 flags) {
  String128 name;
  WidenText(label, name);
  list.push_back(IPtr<Vst::Bus>(new AudioBus(name, type, flags, arrangement), false));
}

}  // namespace

Vst3Plugin::Vst3Plugin(int paramCount, const char* channelIOString, int presetCount, const char* effectName,
                       const char* productName, const char* makerName, int32_t version, int32_t uniqueId,
                       int32_t makerId, int latency)
    : PluginCore(paramCount, channelIOString, presetCount, effectName, productName, makerName, version, uniqueId,
                 makerId, latency) {
  processSetup.processMode = kRealtime;
  processSetup.symbolicSampleSize = kSample32;
  processSetup.maxSamplesPerBlock = 1024;
  processSetup.sampleRate = 44100.0;

  for (int i = 0; i < InputChannelCount(); ++i) InputChannelAt(i).connected = true;
  for (int i = 0; i < OutputChannelCount(); ++i) OutputChannelAt(i).connected = true;
  CreateLatencyDelay();
  inputSources_.assign(static_cast<size_t>(InputChannelCount()), nullptr);
  outputDestinations_.assign(static_cast<size_t>(OutputChannelCount()), nullptr);

  std::vector<std::string>& inputs = InputBusNames();
  if (inputs.empty()) inputs.resize(1);
  inputs[0] = "Main Input";
  if (sidechainChannels_ > 0) {
    if (inputs.size() < 2) inputs.resize(2);
    inputs[1] = "Aux Input";
  }
  std::vector<std::string>& outputs = OutputBusNames();
  if (IsInstrument()) {
    for (int k = 0; 2 * k < OutputChannelCount(); ++k) {
      char label[32];
      std::snprintf(label, sizeof label, "Output %i", k + 1);
      if (static_cast<int>(outputs.size()) <= k) outputs.resize(static_cast<size_t>(k) + 1);
      outputs[static_cast<size_t>(k)] = label;
    }
  } else {
    if (outputs.empty()) outputs.resize(1);
    outputs[0] = "Output";
  }
}

Vst3Plugin::~Vst3Plugin() = default;

uint32 PLUGIN_API Vst3Plugin::addRef() { return static_cast<uint32>(FUnknownPrivate::atomicAdd(refCount, 1)); }

uint32 PLUGIN_API Vst3Plugin::release() {
  const int32 remaining = FUnknownPrivate::atomicAdd(refCount, -1);
  if (remaining == 0) {
    refCount = -1000;
    delete this;
    return 0;
  }
  return static_cast<uint32>(remaining);
}

// --- Initialisation ------------------------------------------------------------

tresult PLUGIN_API Vst3Plugin::initialize(FUnknown* context) {
  const tresult result = SingleComponentEffect::initialize(context);

  IHostApplication* app = nullptr;
  if (context && context->queryInterface(IHostApplication::iid, reinterpret_cast<void**>(&app)) == kResultOk && app) {
    String128 name{};
    app->getName(name);
    name[127] = 0;
    char narrow[kHostTextChars + 1];
    NarrowText(name, narrow, kHostTextChars);
    SetHost(HostIdFromName(narrow), 0);
  }

  if (result == kResultOk) {
    const std::vector<std::string>& inLabels = InputBusNames();
    const std::vector<std::string>& outLabels = OutputBusNames();
    auto label = [](const std::vector<std::string>& labels, size_t i) {
      return i < labels.size() ? labels[i].c_str() : "";
    };
    const int sidechain = std::min(sidechainChannels_, 2);
    const SpeakerArrangement main = ArrangementFor(InputChannelCount() - sidechain);
    if (main != SpeakerArr::kEmpty) AddAudioBus(audioInputs, label(inLabels, 0), main, kMain, BusInfo::kDefaultActive);
    if (sidechain > 0) AddAudioBus(audioInputs, label(inLabels, 1), ArrangementFor(sidechain), kAux, 0);
    if (!IsInstrument()) {
      AddAudioBus(audioOutputs, label(outLabels, 0), ArrangementFor(OutputChannelCount()), kMain,
                  BusInfo::kDefaultActive);
    } else {
      for (int k = 0; 2 * k < OutputChannelCount(); ++k) {
        AddAudioBus(audioOutputs, label(outLabels, static_cast<size_t>(k)), SpeakerArr::kStereo, kMain,
                    BusInfo::kDefaultActive);
      }
    }
    if (HandlesMidi()) addEventInput(STR16("MIDI Input"), 1);

    if (PresetCount() > 0) {
      auto* preset = new Parameter(STR16("Preset"), kPresetParamId, nullptr, 0.0, PresetCount(),
                                   ParameterInfo::kIsProgramChange, kRootUnitId);
      preset->setPrecision(4);
      parameters.addParameter(preset);
    }
    if (!IsInstrument()) {
      auto* bypass = new StringListParameter(
          STR16("Bypass"), kBypassParamId, nullptr,
          ParameterInfo::kCanAutomate | ParameterInfo::kIsList | ParameterInfo::kIsBypass, kRootUnitId);
      bypass->appendString(STR16("off"));
      bypass->appendString(STR16("on"));
      bypass->setPrecision(4);
      parameters.addParameter(bypass);
    }
    for (int i = 0; i < ParamCount(); ++i) {
      IParamEntry& entry = *ParamAt(i);
      UnitID unit = kRootUnitId;
      if (entry.Group()[0] != '\0') {
        auto found = std::find_if(groups_.begin(), groups_.end(),
                                  [&](const char* g) { return std::strcmp(g, entry.Group()) == 0; });
        if (found == groups_.end()) {
          groups_.push_back(entry.Group());
          unit = static_cast<UnitID>(groups_.size());
        } else {
          unit = static_cast<UnitID>(found - groups_.begin()) + 1;
        }
      }
      parameters.addParameter(new Vst3Parameter(entry, static_cast<ParamID>(i), unit));
    }
  }

  HostDetected();
  LoadPreset(0);
  if (app) app->release();
  return result;
}

// --- IComponent ------------------------------------------------------------------

tresult PLUGIN_API Vst3Plugin::getControllerClassId(TUID) { return kNotImplemented; }
tresult PLUGIN_API Vst3Plugin::setIoMode(IoMode) { return kNotImplemented; }
tresult PLUGIN_API Vst3Plugin::getRoutingInfo(RoutingInfo&, RoutingInfo&) { return kNotImplemented; }

tresult PLUGIN_API Vst3Plugin::setActive(TBool state) {
  ActivationChanged(state != 0);
  return kResultOk;
}

// --- IAudioProcessor ---------------------------------------------------------------

tresult PLUGIN_API Vst3Plugin::setBusArrangements(SpeakerArrangement* inputs, int32 numIns,
                                                  SpeakerArrangement* outputs, int32 numOuts) {
  // Decide first, change afterwards: a refused proposal leaves the buses as
  // they were, so the host can go on proposing.
  // A proposal without a main input and a main output cannot be legal.
  if (numIns < 1 || numOuts < 1 || !inputs || !outputs) return kResultFalse;
  const int mainIn = ChannelCount(inputs[0]);
  const int mainOut = ChannelCount(outputs[0]);
  if (!LegalIO(mainIn, mainOut)) return kResultFalse;
  int sideIn = 0;
  if (sidechainChannels_ > 0) {
    if (numIns != 2) return kResultFalse;
    if (!AudioBusAt(audioInputs, 1)) return kResultFalse;  // nothing to carry a sidechain
    // The core's last channels belong to the sidechain: the main input can
    // only have the ones before them.
    if (mainIn != InputChannelCount() - sidechainChannels_) return kResultFalse;
    sideIn = ChannelCount(inputs[1]);
  } else if (numIns != 1) {
    return kResultFalse;
  }

  for (int i = 0; i < InputChannelCount(); ++i) {
    InputChannel& ch = InputChannelAt(i);
    ch.connected = false;
    *ch.slot = ch.scratch.data();
  }
  for (int i = 0; i < OutputChannelCount(); ++i) {
    OutputChannel& ch = OutputChannelAt(i);
    ch.connected = false;
    *ch.slot = ch.scratch.data();
  }

  const AudioBus* main = AudioBusAt(audioInputs, 0);
  const AudioBus* side = AudioBusAt(audioInputs, 1);
  const bool mainChanges = main && ChannelCount(main->getArrangement()) != mainIn;
  const bool sideChanges = sidechainChannels_ > 0 && ChannelCount(side->getArrangement()) != sideIn;
  if (mainChanges || sideChanges) {
    // The list is rebuilt in order; a sidechain bus whose width stays is kept
    // as it is, activation included.
    IPtr<Vst::Bus> keptSide;
    if (sidechainChannels_ > 0 && !sideChanges) keptSide = audioInputs.at(1);
    audioInputs.clear();
    AddAudioBus(audioInputs, "Input", ArrangementFor(mainIn), kMain, BusInfo::kDefaultActive);
    if (keptSide) {
      audioInputs.push_back(keptSide);
    } else if (sidechainChannels_ > 0) {
      AddAudioBus(audioInputs, "Sidechain Input", ArrangementFor(sideIn), kAux, 0);
    }
  }
  if (AudioBus* bus = AudioBusAt(audioOutputs, 0); bus && ChannelCount(bus->getArrangement()) != mainOut) {
    audioOutputs.clear();
    AddAudioBus(audioOutputs, "Output", ArrangementFor(mainOut), kMain, BusInfo::kDefaultActive);
  }
  return kResultOk;
}

tresult PLUGIN_API Vst3Plugin::canProcessSampleSize(int32 symbolicSampleSize) {
  return (symbolicSampleSize == kSample32 || symbolicSampleSize == kSample64) ? kResultOk : kResultFalse;
}

uint32 PLUGIN_API Vst3Plugin::getLatencySamples() { return static_cast<uint32>(std::max(Latency(), 0)); }

uint32 PLUGIN_API Vst3Plugin::getTailSamples() { return static_cast<uint32>(std::max(Tail(), 0)); }

tresult PLUGIN_API Vst3Plugin::setupProcessing(ProcessSetup& setup) {
  if (setup.symbolicSampleSize < kSample32 || setup.symbolicSampleSize > kSample64) return kResultFalse;
  if (!(setup.sampleRate > 0.0) || !std::isfinite(setup.sampleRate)) return kResultFalse;
  if (setup.maxSamplesPerBlock < 1 || setup.maxSamplesPerBlock > kMaxBlockSize) return kResultFalse;

  // Hosts must not process while they set up; the lock makes a host that
  // does wait instead of running on scratch arrays being resized.
  std::lock_guard lock(ParamsLock());
  SetSampleRate(setup.sampleRate);
  SetBypassed(false);
  ChangeBlockSize(setup.maxSamplesPerBlock);
  ResetProcessing();
  processSetup = setup;
  return kResultOk;
}

tresult PLUGIN_API Vst3Plugin::setProcessing(TBool) { return kNotImplemented; }

tresult PLUGIN_API Vst3Plugin::process(ProcessData& data) {
  std::lock_guard lock(ParamsLock());
  if (data.processContext) lastContext_ = *data.processContext;
  ApplyParameterChanges(data.inputParameterChanges);
  if (HandlesMidi()) HandleEvents(data.inputEvents);
  if (data.numSamples > 0 && data.symbolicSampleSize != processSetup.symbolicSampleSize) {
    // Buffers of the other precision than the one set up: reading them as
    // set up would run past their ends. The host gets silence in the
    // precision it says the buffers have, and a refusal.
    SilenceOutputs(data, data.numSamples);
    return kInvalidArgument;
  }
  ProcessAudio(data, std::max<int32>(data.numSamples, 0));
  return kResultOk;
}

void Vst3Plugin::SilenceOutputs(ProcessData& data, int frames) {
  if (!data.outputs || (data.symbolicSampleSize != kSample32 && data.symbolicSampleSize != kSample64)) return;
  for (int32 b = 0; b < data.numOutputs; ++b) {
    const AudioBusBuffers& bus = data.outputs[b];
    for (int32 c = 0; c < bus.numChannels; ++c) {
      if (data.symbolicSampleSize == kSample64) {
        if (bus.channelBuffers64 && bus.channelBuffers64[c]) std::fill_n(bus.channelBuffers64[c], frames, 0.0);
      } else if (bus.channelBuffers32 && bus.channelBuffers32[c]) {
        std::fill_n(bus.channelBuffers32[c], frames, 0.0f);
      }
    }
  }
}

void Vst3Plugin::ApplyParameterChanges(IParameterChanges* changes) {
  if (!changes) return;
  const int32 count = changes->getParameterCount();
  for (int32 i = 0; i < count; ++i) {
    IParamValueQueue* queue = changes->getParameterData(i);
    if (!queue) continue;
    const int32 points = queue->getPointCount();
    int32 offset = 0;
    ParamValue value = 0.0;
    // Only the last point counts: every change takes effect for the whole block.
    if (points < 1 || queue->getPoint(points - 1, offset, value) != kResultOk) continue;
    if (std::isnan(value)) continue;
    value = std::clamp(value, 0.0, 1.0);

    const ParamID id = queue->getParameterId();
    if (id == kBypassParamId) {
      const bool bypassed = value > 0.5;
      if (bypassed != IsBypassed()) SetBypassed(bypassed);
    } else if (id == kPresetParamId) {
      LoadPreset(static_cast<int>(value * PresetCount()));
    } else if (IsPluginParam(id)) {
      const int index = static_cast<int>(id);
      ParamAt(index)->SetFromNormalized(value);
      SendValueToControls(index, value);
      ParamChanged(index);
    }
  }
}

void Vst3Plugin::HandleEvents(IEventList* events) {
  if (!events) return;
  const int32 count = events->getEventCount();
  for (int32 i = 0; i < count; ++i) {
    Event e{};
    if (events->getEvent(i, e) != kResultOk) continue;
    MidiMessage message;
    message.sampleOffset = e.sampleOffset;
    if (e.type == Event::kNoteOnEvent) {
      const float velocity = std::isnan(e.noteOn.velocity) ? 0.0f : std::clamp(e.noteOn.velocity, 0.0f, 1.0f);
      message.status = static_cast<uint8_t>(0x90 | (e.noteOn.channel & 0x0F));
      message.data1 = static_cast<uint8_t>(e.noteOn.pitch & 0x7F);
      message.data2 = static_cast<uint8_t>(velocity * 127.0f);
    } else if (e.type == Event::kNoteOffEvent) {
      message.status = static_cast<uint8_t>(0x80 | (e.noteOff.channel & 0x0F));
      message.data1 = static_cast<uint8_t>(e.noteOff.pitch & 0x7F);
      message.data2 = 0;
    } else {
      continue;
    }
    HandleMidiMessage(message);
  }
}

void Vst3Plugin::ConnectInputs(ProcessData& data, bool doubles) {
  const int inputs = InputChannelCount();
  std::fill(inputSources_.begin(), inputSources_.end(), nullptr);
  if (data.numInputs < 1 || !data.inputs) {
    // No input bus at all: silence rather than arrays of an earlier call,
    // which the host may have freed since.
    for (int c = 0; c < inputs; ++c) InputChannelAt(c).connected = false;
    return;
  }

  const int sidechain = std::clamp(sidechainChannels_, 0, inputs);
  const int mainChannels = std::max(data.inputs[0].numChannels, 0);
  if (sidechain > 0) {
    AudioBus* side = AudioBusAt(audioInputs, 1);
    // A host that passes fewer buses than it was given is treated as having
    // left the sidechain off.
    if (side && side->isActive() && data.numInputs >= 2) {
      sidechainConnected_ = true;
      for (int c = 0; c < inputs; ++c) InputChannelAt(c).connected = true;
    } else {
      if (sidechainConnected_) {
        ClearScratchBuffers();
        sidechainConnected_ = false;
      }
      for (int c = 0; c < inputs; ++c) InputChannelAt(c).connected = true;
      for (int c = mainChannels; c < std::min(mainChannels + inputs - sidechain, inputs); ++c) {
        InputChannelAt(c).connected = false;
      }
    }
  } else {
    for (int c = 0; c < inputs; ++c) InputChannelAt(c).connected = c < mainChannels;
  }

  // Each connected channel takes the bus's next array; a bus with fewer
  // arrays than channels (or none) leaves the rest silent.
  auto attach = [&](const AudioBusBuffers& bus, int first, int count) {
    void* const* arrays = doubles ? reinterpret_cast<void* const*>(bus.channelBuffers64)
                                  : reinterpret_cast<void* const*>(bus.channelBuffers32);
    int next = 0;
    for (int c = std::max(first, 0); c < std::min(first + count, inputs); ++c) {
      if (!InputChannelAt(c).connected) continue;
      inputSources_[static_cast<size_t>(c)] = (arrays && next < bus.numChannels) ? arrays[next] : nullptr;
      ++next;
    }
  };
  if (sidechain > 0) {
    attach(data.inputs[0], 0, inputs - sidechain);
    if (data.numInputs >= 2) attach(data.inputs[1], inputs - sidechain, sidechain);
  } else {
    attach(data.inputs[0], 0, inputs);
  }
}

void Vst3Plugin::ConnectOutputs(ProcessData& data, bool doubles) {
  const int outputs = OutputChannelCount();
  std::fill(outputDestinations_.begin(), outputDestinations_.end(), nullptr);
  for (int c = 0; c < outputs; ++c) {
    OutputChannel& ch = OutputChannelAt(c);
    ch.connected = false;
    ch.floatDestination = nullptr;
  }
  if (!data.outputs) return;
  int start = 0;
  for (int32 b = 0; b < data.numOutputs && start < outputs; ++b) {
    const AudioBusBuffers& bus = data.outputs[b];
    const int n = std::max(bus.numChannels, 0);
    // Buses we never declared are not ours to write.
    AudioBus* declared = AudioBusAt(audioOutputs, b);
    const bool active = declared && declared->isActive();
    void* const* arrays = doubles ? reinterpret_cast<void* const*>(bus.channelBuffers64)
                                  : reinterpret_cast<void* const*>(bus.channelBuffers32);
    for (int c = start; c < std::min(start + n, outputs); ++c) {
      void* destination = (active && arrays) ? arrays[c - start] : nullptr;
      if (!destination) continue;
      OutputChannel& ch = OutputChannelAt(c);
      ch.connected = true;
      if (!doubles) ch.floatDestination = static_cast<float*>(destination);
      outputDestinations_[static_cast<size_t>(c)] = destination;
    }
    start += n;
  }
}

void Vst3Plugin::ProcessAudio(ProcessData& data, int frames) {
  const bool doubles = processSetup.symbolicSampleSize == kSample64;
  ConnectInputs(data, doubles);
  ConnectOutputs(data, doubles);

  const int inputs = InputChannelCount();
  const int outputs = OutputChannelCount();
  const int block = BlockSize();
  if (frames > 0 && block <= 0) {
    // Processing was never set up: there is nowhere to work, so the host
    // gets silence rather than a crash.
    for (int c = 0; c < outputs; ++c) {
      void* destination = outputDestinations_[static_cast<size_t>(c)];
      if (!destination) continue;
      if (doubles) {
        std::fill_n(static_cast<double*>(destination), frames, 0.0);
      } else {
        std::fill_n(static_cast<float*>(destination), frames, 0.0f);
      }
    }
    return;
  }

  // Hosts may deliver more samples than they announced: work through the
  // block in pieces that fit the scratch arrays.
  int offset = 0;
  do {
    const int piece = std::min(frames - offset, block);
    for (int c = 0; c < inputs; ++c) {
      InputChannel& ch = InputChannelAt(c);
      const void* source = inputSources_[static_cast<size_t>(c)];
      if (!source) {
        // Connected or not, a channel without a source reads silence: the
        // scratch may still hold an earlier call's converted input.
        std::fill_n(ch.scratch.begin(), piece, 0.0);
        *ch.slot = ch.scratch.data();
      } else if (doubles) {
        *ch.slot = const_cast<double*>(static_cast<const double*>(source)) + offset;
      } else {
        float* from = const_cast<float*>(static_cast<const float*>(source)) + offset;
        ConvertInputFloats(c, 1, &from, piece);
      }
    }
    for (int c = 0; c < outputs; ++c) {
      OutputChannel& ch = OutputChannelAt(c);
      void* destination = outputDestinations_[static_cast<size_t>(c)];
      *ch.slot = (doubles && destination) ? static_cast<double*>(destination) + offset : ch.scratch.data();
    }

    if (IsBypassed()) {
      PassThroughBlock(piece);
    } else {
      ProcessDoubles(InputPointers(), OutputPointers(), piece);
    }

    if (!doubles) {
      for (int c = 0; c < outputs; ++c) {
        OutputChannel& ch = OutputChannelAt(c);
        if (!ch.connected || !ch.floatDestination) continue;
        float* to = ch.floatDestination + offset;
        for (int s = 0; s < piece; ++s) to[s] = static_cast<float>(ch.scratch[static_cast<size_t>(s)]);
      }
    }
    offset += piece;
  } while (offset < frames);
}

// --- State ---------------------------------------------------------------------

namespace {

// Reads up to size bytes, taking as many reads as the stream needs: some
// streams deliver less than asked before their end. Returns the bytes
// delivered.
int32 ReadFromStream(IBStream& stream, void* buffer, int32 size) {
  int32 total = 0;
  while (total < size) {
    int32 got = 0;
    const tresult result = stream.read(static_cast<uint8*>(buffer) + total, size - total, &got);
    if (got <= 0 || got > size - total) break;
    total += got;
    if (result != kResultOk) break;
  }
  return total;
}

}  // namespace

tresult PLUGIN_API Vst3Plugin::getState(IBStream* state) {
  if (!state) return kInvalidArgument;
  std::lock_guard lock(ParamsLock());
  StateChunk chunk;
  if (!WriteState(chunk)) return kResultFalse;
  const int32 bypass = IsBypassed() ? 1 : 0;
  int32 written = 0;
  if (state->write(chunk.Data(), chunk.Size(), &written) != kResultOk || written != chunk.Size()) return kResultFalse;
  // A stream that cannot take the whole state must not be told it was saved.
  if (state->write(const_cast<int32*>(&bypass), sizeof bypass, &written) != kResultOk ||
      written != static_cast<int32>(sizeof bypass)) {
    return kResultFalse;
  }
  return kResultOk;
}

tresult PLUGIN_API Vst3Plugin::setState(IBStream* state) {
  if (!state) return kInvalidArgument;
  std::lock_guard lock(ParamsLock());
  // Writing the current state measures how much the parameters take; what
  // the stream does not deliver whole keeps its current value.
  StateChunk incoming;
  WriteState(incoming);
  const int size = incoming.Size();
  if (size == 0) return kResultFalse;
  const int32 read = ReadFromStream(*state, incoming.Data(), size);
  RestoreWholeValues(incoming.Data(), read);

  int32 bypass = 0;
  if (read < size || ReadFromStream(*state, &bypass, sizeof bypass) != static_cast<int32>(sizeof bypass)) {
    return kResultFalse;
  }
  SetBypassed(bypass != 0);
  RefreshParamControls();
  return kResultOk;
}

tresult PLUGIN_API Vst3Plugin::setComponentState(IBStream*) { return kNotImplemented; }

// --- Controller ------------------------------------------------------------------

tresult PLUGIN_API Vst3Plugin::getParameterInfo(int32 paramIndex, ParameterInfo& info) {
  // The SDK's container indexes without a check and throws out of range;
  // an exception must never reach the host.
  if (paramIndex < 0 || paramIndex >= parameters.getParameterCount()) return kResultFalse;
  return SingleComponentEffect::getParameterInfo(paramIndex, info);
}

tresult PLUGIN_API Vst3Plugin::getParamStringByValue(ParamID id, ParamValue normalized, String128 text) {
  if (!IsPluginParam(id) || !text) return kResultFalse;
  const IParamEntry& entry = *ParamAt(static_cast<int>(id));
  WidenText(entry.FormatValue(entry.AppliedValue(normalized)).c_str(), text);
  return kResultOk;
}

ParamValue PLUGIN_API Vst3Plugin::plainParamToNormalized(ParamID id, ParamValue plain) {
  if (!IsPluginParam(id)) return plain;
  return ParamAt(static_cast<int>(id))->ToNormalized(plain);
}

ParamValue PLUGIN_API Vst3Plugin::getParamNormalized(ParamID id) {
  if (id == kBypassParamId) return IsBypassed() ? 1.0 : 0.0;
  if (IsPluginParam(id)) return ParamAt(static_cast<int>(id))->CurrentNormalized();
  return 0.0;
}

tresult PLUGIN_API Vst3Plugin::setParamNormalized(ParamID id, ParamValue normalized) {
  if (!IsPluginParam(id)) return kResultFalse;
  ParamAt(static_cast<int>(id))->SetFromNormalized(normalized);
  return kResultOk;
}

IPlugView* PLUGIN_API Vst3Plugin::createView(FIDString name) {
  if (name == nullptr || std::strcmp(name, ViewType::kEditor) != 0) return nullptr;
  auto* view = new Vst3EditorView(this);
  views_.push_back(view);
  return view;
}

void Vst3Plugin::ForgetView(Vst3EditorView* view) { std::erase(views_, view); }

Vst3EditorView* Vst3Plugin::AttachedView() const {
  for (Vst3EditorView* view : views_) {
    if (view->IsAttached()) return view;
  }
  return nullptr;
}

Vst3EditorView* Vst3Plugin::ActiveView() const {
  if (Vst3EditorView* view = AttachedView()) return view;
  return views_.empty() ? nullptr : views_.front();
}

void Vst3Plugin::ResizeEditor(int width, int height) {
  if (Editor() == nullptr) return;
  if (Vst3EditorView* view = ActiveView()) view->AskFrameForSize(width, height);
}

// --- Units and programs ------------------------------------------------------------

int32 PLUGIN_API Vst3Plugin::getUnitCount() { return static_cast<int32>(groups_.size()) + 1; }

tresult PLUGIN_API Vst3Plugin::getUnitInfo(int32 unitIndex, UnitInfo& info) {
  if (unitIndex == 0) {
    info.id = kRootUnitId;
    info.parentUnitId = kNoParentUnitId;
    UString(info.name, str16BufferSize(String128)).assign(STR16("Root Unit"));
    info.programListId = kNoProgramListId;
    return kResultOk;
  }
  if (unitIndex < 1 || unitIndex > static_cast<int32>(groups_.size())) return kResultFalse;
  info.id = unitIndex;
  info.parentUnitId = kRootUnitId;
  WidenText(groups_[static_cast<size_t>(unitIndex - 1)], info.name);
  info.programListId = kNoProgramListId;
  return kResultOk;
}

int32 PLUGIN_API Vst3Plugin::getProgramListCount() { return 0; }

tresult PLUGIN_API Vst3Plugin::getProgramListInfo(int32 listIndex, ProgramListInfo& info) {
  if (listIndex != 0) return kResultFalse;
  info.id = static_cast<ProgramListID>(kPresetParamId);
  UString(info.name, str16BufferSize(String128)).assign(STR16("Factory Presets"));
  info.programCount = PresetCount();
  return kResultOk;
}

tresult PLUGIN_API Vst3Plugin::getProgramName(ProgramListID listId, int32 programIndex, String128 name) {
  if (listId != static_cast<ProgramListID>(kPresetParamId) || !name) return kResultFalse;
  WidenText(PresetName(programIndex), name);  // "" outside the presets
  return kResultOk;
}

tresult PLUGIN_API Vst3Plugin::getProgramInfo(ProgramListID, int32, Vst::CString, String128) { return kNotImplemented; }
tresult PLUGIN_API Vst3Plugin::hasProgramPitchNames(ProgramListID, int32) { return kNotImplemented; }
tresult PLUGIN_API Vst3Plugin::getProgramPitchName(ProgramListID, int32, int16, String128) { return kNotImplemented; }
UnitID PLUGIN_API Vst3Plugin::getSelectedUnit() { return kRootUnitId; }
tresult PLUGIN_API Vst3Plugin::selectUnit(UnitID) { return kNotImplemented; }
tresult PLUGIN_API Vst3Plugin::getUnitByBus(MediaType, BusDirection, int32, int32, UnitID&) { return kNotImplemented; }
tresult PLUGIN_API Vst3Plugin::setUnitProgramData(int32, int32, IBStream*) { return kNotImplemented; }

// --- Core operations ---------------------------------------------------------------

void Vst3Plugin::BeginParamEdit(int index) { beginEdit(static_cast<ParamID>(index)); }

void Vst3Plugin::PerformParamEdit(int index, double normalized) {
  performEdit(static_cast<ParamID>(index), normalized);
}

void Vst3Plugin::EndParamEdit(int index) { endEdit(static_cast<ParamID>(index)); }

void Vst3Plugin::ShowHostParamMenu(int index, int x, int y) {
  IComponentHandler* handler = getComponentHandler();
  Vst3EditorView* view = ActiveView();
  if (handler == nullptr || view == nullptr) return;
  FUnknownPtr<IComponentHandler3> handler3(handler);
  if (!handler3) return;
  ParamID id = static_cast<ParamID>(index);
  if (IContextMenu* menu = handler3->createContextMenu(view, &id)) {
    menu->popup(x, y);
    menu->release();
  }
}

void Vst3Plugin::ChangeLatency(int samples) {
  PluginCore::ChangeLatency(samples);
  if (IComponentHandler* handler = getComponentHandler()) handler->restartComponent(kLatencyChanged);
}

bool Vst3Plugin::SendMidiMessage(const MidiMessage&) { return false; }

bool Vst3Plugin::IsRenderingOffline() { return processSetup.processMode == kOffline; }

int Vst3Plugin::SamplePosition() { return static_cast<int>(lastContext_.projectTimeSamples); }

double Vst3Plugin::Tempo() { return lastContext_.tempo; }

void Vst3Plugin::TimeSignature(int& numerator, int& denominator) {
  numerator = lastContext_.timeSigNumerator;
  denominator = lastContext_.timeSigDenominator;
}

void Vst3Plugin::TimeInfo(TransportSnapshot& info) {
  info.tempo = lastContext_.tempo;
  info.samplePosition = static_cast<double>(lastContext_.projectTimeSamples);
  info.musicalPosition = lastContext_.projectTimeMusic;
  info.lastBarStart = lastContext_.barPositionMusic;
  info.cycleStart = lastContext_.cycleStartMusic;
  info.cycleEnd = lastContext_.cycleEndMusic;
  info.numerator = lastContext_.timeSigNumerator;
  info.denominator = lastContext_.timeSigDenominator;
  info.transportRunning = (lastContext_.state & ProcessContext::kPlaying) != 0;
  info.cycleActive = (lastContext_.state & ProcessContext::kCycleActive) != 0;
}

}  // namespace kestro
