#include "lv2/Lv2Plugin.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

#include "core/IEditor.h"
#include "core/StateChunk.h"
#include "lv2/Lv2Features.h"
#include "lv2/Lv2PluginInfo.h"
#include "lv2/atom/atom.h"
#include "lv2/buf-size/buf-size.h"

namespace kestro {

namespace {

// Scratch arrays hold this many samples unless the host announces longer
// blocks; longer runs are processed in pieces of this size.
constexpr int kDefaultBlock = 8192;
constexpr int kLargestBlock = 1 << 20;

}  // namespace

Lv2Plugin::Lv2Plugin(int paramCount, const char* channelIOString, int presetCount, const char* effectName,
                     const char* productName, const char* makerName, int32_t version, int32_t uniqueId,
                     int32_t makerId, int latency)
    : PluginCore(paramCount, channelIOString, presetCount, effectName, productName, makerName, version, uniqueId,
                 makerId, latency),
      ports_(*this) {
  for (int i = 0; i < InputChannelCount(); ++i) InputChannelAt(i).connected = true;
  for (int i = 0; i < OutputChannelCount(); ++i) OutputChannelAt(i).connected = true;
  CreateLatencyDelay();
  audio_.assign(ports_.audioInputs + ports_.audioOutputs, nullptr);
  controls_.assign(ports_.params, nullptr);
  lastControls_.assign(ports_.params, NAN);
}

Lv2Plugin::~Lv2Plugin() = default;

bool Lv2Plugin::Instantiate(const Lv2PluginInfo& info, double sampleRate, const LV2_Feature* const* features) {
  if (!(sampleRate > 0.0) || !std::isfinite(sampleRate)) return false;
  info_ = &info;
  const Lv2Features host(features);
  map_ = static_cast<LV2_URID_Map*>(const_cast<void*>(host.Find(LV2_URID__map)));
  if (map_) {
    stateKey_ = map_->map(map_->handle, kStateKey);
    chunkType_ = map_->map(map_->handle, LV2_ATOM__Chunk);
  }
  // The longest block the host announces, if it does.
  const void* longest = host.Option(LV2_BUF_SIZE__maxBlockLength, LV2_ATOM__Int, sizeof(int32_t));
  const int announced = longest ? *static_cast<const int32_t*>(longest) : 0;
  std::lock_guard lock(ParamsLock());
  HostDetected();
  LoadPreset(0);
  SetSampleRate(sampleRate);
  SetBypassed(false);
  ChangeBlockSize(std::clamp(announced, kDefaultBlock, kLargestBlock));
  ResetProcessing();
  return true;
}

void Lv2Plugin::ConnectPort(uint32_t port, void* data) {
  if (port < ports_.firstParam) {
    audio_[port] = static_cast<float*>(data);
  } else if (port < ports_.enabled) {
    controls_[port - ports_.firstParam] = static_cast<const float*>(data);
  } else if (port == ports_.enabled) {
    enabled_ = static_cast<const float*>(data);
  } else if (port == ports_.latency) {
    latencyOut_ = static_cast<float*>(data);
  } else if (port == ports_.meter) {
    meterOut_ = static_cast<float*>(data);
  }
}

void Lv2Plugin::Activate() {
  ActivationChanged(true);
  std::lock_guard lock(ParamsLock());
  ResetProcessing();
}

void Lv2Plugin::Deactivate() { ActivationChanged(false); }

void Lv2Plugin::ApplyControls() {
  for (uint32_t p = 0; p < ports_.params; ++p) {
    const float* port = controls_[p];
    if (!port) continue;
    const float value = *port;
    // Only changes count: a restored state stands until the host moves a
    // control. A NaN on the port is ignored.
    if (std::isnan(value) || value == lastControls_[p]) continue;
    lastControls_[p] = value;
    // A port holds a float: one that says the value the parameter already
    // has (0.3 for 0.3) leaves it as exact as it is.
    IParamEntry& entry = *ParamAt(static_cast<int>(p));
    if (value == static_cast<float>(entry.Value())) continue;
    // Through the normalised value, as a VST3 host's edit arrives: the same
    // plain value then gives the same stored value (steps applied) in both.
    const double normalized = std::clamp(entry.ToNormalized(static_cast<double>(value)), 0.0, 1.0);
    entry.SetFromNormalized(normalized);
    SendValueToControls(static_cast<int>(p), normalized);
    ParamChanged(static_cast<int>(p));
  }
  // The host's bypass is its port's alone (it keeps that value itself).
  if (enabled_ && !std::isnan(*enabled_)) {
    const bool bypassed = *enabled_ < 0.5f;
    if (bypassed != IsBypassed()) SetBypassed(bypassed);
  }
}

void Lv2Plugin::Run(uint32_t frames) {
  std::lock_guard lock(ParamsLock());
  ApplyControls();
  const int inputs = InputChannelCount();
  const int outputs = OutputChannelCount();
  const int block = BlockSize();
  const int total = static_cast<int>(std::min<uint32_t>(frames, kLargestBlock * 64u));
  for (int offset = 0; offset < total;) {
    const int piece = std::min(total - offset, block);
    for (int c = 0; c < inputs; ++c) {
      float* from = audio_[static_cast<size_t>(c)];
      if (from) from += offset;
      ConvertInputFloats(c, 1, &from, piece);  // a missing port reads silence
    }
    for (int c = 0; c < outputs; ++c) {
      OutputChannel& ch = OutputChannelAt(c);
      *ch.slot = ch.scratch.data();
    }
    if (IsBypassed()) {
      PassThroughBlock(piece);
    } else {
      ProcessDoubles(InputPointers(), OutputPointers(), piece);
    }
    // Inputs were read before any output is written: the host may give one
    // buffer for both.
    for (int c = 0; c < outputs; ++c) {
      float* to = audio_[ports_.audioInputs + static_cast<size_t>(c)];
      if (!to) continue;
      const OutputChannel& ch = OutputChannelAt(c);
      for (int s = 0; s < piece; ++s) to[offset + s] = static_cast<float>(ch.scratch[static_cast<size_t>(s)]);
    }
    offset += piece;
  }
  if (latencyOut_) *latencyOut_ = static_cast<float>(std::max(Latency(), 0));
  if (meterOut_ && info_ && info_->meterLevel) *meterOut_ = static_cast<float>(info_->meterLevel(*this));
}

// --- The editor's side --------------------------------------------------------------

void Lv2Plugin::LinkUi(const Lv2PluginInfo& info, UiLink* link) {
  std::lock_guard lock(ParamsLock());
  info_ = &info;
  uiLink_ = link;
  LoadPreset(0);
}

void Lv2Plugin::ShowPortValue(uint32_t port, float value) {
  if (std::isnan(value)) return;
  if (port >= ports_.firstParam && port < ports_.enabled) {
    const int index = static_cast<int>(port - ports_.firstParam);
    {
      std::lock_guard lock(ParamsLock());
      IParamEntry& entry = *ParamAt(index);
      if (value == static_cast<float>(entry.Value())) return;
      entry.SetFromNormalized(std::clamp(entry.ToNormalized(static_cast<double>(value)), 0.0, 1.0));
      ParamChanged(index);
    }
    SendValueToControls(index, ParamAt(index)->CurrentNormalized());
  } else if (port == ports_.meter && info_ && info_->meterControl) {
    if (IEditor* editor = Editor()) editor->PushControlValue(info_->meterControl(*this), value);
  }
}

void Lv2Plugin::BeginParamEdit(int index) {
  if (uiLink_ && index >= 0 && index < ParamCount()) uiLink_->Touch(ports_.firstParam + static_cast<uint32_t>(index), true);
}

void Lv2Plugin::PerformParamEdit(int index, double) {
  // The port takes plain values: the one the parameter now holds.
  if (uiLink_ && index >= 0 && index < ParamCount()) {
    uiLink_->Write(ports_.firstParam + static_cast<uint32_t>(index), static_cast<float>(ParamAt(index)->Value()));
  }
}

void Lv2Plugin::EndParamEdit(int index) {
  if (uiLink_ && index >= 0 && index < ParamCount()) uiLink_->Touch(ports_.firstParam + static_cast<uint32_t>(index), false);
}

void Lv2Plugin::ResizeEditor(int width, int height) {
  if (uiLink_) uiLink_->Resized(width, height);
}

// --- State ----------------------------------------------------------------------

void Lv2Plugin::StateBytes(std::vector<uint8_t>& bytes) {
  StateChunk chunk;
  WriteState(chunk);
  const int32_t bypass = IsBypassed() ? 1 : 0;
  bytes.resize(static_cast<size_t>(chunk.Size()) + sizeof bypass);
  std::memcpy(bytes.data(), chunk.Data(), static_cast<size_t>(chunk.Size()));
  std::memcpy(bytes.data() + chunk.Size(), &bypass, sizeof bypass);
}

LV2_State_Status Lv2Plugin::SaveState(LV2_State_Store_Function store, LV2_State_Handle handle) {
  if (!store || !map_) return LV2_STATE_ERR_NO_FEATURE;
  std::vector<uint8_t> bytes;
  {
    std::lock_guard lock(ParamsLock());
    StateBytes(bytes);
  }
  return store(handle, stateKey_, bytes.data(), bytes.size(), chunkType_,
               LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE);
}

LV2_State_Status Lv2Plugin::RestoreState(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle) {
  if (!retrieve || !map_) return LV2_STATE_ERR_NO_FEATURE;
  size_t size = 0;
  uint32_t type = 0;
  uint32_t flags = 0;
  const void* data = retrieve(handle, stateKey_, &size, &type, &flags);
  if (!data) return LV2_STATE_ERR_NO_PROPERTY;
  if (type != chunkType_) return LV2_STATE_ERR_BAD_TYPE;

  std::lock_guard lock(ParamsLock());
  // As in the VST3 module: a state cut short restores only the values it
  // holds whole and reports failure; bytes beyond the state are ignored.
  // The bypass in the bytes is the host's: its enabled port decides it.
  const int values = RestoreWholeValues(static_cast<const uint8_t*>(data),
                                        static_cast<int>(std::min<size_t>(size, StateChunk::kMaxSize)));
  RefreshParamControls();
  return size >= static_cast<size_t>(values) + sizeof(int32_t) ? LV2_STATE_SUCCESS : LV2_STATE_ERR_UNKNOWN;
}

}  // namespace kestro
